// Drives the test window program the way the harness is driven: commands in, boxes and titles
// out, under Wine's real windows and registry.
#include "tools/driver/gui_session.h"

#include "tools/driver/harness_commands.h"
#include "tools/driver/process_windows.h"
#include "tools/driver/registry_backup.h"
#include "testsupport/fault_code.h"
#include "tools/driver/test_target_commands.h"
#include "tools/driver/test_target_path.h"

#include <gtest/gtest.h>

using namespace Corvinex::Driver;

namespace {

const wchar_t* const kClass = kHarnessWindowClass;
const DWORD kWait = 20000;

class GuiSessionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_settings.EnableMessageBox(true)); }

    // Starts the target and waits for its main window.
    void StartTarget(const std::wstring& arguments) {
        ASSERT_TRUE(m_process.Start(VpeTest::TestTargetPath(), arguments, L""));
        CommandResult started = m_session.WaitForMainWindow(kClass, L"", kWait);
        ASSERT_EQ(started.outcome, WaitOutcome::Finished);
        ASSERT_NE(m_session.MainWindow(), nullptr);
    }

    std::vector<std::wstring> Texts(const CommandResult& result) {
        std::vector<std::wstring> texts;
        for (const SeenBox& box : result.boxes)
            texts.push_back(box.text);
        return texts;
    }

    CDeveloperSettingsGuard m_settings;
    CChildProcess m_process;
    CGuiSession m_session{m_process};
};

} // namespace

TEST_F(GuiSessionTest, FindsTheMainWindowByClassAndReadsItsTitle) {
    StartTarget(L"--title \"Driver target \x00E4\x00F6\x20AC\" --tick-ms 60000");
    EXPECT_EQ(GetWindowClass(m_session.MainWindow()), kClass);
    EXPECT_EQ(m_session.Title(), L"Driver target \x00E4\x00F6\x20AC");
    EXPECT_EQ(FindProcessWindow(m_process.Id(), kClass, L"Driver target \x00E4\x00F6\x20AC"),
              m_session.MainWindow());
    EXPECT_EQ(FindProcessWindow(m_process.Id(), kClass, L"another title"), nullptr);
    EXPECT_EQ(FindProcessWindow(m_process.Id(), L"OTHERCLASS", L""), nullptr);
}

TEST_F(GuiSessionTest, ReadsEveryBoxOfACommandInOrderAndConfirmsIt) {
    StartTarget(L"");
    CommandResult result = m_session.SendCommand(kTargetInstall, kWait);
    ASSERT_EQ(result.outcome, WaitOutcome::Finished);
    ASSERT_EQ(result.boxes.size(), 3u);
    EXPECT_EQ(Texts(result),
              (std::vector<std::wstring>{L"Corvinex::VeilpathEngine::VeilpathEngine_Install",
                                         L"Init returned 0", L"Install returned 0"}));
    for (const SeenBox& box : result.boxes)
        EXPECT_EQ(box.caption, L"Internal Error");
    // Every box was answered: none is left and the window takes input again.
    EXPECT_TRUE(FindMessageBoxes(m_process.Id()).empty());
    EXPECT_TRUE(IsWindowEnabled(m_session.MainWindow()));
}

TEST_F(GuiSessionTest, KeepsALogOfEveryBoxAcrossCommands) {
    StartTarget(L"--tick-ms 60000");
    m_session.SendCommand(kTargetStart, kWait);
    m_session.SendCommand(kTargetStop, kWait);
    ASSERT_EQ(m_session.BoxLog().size(), 2u);
    EXPECT_EQ(m_session.BoxLog()[0].text, L"Engine start = 0");
    EXPECT_EQ(m_session.BoxLog()[1].text, L"Engine stop = 0");
}

TEST_F(GuiSessionTest, ReadsTextWithQuotesLineFeedsAndNonAsciiUnchanged) {
    StartTarget(L"");
    CommandResult result = m_session.SendCommand(kTargetAnalyse, kWait);
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].text, L"say \"hi\"\n50% \\ \x00C4rger \x20AC\ttab");
}

TEST_F(GuiSessionTest, ACommandWithoutBoxesFinishesWithNone) {
    StartTarget(L"");
    CommandResult result = m_session.SendCommand(kTargetNoBox, kWait);
    EXPECT_EQ(result.outcome, WaitOutcome::Finished);
    EXPECT_TRUE(result.boxes.empty());
}

