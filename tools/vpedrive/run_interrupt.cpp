#include "tools/vpedrive/run_interrupt.h"

#include <atomic>

namespace Corvinex {
namespace Vpedrive {

namespace {

// The exit code the harness gets when an interrupt ends it.
const UINT kInterruptedExitCode = 255;
// How long the handler waits for the ended harness before it returns.
const DWORD kEndWaitMs = 5000;

// What the console control handler must undo when the run is interrupted, and how many
// handlers are running (the scope waits for them before it closes the harness's handle).
std::atomic<Driver::CDeveloperSettingsGuard*> g_settings{nullptr};
std::atomic<HANDLE> g_harness{nullptr};
std::atomic<bool> g_interrupted{false};
std::atomic<int> g_handlersRunning{0};

BOOL WINAPI OnConsoleControl(DWORD) {
    ++g_handlersRunning;
    g_interrupted = true;
    if (Driver::CDeveloperSettingsGuard* settings = g_settings.load())
        settings->Restore();
    if (HANDLE harness = g_harness.load()) {
        TerminateProcess(harness, kInterruptedExitCode);
        WaitForSingleObject(harness, kEndWaitMs);
    }
    --g_handlersRunning;
    return TRUE;
}

} // namespace

CInterruptScope::CInterruptScope(Driver::CDeveloperSettingsGuard* settings) {
    g_interrupted = false;
    g_settings = settings;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

CInterruptScope::~CInterruptScope() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_harness = nullptr;
    g_settings = nullptr;
    // A handler that took the handle before it was cleared may still be using it.
    while (g_handlersRunning.load() > 0)
        Sleep(10);
}

bool CInterruptScope::SetHarness(HANDLE process) {
    HANDLE own = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &own, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return false;
    m_harness.Attach(own);
    g_harness = own;
    return true;
}

bool CInterruptScope::Interrupted() const {
    return g_interrupted.load();
}

} // namespace Vpedrive
} // namespace Corvinex
