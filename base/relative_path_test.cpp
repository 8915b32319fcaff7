#include "base/relative_path.h"

#include <gtest/gtest.h>

using namespace Corvinex;

namespace {
bool Safe(const wchar_t* text) {
    return IsSafeRelativePath(CWideString(text));
}
} // namespace

TEST(RelativePath, OrdinaryEntriesAreSafe) {
    EXPECT_TRUE(Safe(L"file.txt"));
    EXPECT_TRUE(Safe(L"sub/"));
    EXPECT_TRUE(Safe(L"a/b/c.dat"));
    EXPECT_TRUE(Safe(L"a\\b\\"));
    EXPECT_TRUE(Safe(L"\u0416\u4e2d/\u00e9t\u00e9.txt"));
    EXPECT_TRUE(Safe(L".hidden"));
    EXPECT_TRUE(Safe(L"a..b"));
    EXPECT_TRUE(Safe(L"CONFIG.SYS"));
    EXPECT_TRUE(Safe(L"COM10"));
}

TEST(RelativePath, ClimbingOutIsRefused) {
    EXPECT_FALSE(Safe(L".."));
    EXPECT_FALSE(Safe(L"../x"));
    EXPECT_FALSE(Safe(L"a/../../x"));
    EXPECT_FALSE(Safe(L"a\\..\\..\\x"));
    EXPECT_FALSE(Safe(L"./x"));
    EXPECT_FALSE(Safe(L"a/. ./x"));
    EXPECT_FALSE(Safe(L"a/.../x")); // Windows trims it to nothing
}

TEST(RelativePath, AbsoluteDriveAndShareAreRefused) {
    EXPECT_FALSE(Safe(L""));
    EXPECT_FALSE(Safe(L"/"));
    EXPECT_FALSE(Safe(L"/etc/passwd"));
    EXPECT_FALSE(Safe(L"\\windows\\x"));
    EXPECT_FALSE(Safe(L"C:/x"));
    EXPECT_FALSE(Safe(L"C:x"));
    EXPECT_FALSE(Safe(L"//server/share/x"));
    EXPECT_FALSE(Safe(L"\\\\?\\C:\\x"));
    EXPECT_FALSE(Safe(L"file.txt:stream"));
    EXPECT_FALSE(Safe(L"a//b"));
}

TEST(RelativePath, DevicesAreRefusedWithAnyExtensionOrCase) {
    EXPECT_FALSE(Safe(L"CON"));
    EXPECT_FALSE(Safe(L"nul"));
    EXPECT_FALSE(Safe(L"a/NUL.txt"));
    EXPECT_FALSE(Safe(L"com1"));
    EXPECT_FALSE(Safe(L"LPT9.log"));
    EXPECT_FALSE(Safe(L"aux /x"));
    EXPECT_FALSE(Safe(L"CONOUT$"));
    EXPECT_FALSE(Safe(L"COM\u00b9"));
    EXPECT_FALSE(Safe(L"prn/"));
}

TEST(RelativePath, WildcardsAndControlsAreRefused) {
    EXPECT_FALSE(Safe(L"*"));
    EXPECT_FALSE(Safe(L"a?.txt"));
    EXPECT_FALSE(Safe(L"a\"b"));
    EXPECT_FALSE(Safe(L"a<b>"));
    EXPECT_FALSE(Safe(L"a|b"));
    EXPECT_FALSE(Safe(L"a\tb"));
    EXPECT_FALSE(Safe(L"name."));
    EXPECT_FALSE(Safe(L"name "));
}
