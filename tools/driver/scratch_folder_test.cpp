#include "tools/driver/scratch_folder.h"

#include "tools/driver/test_target_path.h"

#include <gtest/gtest.h>

using namespace Corvinex::Driver;

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

TEST(ScratchFolder, MakesDistinctEmptyFoldersAndRemovesThemWithTheirContents) {
    std::wstring firstPath, secondPath;
    {
        CScratchFolder first, second;
        ASSERT_TRUE(first.Create(L"vpe-test-"));
        ASSERT_TRUE(second.Create(L"vpe-test-"));
        firstPath = first.Path();
        secondPath = second.Path();
        EXPECT_NE(firstPath, secondPath);
        EXPECT_EQ(firstPath.back(), L'\\');
        EXPECT_TRUE(Exists(firstPath));
        ASSERT_TRUE(CreateDirectoryW((firstPath + L"log").c_str(), nullptr));
        ASSERT_TRUE(first.CopyIn(VpeTest::TestTargetPath(), L"log\\copy.exe"));
        EXPECT_FALSE(first.Create(L"again-"));
    }
    EXPECT_FALSE(Exists(firstPath));
    EXPECT_FALSE(Exists(secondPath));
}

TEST(ScratchFolder, LaysOutAHarnessWithItsEngineAsVpeDll) {
    CScratchFolder folder;
    ASSERT_TRUE(folder.Create(L"vpe-test-"));
    std::wstring copy, error;
    ASSERT_TRUE(PrepareHarnessFolder(folder, VpeTest::TestTargetPath(), VpeTest::TestTargetPath(),
                                     &copy, &error));
    EXPECT_EQ(copy, folder.Path() + L"test_target.exe");
    EXPECT_TRUE(Exists(copy));
    EXPECT_TRUE(Exists(folder.Path() + L"vpe.dll"));
}

TEST(ScratchFolder, NamesTheFileThatCouldNotBeCopied) {
    CScratchFolder folder;
    ASSERT_TRUE(folder.Create(L"vpe-test-"));
    std::wstring copy, error;
    const std::wstring missing = VpeTest::ProgramFolder() + L"missing engine \x00E4.dll";
    EXPECT_FALSE(PrepareHarnessFolder(folder, VpeTest::TestTargetPath(), missing, &copy, &error));
    EXPECT_EQ(error, missing);
}

TEST(ScratchFolder, SplitsPathsIntoFolderAndName) {
    EXPECT_EQ(FileNameOf(L"C:\\a b\\vpetest.exe"), L"vpetest.exe");
    EXPECT_EQ(FolderOf(L"C:\\a b\\vpetest.exe"), L"C:\\a b\\");
    EXPECT_EQ(FileNameOf(L"C:/x/y.dll"), L"y.dll");
    EXPECT_EQ(FolderOf(L"vpe.dll"), L"");
}
