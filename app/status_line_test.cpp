#include "app/status_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Corvinex::CWideString;

namespace {

// Answers the five state queries from fixed flags and records their order.
class StateEngine : public Corvinex::VeilpathEngine::IVeilpathEngine {
public:
    BOOL installed = FALSE, running = FALSE, anonymous = FALSE, updating = FALSE, checking = FALSE;
    std::vector<int> calls;

    int GetInterfaceVersion() override { return 1; }
    BOOL IsInstalled() override { return Record(1, installed); }
    int Install() override { return 0; }
    int Uninstall() override { return 0; }
    int Update() override { return 0; }
    int GetEngineVersion() override { return 0; }
    int Start() override { return 0; }
    int Stop() override { return 0; }
    BOOL IsEngineRunning() override { return Record(8, running); }
    int UpdateStart() override { return 0; }
    int UpdateStop() override { return 0; }
    BOOL IsUpdateRunning() override { return Record(11, updating); }
    int GetUpdateProgress() override { return 0; }
    int GetLastUpdateResult() override { return 0; }
    int AnalyseUpdateLog(int*, CWideString*, int*) override { return 0; }
    int CheckStart(int) override { return 0; }
    int CheckStop() override { return 0; }
    BOOL IsCheckRunning() override { return Record(17, checking); }
    int GetCheckProgress() override { return 0; }
    CWideString AnalyseCheckLog() override { return CWideString(); }
    int GetCheckedEndpointCount() override { return 0; }
    int GetWorkingEndpointCount() override { return 0; }
    int ClearCheckLog() override { return 0; }
    int SetAnonymity(BOOL) override { return 0; }
    BOOL IsAnonymityActive() override { return Record(24, anonymous); }
    CWideString GetAnonymousIP() override { return CWideString(); }
    int GetActiveEndpointIndex() override { return 0; }
    int SelectEndpoint(int) override { return 0; }
    int GetLastResult() override { return 0; }
    CWideString GetRealIP() override { return CWideString(); }

private:
    BOOL Record(int slot, BOOL value) {
        calls.push_back(slot);
        return value;
    }
};

// A real (hidden) top-level window of Wine's, destroyed at the end of the test.
class TestWindow {
public:
    TestWindow()
        : m_window(CreateWindowExW(0, L"STATIC", L"initial title", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                   100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)) {}
    ~TestWindow() {
        if (m_window != nullptr) {
            DestroyWindow(m_window);
        }
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND Get() const { return m_window; }
    std::wstring Title() const {
        wchar_t text[512] = {0};
        GetWindowTextW(m_window, text, 512);
        return text;
    }

private:
    HWND m_window;
};

} // namespace

TEST(StatusLine, TitleShowsEachStateAsTrueOrFalse) {
    StateEngine engine;
    engine.installed = TRUE;
    engine.running = 7;
    TestWindow window;
    ASSERT_NE(nullptr, window.Get());
    Corvinex::UpdateStatusLine(window.Get(), &engine);
    EXPECT_EQ(L"VPETEST: IsInstalled=TRUE IsEngineRunning=TRUE ANONYMITY=FALSE Update=FALSE "
              L"Check=FALSE",
              window.Title());

    engine.installed = FALSE;
    engine.running = FALSE;
    engine.anonymous = TRUE;
    engine.updating = TRUE;
    engine.checking = TRUE;
    Corvinex::UpdateStatusLine(window.Get(), &engine);
    EXPECT_EQ(L"VPETEST: IsInstalled=FALSE IsEngineRunning=FALSE ANONYMITY=TRUE Update=TRUE "
              L"Check=TRUE",
              window.Title());
}

TEST(StatusLine, QueriesTheFiveStatesInTheirOrderOncePerTick) {
    StateEngine engine;
    TestWindow window;
    Corvinex::UpdateStatusLine(window.Get(), &engine);
    EXPECT_EQ((std::vector<int>{17, 11, 24, 8, 1}), engine.calls);
    Corvinex::UpdateStatusLine(window.Get(), &engine);
    EXPECT_EQ(10u, engine.calls.size());
}

TEST(StatusLine, WithoutAnEngineTheTitleStays) {
    TestWindow window;
    Corvinex::UpdateStatusLine(window.Get(), nullptr);
    EXPECT_EQ(L"initial title", window.Title());
}
