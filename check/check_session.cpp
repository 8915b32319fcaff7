#include "check/check_session.h"

#include "check/check_status.h"
#include "check/crash_reporter.h"
#include "check/exit_watch.h"
#include "check/process_facts.h"
#include "check/report_line.h"

#include <wchar.h>

namespace Corvinex {
namespace Check {

namespace {

// The call in progress, read by the watchdog and the crash reporter on other threads.
volatile LONG g_slot = -1;
volatile LONG g_state = 0;
volatile DWORD g_callTick = 0;
CWideString DescribeCurrentCall() {
    return DescribeCall(g_slot, static_cast<EngineState>(g_state));
}
// The call in progress, or the empty text between calls.
CWideString DescribeCallInProgress() {
    return g_slot >= 0 ? DescribeCurrentCall() : CWideString();
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

const wchar_t* StateName(EngineState state) {
    // In the order of EngineState.
    const wchar_t* const names[] = {L"freshly bound", L"not installed", L"installed",
                                    L"running",       L"updating",      L"checking",
                                    L"stopped",       L"after unload"};
    const size_t index = static_cast<size_t>(state);
    return index < sizeof(names) / sizeof(names[0]) ? names[index] : L"unknown";
}

void CurrentCall(LONG* slot, EngineState* state) {
    *slot = g_slot;
    *state = static_cast<EngineState>(g_state);
}

CWideString DescribeCall(LONG slot, EngineState state) {
    if (slot >= 0 && slot < kSlotCount)
        return FormatString(L"slot %i (%s), state %s", static_cast<int>(slot),
                            SlotName(static_cast<Slot>(slot)), StateName(state));
    if (slot == kFactoryCall)
        return FormatString(L"the factory %s, state %s", kEngineFactoryTitle, StateName(state));
    return FormatString(L"no engine call, state %s", StateName(state));
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

int CEngineUnderTest::Bind(const wchar_t* path) {
    g_callTick = GetTickCount();
    g_slot = kFactoryCall;
    const int result = CEngineBinding::Bind(path);
    g_slot = -1;
    return result;
}

CCheckSession::CCheckSession(int strictness, uint32_t seed, DWORD callLimitMs,
                             const wchar_t* dumpFolder)
    : m_budgets(BudgetsFor(strictness)), m_strictness(strictness),
      m_random(seed != 0 ? seed : 0x9E3779B9u), m_callLimitMs(callLimitMs) {
    InstallCrashReporter(dumpFolder, DescribeCurrentCall);
    InstallExitWatch(DescribeCallInProgress);
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
    if (m_window == nullptr)
        m_windowError = GetLastError();
    m_stop.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_watchdog.Attach(CreateThread(nullptr, 0, WatchdogMain, this, 0, nullptr));
}

CCheckSession::~CCheckSession() {
    SetEvent(m_stop.Get());
    if (m_watchdog.IsOpen())
        WaitForSingleObject(m_watchdog.Get(), INFINITE);
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
    while (WaitForSingleObject(session->m_stop.Get(), 50) == WAIT_TIMEOUT) {
        const LONG slot = g_slot;
        // A crash being reported (a minidump can take long) is no hang.
        if (slot < 0 || IsCrashReporting() || GetTickCount() - g_callTick < session->m_callLimitMs)
            continue;
        CWideString line = FormatString(
            L"detail %s: the call did not return within %lu ms; the harness's window would freeze",
            DescribeCurrentCall().c_str(), static_cast<unsigned long>(session->m_callLimitMs));
        if (session->m_hangHint != nullptr)
            line = line + L" (" + session->m_hangHint + L")";
        WriteReportLine(line + L".");
        WriteReportLine(L"status timed out");
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(CheckStatus::TimedOut));
    }
    return 0;
}

void CCheckSession::Fail(const CWideString& text) {
    m_failures.Add(text);
}
void CCheckSession::Warn(const CWideString& text) {
    m_warnings.Add(text);
}
void CCheckSession::Note(const CWideString& text) {
    m_notes.Add(text);
}
void CCheckSession::Skip(const CWideString& text) {
    m_skips.Add(text);
}

int CCheckSession::Finish() {
    CheckStatus status = CheckStatus::Passed;
    if (m_failures.GetCount() > 0)
        status = CheckStatus::Failed;
    else if (m_warnings.GetCount() > 0)
        status = CheckStatus::Warning;
    else if (m_skips.GetCount() > 0)
        status = CheckStatus::Skipped;
    const TArray<CWideString>* lists[] = {&m_failures, &m_warnings, &m_skips, &m_notes};
    for (const TArray<CWideString>* list : lists) {
        for (int32_t i = 0; i < list->GetCount(); ++i)
            WriteReportLine(L"detail " + list->ElementAt(i));
    }
    WriteReportLine(CWideString(L"status ") + StatusWord(status));
    return static_cast<int>(status);
}

} // namespace Check
} // namespace Corvinex
