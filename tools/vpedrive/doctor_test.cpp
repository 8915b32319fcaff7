// Every verdict of vpedrive doctor, from libraries built to provoke each one, through the real
// loader in a child process.
#include "tools/vpedrive/doctor.h"

#include "testsupport/fault_code.h"
#include "base/file_handle.h"
#include "tools/vpedrive/vpedrive_test_support.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Corvinex::Vpedrive;
using Corvinex::Driver::CScratchFolder;
using Corvinex::Driver::QuoteArgument;

namespace {

Verdict Diagnose(const std::wstring& path, ModuleAbi abi = ModuleAbi::Unknown) {
    return DiagnoseEngine(path, VpeTest::VpedriveFolder(), abi, 30000);
}

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

// Writes `bytes` as a file in the folder.
std::wstring WriteFile(CScratchFolder& folder, const std::wstring& name,
                       const std::vector<char>& bytes) {
    const std::wstring path = folder.Path() + name;
    Corvinex::CFileHandle file;
    file.Open(path.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS);
    DWORD written = 0;
    ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return path;
}

} // namespace

TEST(Doctor, ABindableEngine) {
    Verdict verdict = Diagnose(VpeTest::TestEnginePath(L"slot_engine"));
    EXPECT_EQ(verdict.status, kDoctorBindable) << verdict.sentence;
    EXPECT_TRUE(Contains(verdict.sentence, L"can be bound"));
}

TEST(Doctor, NoFile) {
    Verdict verdict = Diagnose(VpeTest::ProgramFolder() + L"engines\\nothing here\\vpe.dll");
    EXPECT_EQ(verdict.status, kDoctorNoFile);
    EXPECT_TRUE(Contains(verdict.sentence, L"nothing here")) << verdict.sentence;
}

TEST(Doctor, AFolderIsNoLibrary) {
    Verdict verdict = Diagnose(VpeTest::ProgramFolder() + L"engines");
    EXPECT_EQ(verdict.status, kDoctorNoFile);
    EXPECT_TRUE(Contains(verdict.sentence, L"folder"));
}

TEST(Doctor, NotALibrary) {
    CScratchFolder folder;
    ASSERT_TRUE(folder.Create(L"vpe-doctor-"));
    std::wstring path = WriteFile(folder, L"vpe.dll", {'h', 'e', 'l', 'l', 'o'});
    Verdict verdict = Diagnose(path);
    EXPECT_EQ(verdict.status, kDoctorNotLibrary);
    EXPECT_TRUE(Contains(verdict.sentence, L"MZ/PE")) << verdict.sentence;
}

// The engine with the machine of its file header changed: to ARM64, a machine type the harness
// is not built for, and to x64, which its 32-bit optional header contradicts.
TEST(Doctor, BuiltForAMachineTypeTheHarnessIsNotBuiltFor) {
    CScratchFolder folder;
    ASSERT_TRUE(folder.Create(L"vpe-doctor-"));
    const std::wstring engine = VpeTest::TestEnginePath(L"slot_engine");
    ASSERT_TRUE(VpeTest::CopyWithMachine(engine, folder.Path() + L"arm64.dll", 0xAA64));
    Verdict verdict = Diagnose(folder.Path() + L"arm64.dll");
    EXPECT_EQ(verdict.status, kDoctorOtherMachine) << verdict.sentence;
    EXPECT_TRUE(Contains(verdict.sentence, L"is built for ARM64, a machine type vpetest.exe is not "
                                           L"built for: it exists for x86 and x64"))
        << verdict.sentence;
    ASSERT_TRUE(
        VpeTest::CopyWithMachine(engine, folder.Path() + L"x64.dll", IMAGE_FILE_MACHINE_AMD64));
    verdict = Diagnose(folder.Path() + L"x64.dll");
    EXPECT_EQ(verdict.status, kDoctorNotLibrary) << verdict.sentence;
    EXPECT_TRUE(Contains(verdict.sentence, L"optional header")) << verdict.sentence;
}

TEST(Doctor, AProgramIsNotALibrary) {
    Verdict verdict = Diagnose(VpeTest::TestTargetPath());
    EXPECT_EQ(verdict.status, kDoctorProgram);
}

TEST(Doctor, NamesTheMissingDependency) {
    Verdict verdict = Diagnose(VpeTest::TestEnginePath(L"missing_dep_engine"));
    EXPECT_EQ(verdict.status, kDoctorMissingDependency);
    EXPECT_TRUE(Contains(verdict.sentence, L"vpe_absent_helper.dll")) << verdict.sentence;
}

