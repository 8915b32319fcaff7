// The scripted command sequences of vpetest.exe: the installation commands with their own
// binding, File > Test with its surf checks through the shell, and the Update Test.
#include "app/e2e/e2e_fixture.h"
#include "res/resource.h"
#include "tools/driver/message_box.h"
#include "tools/driver/process_windows.h"

#include <algorithm>

using namespace Corvinex::E2e;
using Corvinex::Driver::CommandResult;
using Corvinex::Driver::ConfirmMessageBox;
using Corvinex::Driver::ReadMessageBox;
using Corvinex::Driver::SeenBox;
using Corvinex::Driver::WaitOutcome;

namespace {

const wchar_t kSurfCheckQuery[] = L"/?product=zel6&area=surfcheck&language=de&realip=";

class CommandSequences : public HarnessTest {
protected:
    // Waits for the next box of the command in progress, reads it and leaves it open.
    SeenBox NextBox(HWND* box) {
        *box = WaitForBox(m_run.Process().Id(), kWaitMs);
        if (*box == nullptr)
            return SeenBox();
        return ReadMessageBox(*box, kWaitMs);
    }

    // Confirms the open box and waits until it is gone.
    void Confirm(HWND box) {
        ASSERT_TRUE(ConfirmMessageBox(box));
        ASSERT_TRUE(Corvinex::Driver::WaitForWindowGone(box, kWaitMs));
    }
};

bool IsSurfCheckUrl(const std::wstring& url, const std::wstring& ip) {
    const std::wstring tail = kSurfCheckQuery + ip + L"&refresh=active";
    return url.compare(0, 7, L"http://") == 0 && url.size() > 7 + tail.size() &&
           url.compare(url.size() - tail.size(), tail.size(), tail) == 0 &&
           url.find(L'/', 7) == url.size() - tail.size();
}

} // namespace

TEST_F(CommandSequences, InstallShowsThreeBoxesAndBindsTheEngineASecondTime) {
    m_run.Script(L"Install", L"4");
    StartScripted();
    EXPECT_EQ(Command(ID_INSTALLATION_INSTALL),
              Texts({L"Corvinex::VeilpathEngine::VeilpathEngine_Install", L"Init returned 0",
                     L"Install returned 4"}));
    EXPECT_EQ(m_run.CommandCalls(),
              Texts({L"GetCorvinexEngine", L"Update", L"GetCorvinexEngine", L"Install"}));
    // The window's binding keeps the library and its engine after the command's binding went.
    m_run.Script(L"Start", L"0");
    EXPECT_EQ(Command(ID_ENGINE_START), Texts{L"Engine start = 0"});
}

TEST_F(CommandSequences, UninstallAndIsInstalledUseTheirOwnBindingToo) {
    m_run.Script(L"Uninstall", L"-3");
    m_run.Script(L"IsInstalled", L"0");
    StartScripted();
    EXPECT_EQ(Command(ID_INSTALLATION_UNINSTALL),
              Texts({L"Corvinex::VeilpathEngine::VeilpathEngine_Uninstall", L"Init returned 0",
                     L"Uninstall returned -3"}));
    EXPECT_EQ(Command(ID_INSTALLATION_ISINSTALLED),
              Texts({L"Corvinex::VeilpathEngine::VeilpathEngine_IsInstalled", L"Init returned 0",
                     L"IsInstalled returned FALSE"}));
    ASSERT_TRUE(m_run.SetState(L"IsInstalled=7\n"));
    EXPECT_EQ(Command(ID_INSTALLATION_ISINSTALLED),
              Texts({L"Corvinex::VeilpathEngine::VeilpathEngine_IsInstalled", L"Init returned 0",
                     L"IsInstalled returned TRUE"}));
    std::vector<std::wstring> calls = m_run.CommandCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"GetCorvinexEngine"), 4);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"Uninstall"), 1);
}

