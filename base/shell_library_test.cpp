#include "base/shell_library.h"

#include <gtest/gtest.h>

#include <shlobj.h>

using namespace Corvinex;

TEST(ShellLibrary, FindsShellFunctionsThatWork) {
    auto specialPath =
        GetShellFunctionAs<decltype(&SHGetSpecialFolderPathW)>("SHGetSpecialFolderPathW");
    ASSERT_NE(nullptr, specialPath);
    wchar_t path[MAX_PATH + 1] = {0};
    EXPECT_TRUE(specialPath(nullptr, path, CSIDL_PROGRAM_FILES, FALSE));
    EXPECT_NE(L'\0', path[0]);
    EXPECT_EQ(GetShellFunction("SHGetSpecialFolderPathW"),
              GetShellFunction("SHGetSpecialFolderPathW"));
    EXPECT_NE(nullptr, GetModuleHandleW(L"shell32.dll"));
}

TEST(ShellLibrary, UnknownOrNoNameGivesNull) {
    EXPECT_EQ(nullptr, GetShellFunction("NoSuchShellFunction"));
    EXPECT_EQ(nullptr, GetShellFunction(nullptr));
}
