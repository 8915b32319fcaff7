#include "base/file_handle.h"
#include "tools/vpedrive/pe_image.h"

#include "testsupport/damaged_library.h"
#include "tools/driver/test_target_path.h"
#include "tools/vpedrive/vpedrive_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace Corvinex::Vpedrive;

namespace {

// Whether `image` imports kernel32.dll (under any case), as every library built here does.
bool ImportsKernel32(const PeImage& image) {
    for (const std::string& name : image.imports)
        if (_stricmp(name.c_str(), "kernel32.dll") == 0)
            return true;
    return false;
}

} // namespace

TEST(PeImage, ReadsAnEngineLibrary) {
    PeImage image;
    ASSERT_EQ(ReadPeImage(VpeTest::TestEnginePath(L"slot_engine"), &image), PeReadResult::Ok);
    EXPECT_EQ(image.machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(image.isDll);
    EXPECT_FALSE(image.isPe32Plus);
    EXPECT_NE(std::find(image.exports.begin(), image.exports.end(), "GetCorvinexEngine"),
              image.exports.end());
    EXPECT_TRUE(ImportsKernel32(image));
}

TEST(PeImage, ReadsTheImportsOfALibraryInTableOrder) {
    PeImage image;
    ASSERT_EQ(ReadPeImage(VpeTest::TestEnginePath(L"missing_dep_engine"), &image),
              PeReadResult::Ok);
    EXPECT_NE(std::find(image.imports.begin(), image.imports.end(), "vpe_absent_helper.dll"),
              image.imports.end());
}

// x64 libraries of both ABIs carry a PE32+ optional header; their import and export tables read
// as an x86 library's do.
TEST(PeImage, ReadsTheImportsAndExportsOfX64Libraries) {
    if (!VpeTest::X64BuildsPresent())
        GTEST_SKIP() << "the x64 builds (build/x64, build/msvc-x64) are not there";
    for (const wchar_t* library : {L"x64\\bin\\vpe.dll", L"msvc-x64\\bin\\vpe.dll"}) {
        SCOPED_TRACE(VpeTest::Utf8(library));
        PeImage image;
        ASSERT_EQ(ReadPeImage(VpeTest::BuildFile(library), &image), PeReadResult::Ok);
        EXPECT_EQ(image.machine, IMAGE_FILE_MACHINE_AMD64);
        EXPECT_TRUE(image.isPe32Plus);
        EXPECT_TRUE(image.isDll);
        EXPECT_FALSE(image.versionBlock.empty());
        EXPECT_NE(std::find(image.exports.begin(), image.exports.end(), "GetCorvinexEngine"),
                  image.exports.end());
        EXPECT_TRUE(ImportsKernel32(image));
    }
    PeImage dependent;
    ASSERT_EQ(ReadPeImage(VpeTest::BuildFile(L"x64\\tests\\engines\\missing_dep_engine\\vpe.dll"),
                          &dependent),
              PeReadResult::Ok);
    EXPECT_NE(
        std::find(dependent.imports.begin(), dependent.imports.end(), "vpe_absent_helper.dll"),
        dependent.imports.end());
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

namespace {

// The reference engine of the build below build/ in `folder` (L"bin" for the x86 GCC-ABI one).
VpeTest::LibraryBytes ReferenceEngineBytes(const std::wstring& folder = L"bin") {
    std::vector<BYTE> bytes;
    EXPECT_TRUE(
        ReadLibraryFile(VpeTest::ProgramFolder() + L"..\\" + folder + L"\\vpe.dll", &bytes));
    return bytes;
}

// What the reader makes of each damaged shape of the reference engine.
struct ShapeReading {
    const char* shape;
    PeReadResult result;
    const wchar_t* damage; // a part of the damage sentence
};

const ShapeReading kShapeReadings[] = {
    {"lfanew_past_end", PeReadResult::Damaged, L"its PE header lies outside the file"},
    {"lfanew_near_4GiB", PeReadResult::Damaged, L"its PE header lies outside the file"},
    {"cut_in_optional_header", PeReadResult::Damaged, L"its headers are cut off"},
    {"cut_in_section_table", PeReadResult::Damaged, L"its section table runs past the end"},
    {"import_section_outside", PeReadResult::Damaged, L"its import table lies outside"},
    {"imports_outside", PeReadResult::Damaged, L"its import table lies outside"},
    {"exports_outside", PeReadResult::Damaged, L"its export table lies outside"},
    {"resources_outside", PeReadResult::Damaged, L"its resource table lies outside"},
    {"version_lengths_lie", PeReadResult::Ok, L""},
    // The shape wipes every terminator to the end of the name's section; where the import names
    // follow in that section (lld-link's x64 layout), the import table, read first, is named.
    {"export_name_unterminated", PeReadResult::Damaged, L"table has no end"},
};

} // namespace

// The same readings for the reference engine of each build: x86, and the PE32+ images of x64.
TEST(PeImage, EveryDamagedShapeIsAnsweredWithoutReadingPastTheFile) {
    std::vector<std::wstring> folders = {L"bin"};
    if (VpeTest::X64BuildsPresent())
        folders.insert(folders.end(), {L"x64\\bin", L"msvc-x64\\bin"});
    ASSERT_EQ(VpeTest::DamageShapes().size(), sizeof(kShapeReadings) / sizeof(kShapeReadings[0]));
    for (const std::wstring& folder : folders) {
        SCOPED_TRACE(VpeTest::Utf8(folder));
        const VpeTest::LibraryBytes good = ReferenceEngineBytes(folder);
        PeImage image;
        ASSERT_EQ(ParsePeImage(good, &image), PeReadResult::Ok);
        ASSERT_FALSE(image.versionBlock.empty());
        EXPECT_NE(image.timeStamp, 0u);
        for (const VpeTest::DamageShape& shape : VpeTest::DamageShapes()) {
            SCOPED_TRACE(shape.name);
            const ShapeReading* reading = nullptr;
            for (const ShapeReading& known : kShapeReadings)
                reading = std::string(known.shape) == shape.name ? &known : reading;
            ASSERT_NE(reading, nullptr);
            VpeTest::LibraryBytes bytes = good;
            ASSERT_TRUE(shape.apply(bytes));
            // An exact copy in a block of its own, so a read past its end would be seen by Wine's
            // heap checks rather than land in the rest of the file.
            const std::vector<BYTE> exact(bytes.begin(), bytes.end());
            EXPECT_EQ(ParsePeImage(exact, &image), reading->result);
            EXPECT_NE(image.damage.find(reading->damage), std::wstring::npos)
                << image.damage.c_str();
        }
    }
}

TEST(PeImage, AHeaderThatIsNotPeIsNoLibraryAndAnEmptyFileToo) {
    std::vector<BYTE> bytes = ReferenceEngineBytes();
    PeImage image;
    bytes[VpeTest::DamageDetail::Dword(bytes, 0x3C)] = 'X'; // "PE\0\0" becomes "XE\0\0"
    EXPECT_EQ(ParsePeImage(bytes, &image), PeReadResult::NotPe);
    EXPECT_EQ(ParsePeImage(std::vector<BYTE>(), &image), PeReadResult::NotPe);
}
