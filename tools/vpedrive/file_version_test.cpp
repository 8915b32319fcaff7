#include "tools/vpedrive/file_version.h"

#include "testsupport/test_paths.h"
#include "vpe_version.h"

#include <gtest/gtest.h>

using namespace Corvinex::Vpedrive;

namespace {

// build/bin/, where the shipped programs are built (the tests run from build/tests/).
std::wstring ShippedFile(const wchar_t* name) {
    return VpeTest::ProgramFolder() + L"..\\bin\\" + name;
}

} // namespace

TEST(FileVersion, EveryShippedProgramCarriesTheProjectVersion) {
    for (const wchar_t* name : {L"vpetest.exe", L"vpedrive.exe", L"vpe.dll"}) {
        SCOPED_TRACE(testing::Message() << "file " << std::wstring(name).c_str());
        FileVersionInfo info;
        ASSERT_TRUE(ReadFileVersion(ShippedFile(name), &info));
        EXPECT_EQ(info.fileVersion, std::wstring(VPE_VERSION_TEXT) + L".0");
        EXPECT_EQ(info.productVersion, VPE_VERSION_TEXT);
        EXPECT_EQ(info.productName, VPE_PRODUCT_NAME);
        EXPECT_EQ(info.originalFilename, name);
        EXPECT_FALSE(info.fileDescription.empty());
    }
}

TEST(FileVersion, AFileWithoutResourceOrMissingGivesNothing) {
    FileVersionInfo info;
    info.fileVersion = L"stale";
    EXPECT_FALSE(ReadFileVersion(VpeTest::TestEnginePath(L"slot_engine"), &info));
    EXPECT_TRUE(info.fileVersion.empty());
    EXPECT_FALSE(ReadFileVersion(VpeTest::ProgramFolder() + L"no-such-file.dll", &info));
}
