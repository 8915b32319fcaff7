// The machinery a check runs in: the engine bound through the project's binding, every call
// made through the slot table from one thread that owns a window and pumps its messages between
// calls (as in the harness), the slot and state of the call in progress (for crash and hang
// reports), a watchdog for calls that never return, budgets by strictness, and the findings.
#pragma once

#include "base/array.h"
#include "base/scoped_handle.h"
#include "base/wide_string.h"
#include "engine/engine_binding.h"
#include "engine/engine_interface.h"
#include "engine/engine_slots.h"

#include <windows.h>

#include <stdint.h>

namespace Corvinex {
namespace Check {

using VeilpathEngine::CallSlot;
using VeilpathEngine::CEngineBinding;
using VeilpathEngine::IVeilpathEngine;
using VeilpathEngine::kSlotCount;
using VeilpathEngine::kStatusQueries;
using VeilpathEngine::kStatusQueryCount;
using VeilpathEngine::Slot;
using VeilpathEngine::SlotAnswer;
using VeilpathEngine::SlotArguments;
using VeilpathEngine::SlotName;
using VeilpathEngine::SlotNumber;

// The states a check drives the engine into; named in every report.
enum class EngineState {
    Fresh,
    NotInstalled,
    Installed,
    Running,
    Updating,
    Checking,
    Stopped,
    Unloaded
};
const wchar_t* StateName(EngineState state);

// A message the message-loop check posts to the session's window; the window counts them.
const UINT kProbeMessage = WM_APP + 0x56;

// Budgets of one strictness level (milliseconds unless said otherwise).
struct Budgets {
    double bindWarnMs = 100;
    double latencyWarnMs = 50;  // a status query slower than this makes the window stutter
    double latencyFailMs = 250; // ... slower than this freezes it
    double stopReturnWarnMs = 250;
    double stopReturnFailMs = 1000;
    DWORD stopSettleMs = 3000; // IsUpdateRunning / IsCheckRunning FALSE after a stop
    DWORD unloadSettleMs = 3000;
    int lifecycleCycles = 3;
    int latencyRounds = 30;
    bool swallowedFaultFails = false;
};
Budgets BudgetsFor(int strictness);

// The project's binding (engine_binding.h) with the factory call marked as an engine call for
// the crash reporter, the exit watch and the watchdog. Owns the library reference it took; never
// calls the engine.
class CEngineUnderTest : public CEngineBinding {
public:
    // CEngineBinding::Bind: kBindDone, or the named result of the step that failed (the library
    // stays loaded until Release when the type check fails).
    int Bind(const wchar_t* path);
};

// What CurrentCall gives while the library is loaded and its factory called (Bind): no slot,
// but an engine call all the same, for the crash reporter, the exit watch and the watchdog.
const LONG kFactoryCall = kSlotCount;

// The slot being called right now (-1 for none, kFactoryCall for the factory) and the state, as the
// watchdog and the crash reporter see them; any thread may ask.
void CurrentCall(LONG* slot, EngineState* state);
// "slot N (Name), state S" for the values CurrentCall gives.
CWideString DescribeCall(LONG slot, EngineState state);

class CCheckSession {
public:
    // Creates the window, installs the crash reporter and starts the watchdog. callLimitMs is
    // how long one call may take before the check is reported as timed out.
    // dumpFolder (may be null) is where a crash's minidump goes.
    CCheckSession(int strictness, uint32_t seed, DWORD callLimitMs, const wchar_t* dumpFolder);
    ~CCheckSession();
    CCheckSession(const CCheckSession&) = delete;
    CCheckSession& operator=(const CCheckSession&) = delete;

    const Budgets& budgets() const { return m_budgets; }
    int strictness() const { return m_strictness; }
    // A deterministic pseudo-random number from the seed (xorshift), the same on every system.
    uint32_t Random();

    // Calls `slot` of the engine through the slot table, as the harness calls it: the slot and
    // the state are recorded for a crash or hang report, the call is timed (LastCallMs), and the
    // window's messages are pumped afterwards. A text answer belongs to the caller.
    SlotAnswer Call(Slot slot, IVeilpathEngine* engine,
                    const SlotArguments& arguments = SlotArguments()) {
        BeginCall(SlotNumber(slot));
        struct End {
            CCheckSession* session;
            ~End() { session->EndCall(); }
        } end = {this};
        return CallSlot(engine, slot, arguments);
    }
    double LastCallMs() const { return m_lastCallMs; }
    void SetState(EngineState state);
    EngineState State() const;
    // Names what a hang means in this check (added to the timed-out report).
    void SetHangHint(const wchar_t* hint) { m_hangHint = hint; }
    // Pumps the window's messages for `ms` milliseconds.
    void Pump(DWORD ms);
    // The session's window; null when it could not be made (WindowError then says why: under
    // Wine, no X display to create it on).
    HWND Window() const { return m_window; }
    DWORD WindowError() const { return m_windowError; }
    // How many kProbeMessage messages the window has received so far.
    LONG ProbesDispatched() const;

    // Findings. The first failure (or warning) decides the status and leads the report.
    void Fail(const CWideString& text);
    void Warn(const CWideString& text);
    void Note(const CWideString& text);
    void Skip(const CWideString& text);
    // Prints the findings and the status line; returns the status as the process exit code.
    int Finish();

private:
    void BeginCall(int slot);
    void EndCall();
    static DWORD WINAPI WatchdogMain(void* session);

    Budgets m_budgets;
    int m_strictness;
    uint32_t m_random;
    DWORD m_callLimitMs;
    HWND m_window = nullptr;
    DWORD m_windowError = 0;
    CKernelHandle m_watchdog;
    CKernelHandle m_stop;
    LARGE_INTEGER m_callStart = {};
    double m_lastCallMs = 0;
    const wchar_t* m_hangHint = nullptr;
    TArray<CWideString> m_failures, m_warnings, m_notes, m_skips;
};

} // namespace Check
} // namespace Corvinex
