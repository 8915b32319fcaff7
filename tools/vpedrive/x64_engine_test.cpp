// vpedrive (a 32-bit program) with x64 engines of both ABIs: doctor, validate and run choose the
// x64 harness and helper of the engine's ABI and drive them where the system runs x64 programs
// (the 64-bit prefix, where ctest runs X64Engine.*), and refuse with the cause where it runs x86
// programs only (the 32-bit prefix, X64EngineOn32BitSystem.*).
#include "tools/driver/registry_backup.h"
#include "tools/vpedrive/check_log_lines.h"
#include "tools/vpedrive/doctor.h"
#include "tools/vpedrive/engine_dependencies.h"
#include "tools/vpedrive/vpedrive_options.h"
#include "tools/vpedrive/vpedrive_test_support.h"

#include <gtest/gtest.h>

#include <regex>

using namespace Corvinex::Vpedrive;
using Corvinex::Driver::CDeveloperSettingsGuard;
using Corvinex::Driver::CScratchFolder;
using Corvinex::Driver::FolderOf;
using Corvinex::Driver::FullPath;
using Corvinex::Driver::QuoteArgument;
using VpeTest::RunVpedrive;
using VpeTest::VpedriveRun;

namespace {

// A file of the build tree as a full path, as vpedrive names it.
std::wstring Full(const std::wstring& relative) {
    return FullPath(VpeTest::BuildFile(relative));
}

// The x64 build of one ABI: its folder below build/ and how doctor names the ABI.
struct X64Build {
    const wchar_t* folder;
    const char* abi;
};
const X64Build kX64Builds[] = {{L"x64", "GCC ABI (MinGW)"},
                               {L"msvc-x64", "MSVC ABI (Visual Studio)"}};

std::wstring InBuild(const X64Build& build, const std::wstring& file) {
    return Full(std::wstring(build.folder) + L"\\" + file);
}

std::wstring X64TestEngine(const wchar_t* name) {
    return Full(std::wstring(L"x64\\tests\\engines\\") + name + L"\\vpe.dll");
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Where the system runs x64 programs: vpedrive drives them.
class X64Engine : public ::testing::Test {
protected:
    void SetUp() override {
        if (!VpeTest::X64BuildsPresent())
            GTEST_SKIP() << "the x64 builds (build/x64, build/msvc-x64) are not there";
        if (!VpeTest::SystemRunsX64())
            GTEST_SKIP() << "this system runs x86 programs only (X64EngineOn32BitSystem)";
    }
};

// Where it runs x86 programs only: every command refuses an x64 engine with the cause.
class X64EngineOn32BitSystem : public ::testing::Test {
protected:
    void SetUp() override {
        if (!VpeTest::X64BuildsPresent())
            GTEST_SKIP() << "the x64 builds (build/x64, build/msvc-x64) are not there";
        if (VpeTest::SystemRunsX64())
            GTEST_SKIP() << "this system runs x64 programs (X64Engine)";
    }
};

} // namespace

TEST_F(X64Engine, DoctorBindsEachEngineInTheX64HelperOfItsAbi) {
    for (const X64Build& build : kX64Builds) {
        const std::wstring engine = InBuild(build, L"bin\\vpe.dll");
        const VpedriveRun run = RunVpedrive(L"doctor --engine " + QuoteArgument(engine));
        EXPECT_EQ(run.status, 0u) << run.output;
        EXPECT_TRUE(Has(run.output, std::string("built for x64 in the ") + build.abi +
                                        ": bind it with " +
                                        VpeTest::Utf8(InBuild(build, L"bin\\vpetest.exe")) + "."))
            << run.output;
        const Verdict verdict =
            DiagnoseEngine(engine, VpeTest::VpedriveFolder(), ModuleAbi::Unknown, 30000);
        EXPECT_EQ(verdict.helper, InBuild(build, L"bin\\vpecheck.exe")) << verdict.sentence;
    }
}

TEST_F(X64Engine, DoctorNamesTheFaultsOfX64Engines) {
    const Verdict thrown = DiagnoseEngine(X64TestEngine(L"doctor_factory_throw"),
                                          VpeTest::VpedriveFolder(), ModuleAbi::Unknown, 30000);
    EXPECT_EQ(thrown.status, kDoctorFactoryException) << thrown.sentence;
    EXPECT_NE(thrown.sentence.find(L"C++ exception (std::runtime_error)"), std::wstring::npos)
        << thrown.sentence;
    // x64 code runs natively also where qemu runs the i386 side: a plain access violation.
    const Verdict fault = DiagnoseEngine(X64TestEngine(L"doctor_factory_fault"),
                                         VpeTest::VpedriveFolder(), ModuleAbi::Unknown, 30000);
    EXPECT_EQ(fault.status, kDoctorFactoryFault) << fault.sentence;
    EXPECT_NE(fault.sentence.find(L"0xC0000005"), std::wstring::npos) << fault.sentence;
    // The dependency is looked for beside the engine and in the 64-bit system folder.
    const Verdict missing = DiagnoseEngine(X64TestEngine(L"missing_dep_engine"),
                                           VpeTest::VpedriveFolder(), ModuleAbi::Unknown, 30000);
    EXPECT_EQ(missing.status, kDoctorMissingDependency) << missing.sentence;
    EXPECT_NE(missing.sentence.find(L"vpe_absent_helper.dll, which is neither beside it"),
              std::wstring::npos)
        << missing.sentence;
}

TEST_F(X64Engine, RunCopiesTheLocalDependencyOfAnX64Engine) {
    CScratchFolder folder;
    ASSERT_TRUE(folder.Create(L"vpe-x64-dependency-"));
    ASSERT_TRUE(folder.CopyIn(X64TestEngine(L"missing_dep_engine"), L"vpe.dll"));
    ASSERT_TRUE(
        folder.CopyIn(Full(L"x64\\tests\\engines\\absent_helper_store\\vpe_absent_helper.dll"),
                      L"vpe_absent_helper.dll"));
    const std::vector<std::wstring> found = LocalDependencies(folder.Path() + L"vpe.dll");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], folder.Path() + L"vpe_absent_helper.dll");
    // Beside it, the engine loads in the x64 helper; its factory then returns null.
    EXPECT_EQ(DiagnoseEngine(folder.Path() + L"vpe.dll", VpeTest::VpedriveFolder(),
                             ModuleAbi::Unknown, 30000)
                  .status,
              kDoctorNullFactory);
}

