// vpedrive run end to end, with the driver's test window program standing in for the harness
// (--harness) and a test engine copied beside it.
#include "base/file_handle.h"
#include "tools/vpedrive/check_log_lines.h"
#include "tools/vpedrive/engine_dependencies.h"
#include "tools/vpedrive/run_command.h"

#include "config/developer_settings.h"
#include "tools/driver/registry_backup.h"
#include "tools/driver/test_target_commands.h"
#include "tools/vpedrive/vpedrive_options.h"
#include "testsupport/fault_code.h"
#include "tools/vpedrive/vpedrive_test_support.h"

#include <gtest/gtest.h>

using namespace Corvinex::Driver;
using Corvinex::DeleteRegistryValue;
using Corvinex::kDebugSwitch;
using Corvinex::kDeveloperSettingsPath;
using Corvinex::kMessageBoxSwitch;
using Corvinex::kRegistryDone;
using Corvinex::kRegistryNotDone;
using Corvinex::ReadDwordValue;
using Corvinex::Vpedrive::CheckLogPath;
using Corvinex::Vpedrive::LocalDependencies;
using Corvinex::Vpedrive::ReadAppendedLines;

namespace {

std::wstring RunArguments(const std::wstring& rest) {
    return L"run --harness " + QuoteArgument(VpeTest::TestTargetPath()) + L" --engine " +
           QuoteArgument(VpeTest::TestEnginePath(L"slot_engine")) + L" " + rest;
}

size_t Find(const std::string& text, const std::string& part, size_t from = 0) {
    return text.find(part, from);
}

// The developer settings switched off for the test, and put back afterwards.
class HarnessRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(kRegistryDone,
                  DeleteRegistryValue(HKEY_CURRENT_USER, kDeveloperSettingsPath, kDebugSwitch));
        ASSERT_EQ(kRegistryDone, DeleteRegistryValue(HKEY_CURRENT_USER, kDeveloperSettingsPath,
                                                     kMessageBoxSwitch));
    }
    CDeveloperSettingsGuard m_settings;
};

} // namespace

TEST_F(HarnessRunTest, PrintsEveryBoxInOrderAndTheTitleAfterEachCommand) {
    VpeTest::VpedriveRun run = VpeTest::RunVpedrive(RunArguments(L"Install Start"));
    EXPECT_EQ(run.status, 0u) << run.output;
    const std::string& out = run.output;
    size_t install = Find(out, "> Install (32788)");
    size_t marker = Find(out,
                         "box \"Internal Error\": Corvinex::VeilpathEngine::"
                         "VeilpathEngine_Install",
                         install);
    size_t init = Find(out, "box \"Internal Error\": Init returned 0", marker);
    size_t result = Find(out, "box \"Internal Error\": Install returned 0", init);
    size_t start = Find(out, "> Start (32811)", result);
    size_t started = Find(out, "box \"Internal Error\": Engine start = 0", start);
    size_t title = Find(out, "title: TARGET: Running=TRUE", started);
    size_t exit = Find(out, "> Exit (105)", title);
    size_t end = Find(out, "end: exited, exit code 0", exit);
    EXPECT_NE(install, std::string::npos) << out;
    EXPECT_NE(marker, std::string::npos) << out;
    EXPECT_NE(init, std::string::npos) << out;
    EXPECT_NE(result, std::string::npos) << out;
    EXPECT_NE(start, std::string::npos) << out;
    EXPECT_NE(started, std::string::npos) << out;
    EXPECT_NE(title, std::string::npos) << out;
    EXPECT_NE(exit, std::string::npos) << out;
    EXPECT_NE(end, std::string::npos) << out;
}

