// vpedrive run against the real vpetest.exe beside it, with test engines.
#include "tools/driver/registry_backup.h"
#include "tools/vpedrive/vpedrive_options.h"
#include "tools/vpedrive/check_log_lines.h"
#include "tools/vpedrive/engine_dependencies.h"
#include "tools/vpedrive/run_command.h"
#include "tools/vpedrive/vpedrive_test_support.h"

#include <gtest/gtest.h>

using Corvinex::Driver::CDeveloperSettingsGuard;
using Corvinex::Driver::FolderOf;
using Corvinex::Driver::QuoteArgument;

namespace {

VpeTest::VpedriveRun RunWithEngine(const wchar_t* engine, const std::wstring& rest) {
    return VpeTest::RunVpedrive(L"run --engine " + QuoteArgument(VpeTest::TestEnginePath(engine)) +
                                L" " + rest);
}

} // namespace

TEST(VpetestRun, InstallShowsItsThreeMessagesAndTheTitleFollowsTheEngine) {
    CDeveloperSettingsGuard settings;
    VpeTest::VpedriveRun run = RunWithEngine(L"slot_engine", L"Install IsEngineRunning");
    EXPECT_EQ(run.status, 0u) << run.output;
    const std::string& out = run.output;
    size_t marker = out.find("box \"Internal Error\": Corvinex::VeilpathEngine::"
                             "VeilpathEngine_Install");
    size_t init = out.find("box \"Internal Error\": Init returned 0", marker);
    size_t install = out.find("box \"Internal Error\": Install returned 102", init);
    size_t running = out.find("box \"Internal Error\": IsEngineRunning = TRUE", install);
    size_t title = out.find("title: VPETEST: IsInstalled=TRUE IsEngineRunning=TRUE "
                            "ANONYMITY=TRUE Update=TRUE Check=TRUE",
                            running);
    EXPECT_NE(marker, std::string::npos) << out;
    EXPECT_NE(init, std::string::npos) << out;
    EXPECT_NE(install, std::string::npos) << out;
    EXPECT_NE(running, std::string::npos) << out;
    EXPECT_NE(title, std::string::npos) << out;
    EXPECT_NE(out.find("end: exited, exit code 0"), std::string::npos) << out;
}

TEST(VpetestRun, AnEngineWithoutAnObjectEndsTheHarnessWithStatusOne) {
    CDeveloperSettingsGuard settings;
    VpeTest::VpedriveRun run = RunWithEngine(L"null_engine", L"Start");
    EXPECT_EQ(run.status, 1u) << run.output;
    EXPECT_NE(run.output.find("box \"Internal Error\": engineDLL.Init returned "),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("> Start"), std::string::npos) << run.output;
}

// A factory that throws ends the harness at start-up through abort() (exit code 3, which is also
// vpedrive's status for a hang it killed); vpedrive names the exception instead.
TEST(VpetestRun, AnExceptionEscapingTheFactoryIsReportedAsAborted) {
    CDeveloperSettingsGuard settings;
    const struct {
        const wchar_t* engine;
        const char* type;
    } engines[] = {{L"doctor_factory_throw", "std::runtime_error"},   // GCC ABI: the terminate line
                   {L"run_msvc_throw_engine", "Test::engine_error"}}; // MSVC ABI: the throw
    for (const auto& engine : engines) {
        // Both are GCC-built; the second carries a type descriptor of its own making, which
        // would otherwise send it to the MSVC-ABI harness.
        VpeTest::VpedriveRun run = RunWithEngine(engine.engine, L"--abi gcc --json Start");
        EXPECT_EQ(run.status, static_cast<DWORD>(Corvinex::Vpedrive::kStatusAborted)) << run.output;
        EXPECT_NE(run.output.find("\"how\":\"aborted\""), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("\"exception\":\"" + std::string(engine.type) + "\""),
                  std::string::npos)
            << run.output;
        EXPECT_NE(run.output.find("vpetest.exe aborted while starting: a C++ exception (" +
                                  std::string(engine.type) + ") was not caught"),
                  std::string::npos)
            << run.output;
        EXPECT_EQ(run.output.find("\"command\":\"Start\""), std::string::npos) << run.output;
    }
}