TEST_F(X64Engine, ValidateRunsEveryCheckInTheX64Helper) {
    for (const X64Build& build : kX64Builds) {
        const VpedriveRun run = RunVpedrive(L"validate --seed 1 --engine " +
                                                QuoteArgument(InBuild(build, L"bin\\vpe.dll")),
                                            300000);
        EXPECT_EQ(run.status, 0u) << run.output;
        EXPECT_TRUE(
            Has(run.output, "helper:     " + VpeTest::Utf8(InBuild(build, L"bin\\vpecheck.exe")) +
                                " (x64, " + build.abi + ")"))
            << run.output;
        EXPECT_TRUE(std::regex_search(run.output, std::regex("11 checks: 11 passed")))
            << run.output;
    }
}

TEST_F(X64Engine, ValidateCatchesTheFaultOfAnX64Engine) {
    const VpedriveRun run =
        RunVpedrive(L"validate --seed 1 --json --only \"^(lifecycle|vtable-sanity)$\" --engine " +
                        QuoteArgument(X64TestEngine(L"validate_crash_start")),
                    300000);
    EXPECT_EQ(run.status, 1u) << run.output;
    EXPECT_TRUE(Has(run.output, "{\"name\":\"lifecycle\",\"level\":1,\"round\":1,"
                                "\"status\":\"crashed\""))
        << run.output;
    EXPECT_TRUE(Has(run.output, "\"name\":\"vtable-sanity\",\"level\":1,\"round\":1,"
                                "\"status\":\"passed\""))
        << run.output;
    EXPECT_TRUE(Has(run.output, "exception 0xC0000005 at vpe.dll+")) << run.output;
    EXPECT_TRUE(Has(run.output, "slot 6 (Start)")) << run.output;
}

TEST_F(X64Engine, RunDrivesTheX64HarnessOfEachAbi) {
    CDeveloperSettingsGuard settings;
    for (const X64Build& build : kX64Builds) {
        const VpedriveRun run =
            RunVpedrive(L"run --engine " + QuoteArgument(InBuild(build, L"bin\\vpe.dll")) +
                        L" Install Start IsEngineRunning Stop Uninstall");
        EXPECT_EQ(run.status, 0u) << run.output;
        EXPECT_TRUE(
            Has(run.output, "harness: " + VpeTest::Utf8(InBuild(build, L"bin\\vpetest.exe"))))
            << run.output;
        for (const char* box : {"Install returned 0", "Engine start = 0", "IsEngineRunning = TRUE",
                                "Engine stop = 0", "Uninstall returned 0"})
            EXPECT_TRUE(Has(run.output, std::string("box \"Internal Error\": ") + box))
                << box << "\n"
                << run.output;
        EXPECT_TRUE(Has(run.output, "end: exited, exit code 0")) << run.output;
    }
}

// The x64 harness writes below the Program Files folder of x64 programs, which a 32-bit process
// is not given by the shell: vpedrive reads that log, not its own machine type's.
TEST_F(X64Engine, FakeCheckReadsTheLogOfTheX64Harness) {
    CDeveloperSettingsGuard settings;
    const std::wstring log = CheckLogPath(IMAGE_FILE_MACHINE_AMD64);
    EXPECT_NE(log.find(L"\\Program Files\\Veilpath Engine\\"), std::wstring::npos) << log.c_str();
    EXPECT_NE(CheckLogPath(IMAGE_FILE_MACHINE_I386).find(L"\\Program Files (x86)\\"),
              std::wstring::npos);
    const std::wstring logFolder = FolderOf(log);
    const std::wstring engineFolder = FolderOf(logFolder.substr(0, logFolder.size() - 1));
    const bool madeEngineFolder = CreateDirectoryW(engineFolder.c_str(), nullptr) != FALSE;
    const bool madeLogFolder = CreateDirectoryW(logFolder.c_str(), nullptr) != FALSE;
    const VpedriveRun run =
        RunVpedrive(L"run --engine " + QuoteArgument(Full(L"x64\\bin\\vpe.dll")) + L" fakecheck");
    EXPECT_EQ(run.status, 0u) << run.output;
    const size_t at = run.output.find("check log: " + VpeTest::Utf8(log));
    EXPECT_NE(at, std::string::npos) << run.output;
    EXPECT_NE(run.output.find(" VPE CHECK END", at), std::string::npos) << run.output;
    if (madeLogFolder) {
        DeleteFileW(log.c_str());
        RemoveDirectoryW(logFolder.c_str());
    }
    if (madeEngineFolder)
        RemoveDirectoryW(engineFolder.c_str());
}

