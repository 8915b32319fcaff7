#include "tools/vpedrive/json_text.h"

#include <gtest/gtest.h>

using namespace Corvinex::Vpedrive;

TEST(JsonText, QuotesPlainText) {
    EXPECT_EQ(JsonString(L"Install returned 0"), "\"Install returned 0\"");
    EXPECT_EQ(JsonString(L""), "\"\"");
}

TEST(JsonText, EscapesQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(JsonString(L"message = \"ok\""), "\"message = \\\"ok\\\"\"");
    EXPECT_EQ(JsonString(L"C:\\x"), "\"C:\\\\x\"");
    EXPECT_EQ(JsonString(L"a\nb\rc\td"), "\"a\\nb\\rc\\td\"");
    EXPECT_EQ(JsonString(L"\b\f"), "\"\\b\\f\"");
    EXPECT_EQ(JsonString(std::wstring(L"x\x01y\x1F", 4)), "\"x\\u0001y\\u001f\"");
    EXPECT_EQ(JsonString(std::wstring(1, L'\0')), "\"\\u0000\"");
}

TEST(JsonText, WritesNonAsciiAsUtf16Escapes) {
    EXPECT_EQ(JsonString(L"\x00C4rger \x20AC"), "\"\\u00c4rger \\u20ac\"");
    EXPECT_EQ(JsonString(L"\x007F"), "\"\\u007f\"");
    // A character outside the basic plane stays a surrogate pair, as JSON wants it.
    EXPECT_EQ(JsonString(L"\xD83D\xDE00"), "\"\\ud83d\\ude00\"");
}

TEST(JsonText, KeepsPercentSignsAndSlashes) {
    EXPECT_EQ(JsonString(L"50% /x"), "\"50% /x\"");
}

TEST(JsonText, BuildsObjectsMemberByMember) {
    std::string text = CJsonObject()
                           .Add("event", std::wstring(L"command"))
                           .Add("id", 32788LL)
                           .Add("ok", true)
                           .AddRaw("boxes", "[]")
                           .Text();
    EXPECT_EQ(text, "{\"event\":\"command\",\"id\":32788,\"ok\":true,\"boxes\":[]}");
    EXPECT_EQ(CJsonObject().Text(), "{}");
}
