#include "base/file_handle.h"
#include "tools/vpedrive/pe_image.h"

#include "tools/driver/test_target_path.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Corvinex::Vpedrive;

TEST(PeImage, ReadsAnEngineLibrary) {
    PeImage image;
    ASSERT_EQ(ReadPeImage(VpeTest::TestEnginePath(L"slot_engine"), &image), PeReadResult::Ok);
    EXPECT_EQ(image.machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(image.isDll);
    EXPECT_FALSE(image.isPe32Plus);
    EXPECT_NE(std::find(image.exports.begin(), image.exports.end(), "GetCorvinexEngine"),
              image.exports.end());
    bool kernel = false;
    for (const std::string& name : image.imports)
        kernel = kernel || _stricmp(name.c_str(), "kernel32.dll") == 0;
    EXPECT_TRUE(kernel);
}

TEST(PeImage, ReadsTheImportsOfALibraryInTableOrder) {
    PeImage image;
    ASSERT_EQ(ReadPeImage(VpeTest::TestEnginePath(L"missing_dep_engine"), &image),
              PeReadResult::Ok);
    EXPECT_NE(std::find(image.imports.begin(), image.imports.end(), "vpe_absent_helper.dll"),
              image.imports.end());
}

TEST(PeImage, TellsAProgramFromALibrary) {
    PeImage image;
    ASSERT_EQ(ReadPeImage(VpeTest::TestTargetPath(), &image), PeReadResult::Ok);
    EXPECT_FALSE(image.isDll);
}

TEST(PeImage, RefusesFilesWithoutHeadersAndMissingFiles) {
    wchar_t temp[MAX_PATH] = {0};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"vpe pe test.txt";
    {
        Corvinex::CFileHandle file;
        ASSERT_TRUE(file.Open(path.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS));
        DWORD written = 0;
        WriteFile(file.Get(), "MZ but nothing more", 19, &written, nullptr);
    }
    PeImage image;
    EXPECT_EQ(ReadPeImage(path, &image), PeReadResult::NotPe);
    DeleteFileW(path.c_str());
    EXPECT_EQ(ReadPeImage(path, &image), PeReadResult::CannotRead);
}

TEST(PeImage, NamesMachines) {
    EXPECT_EQ(MachineName(IMAGE_FILE_MACHINE_I386), L"x86");
    EXPECT_EQ(MachineName(IMAGE_FILE_MACHINE_AMD64), L"x64");
    EXPECT_EQ(MachineName(0x1234), L"0x1234");
}
