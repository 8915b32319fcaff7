// Damaged copies of the reference engine through doctor, validate and run: each command answers
// every shape with a sentence and a status of its own, and none of them crashes. Prints one row
// per shape (ctest -V shows the table).
#include "testsupport/damaged_library.h"
#include "tools/driver/text_file.h"
#include "tools/vpedrive/doctor.h"
#include "tools/vpedrive/pe_image.h"
#include "tools/vpedrive/vpedrive_options.h"
#include "tools/vpedrive/vpedrive_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using Corvinex::Driver::CScratchFolder;
using Corvinex::Driver::QuoteArgument;
using namespace Corvinex::Vpedrive;

namespace {

class DamagedLibrary : public testing::TestWithParam<VpeTest::DamageShape> {};

// The first line of the output, without its line end.
std::string FirstLine(const std::string& output) {
    return output.substr(0, output.find_first_of("\r\n"));
}

// Nothing of a crash or of vpedrive's own fault in the output of a command.
void ExpectNoCrash(const VpeTest::VpedriveRun& run, const char* command) {
    SCOPED_TRACE(command);
    EXPECT_NE(run.status, 0xFFFFFFFFu) << "did not end";
    EXPECT_NE(run.status, static_cast<DWORD>(kStatusHung));
    EXPECT_NE(run.status, static_cast<DWORD>(kStatusInternalFault));
    EXPECT_LT(run.status, 0xC0000000u);
    for (const char* sign : {"terminate called", "Unhandled", "vpedrive itself failed"})
        EXPECT_EQ(run.output.find(sign), std::string::npos) << run.output;
}

} // namespace

TEST_P(DamagedLibrary, EachCommandAnswersWithASentenceAndAStatusOfItsOwn) {
    const VpeTest::DamageShape& shape = GetParam();
    std::vector<BYTE> bytes;
    ASSERT_TRUE(ReadLibraryFile(VpeTest::BuildFile(L"bin\\vpe.dll"), &bytes));
    ASSERT_TRUE(shape.apply(bytes));
    CScratchFolder folder;
    ASSERT_TRUE(folder.Create(L"vpe-damaged-"));
    const std::wstring path = folder.Path() + L"vpe.dll";
    ASSERT_TRUE(Corvinex::Driver::WriteFileBytes(path, std::string(bytes.begin(), bytes.end())));
    PeImage image;
    const bool damaged = ParsePeImage(bytes, &image) != PeReadResult::Ok;

    const std::wstring engine = L" --engine " + QuoteArgument(path);
    const VpeTest::VpedriveRun doctor = VpeTest::RunVpedrive(L"doctor" + engine);
    const VpeTest::VpedriveRun validate =
        VpeTest::RunVpedrive(L"validate --only ^binding$ --seed 1" + engine);
    const VpeTest::VpedriveRun run = VpeTest::RunVpedrive(L"run" + engine);
    std::printf("| %-26s | doctor %2lu | validate %lu | run %lu | %s\n", shape.name, doctor.status,
                validate.status, run.status, FirstLine(doctor.output).c_str());
    ExpectNoCrash(doctor, "doctor");
    ExpectNoCrash(validate, "validate");
    ExpectNoCrash(run, "run");

    if (damaged) {
        // Doctor's verdict, and the same sentence from validate and run with bad input.
        EXPECT_EQ(doctor.status, static_cast<DWORD>(kDoctorNotLibrary)) << doctor.output;
        const std::string sentence = FirstLine(doctor.output);
        EXPECT_NE(sentence.find(" is damaged: "), std::string::npos) << sentence;
        EXPECT_EQ(validate.status, static_cast<DWORD>(kStatusBadInput)) << validate.output;
        EXPECT_NE(validate.output.find(sentence), std::string::npos) << validate.output;
        EXPECT_EQ(run.status, static_cast<DWORD>(kStatusBadInput)) << run.output;
        EXPECT_NE(run.output.find(sentence), std::string::npos) << run.output;
    } else {
        // A lying version resource costs the version line and nothing else.
        EXPECT_EQ(doctor.status, static_cast<DWORD>(kDoctorBindable)) << doctor.output;
        EXPECT_EQ(doctor.output.find("File version"), std::string::npos) << doctor.output;
        EXPECT_EQ(validate.status, 0u) << validate.output;
        EXPECT_NE(validate.output.find("damaged version resource, built "), std::string::npos)
            << validate.output;
        EXPECT_EQ(run.status, 0u) << run.output;
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, DamagedLibrary, testing::ValuesIn(VpeTest::DamageShapes()),
                         [](const testing::TestParamInfo<VpeTest::DamageShape>& info) {
                             return std::string(info.param.name);
                         });