TEST(Doctor, ADependencyBesideTheLibraryIsFound) {
    CScratchFolder folder;
    ASSERT_TRUE(folder.Create(L"vpe-doctor-"));
    ASSERT_TRUE(VpeTest::CopyEngineWithDependency(folder, true));
    EXPECT_EQ(FindMissingDependency(folder.Path(), {"KERNEL32.dll", "vpe_absent_helper.dll"},
                                    IMAGE_FILE_MACHINE_I386),
              "");
    EXPECT_EQ(FindMissingDependency(folder.Path(), {"KERNEL32.dll", "vpe_nowhere.dll"},
                                    IMAGE_FILE_MACHINE_I386),
              "vpe_nowhere.dll");
    // With its helper beside it, the engine loads; its factory then returns null.
    EXPECT_EQ(Diagnose(folder.Path() + L"vpe.dll").status, kDoctorNullFactory);
}

TEST(Doctor, NoFactoryExport) {
    Verdict verdict = Diagnose(VpeTest::TestEnginePath(L"noexport_engine"));
    EXPECT_EQ(verdict.status, kDoctorNoExport);
    EXPECT_TRUE(Contains(verdict.sentence, L"GetCorvinexEngine"));
}

TEST(Doctor, FactoryReturnsNothing) {
    Verdict verdict = Diagnose(VpeTest::TestEnginePath(L"null_engine"));
    EXPECT_EQ(verdict.status, kDoctorNullFactory);
    EXPECT_TRUE(Contains(verdict.sentence, L"null"));
}

TEST(Doctor, FactoryReturnsAnotherType) {
    Verdict verdict = Diagnose(VpeTest::TestEnginePath(L"foreign_engine"));
    EXPECT_EQ(verdict.status, kDoctorWrongType);
    EXPECT_TRUE(Contains(verdict.sentence, L"IVeilpathEngine"));
}

TEST(Doctor, AnInterfaceOfAnotherNameWithTheSameSlotsIsRefused) {
    Verdict verdict = Diagnose(VpeTest::TestEnginePath(L"lookalike_engine"));
    EXPECT_EQ(verdict.status, kDoctorWrongType) << verdict.sentence;
}

TEST(Doctor, FaultWhileLoading) {
    Verdict verdict = Diagnose(VpeTest::TestEnginePath(L"dllmain_fault_engine"));
    EXPECT_EQ(verdict.status, kDoctorLoadFault) << verdict.sentence;
    EXPECT_TRUE(Contains(verdict.sentence, L"loaded"));
}

TEST(Doctor, FaultInTheFactoryLeavesVpedriveStanding) {
    Verdict verdict = Diagnose(VpeTest::TestEnginePath(L"doctor_factory_fault"));
    EXPECT_EQ(verdict.status, kDoctorFactoryFault) << verdict.sentence;
    EXPECT_TRUE(Contains(verdict.sentence, VpeTest::NullWriteFaultText())) << verdict.sentence;
}

TEST(Doctor, AnExceptionEscapingTheFactoryIsNamed) {
    Verdict verdict = Diagnose(VpeTest::TestEnginePath(L"doctor_factory_throw"));
    EXPECT_EQ(verdict.status, kDoctorFactoryException) << verdict.sentence;
    EXPECT_TRUE(Contains(verdict.sentence, L"C++ exception (std::runtime_error)"))
        << verdict.sentence;
    EXPECT_TRUE(Contains(verdict.sentence, L"GetCorvinexEngine")) << verdict.sentence;
}

TEST(Doctor, AFactoryEndingTheProcessWithAbortsCodeIsNotANullFactory) {
    Verdict verdict = Diagnose(VpeTest::TestEnginePath(L"doctor_factory_exit"));
    EXPECT_EQ(verdict.status, kDoctorEndsProcess) << verdict.sentence;
    EXPECT_TRUE(Contains(verdict.sentence, L"in GetCorvinexEngine (exit code 3)"))
        << verdict.sentence;
}

// The probe's answer stands when the process meets a fault after it, here in its exit, which
// calls into the library the probe has unloaded.
TEST(Doctor, AFaultAfterTheAnswerDoesNotReplaceIt) {
    Verdict verdict = Diagnose(VpeTest::TestEnginePath(L"doctor_exit_fault"));
    EXPECT_EQ(verdict.status, kDoctorBindable) << verdict.sentence;
}

