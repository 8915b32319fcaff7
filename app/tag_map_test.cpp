#include "app/tag_map.h"

#include <gtest/gtest.h>

#include <string>

using Corvinex::CTagMap;
using Corvinex::CWideString;

namespace {
std::wstring Substitute(const CTagMap& map, const wchar_t* text) {
    return map.Substitute(text).c_str();
}
} // namespace

TEST(TagMapLookup, FindsTheFirstEqualNameCaseSensitively) {
    const CTagMap::Entry entries[] = {{L"INSTALLED", L"TRUE"}, {L"X", L"1"}, {L"X", L"2"}};
    CTagMap map(entries, 3);
    EXPECT_EQ(L"TRUE", std::wstring(map.Lookup(CWideString(L"INSTALLED")).c_str()));
    EXPECT_EQ(L"1", std::wstring(map.Lookup(CWideString(L"X")).c_str()));
    EXPECT_EQ(L"<installed/>", std::wstring(map.Lookup(CWideString(L"installed")).c_str()));
    EXPECT_EQ(L"</>", std::wstring(map.Lookup(CWideString(L"")).c_str()));
}

TEST(TagMapSubstitute, PlainTextAndNonTagsPassUnchanged) {
    const CTagMap::Entry entries[] = {{L"C", L"1"}, {L"b", L"BOLD"}};
    CTagMap map(entries, 2);
    EXPECT_EQ(L"no tags here", Substitute(map, L"no tags here"));
    EXPECT_EQ(L"", Substitute(map, L""));
    EXPECT_EQ(L"a>b1", Substitute(map, L"a>b<C/>"));
    EXPECT_EQ(L"x <b>bold</b> y", Substitute(map, L"x <b>bold</b> y"));
    EXPECT_EQ(L"x<abc", Substitute(map, L"x<abc"));
    EXPECT_EQ(L"</>", Substitute(map, L"</>"));
    EXPECT_EQ(L"<c/>", Substitute(map, L"<c/>"));
    EXPECT_EQ(L"1/>", Substitute(map, L"<C/>/>"));
}

TEST(TagMapSubstitute, SecondOpeningBracketBecomesPartOfTheName) {
    const CTagMap::Entry entries[] = {{L"<C", L"inner"}, {L"C", L"1"}};
    CTagMap map(entries, 2);
    EXPECT_EQ(L"[inner]", Substitute(map, L"[<<C/>]"));
}

TEST(TagMapSubstitute, ValuesAreNotScannedAgain) {
    const CTagMap::Entry entries[] = {{L"A", L"<B/>"}, {L"B", L"b"}};
    CTagMap map(entries, 2);
    EXPECT_EQ(L"<B/> b", Substitute(map, L"<A/> <B/>"));
}
