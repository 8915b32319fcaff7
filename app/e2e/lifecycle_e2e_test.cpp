// vpetest.exe from start to end: the status title, the About box from the keyboard, the ways
// to close the window, the failure exit codes and fake-check mode.
#include "app/e2e/e2e_fixture.h"
#include "app/e2e/keyboard_input.h"
#include "res/resource.h"
#include "tools/driver/message_box.h"
#include "tools/driver/process_windows.h"

using namespace Corvinex::E2e;
using Corvinex::Driver::CommandResult;
using Corvinex::Driver::FindMessageBoxes;
using Corvinex::Driver::GetWindowTitle;
using Corvinex::Driver::WaitForProcessWindow;
using Corvinex::Driver::WaitForWindowGone;
using Corvinex::Driver::WaitOutcome;

namespace {

// The first status refresh comes one second after the window; this leaves room for a slow host.
const DWORD kTitleWaitMs = 5000;

std::wstring Status(const wchar_t* installed, const wchar_t* running, const wchar_t* anonymity,
                    const wchar_t* update, const wchar_t* check) {
    return std::wstring(L"VPETEST: IsInstalled=") + installed + L" IsEngineRunning=" + running +
           L" ANONYMITY=" + anonymity + L" Update=" + update + L" Check=" + check;
}

// Waits up to timeoutMs for the window's title to become `expected`; returns the last title.
std::wstring WaitForTitle(HWND window, const std::wstring& expected, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        std::wstring title = GetWindowTitle(window);
        if (title == expected || GetTickCount64() >= deadline)
            return title;
        Sleep(20);
    }
}

class StatusTitle : public HarnessTest {};
class AboutBox : public HarnessTest {
protected:
    // Types the chord on the main window until the About box opens (other test programs on the
    // same desktop can take the foreground before the keys arrive); null when it never does.
    HWND OpenAboutWith(const std::vector<WORD>& keys) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            PressChord(m_run.Session().MainWindow(), keys);
            HWND about = WaitForProcessWindow(m_run.Process().Handle(), m_run.Process().Id(),
                                              Corvinex::Driver::kDialogClass, L"About", 2000);
            if (about != nullptr)
                return about;
        }
        return nullptr;
    }
    // Types Escape on the box until it closes; false when it stays open.
    bool EscapeFrom(HWND about) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            PressChord(about, {VK_ESCAPE});
            if (WaitForWindowGone(about, 2000))
                return true;
        }
        return false;
    }
};
class Closing : public HarnessTest {};
class StartupFailure : public HarnessTest {};
class FakeCheckMode : public HarnessTest {};

} // namespace

TEST_F(StatusTitle, ShowsTheEngineStateSoonAfterTheStartAndFollowsIt) {
    m_run.Script(L"IsInstalled", L"1");
    m_run.Script(L"IsEngineRunning", L"1");
    StartScripted();
    HWND window = m_run.Session().MainWindow();
    const std::wstring expected = Status(L"TRUE", L"TRUE", L"FALSE", L"FALSE", L"FALSE");
    std::wstring first = GetWindowTitle(window);
    EXPECT_TRUE(first == kInitialTitle || first == expected) << first;
    EXPECT_EQ(WaitForTitle(window, expected, kTitleWaitMs), expected);
    ASSERT_TRUE(m_run.SetState(
        L"IsInstalled=0\nIsAnonymityActive=1\nIsUpdateRunning=1\nIsCheckRunning=-4\n"));
    const std::wstring changed = Status(L"FALSE", L"TRUE", L"TRUE", L"TRUE", L"TRUE");
    EXPECT_EQ(WaitForTitle(window, changed, kTitleWaitMs), changed);
}

TEST_F(StatusTitle, IsRefreshedWhileABoxHoldsTheCommand) {
    StartScripted();
    HWND window = m_run.Session().MainWindow();
    const std::wstring idle = Status(L"FALSE", L"FALSE", L"FALSE", L"FALSE", L"FALSE");
    ASSERT_EQ(WaitForTitle(window, idle, kTitleWaitMs), idle);
    ASSERT_TRUE(PostMessageW(window, WM_COMMAND, ID_ENGINE_START, 0));
    HWND box = WaitForBox(m_run.Process().Id(), kWaitMs);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(m_run.SetState(L"IsEngineRunning=1\n"));
    const std::wstring running = Status(L"FALSE", L"TRUE", L"FALSE", L"FALSE", L"FALSE");
    EXPECT_EQ(WaitForTitle(window, running, kTitleWaitMs), running);
    // The box is still open: the title changed behind it.
    EXPECT_TRUE(IsWindow(box));
    EXPECT_FALSE(IsWindowEnabled(window));
    CommandResult rest = m_run.Session().WaitUntilIdle(kWaitMs);
    EXPECT_EQ(BoxTexts(rest.boxes), Texts{L"Engine start = 0"});
}