TEST_F(X64Engine, TheX64ProgramFilesFolderIsFoundWithoutTheVariableToo) {
    const std::wstring fromVariable = CheckLogPath(IMAGE_FILE_MACHINE_AMD64);
    wchar_t saved[MAX_PATH] = {0};
    ASSERT_GT(GetEnvironmentVariableW(L"ProgramW6432", saved, MAX_PATH), 0u);
    ASSERT_TRUE(SetEnvironmentVariableW(L"ProgramW6432", nullptr));
    const std::wstring fromRegistry = CheckLogPath(IMAGE_FILE_MACHINE_AMD64);
    SetEnvironmentVariableW(L"ProgramW6432", saved);
    EXPECT_EQ(fromRegistry, fromVariable);
}

// The harness's trace reaches vpedrive, a 32-bit debugger of the x64 harness: a stuck status
// query is named.
TEST_F(X64Engine, AStuckStatusQueryOfAnX64EngineIsBlamedOnTheStatusUpdate) {
    CDeveloperSettingsGuard settings;
    const VpedriveRun run =
        RunVpedrive(L"run --json --timeout 4 --engine " +
                    QuoteArgument(X64TestEngine(L"run_slow_status_engine")) + L" Start");
    EXPECT_EQ(run.status, static_cast<DWORD>(kStatusHung)) << run.output;
    EXPECT_TRUE(Has(run.output, "\"stuck_in\":\"status update: IsEngineRunning\"")) << run.output;
}

// An MSVC-ABI throw that nobody catches ends the x64 harness: vpedrive reads its x64 throw
// information where a 32-bit process can reach it (the test library lies below 4 GiB), and
// reports the abort also where it cannot (the MSVC-ABI library lies above 4 GiB).
TEST_F(X64Engine, AnUncaughtMsvcThrowEndsTheRunAsAborted) {
    CDeveloperSettingsGuard settings;
    const VpedriveRun low =
        RunVpedrive(L"run --abi gcc --json --engine " +
                    QuoteArgument(X64TestEngine(L"run_msvc_throw_engine")) + L" Start");
    EXPECT_EQ(low.status, static_cast<DWORD>(kStatusAborted)) << low.output;
    EXPECT_TRUE(Has(low.output, "\"exception\":\"Test::engine_error\"")) << low.output;
    const VpedriveRun high = RunVpedrive(
        L"run --json --engine " +
        QuoteArgument(Full(L"msvc-x64\\tests\\engines\\doctor_factory_throw\\vpe.dll")) +
        L" Start");
    EXPECT_EQ(high.status, static_cast<DWORD>(kStatusAborted)) << high.output;
    EXPECT_TRUE(Has(high.output, "\"how\":\"aborted\"")) << high.output;
}

TEST_F(X64EngineOn32BitSystem, EveryCommandNamesTheCause) {
    const std::wstring engine = QuoteArgument(Full(L"msvc-x64\\bin\\vpe.dll"));
    const VpedriveRun doctor = RunVpedrive(L"doctor --engine " + engine);
    EXPECT_EQ(doctor.status, static_cast<DWORD>(kDoctorOtherMachine)) << doctor.output;
    EXPECT_TRUE(Has(doctor.output, "is built for x64, and this system runs x86 programs only "
                                   "(32-bit Windows, or a Wine prefix made with WINEARCH=win32)"))
        << doctor.output;
    const VpedriveRun validate = RunVpedrive(L"validate --engine " + engine);
    EXPECT_EQ(validate.status, 2u) << validate.output;
    EXPECT_TRUE(Has(validate.output, "this system runs x86 programs only")) << validate.output;
    CDeveloperSettingsGuard settings;
    const VpedriveRun run = RunVpedrive(L"run --engine " + engine + L" IsEngineRunning");
    EXPECT_EQ(run.status, static_cast<DWORD>(kStatusCannotStart)) << run.output;
    EXPECT_TRUE(Has(run.output, VpeTest::Utf8(Full(L"msvc-x64\\bin\\vpetest.exe")) +
                                    "\" is an x64 program, and this system runs x86 programs "
                                    "only"))
        << run.output;
    EXPECT_FALSE(Has(run.output, "Windows error")) << run.output;
}