TEST_F(HarnessRunTest, JsonLinesAreEscapedObjects) {
    VpeTest::VpedriveRun run = VpeTest::RunVpedrive(RunArguments(L"--json \"Analyse Check Log\""));
    EXPECT_EQ(run.status, 0u) << run.output;
    size_t lines = 0;
    size_t at = 0;
    while (at < run.output.size()) {
        size_t end = run.output.find('\n', at);
        ASSERT_NE(end, std::string::npos);
        std::string line = run.output.substr(at, end - at);
        EXPECT_EQ(line.front(), '{') << line;
        EXPECT_EQ(line.back(), '}') << line;
        for (char ch : line)
            EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << line;
        ++lines;
        at = end + 1;
    }
    EXPECT_EQ(lines, 5u) << run.output; // start, startup, the command, Exit, end
    EXPECT_NE(run.output.find("{\"event\":\"command\",\"command\":\"Analyse Check Log\","
                              "\"id\":32806,\"outcome\":\"finished\",\"boxes\":[{\"caption\":"
                              "\"Internal Error\",\"text\":\"say \\\"hi\\\"\\n50% \\\\ "
                              "\\u00c4rger \\u20ac\\ttab\"}]"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("{\"event\":\"end\",\"how\":\"exited\",\"exit_code\":0}"),
              std::string::npos)
        << run.output;
}

TEST_F(HarnessRunTest, PutsTheDeveloperSettingsBackExactly) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, DeveloperSettingsKey().c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, kDebugSwitch, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"),
                   2 * sizeof(wchar_t));
    RegCloseKey(key);
    VpeTest::VpedriveRun run = VpeTest::RunVpedrive(RunArguments(L"Start"));
    EXPECT_EQ(run.status, 0u);
    // The run saw boxes, so the settings were on during it.
    EXPECT_NE(run.output.find("Engine start = 0"), std::string::npos) << run.output;
    SavedValue debug, box;
    ReadSavedValue(HKEY_CURRENT_USER, DeveloperSettingsKey(), kDebugSwitch, &debug);
    ASSERT_TRUE(debug.existed);
    EXPECT_EQ(debug.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(reinterpret_cast<const wchar_t*>(debug.data.data())[0], L'x');
    EXPECT_EQ(ReadSavedValue(HKEY_CURRENT_USER, DeveloperSettingsKey(), kMessageBoxSwitch, &box),
              kRegistryNotDone);
    EXPECT_FALSE(box.existed);
}

TEST_F(HarnessRunTest, AHungHarnessIsKilledAfterTheTimeout) {
    const std::wstring hang = std::to_wstring(Corvinex::Driver::kTargetHang);
    VpeTest::VpedriveRun run =
        VpeTest::RunVpedrive(RunArguments(L"--timeout 20 " + hang + L" Start"));
    EXPECT_EQ(run.status, static_cast<DWORD>(Corvinex::Vpedrive::kStatusHung)) << run.output;
    EXPECT_NE(run.output.find("\"#" + VpeTest::Utf8(hang) + "\" did not finish within 20 s"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("> Start"), std::string::npos) << run.output;
}

TEST_F(HarnessRunTest, ACrashIsReportedWithItsException) {
    const std::wstring crash = std::to_wstring(Corvinex::Driver::kTargetCrash);
    VpeTest::VpedriveRun run = VpeTest::RunVpedrive(RunArguments(crash));
    EXPECT_EQ(run.status, static_cast<DWORD>(Corvinex::Vpedrive::kStatusCrashed)) << run.output;
    EXPECT_NE(run.output.find("crashed during \"#" + VpeTest::Utf8(crash) + "\" (exception " +
                              VpeTest::Utf8(VpeTest::NullWriteFaultText()) + ")"),
              std::string::npos)
        << run.output;
}

TEST_F(HarnessRunTest, CommandsAfterTheHarnessEndedAreNotSent) {
    VpeTest::VpedriveRun run = VpeTest::RunVpedrive(RunArguments(L"Exit Start"));
    EXPECT_EQ(run.status, 0u) << run.output;
    EXPECT_NE(run.output.find("the remaining commands were not sent"), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("> Start"), std::string::npos) << run.output;
}

TEST_F(HarnessRunTest, BadInputEndsWithStatusTwoBeforeAnythingRuns) {
    VpeTest::VpedriveRun unknown = VpeTest::RunVpedrive(RunArguments(L"Install Instal"));
    EXPECT_EQ(unknown.status, 2u);
    EXPECT_NE(unknown.output.find("unknown harness command \"Instal\""), std::string::npos)
        << unknown.output;
    EXPECT_EQ(unknown.output.find("harness:"), std::string::npos) << unknown.output;

    const std::wstring missing = VpeTest::ProgramFolder() + L"kein \x00C4 \x65E5\x672C\\vpe.dll";
    VpeTest::VpedriveRun engine =
        VpeTest::RunVpedrive(L"run --harness " + QuoteArgument(VpeTest::TestTargetPath()) +
                             L" --engine " + QuoteArgument(missing) + L" Start");
    EXPECT_EQ(engine.status, 2u);
    EXPECT_NE(engine.output.find(VpeTest::Utf8(L"kein \x00C4 \x65E5\x672C")), std::string::npos)
        << engine.output;

    VpeTest::VpedriveRun option = VpeTest::RunVpedrive(L"run --verbose");
    EXPECT_EQ(option.status, 2u);
    EXPECT_NE(option.output.find("--verbose"), std::string::npos);
}

TEST_F(HarnessRunTest, WorksFromAFolderWithBlanksAndNonAnsiCharacters) {
    CScratchFolder folder;
    ASSERT_TRUE(folder.Create(L"vpe-run-"));
    const std::wstring sub = folder.Path() + L"Engine \x00C4 \x65E5\x672C";
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(VpeTest::TestEnginePath(L"slot_engine").c_str(),
                          (sub + L"\\vpe.dll").c_str(), FALSE));
    ASSERT_TRUE(
        CopyFileW(VpeTest::TestTargetPath().c_str(), (sub + L"\\target app.exe").c_str(), FALSE));
    VpeTest::VpedriveRun run =
        VpeTest::RunVpedrive(L"run --harness " + QuoteArgument(sub + L"\\target app.exe") +
                             L" --engine " + QuoteArgument(sub + L"\\vpe.dll") + L" Start");
    EXPECT_EQ(run.status, 0u) << run.output;
    EXPECT_NE(run.output.find("Engine start = 0"), std::string::npos) << run.output;
}