TEST_F(AboutBox, AltQuestionMarkOpensItAndOkClosesIt) {
    StartScripted();
    HWND about = OpenAboutWith({VK_MENU, VK_SHIFT, VK_OEM_2});
    ASSERT_NE(about, nullptr);
    // Found while still being built: one round trip through its modal loop, and it is complete.
    Corvinex::Driver::PingWindow(about, kWaitMs);
    EXPECT_EQ(GetWindowTitle(about), L"About");
    EXPECT_EQ(GetWindowTitle(GetDlgItem(about, IDOK)), L"OK");
    ASSERT_TRUE(PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0));
    EXPECT_TRUE(WaitForWindowGone(about, kWaitMs));
    EXPECT_EQ(m_run.Session().WaitUntilIdle(kWaitMs).outcome, WaitOutcome::Finished);
    EXPECT_TRUE(IsWindowEnabled(m_run.Session().MainWindow()));
}

TEST_F(AboutBox, AltSlashOpensItAndEscapeClosesIt) {
    StartScripted();
    HWND about = OpenAboutWith({VK_MENU, VK_OEM_2});
    ASSERT_NE(about, nullptr);
    Corvinex::Driver::PingWindow(about, kWaitMs);
    EXPECT_EQ(GetWindowTitle(about), L"About");
    EXPECT_TRUE(EscapeFrom(about));
    EXPECT_EQ(m_run.Session().WaitUntilIdle(kWaitMs).outcome, WaitOutcome::Finished);
    EXPECT_TRUE(m_run.Process().IsRunning());
}

TEST_F(AboutBox, SlashWithoutAltDoesNotOpenIt) {
    StartScripted();
    ASSERT_TRUE(PressChord(m_run.Session().MainWindow(), {VK_OEM_2}));
    // A command sent after the key is handled after it: by then an About box would be open.
    EXPECT_EQ(Command(ID_CHECK_CHECKTEST), Texts{});
    EXPECT_TRUE(FindMessageBoxes(m_run.Process().Id()).empty());
}

TEST_F(Closing, ExitEndsTheProgramWithZero) {
    StartScripted();
    CommandResult result = m_run.Session().SendCommand(IDM_EXIT, kWaitMs);
    EXPECT_EQ(result.outcome, WaitOutcome::ProcessEnded);
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_EQ(m_run.ExitCode(), 0u);
}

TEST_F(Closing, TheSystemCloseEndsTheProgramWithZero) {
    StartScripted();
    ASSERT_TRUE(PostMessageW(m_run.Session().MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0));
    EXPECT_EQ(m_run.ExitCode(), 0u);
    CHarnessRun second;
    ASSERT_TRUE(second.Prepare(ScriptedEnginePath())) << second.Error();
    ASSERT_TRUE(second.StartWindow()) << second.Error();
    ASSERT_TRUE(PostMessageW(second.Session().MainWindow(), WM_CLOSE, 0, 0));
    EXPECT_EQ(second.ExitCode(), 0u);
}

TEST_F(StartupFailure, WithoutALibraryTheProgramReports201AndEndsWithOne) {
    ASSERT_TRUE(m_run.Prepare(L"")) << m_run.Error();
    ASSERT_TRUE(m_run.Start(L""));
    CommandResult result = m_run.Session().WaitForMainWindow(kMainWindowClass, L"", kWaitMs);
    EXPECT_EQ(result.outcome, WaitOutcome::ProcessEnded);
    EXPECT_EQ(BoxTexts(result.boxes), Texts{L"engineDLL.Init returned 201"});
    ASSERT_FALSE(result.boxes.empty());
    EXPECT_EQ(result.boxes[0].caption, kInternalErrorCaption);
    EXPECT_EQ(m_run.ExitCode(), 1u);
}

TEST_F(StartupFailure, WithTheBoxSwitchedOffTheProgramEndsSilentlyWithOne) {
    ASSERT_TRUE(m_settings.EnableMessageBox(false));
    ASSERT_TRUE(m_run.Prepare(L"")) << m_run.Error();
    ASSERT_TRUE(m_run.Start(L""));
    CommandResult result = m_run.Session().WaitForMainWindow(kMainWindowClass, L"", kWaitMs);
    EXPECT_EQ(result.outcome, WaitOutcome::ProcessEnded);
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_EQ(m_run.ExitCode(), 1u);
}

namespace {

struct BrokenEngine {
    const wchar_t* name;
    const wchar_t* message;
};

class BrokenEngines : public HarnessTest, public ::testing::WithParamInterface<BrokenEngine> {};

} // namespace