TEST(DoctorCommand, PrintsOneVerdictLineAndEndsWithItsStatus) {
    VpeTest::VpedriveRun run = VpeTest::RunVpedrive(
        L"doctor --engine " + QuoteArgument(VpeTest::TestEnginePath(L"foreign_engine")));
    EXPECT_EQ(run.status, static_cast<DWORD>(kDoctorWrongType));
    EXPECT_NE(run.output.find("IVeilpathEngine"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << run.output;
}

TEST(DoctorCommand, WorksForAPathWithBlanksAndNonAnsiCharacters) {
    CScratchFolder folder;
    ASSERT_TRUE(folder.Create(L"vpe-doctor-"));
    const std::wstring sub = folder.Path() + L"Engine \x00C4 \x65E5\x672C \x0416";
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(VpeTest::TestEnginePath(L"slot_engine").c_str(),
                          (sub + L"\\vpe.dll").c_str(), FALSE));
    VpeTest::VpedriveRun run =
        VpeTest::RunVpedrive(L"doctor --engine " + QuoteArgument(sub + L"\\vpe.dll"));
    EXPECT_EQ(run.status, 0u) << run.output;
    EXPECT_NE(run.output.find(VpeTest::Utf8(L"\x65E5\x672C \x0416")), std::string::npos)
        << run.output;
}

TEST(DoctorCommand, AMissingPathWithNonAnsiCharactersIsBadInput) {
    const std::wstring missing = VpeTest::ProgramFolder() + L"no \x65E5\x672C engine\\vpe.dll";
    VpeTest::VpedriveRun run = VpeTest::RunVpedrive(L"doctor --engine " + QuoteArgument(missing));
    EXPECT_EQ(run.status, 2u);
    EXPECT_NE(run.output.find(VpeTest::Utf8(L"no \x65E5\x672C engine")), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << run.output;
}

// The helper's verbs passed on by a vpedrive.exe that has no helper of the engine's ABI: the
// set-up's fault (2), with where the helper was looked for, not a bare Windows error.
TEST(DoctorCommand, AHelperThatIsNotThereIsNamedWithWhereItWasLookedFor) {
    CScratchFolder folder;
    ASSERT_TRUE(folder.Create(L"vpe-no-helper-"));
    ASSERT_TRUE(folder.CopyIn(VpeTest::VpedrivePath(), L"vpedrive.exe"));
    const std::wstring engine = QuoteArgument(VpeTest::TestEnginePath(L"slot_engine"));
    for (const std::wstring& arguments :
         {L"doctor-probe " + engine, L"validate-check --check binding --engine " + engine}) {
        const VpeTest::VpedriveRun run =
            VpeTest::RunVpedrive(arguments, 90000, folder.Path() + L"vpedrive.exe");
        EXPECT_EQ(run.status, 2u) << run.output;
        EXPECT_NE(run.output.find("no check helper (vpecheck.exe) of the x86 GCC ABI"),
                  std::string::npos)
            << run.output;
        EXPECT_NE(run.output.find("looked for"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("Windows error"), std::string::npos) << run.output;
    }
}

// Engines of both ABIs and without type names, judged by the helper of their ABI or of --abi.
class DoctorAbi : public ::testing::Test {
protected:
    void SetUp() override {
        if (!VpeTest::MsvcBuildPresent())
            GTEST_SKIP() << "the MSVC-ABI build (build/msvc) is not there";
    }

    static std::wstring Full(const std::wstring& relative) {
        return Corvinex::Driver::FullPath(VpeTest::BuildFile(relative));
    }

    const std::wstring m_msvcEngine = Full(L"msvc\\bin\\vpe.dll");
    const std::wstring m_gccEngine = Full(L"bin\\vpe.dll");
    const std::wstring m_nortti = Full(L"msvc\\tests\\engines\\nortti_engine\\vpe.dll");
};

TEST_F(DoctorAbi, EachReferenceEngineIsBindableWithItsAbiAndHarnessNamed) {
    const struct {
        std::wstring engine;
        const char* abi;
        std::wstring harness;
        std::wstring helper;
    } cases[] = {{m_msvcEngine, "built for x86 in the MSVC ABI (Visual Studio)",
                  Full(L"msvc\\bin\\vpetest.exe"), Full(L"msvc\\bin\\vpecheck.exe")},
                 {m_gccEngine, "built for x86 in the GCC ABI (MinGW)", Full(L"bin\\vpetest.exe"),
                  Full(L"bin\\vpecheck.exe")}};
    for (const auto& engine : cases) {
        VpeTest::VpedriveRun run =
            VpeTest::RunVpedrive(L"doctor --engine " + QuoteArgument(engine.engine));
        EXPECT_EQ(run.status, 0u) << run.output;
        EXPECT_NE(run.output.find(std::string(engine.abi) + ": bind it with " +
                                  VpeTest::Utf8(engine.harness) + "."),
                  std::string::npos)
            << run.output;
        EXPECT_EQ(Diagnose(engine.engine).helper, engine.helper);
    }
}

// The wrong helper reads the object's type information as its own ABI lays it out only after
// checking the layout: a clean verdict, never a fault in the helper.
TEST_F(DoctorAbi, AHelperOfTheOtherAbiRefusesTheEngineWithoutCrashing) {
    const struct {
        std::wstring engine;
        const wchar_t* abi;
        const char* title;
    } cases[] = {{m_msvcEngine, L"gcc", "GCC ABI (MinGW) that --abi names"},
                 {m_gccEngine, L"msvc", "MSVC ABI (Visual Studio) that --abi names"}};
    for (const auto& pair : cases) {
        VpeTest::VpedriveRun run = VpeTest::RunVpedrive(L"doctor --abi " + std::wstring(pair.abi) +
                                                        L" --engine " + QuoteArgument(pair.engine));
        EXPECT_EQ(run.status, static_cast<DWORD>(kDoctorWrongType)) << run.output;
        EXPECT_NE(run.output.find(std::string("without type information of the ") + pair.title),
                  std::string::npos)
            << run.output;
        EXPECT_EQ(run.output.find("exception"), std::string::npos) << run.output;
    }
}

TEST_F(DoctorAbi, AnEngineWithoutTypeNamesNeedsAbiAndIsJudgedWithIt) {
    Verdict unknown = Diagnose(m_nortti);
    EXPECT_EQ(unknown.status, kDoctorAbiUnknown) << unknown.sentence;
    EXPECT_TRUE(Contains(unknown.sentence, L"cannot be told; --abi msvc or --abi gcc"))
        << unknown.sentence;
    Verdict judged = Diagnose(m_nortti, ModuleAbi::Msvc);
    EXPECT_EQ(judged.status, kDoctorWrongType) << judged.sentence;
    EXPECT_TRUE(Contains(judged.sentence, L"of the MSVC ABI (Visual Studio) that --abi names"))
        << judged.sentence;
    EXPECT_EQ(judged.helper, Full(L"msvc\\bin\\vpecheck.exe"));
    // What does not depend on the ABI is found in either helper.
    EXPECT_EQ(Diagnose(VpeTest::TestEnginePath(L"null_engine"), ModuleAbi::Msvc).status,
              kDoctorNullFactory);
}

// A release folder holding only the GCC-ABI programs, then the MSVC-ABI helper without its
// harness: doctor names what is missing instead of binding in the wrong ABI.
TEST_F(DoctorAbi, AReleaseLackingTheProgramsOfTheEnginesAbiSaysWhich) {
    CScratchFolder root;
    ASSERT_TRUE(root.Create(L"vpe-doctor-abi-"));
    ASSERT_TRUE(CreateDirectoryW((root.Path() + L"bin").c_str(), nullptr));
    const std::wstring bin = root.Path() + L"bin\\";
    ASSERT_TRUE(
        CopyFileW(Full(L"bin\\vpecheck.exe").c_str(), (bin + L"vpecheck.exe").c_str(), FALSE));
    ASSERT_TRUE(
        CopyFileW(Full(L"bin\\vpetest.exe").c_str(), (bin + L"vpetest.exe").c_str(), FALSE));
    Verdict noHelper = DiagnoseEngine(m_msvcEngine, bin, ModuleAbi::Unknown, 30000);
    EXPECT_EQ(noHelper.status, kDoctorNoProgramOfAbi) << noHelper.sentence;
    EXPECT_TRUE(Contains(noHelper.sentence, L"no check helper (vpecheck.exe) of the x86 MSVC ABI"))
        << noHelper.sentence;
    EXPECT_EQ(noHelper.helper, L"");

    ASSERT_TRUE(CopyFileW(Full(L"msvc\\bin\\vpecheck.exe").c_str(), (bin + L"vpecheck.exe").c_str(),
                          FALSE));
    Verdict noHarness = DiagnoseEngine(m_msvcEngine, bin, ModuleAbi::Unknown, 30000);
    EXPECT_EQ(noHarness.status, kDoctorNoProgramOfAbi) << noHarness.sentence;
    EXPECT_TRUE(Contains(noHarness.sentence, L"lacks its harness: no harness of the x86 MSVC ABI"))
        << noHarness.sentence;
}
