#include "base/ansi_string.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using Corvinex::CAnsiString;

TEST(AnsiString, DefaultIsEmptyTextOfCapacityTwo) {
    CAnsiString s;
    EXPECT_EQ(0, s.GetLength());
    EXPECT_NE(nullptr, s.GetBufferPointer());
    EXPECT_EQ(2u, s.GetCapacity());
    s.Empty();
    EXPECT_EQ(nullptr, s.GetBufferPointer());
    EXPECT_EQ(0, s.GetLength());
    EXPECT_EQ(300u + 44u, s.Allocate(300));
}

TEST(AnsiString, WideTextConvertsThroughTheAnsiCodePage) {
    ASSERT_EQ(1252u, GetACP());
    CAnsiString s(L"GetCorvinexEngine");
    EXPECT_STREQ("GetCorvinexEngine", s.c_str());
    EXPECT_EQ(17, s.GetLength());
    CAnsiString umlaut(L"\u00E4\u00F6\u00FC");
    EXPECT_STREQ("\xE4\xF6\xFC", umlaut.c_str());
    CAnsiString copy(umlaut);
    EXPECT_STREQ("\xE4\xF6\xFC", copy.c_str());
    const CAnsiString& same = copy;
    copy = same;
    EXPECT_STREQ("\xE4\xF6\xFC", copy.c_str());
}

TEST(AnsiString, NullTextsGiveTheEmptyText) {
    CAnsiString s(static_cast<const char*>(nullptr));
    EXPECT_EQ(0, s.GetLength());
    EXPECT_EQ(0, s.Assign(static_cast<const wchar_t*>(nullptr)));
    EXPECT_STREQ("", s.c_str());
}