TEST_P(BrokenEngines, EndWithOneAfterReportingTheCode) {
    ASSERT_TRUE(m_run.Prepare(TestEngine(GetParam().name))) << m_run.Error();
    ASSERT_TRUE(m_run.Start(L""));
    CommandResult result = m_run.Session().WaitForMainWindow(kMainWindowClass, L"", kWaitMs);
    EXPECT_EQ(result.outcome, WaitOutcome::ProcessEnded);
    EXPECT_EQ(BoxTexts(result.boxes), Texts{GetParam().message});
    EXPECT_EQ(m_run.ExitCode(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, BrokenEngines,
    ::testing::Values(BrokenEngine{L"noexport_engine", L"engineDLL.Init returned 1"},
                      BrokenEngine{L"null_engine", L"engineDLL.Init returned 1"},
                      BrokenEngine{L"foreign_engine", L"engineDLL.Init returned 1"},
                      BrokenEngine{L"lookalike_engine", L"engineDLL.Init returned 1"},
                      BrokenEngine{L"dllmain_fault_engine", L"engineDLL.Init returned 20"}),
    [](const ::testing::TestParamInfo<BrokenEngine>& info) {
        std::wstring name = info.param.name;
        return std::string(name.begin(), name.end());
    });

namespace {

// A check log line: a 19-character timestamp, a space and the record.
bool EndsWithRecord(const std::wstring& line, const std::wstring& record) {
    return line.size() == 20 + record.size() && line[19] == L' ' && line[4] == L'-' &&
           line[13] == L':' && line.compare(20, record.size(), record) == 0;
}

} // namespace

TEST_F(FakeCheckMode, TheWordAloneWritesTheLogWithoutAnyEngine) {
    CCheckLogFolder log;
    ASSERT_TRUE(log.Active());
    ASSERT_TRUE(m_run.Prepare(L"")) << m_run.Error();
    ASSERT_TRUE(m_run.Start(L"fakecheck"));
    CommandResult result = m_run.Session().WaitForMainWindow(kMainWindowClass, L"", kWaitMs);
    EXPECT_EQ(result.outcome, WaitOutcome::ProcessEnded);
    EXPECT_EQ(BoxTexts(result.boxes), Texts{L"Fakecheck"});
    EXPECT_EQ(m_run.ExitCode(), 0u);
    std::vector<std::wstring> lines = ReadLines(log.LogFile());
    ASSERT_EQ(lines.size(), 24u);
    EXPECT_TRUE(EndsWithRecord(lines[0], L"VPE CHECK BEGIN")) << lines[0];
    EXPECT_NE(lines[2].find(L"PING 499"), std::wstring::npos) << lines[2];
    EXPECT_NE(lines[8].find(L"TIMEOUT 3000"), std::wstring::npos) << lines[8];
    EXPECT_TRUE(EndsWithRecord(lines[23], L"VPE CHECK END")) << lines[23];
}

TEST_F(FakeCheckMode, TheWordInsideOtherTextSelectsItAndLeavesTheEngineAlone) {
    CCheckLogFolder log;
    ASSERT_TRUE(log.Active());
    ASSERT_TRUE(m_run.Prepare(ScriptedEnginePath())) << m_run.Error();
    ASSERT_TRUE(m_run.Start(L"--fakecheck=1"));
    EXPECT_EQ(BoxTexts(m_run.Session().WaitForExit(kWaitMs).boxes), Texts{L"Fakecheck"});
    EXPECT_EQ(m_run.ExitCode(), 0u);
    EXPECT_EQ(ReadLines(log.LogFile()).size(), 24u);
    CHarnessRun second;
    ASSERT_TRUE(second.Prepare(ScriptedEnginePath())) << second.Error();
    ASSERT_TRUE(second.Start(L"xfakecheckx"));
    EXPECT_EQ(BoxTexts(second.Session().WaitForExit(kWaitMs).boxes), Texts{L"Fakecheck"});
    EXPECT_EQ(second.ExitCode(), 0u);
    // The second run's lines follow the first run's.
    std::vector<std::wstring> lines = ReadLines(log.LogFile());
    ASSERT_EQ(lines.size(), 48u);
    EXPECT_TRUE(EndsWithRecord(lines[23], L"VPE CHECK END"));
    EXPECT_TRUE(EndsWithRecord(lines[24], L"VPE CHECK BEGIN"));
    // Neither run loaded the engine library.
    EXPECT_TRUE(m_run.Calls().empty());
    EXPECT_TRUE(second.Calls().empty());
}

TEST_F(FakeCheckMode, OtherSpellingsOpenTheWindow) {
    for (const wchar_t* arguments : {L"FAKECHECK", L"fake check"}) {
        CHarnessRun run;
        ASSERT_TRUE(run.Prepare(ScriptedEnginePath())) << run.Error();
        ASSERT_TRUE(run.Start(arguments));
        CommandResult started = run.Session().WaitForMainWindow(kMainWindowClass, L"", kWaitMs);
        EXPECT_EQ(started.outcome, WaitOutcome::Finished) << arguments;
        EXPECT_TRUE(started.boxes.empty()) << arguments;
        std::vector<std::wstring> calls = run.CommandCalls();
        EXPECT_EQ(calls, Texts({L"GetCorvinexEngine", L"Update"})) << arguments;
        EXPECT_EQ(run.Session().SendCommand(IDM_EXIT, kWaitMs).outcome, WaitOutcome::ProcessEnded);
        EXPECT_EQ(run.ExitCode(), 0u) << arguments;
    }
}