TEST_F(HarnessRunTest, FakeCheckPrintsTheLinesAddedToTheCheckLog) {
    const std::wstring log = CheckLogPath(IMAGE_FILE_MACHINE_I386);
    const std::wstring engineFolder = FolderOf(FolderOf(log).substr(0, FolderOf(log).size() - 1));
    const std::wstring logFolder = FolderOf(log);
    const bool madeEngineFolder = CreateDirectoryW(engineFolder.c_str(), nullptr) != FALSE;
    const bool madeLogFolder = CreateDirectoryW(logFolder.c_str(), nullptr) != FALSE;
    VpeTest::VpedriveRun run = VpeTest::RunVpedrive(
        L"run --harness " + QuoteArgument(VpeTest::TestTargetPath()) + L" fakecheck");
    EXPECT_EQ(run.status, 0u) << run.output;
    size_t box = run.output.find("box \"Internal Error\": Fakecheck");
    size_t first = run.output.find("TARGET CHECK 1", box);
    size_t last = run.output.find("TARGET CHECK 3", first);
    EXPECT_NE(box, std::string::npos) << run.output;
    EXPECT_NE(first, std::string::npos) << run.output;
    EXPECT_NE(last, std::string::npos) << run.output;
    // A second run prints only its own lines.
    VpeTest::VpedriveRun again = VpeTest::RunVpedrive(
        L"run --harness " + QuoteArgument(VpeTest::TestTargetPath()) + L" fakecheck");
    size_t once = again.output.find("TARGET CHECK 1");
    EXPECT_NE(once, std::string::npos);
    EXPECT_EQ(again.output.find("TARGET CHECK 1", once + 1), std::string::npos) << again.output;
    if (madeLogFolder) {
        DeleteFileW(log.c_str());
        RemoveDirectoryW(logFolder.c_str());
    }
    if (madeEngineFolder)
        RemoveDirectoryW(engineFolder.c_str());
}

