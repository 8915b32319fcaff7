#include "tools/vpedrive/run_interrupt.h"

namespace Corvinex {
namespace Vpedrive {

namespace {

// The exit code the harness gets when an interrupt ends it.
const UINT kInterruptedExitCode = 255;
// How long the handler waits for the ended harness before it returns.
const DWORD kEndWaitMs = 5000;

// What the console control handler must undo when the run is interrupted.
Driver::CDeveloperSettingsGuard* volatile g_settings = nullptr;
HANDLE volatile g_harness = nullptr;
volatile LONG g_interrupted = 0;

BOOL WINAPI OnConsoleControl(DWORD) {
    InterlockedExchange(&g_interrupted, 1);
    if (g_settings != nullptr)
        g_settings->Restore();
    if (g_harness != nullptr) {
        TerminateProcess(g_harness, kInterruptedExitCode);
        WaitForSingleObject(g_harness, kEndWaitMs);
    }
    return TRUE;
}

} // namespace

CInterruptScope::CInterruptScope(Driver::CDeveloperSettingsGuard* settings) {
    g_interrupted = 0;
    g_settings = settings;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

CInterruptScope::~CInterruptScope() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_harness = nullptr;
    g_settings = nullptr;
}

void CInterruptScope::SetHarness(HANDLE process) {
    g_harness = process;
}

bool CInterruptScope::Interrupted() const {
    return g_interrupted != 0;
}

} // namespace Vpedrive
} // namespace Corvinex
