#include "app/status_line.h"

#include "testsupport/quiet_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Corvinex::CWideString;

namespace {

// Answers the five state queries from fixed flags and records their order.
class StateEngine : public VpeTest::CQuietEngine {
public:
    BOOL installed = FALSE, running = FALSE, anonymous = FALSE, updating = FALSE, checking = FALSE;
    std::vector<int> calls;

    BOOL IsInstalled() override { return Record(1, installed); }
    BOOL IsEngineRunning() override { return Record(8, running); }
    BOOL IsUpdateRunning() override { return Record(11, updating); }
    BOOL IsCheckRunning() override { return Record(17, checking); }
    BOOL IsAnonymityActive() override { return Record(24, anonymous); }

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
