#include "tools/vpedrive/validate_session.h"

#include "tools/vpedrive/console_output.h"
#include "tools/vpedrive/validate_crash.h"
#include "tools/vpedrive/validate_system.h"

#include <psapi.h>

namespace Corvinex {
namespace Vpedrive {

namespace {

const wchar_t* const kSlotNames[30] = {
    L"GetInterfaceVersion",
    L"IsInstalled",
    L"Install",
    L"Uninstall",
    L"Update",
    L"GetEngineVersion",
    L"Start",
    L"Stop",
    L"IsEngineRunning",
    L"UpdateStart",
    L"UpdateStop",
    L"IsUpdateRunning",
    L"GetUpdateProgress",
    L"GetLastUpdateResult",
    L"AnalyseUpdateLog",
    L"CheckStart",
    L"CheckStop",
    L"IsCheckRunning",
    L"GetCheckProgress",
    L"AnalyseCheckLog",
    L"GetCheckedEndpointCount",
    L"GetWorkingEndpointCount",
    L"ClearCheckLog",
    L"SetAnonymity",
    L"IsAnonymityActive",
    L"GetAnonymousIP",
    L"GetActiveEndpointIndex",
    L"SelectEndpoint",
    L"GetLastResult",
    L"GetRealIP",
};

// The call in progress, read by the watchdog and the crash reporter on other threads.
volatile LONG g_slot = -1;
volatile LONG g_state = 0;
volatile DWORD g_callTick = 0;
CRITICAL_SECTION g_reportLock;
volatile LONG g_reportLockReady = 0;

std::wstring DescribeCurrentCall() {
    return DescribeCall(g_slot, static_cast<EngineState>(g_state));
}

volatile LONG g_probes = 0;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kProbeMessage) {
        InterlockedIncrement(&g_probes);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

} // namespace

const int kCalledSlots[18] = {1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 14, 15, 16, 17, 19, 23, 24, 29};
const int kStatusSlots[5] = {17, 11, 24, 8, 1};

const wchar_t* StateName(EngineState state) {
    switch (state) {
    case EngineState::Fresh:
        return L"freshly bound";
    case EngineState::NotInstalled:
        return L"not installed";
    case EngineState::Installed:
        return L"installed";
    case EngineState::Running:
        return L"running";
    case EngineState::Updating:
        return L"updating";
    case EngineState::Checking:
        return L"checking";
    case EngineState::Stopped:
        return L"stopped";
    case EngineState::Unloaded:
        return L"after unload";
    }
    return L"unknown";
}

void CurrentCall(LONG* slot, EngineState* state) {
    *slot = g_slot;
    *state = static_cast<EngineState>(g_state);
}

std::wstring DescribeCall(LONG slot, EngineState state) {
    std::wstring text;
    if (slot >= 0 && slot < 30)
        text = L"slot " + std::to_wstring(slot) + L" (" + kSlotNames[slot] + L")";
    else
        text = L"no engine call";
    return text + L", state " + StateName(state);
}

const wchar_t* SlotName(int slot) {
    return slot >= 0 && slot < 30 ? kSlotNames[slot] : L"?";
}

Budgets BudgetsFor(int strictness) {
    Budgets budgets;
    budgets.lifecycleCycles = 1 + strictness / 2;
    budgets.latencyRounds = 10 + 4 * strictness;
    budgets.swallowedFaultFails = strictness >= 7;
    if (strictness >= 8) {
        budgets.latencyWarnMs = 25;
        budgets.latencyFailMs = 150;
        budgets.stopSettleMs = 2000;
    } else if (strictness >= 6) {
        budgets.latencyWarnMs = 35;
        budgets.latencyFailMs = 200;
        budgets.stopSettleMs = 2500;
    }
    return budgets;
}

int CEngineUnderTest::Bind(const std::wstring& path) {
    int result = Load(path.c_str());
    if (result != 0)
        return result;
    // The type check reads the object's table: an object without one (destroyed, wiped)
    // would fault there, in the harness as here.
    if (ReadableTable(pEngine) == nullptr)
        return 3;
    m_engine = dynamic_cast<IVeilpathEngine*>(pEngine);
    return m_engine != nullptr ? 0 : 2;
}

bool ModuleRange(HMODULE module, uintptr_t* base, uintptr_t* size) {
    MODULEINFO info = {};
    if (module == nullptr ||
        !GetModuleInformation(GetCurrentProcess(), module, &info, sizeof(info)))
        return false;
    *base = reinterpret_cast<uintptr_t>(info.lpBaseOfDll);
    *size = info.SizeOfImage;
    return true;
}

CCheckSession::CCheckSession(int strictness, uint32_t seed, DWORD callLimitMs,
                             const std::wstring& dumpFolder)
    : m_budgets(BudgetsFor(strictness)), m_strictness(strictness),
      m_random(seed != 0 ? seed : 0x9E3779B9u), m_callLimitMs(callLimitMs) {
    if (InterlockedExchange(&g_reportLockReady, 1) == 0)
        InitializeCriticalSection(&g_reportLock);
    InstallCrashReporter(dumpFolder, DescribeCurrentCall, ReportLine);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VpedriveValidateWindow";
    RegisterClassW(&windowClass);
    // A top-level window never shown, like the harness's before its first paint: calls that
    // wait for this thread's messages hang here as they would in the harness.
    m_window =
        CreateWindowExW(0, windowClass.lpszClassName, L"vpedrive validate", WS_OVERLAPPEDWINDOW, 0,
                        0, 100, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
    m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_watchdog = CreateThread(nullptr, 0, WatchdogMain, this, 0, nullptr);
}

CCheckSession::~CCheckSession() {
    SetEvent(m_stop);
    if (m_watchdog != nullptr) {
        WaitForSingleObject(m_watchdog, INFINITE);
        CloseHandle(m_watchdog);
    }
    CloseHandle(m_stop);
    if (m_window != nullptr)
        DestroyWindow(m_window);
}

uint32_t CCheckSession::Random() {
    m_random ^= m_random << 13;
    m_random ^= m_random >> 17;
    m_random ^= m_random << 5;
    return m_random;
}

LONG CCheckSession::ProbesDispatched() const {
    return g_probes;
}

void CCheckSession::SetState(EngineState state) {
    g_state = static_cast<LONG>(state);
}

EngineState CCheckSession::State() const {
    return static_cast<EngineState>(g_state);
}

void CCheckSession::BeginCall(int slot) {
    g_callTick = GetTickCount();
    g_slot = slot;
    QueryPerformanceCounter(&m_callStart);
}

void CCheckSession::EndCall() {
    LARGE_INTEGER end;
    QueryPerformanceCounter(&end);
    g_slot = -1;
    m_lastCallMs = Milliseconds(m_callStart, end);
    Pump(0);
}

void CCheckSession::Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

DWORD WINAPI CCheckSession::WatchdogMain(void* context) {
    CCheckSession* session = static_cast<CCheckSession*>(context);
    while (WaitForSingleObject(session->m_stop, 50) == WAIT_TIMEOUT) {
        const LONG slot = g_slot;
        // A crash being reported (a minidump can take long) is no hang.
        if (slot < 0 || IsCrashReporting() || GetTickCount() - g_callTick < session->m_callLimitMs)
            continue;
        std::wstring line =
            L"detail " + DescribeCurrentCall() + L": the call did not return within " +
            std::to_wstring(session->m_callLimitMs) + L" ms; the harness's window would freeze";
        if (!session->m_hangHint.empty())
            line += L" (" + session->m_hangHint + L")";
        ReportLine(line + L".");
        ReportLine(L"status timed out");
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(CheckStatus::TimedOut));
    }
    return 0;
}

void CCheckSession::Fail(const std::wstring& text) {
    m_failures.push_back(text);
}
void CCheckSession::Warn(const std::wstring& text) {
    m_warnings.push_back(text);
}
void CCheckSession::Note(const std::wstring& text) {
    m_notes.push_back(text);
}
void CCheckSession::Skip(const std::wstring& text) {
    m_skips.push_back(text);
}

int CCheckSession::Finish() {
    CheckStatus status = CheckStatus::Passed;
    if (!m_failures.empty())
        status = CheckStatus::Failed;
    else if (!m_warnings.empty())
        status = CheckStatus::Warning;
    else if (!m_skips.empty())
        status = CheckStatus::Skipped;
    for (const auto* list : {&m_failures, &m_warnings, &m_skips, &m_notes}) {
        for (const std::wstring& text : *list)
            ReportLine(L"detail " + text);
    }
    ReportLine(std::wstring(L"status ") + StatusWord(status));
    return static_cast<int>(status);
}

void CCheckSession::ReportLine(const std::wstring& line) {
    EnterCriticalSection(&g_reportLock);
    COutput out(STD_OUTPUT_HANDLE);
    out.Line(line);
    LeaveCriticalSection(&g_reportLock);
}

} // namespace Vpedrive
} // namespace Corvinex
