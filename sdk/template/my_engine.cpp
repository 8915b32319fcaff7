// A minimal Veilpath engine: every operation of IVeilpathEngine, in the order of the virtual
// table, with what the harness (vpetest.exe) expects of it. State lives in memory only; replace
// the bodies with the real work.
//
// The harness calls everything from its user-interface thread, also once a second from its
// status timer (IsCheckRunning, IsUpdateRunning, IsAnonymityActive, IsEngineRunning,
// IsInstalled), so every operation must answer quickly: run long work on a thread of your own.
// It shows int results in decimal and BOOL results as TRUE or FALSE; the meaning of the codes is
// the engine's (here 0 done, 1 not installed, 2 not running, 3 already running, 4 busy,
// 5 bad argument).
#include "engine/engine_interface.h"

namespace {

using Corvinex::CWideString;

enum Result {
    kOk = 0,
    kNotInstalled = 1,
    kNotRunning = 2,
    kAlreadyRunning = 3,
    kBusy = 4,
    kBadArgument = 5,
};

// `final`: the harness never deletes the engine (the interface has no virtual destructor), and
// nothing may derive from this class and be deleted through it.
class CMyEngine final : public Corvinex::VeilpathEngine::IVeilpathEngine {
public:
    // Slot 0: the interface version this engine was built against.
    int GetInterfaceVersion() override { return Corvinex::VeilpathEngine::kInterfaceVersion; }
    // Slot 1: installed or not; shown in the title every second, so keep it cheap.
    BOOL IsInstalled() override { return m_installed; }
    // Slot 2: Installation > Install shows "Install returned <code>".
    int Install() override {
        m_installed = TRUE;
        return Result(kOk);
    }
    // Slot 3: Installation > Uninstall shows "Uninstall returned <code>".
    int Uninstall() override {
        if (m_running)
            return Result(kBusy);
        m_installed = FALSE;
        return Result(kOk);
    }
    // Slot 4: called once when the harness starts and by Update > Update Test; result unread.
    int Update() override { return Result(m_installed ? kOk : kNotInstalled); }
    // Slot 5: the engine's own version, free to choose.
    int GetEngineVersion() override { return 1; }

    // Slot 6: Engine > Start shows "Engine start = <code>".
    int Start() override {
        if (!m_installed)
            return Result(kNotInstalled);
        if (m_running)
            return Result(kAlreadyRunning);
        m_running = TRUE;
        return Result(kOk);
    }
    // Slot 7: Engine > Stop shows "Engine stop = <code>"; anonymity ends with the engine.
    int Stop() override {
        if (!m_running)
            return Result(kNotRunning);
        m_running = FALSE;
        m_anonymous = FALSE;
        return Result(kOk);
    }
    // Slot 8: "IsEngineRunning = TRUE/FALSE", and the title.
    BOOL IsEngineRunning() override { return m_running; }
    // Slots 9 to 13: the update on a worker thread (here it finishes at once); 9 and 10 are
    // called by the menu with their results unread, 11 by the status timer.
    int UpdateStart() override { return Update(); }
    int UpdateStop() override { return Result(kOk); }
    BOOL IsUpdateRunning() override { return FALSE; }
    int GetUpdateProgress() override { return 100; }
    int GetLastUpdateResult() override { return m_lastResult; }
    // Slot 14: Update > Analyse Update Log. The harness passes *bSuccess and *nServerCountHTTP
    // as 0 and an empty message and shows all three and the result afterwards.
    int AnalyseUpdateLog(int* bSuccess, CWideString* message, int* nServerCountHTTP) override {
        if (!bSuccess || !message || !nServerCountHTTP)
            return Result(kBadArgument);
        *bSuccess = TRUE;
        *message = L"No update log: this engine keeps none.";
        *nServerCountHTTP = 0;
        return Result(kOk);
    }
    // Slots 15 to 22: the endpoint check. The harness passes 3000 (ms) to CheckStart and polls
    // IsCheckRunning; AnalyseCheckLog returns the text shown as it is (the harness destroys it).
    int CheckStart(int nTimeoutMs) override { return Result(nTimeoutMs > 0 ? kOk : kBadArgument); }
    int CheckStop() override { return Result(kOk); }
    BOOL IsCheckRunning() override { return FALSE; }
    int GetCheckProgress() override { return 100; }
    CWideString AnalyseCheckLog() override { return CWideString(L"No endpoints checked."); }
    int GetCheckedEndpointCount() override { return 0; }
    int GetWorkingEndpointCount() override { return 0; }
    int ClearCheckLog() override { return Result(kOk); }
    // Slot 23: Engine > Activate/Deactivate Anonymity; the result is unread, the title shows
    // IsAnonymityActive (slot 24).
    int SetAnonymity(BOOL bOn) override {
        if (bOn && !m_running)
            return Result(kNotRunning);
        m_anonymous = bOn ? TRUE : FALSE;
        return Result(kOk);
    }
    BOOL IsAnonymityActive() override { return m_anonymous; }
    // Slots 25 to 28: the anonymous address and the endpoint choice (not called by the menu).
    CWideString GetAnonymousIP() override { return CWideString(m_anonymous ? L"192.0.2.1" : L""); }
    int GetActiveEndpointIndex() override { return 0; }
    int SelectEndpoint(int nIndex) override { return Result(nIndex == 0 ? kOk : kBadArgument); }
    int GetLastResult() override { return m_lastResult; }
    // Slot 29: the computer's real address; Engine > SurfCheck puts it into the page's query.
    CWideString GetRealIP() override { return CWideString(L"127.0.0.1"); }

private:
    int Result(int code) { return m_lastResult = code; }

    BOOL m_installed = FALSE;
    BOOL m_running = FALSE;
    BOOL m_anonymous = FALSE;
    int m_lastResult = kOk;
};

// Lives as long as the library is loaded. Each binding of the harness (the window's and the
// short ones of the installation commands) asks the factory and gets this same object.
CMyEngine g_engine;

} // namespace

// The factory the harness resolves by name: C linkage, C calling convention, exported.
VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    return &g_engine;
}