TEST_F(GuiSessionTest, SeesNoBoxWhenTheDeveloperSettingsSwitchItOff) {
    ASSERT_TRUE(m_settings.EnableMessageBox(false));
    StartTarget(L"");
    CommandResult result = m_session.SendCommand(kTargetInstall, kWait);
    EXPECT_EQ(result.outcome, WaitOutcome::Finished);
    EXPECT_TRUE(result.boxes.empty());
}

TEST_F(GuiSessionTest, WaitsForASlowCommandToShowItsBox) {
    StartTarget(L"");
    CommandResult result = m_session.SendCommand(kTargetSlow, kWait);
    ASSERT_EQ(result.outcome, WaitOutcome::Finished);
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].text, L"slow done");
}

TEST_F(GuiSessionTest, AlsoAnswersABoxThatHasAnOwner) {
    StartTarget(L"");
    CommandResult result = m_session.SendCommand(kTargetOwnedBox, kWait);
    ASSERT_EQ(result.outcome, WaitOutcome::Finished);
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].text, L"owned");
}

TEST_F(GuiSessionTest, SeesTheTitleChangeAtTheNextTick) {
    StartTarget(L"--tick-ms 300");
    std::wstring first = m_session.WaitForTitleChange(L"EngineVeilpathTestEnv", kWait);
    EXPECT_EQ(first, L"TARGET: Running=FALSE");
    m_session.SendCommand(kTargetStart, kWait);
    EXPECT_EQ(m_session.WaitForTitleChange(first, kWait), L"TARGET: Running=TRUE");
}

TEST_F(GuiSessionTest, TheExitCommandEndsTheProgramWithItsCode) {
    StartTarget(L"--exit-code 5");
    CommandResult result = m_session.SendCommand(kTargetExit, kWait);
    EXPECT_EQ(result.outcome, WaitOutcome::ProcessEnded);
    DWORD code = 0;
    ASSERT_TRUE(m_process.GetExitCode(&code));
    EXPECT_EQ(code, 5u);
    EXPECT_EQ(m_session.SendCommand(kTargetStart, kWait).outcome, WaitOutcome::ProcessEnded);
}

TEST_F(GuiSessionTest, AHungCommandTimesOutAndTheProgramCanBeKilled) {
    StartTarget(L"");
    CommandResult result = m_session.SendCommand(kTargetHang, 1500);
    EXPECT_EQ(result.outcome, WaitOutcome::TimedOut);
    EXPECT_TRUE(m_process.IsRunning());
    ASSERT_TRUE(m_process.Kill(99));
    DWORD code = 0;
    ASSERT_TRUE(m_process.GetExitCode(&code));
    EXPECT_EQ(code, 99u);
}

TEST_F(GuiSessionTest, ACrashEndsTheCommandWithTheFaultAsExitCode) {
    StartTarget(L"");
    CommandResult result = m_session.SendCommand(kTargetCrash, kWait);
    EXPECT_EQ(result.outcome, WaitOutcome::ProcessEnded);
    DWORD code = 0;
    ASSERT_TRUE(m_process.GetExitCode(&code));
    EXPECT_EQ(code, VpeTest::NullWriteFaultCode());
}

TEST_F(GuiSessionTest, CollectsTheBoxesOfAProgramThatEndsWithoutAWindow) {
    ASSERT_TRUE(m_process.Start(VpeTest::TestTargetPath(),
                                L"--startup-box \"engineDLL.Init returned 20\" --no-window "
                                L"--exit-code 1",
                                L""));
    CommandResult result = m_session.WaitForMainWindow(kClass, L"", kWait);
    EXPECT_EQ(result.outcome, WaitOutcome::ProcessEnded);
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].text, L"engineDLL.Init returned 20");
    EXPECT_EQ(m_session.MainWindow(), nullptr);
    DWORD code = 0;
    ASSERT_TRUE(m_process.GetExitCode(&code));
    EXPECT_EQ(code, 1u);
}

TEST_F(GuiSessionTest, WaitForExitAnswersBoxesUntilTheProgramEnds) {
    ASSERT_TRUE(m_process.Start(VpeTest::TestTargetPath(),
                                L"--startup-box first --no-window --exit-code 3", L""));
    CommandResult result = m_session.WaitForExit(kWait);
    EXPECT_EQ(result.outcome, WaitOutcome::ProcessEnded);
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].text, L"first");
}

TEST_F(GuiSessionTest, ACommandBeforeAnyWindowReportsNoWindow) {
    ASSERT_TRUE(m_process.Start(VpeTest::TestTargetPath(), L"", L""));
    EXPECT_EQ(m_session.SendCommand(kTargetStart, 1000).outcome, WaitOutcome::NoWindow);
}
