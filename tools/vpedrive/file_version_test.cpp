#include "tools/vpedrive/file_version.h"

#include "testsupport/test_paths.h"
#include "vpe_version.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <regex>
#include <vector>

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

namespace {

// The version resource of the reference engine, as the bounded reader finds it.
std::vector<BYTE> ReferenceVersionBlock() {
    PeImage image;
    EXPECT_EQ(ReadPeImage(ShippedFile(L"vpe.dll"), &image), PeReadResult::Ok);
    return image.versionBlock;
}

void SetWord(std::vector<BYTE>& block, size_t at, WORD value) {
    ASSERT_LE(at + sizeof(value), block.size());
    memcpy(&block[at], &value, sizeof(value));
}

// The offset of a node's header, found by its key.
size_t NodeWithKey(const std::vector<BYTE>& block, const wchar_t* key) {
    const size_t bytes = (wcslen(key) + 1) * sizeof(wchar_t);
    for (size_t at = 6; at + bytes <= block.size(); at += 2) {
        if (memcmp(&block[at], key, bytes) == 0)
            return at - 6;
    }
    ADD_FAILURE() << "no node with that key";
    return 0;
}

} // namespace

TEST(FileVersionBlock, TheReferenceEnginesBlockReadsLikeItsFile) {
    const std::vector<BYTE> block = ReferenceVersionBlock();
    FileVersionInfo info;
    ASSERT_TRUE(ParseVersionBlock(block, &info));
    EXPECT_EQ(info.fileVersion, std::wstring(VPE_VERSION_TEXT) + L".0");
    EXPECT_EQ(info.fixedVersion, std::wstring(VPE_VERSION_TEXT) + L".0");
    EXPECT_EQ(info.originalFilename, L"vpe.dll");
}

TEST(FileVersionBlock, LengthsThatLieCostTheVersionAndNothingElse) {
    const std::vector<BYTE> good = ReferenceVersionBlock();
    ASSERT_GT(good.size(), 100u);
    struct Lie {
        const char* what;
        size_t at;
        WORD value;
    } const lies[] = {
        {"the whole block claims more than there is", 0, 0xFFFF},
        {"a child claims more than its parent", NodeWithKey(good, L"StringFileInfo"), 0xFFF0},
        {"a string table claims more than its parent", NodeWithKey(good, L"040904b0"), 0x7FF0},
        {"a child is shorter than its own header", NodeWithKey(good, L"VarFileInfo"), 4},
        {"the fixed numbers claim more than the block", 2, 0xFFF0},
    };
    for (const Lie& lie : lies) {
        SCOPED_TRACE(lie.what);
        std::vector<BYTE> block = good;
        SetWord(block, lie.at, lie.value);
        FileVersionInfo info;
        info.productName = L"stale";
        EXPECT_FALSE(ParseVersionBlock(block, &info));
        EXPECT_TRUE(info.productName.empty());
    }
    // A block cut anywhere is refused as well, and no cut reads past its end.
    for (size_t size = 0; size < good.size(); size += 7) {
        FileVersionInfo info;
        EXPECT_FALSE(ParseVersionBlock(std::vector<BYTE>(good.begin(), good.begin() + size), &info))
            << size;
    }
}

TEST(FileVersionBlock, AKeyWithoutItsTerminatorIsRefused) {
    std::vector<BYTE> block = ReferenceVersionBlock();
    const size_t node = NodeWithKey(block, L"VS_VERSION_INFO");
    // Every character from the key on is made non-zero: the key never ends inside the block.
    for (size_t at = node + 6; at + 1 < block.size(); at += 2)
        SetWord(block, at, L'A');
    FileVersionInfo info;
    EXPECT_FALSE(ParseVersionBlock(block, &info));
}

TEST(FileVersion, TheDescriptionNamesTheFixedVersionAndTheBuildTime) {
    PeImage image;
    const PeReadResult read = ReadPeImage(ShippedFile(L"vpe.dll"), &image);
    EXPECT_TRUE(std::regex_match(DescribeLibraryFile(read, image),
                                 std::wregex(L"file version " + std::wstring(VPE_VERSION_TEXT) +
                                             L"\\.0, built \\d{4}-\\d\\d-\\d\\d "
                                             L"\\d\\d:\\d\\d:\\d\\d UTC")));
    const PeReadResult untyped = ReadPeImage(VpeTest::TestEnginePath(L"slot_engine"), &image);
    EXPECT_EQ(DescribeLibraryFile(untyped, image).find(L"no version resource, built "), 0u);
    image.versionBlock.assign(10, 0xFF);
    EXPECT_EQ(DescribeLibraryFile(untyped, image).find(L"damaged version resource, built "), 0u);
    EXPECT_EQ(DescribeLibraryFile(PeReadResult::CannotRead, PeImage()),
              L"no version resource, no image time stamp");
}