TEST(HarnessRunFiles, ReadsOnlyTheAppendedLines) {
    CScratchFolder folder;
    ASSERT_TRUE(folder.Create(L"vpe-log-"));
    const std::wstring path = folder.Path() + L"check.log";
    {
        Corvinex::CFileHandle file;
        ASSERT_TRUE(file.Open(path.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS));
        DWORD written = 0;
        WriteFile(file.Get(), "old line\r\nnew one\r\nlast", 23, &written, nullptr);
    }
    EXPECT_EQ(ReadAppendedLines(path, 10), (std::vector<std::wstring>{L"new one", L"last"}));
    EXPECT_EQ(ReadAppendedLines(path, 23), std::vector<std::wstring>());
    // A file that shrank since is read from its start.
    EXPECT_EQ(ReadAppendedLines(path, 1000).size(), 3u);
    EXPECT_TRUE(ReadAppendedLines(folder.Path() + L"missing.log", 0).empty());
}

TEST(HarnessRunFiles, FindsTheDependenciesBesideAnEngine) {
    CScratchFolder folder;
    ASSERT_TRUE(folder.Create(L"vpe-deps-"));
    ASSERT_TRUE(VpeTest::CopyEngineWithDependency(folder, false));
    EXPECT_TRUE(LocalDependencies(folder.Path() + L"vpe.dll").empty());
    ASSERT_TRUE(VpeTest::CopyEngineWithDependency(folder, true));
    EXPECT_EQ(LocalDependencies(folder.Path() + L"vpe.dll"),
              (std::vector<std::wstring>{folder.Path() + L"vpe_absent_helper.dll"}));
}

// A library the engine imports from its folder that cannot be copied stops the run before the
// harness starts, naming the library, rather than leaving the harness to fail on it.
TEST_F(HarnessRunTest, ADependencyThatCannotBeCopiedStopsTheRun) {
    CScratchFolder folder;
    ASSERT_TRUE(folder.Create(L"vpe-deps-"));
    ASSERT_TRUE(VpeTest::CopyEngineWithDependency(folder, true));
    Corvinex::CFileHandle held; // open without sharing: the copy cannot read it
    ASSERT_TRUE(held.Open((folder.Path() + L"vpe_absent_helper.dll").c_str(), GENERIC_READ, 0,
                          OPEN_EXISTING));
    VpeTest::VpedriveRun run =
        VpeTest::RunVpedrive(L"run --harness " + QuoteArgument(VpeTest::TestTargetPath()) +
                             L" --engine " + QuoteArgument(folder.Path() + L"vpe.dll") + L" Start");
    EXPECT_EQ(run.status, static_cast<DWORD>(Corvinex::Vpedrive::kStatusCannotStart)) << run.output;
    EXPECT_NE(run.output.find("cannot copy"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("vpe_absent_helper.dll"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("harness:"), std::string::npos) << run.output;
}

TEST_F(HarnessRunTest, SettingsCommandShowsAndSetsTheTwoSwitches) {
    VpeTest::VpedriveRun set = VpeTest::RunVpedrive(L"settings --debug on --message-box on");
    EXPECT_EQ(set.status, 0u) << set.output;
    uint32_t debug = 0, box = 0;
    ASSERT_EQ(kRegistryDone,
              ReadDwordValue(HKEY_CURRENT_USER, kDeveloperSettingsPath, kDebugSwitch, &debug));
    ASSERT_EQ(kRegistryDone,
              ReadDwordValue(HKEY_CURRENT_USER, kDeveloperSettingsPath, kMessageBoxSwitch, &box));
    EXPECT_EQ(debug, 1u);
    EXPECT_EQ(box, 1u);
    EXPECT_NE(set.output.find("Debug = 1 (on)"), std::string::npos) << set.output;
    EXPECT_NE(set.output.find("The harness shows its \"Internal Error\" boxes."), std::string::npos)
        << set.output;

    VpeTest::VpedriveRun off = VpeTest::RunVpedrive(L"settings --debug off");
    EXPECT_EQ(off.status, 0u);
    EXPECT_NE(off.output.find("Debug = 0 (off)"), std::string::npos) << off.output;
    EXPECT_NE(off.output.find("ShowInternalMessageBox = 1 (on)"), std::string::npos);
    EXPECT_NE(off.output.find("shows no \"Internal Error\" boxes"), std::string::npos);
}