TEST(VpetestRun, AnExitCodeThatIsOneOfVpedrivesStatusesIsNotPassedOn) {
    CDeveloperSettingsGuard settings;
    // The factory calls ExitProcess(3): no exception, no hang, and not vpedrive's 3.
    VpeTest::VpedriveRun run = RunWithEngine(L"doctor_factory_exit", L"Start");
    EXPECT_EQ(run.status, static_cast<DWORD>(Corvinex::Vpedrive::kStatusOwnStatusCode))
        << run.output;
    EXPECT_NE(run.output.find("end: exited, exit code 3"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("ended by itself with exit code 3"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("aborted"), std::string::npos) << run.output;
}

// A harness that ends before its window with exit code 0 and no box never ran: whatever ended
// it (here the factory's ExitProcess(0); under qemu, Wine's server refusing the process), the
// run must not pass for a success.
TEST(VpetestRun, AHarnessThatEndsBeforeItsWindowWithoutAWordIsAFailedStart) {
    CDeveloperSettingsGuard settings;
    VpeTest::VpedriveRun run = RunWithEngine(L"run_factory_exit_zero", L"Start");
    EXPECT_EQ(run.status, static_cast<DWORD>(Corvinex::Vpedrive::kStatusEndedAtStart))
        << run.output;
    EXPECT_NE(run.output.find("end: ended at start, exit code 0; never seen: its main window"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("vpetest.exe ended while starting before its main window appeared "
                              "(exit code 0)"),
              std::string::npos)
        << run.output;
    VpeTest::VpedriveRun json = RunWithEngine(L"run_factory_exit_zero", L"--json Start");
    EXPECT_EQ(json.status, static_cast<DWORD>(Corvinex::Vpedrive::kStatusEndedAtStart));
    EXPECT_NE(json.output.find("\"how\":\"ended at start\",\"exit_code\":0,"
                               "\"not_seen\":\"its main window\""),
              std::string::npos)
        << json.output;
}

TEST(VpetestRun, AnEngineEndingTheProcessInACommandIsItsOwnStatus) {
    CDeveloperSettingsGuard settings;
    // The engine's Start calls ExitProcess(0): not a success, whatever code it chose.
    VpeTest::VpedriveRun run = RunWithEngine(L"run_exiting_engine", L"Start Stop");
    EXPECT_EQ(run.status, static_cast<DWORD>(Corvinex::Vpedrive::kStatusEndedDuringCommand))
        << run.output;
    EXPECT_NE(run.output.find("vpetest.exe ended while \"Start\" was running (exit code 0)"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("end: ended during \"Start\", exit code 0"), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("> Stop"), std::string::npos) << run.output;
}

TEST(VpetestRun, AStatusQueryThatDoesNotReturnIsBlamedOnTheStatusUpdate) {
    CDeveloperSettingsGuard settings;
    // The engine's IsEngineRunning takes 10 s; the once-a-second update calls it.
    VpeTest::VpedriveRun run =
        RunWithEngine(L"run_slow_status_engine", L"--json --timeout 4 Start");
    EXPECT_EQ(run.status, static_cast<DWORD>(Corvinex::Vpedrive::kStatusHung)) << run.output;
    EXPECT_NE(run.output.find("vpetest.exe is stuck in its once-a-second status update, in the "
                              "engine's IsEngineRunning, which has not returned"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("\"stuck_in\":\"status update: IsEngineRunning\""), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("did not finish"), std::string::npos) << run.output;
}

TEST(VpetestRun, FakeCheckPrintsTheRunsLogLines) {
    CDeveloperSettingsGuard settings;
    const std::wstring log = Corvinex::Vpedrive::CheckLogPath(IMAGE_FILE_MACHINE_I386);
    const std::wstring logFolder = FolderOf(log);
    const std::wstring engineFolder = FolderOf(logFolder.substr(0, logFolder.size() - 1));
    const bool madeEngineFolder = CreateDirectoryW(engineFolder.c_str(), nullptr) != FALSE;
    const bool madeLogFolder = CreateDirectoryW(logFolder.c_str(), nullptr) != FALSE;
    VpeTest::VpedriveRun run = VpeTest::RunVpedrive(L"run fakecheck");
    EXPECT_EQ(run.status, 0u) << run.output;
    size_t box = run.output.find("box \"Internal Error\": Fakecheck");
    size_t begin = run.output.find(" VPE CHECK BEGIN", box);
    size_t end = run.output.find(" VPE CHECK END", begin);
    EXPECT_NE(box, std::string::npos) << run.output;
    EXPECT_NE(begin, std::string::npos) << run.output;
    EXPECT_NE(end, std::string::npos) << run.output;
    if (madeLogFolder) {
        DeleteFileW(log.c_str());
        RemoveDirectoryW(logFolder.c_str());
    }
    if (madeEngineFolder)
        RemoveDirectoryW(engineFolder.c_str());
}