TEST_F(CommandSequences, TestSequencePausesBetweenStartAndStopAndOpensTheSurfCheckTwice) {
    m_run.Script(L"Start", L"3");
    m_run.Script(L"Stop", L"-2");
    m_run.Script(L"GetRealIP", L"192.0.2.55");
    ASSERT_TRUE(m_run.Prepare(ScriptedEnginePath())) << m_run.Error();
    CUrlRecorderHandler handler(m_run.Folder() + L"urls.txt");
    ASSERT_TRUE(handler.Active());
    m_run.SetEnvironment(L"VPE_URL_RECORD", handler.RecordPath());
    ASSERT_TRUE(m_run.StartWindow()) << m_run.Error();
    ASSERT_TRUE(PostMessageW(m_run.Session().MainWindow(), WM_COMMAND, ID_FILE_TEST, 0));

    HWND box = nullptr;
    SeenBox first = NextBox(&box);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(first.caption, kInternalErrorCaption);
    EXPECT_EQ(first.text, L"Start returned 3");
    // The surf check comes only after the box is confirmed.
    EXPECT_TRUE(ReadLines(handler.RecordPath()).empty());
    EXPECT_EQ(m_run.CommandCalls(), Texts({L"GetCorvinexEngine", L"Update", L"Update", L"Start"}));
    Confirm(box);

    SeenBox second = NextBox(&box);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(second.text, L"Want to stop the engine?");
    std::vector<std::wstring> urls = handler.Recorded(1, kWaitMs);
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_TRUE(IsSurfCheckUrl(urls[0], L"192.0.2.55")) << urls[0];
    // The pause holds the engine running; the address after stopping is another one.
    std::vector<std::wstring> calls = m_run.CommandCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"Stop"), 0);
    ASSERT_TRUE(m_run.SetState(L"GetRealIP=198.51.100.9\n"));
    Confirm(box);

    SeenBox third = NextBox(&box);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(third.text, L"Stop returned -2");
    EXPECT_EQ(ReadLines(handler.RecordPath()).size(), 1u);
    Confirm(box);

    CommandResult rest = m_run.Session().WaitUntilIdle(kWaitMs);
    EXPECT_EQ(rest.outcome, WaitOutcome::Finished);
    EXPECT_TRUE(rest.boxes.empty());
    urls = handler.Recorded(2, kWaitMs);
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_TRUE(IsSurfCheckUrl(urls[1], L"198.51.100.9")) << urls[1];
    EXPECT_EQ(m_run.CommandCalls(), Texts({L"GetCorvinexEngine", L"Update", L"Update", L"Start",
                                           L"GetRealIP", L"Stop", L"GetRealIP"}));
}

TEST_F(CommandSequences, TestSequenceWithoutBoxesRunsThroughWithoutPause) {
    ASSERT_TRUE(m_settings.EnableMessageBox(false));
    m_run.Script(L"GetRealIP", L"");
    ASSERT_TRUE(m_run.Prepare(ScriptedEnginePath())) << m_run.Error();
    CUrlRecorderHandler handler(m_run.Folder() + L"urls.txt");
    ASSERT_TRUE(handler.Active());
    m_run.SetEnvironment(L"VPE_URL_RECORD", handler.RecordPath());
    ASSERT_TRUE(m_run.StartWindow()) << m_run.Error();
    EXPECT_EQ(Command(ID_FILE_TEST), Texts{});
    EXPECT_EQ(m_run.CommandCalls(), Texts({L"GetCorvinexEngine", L"Update", L"Update", L"Start",
                                           L"GetRealIP", L"Stop", L"GetRealIP"}));
    // An empty address is placed as it is.
    std::vector<std::wstring> urls = handler.Recorded(2, kWaitMs);
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_TRUE(IsSurfCheckUrl(urls[0], L"")) << urls[0];
    EXPECT_TRUE(IsSurfCheckUrl(urls[1], L"")) << urls[1];
}

TEST_F(CommandSequences, SurfCheckCommandOpensThePageForTheRealAddress) {
    m_run.Script(L"GetRealIP", L"203.0.113.77");
    ASSERT_TRUE(m_run.Prepare(ScriptedEnginePath())) << m_run.Error();
    CUrlRecorderHandler handler(m_run.Folder() + L"urls.txt");
    ASSERT_TRUE(handler.Active());
    m_run.SetEnvironment(L"VPE_URL_RECORD", handler.RecordPath());
    ASSERT_TRUE(m_run.StartWindow()) << m_run.Error();
    EXPECT_EQ(Command(ID_ENGINE_SURFCHECK), Texts{});
    std::vector<std::wstring> urls = handler.Recorded(1, kWaitMs);
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_TRUE(IsSurfCheckUrl(urls[0], L"203.0.113.77")) << urls[0];
}

TEST_F(CommandSequences, UpdateTestCallsUpdateBetweenItsTwoBoxes) {
    StartScripted();
    ASSERT_TRUE(PostMessageW(m_run.Session().MainWindow(), WM_COMMAND, ID_UPDATE_UPDATETEST, 0));
    HWND box = nullptr;
    SeenBox begin = NextBox(&box);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(begin.text, L"Corvinex::VeilpathEngine::VeilpathEngine_Update BEGIN");
    EXPECT_EQ(m_run.CommandCalls(), Texts({L"GetCorvinexEngine", L"Update"}));
    Confirm(box);
    SeenBox end = NextBox(&box);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(end.text, L"Corvinex::VeilpathEngine::VeilpathEngine_Update END");
    EXPECT_EQ(m_run.CommandCalls(), Texts({L"GetCorvinexEngine", L"Update", L"Update"}));
    Confirm(box);
    EXPECT_EQ(m_run.Session().WaitUntilIdle(kWaitMs).outcome, WaitOutcome::Finished);
}
