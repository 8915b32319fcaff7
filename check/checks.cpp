#include "check/checks.h"

#include "check/check_catalogue.h"
#include "check/check_status.h"
#include "check/crash_reporter.h"
#include "check/engine_ops.h"
#include "check/process_facts.h"
#include "engine/type_info_layout.h"
#include "check/report_line.h"

#include <ws2tcpip.h>

#include <stdio.h>
#include <string.h>

namespace Corvinex {
namespace Check {

namespace {

CWideString Int(int value) {
    return FormatString(L"%i", value);
}

// Orders call times for the percentile.
int32_t CompareMs(const double* element, const double* key) {
    return *element < *key ? -1 : *element > *key ? 1 : 0;
}

CWideString Ms(double ms) {
    wchar_t text[32];
    swprintf(text, 32, L"%.1f ms", ms);
    return text;
}

CWideString SlotText(Slot slot) {
    return L"slot " + Int(SlotNumber(slot)) + L" " + SlotName(slot);
}

double Elapsed(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

// Binds the engine for a check; a failure is the check's finding.
bool BindFor(CCheckSession& session, CEngineUnderTest& binding, const wchar_t* path) {
    const int code = binding.Bind(path);
    if (code == kBindDone) {
        session.SetState(EngineState::Fresh);
        return true;
    }
    session.Fail(L"the library cannot be bound (binding code " + Int(code) +
                 (code == kBindForeignAbi
                      ? L": its object carries no type information of this helper's C++ ABI"
                      : L"") +
                 L"); vpedrive doctor --engine PATH tells why");
    return false;
}

// Empty when every slot of the object's table points into executable code of `module`, else
// the first slots that do not.
CWideString VtableFault(const void* object, HMODULE module) {
    uintptr_t base = 0, size = 0;
    if (!ModuleRange(module, &base, &size))
        return L"the library's image cannot be examined";
    const void* const* table = ReadableVirtualTable(object, kSlotCount);
    if (table == nullptr)
        return L"the object has no readable virtual table (it is dead or not an object)";
    CWideString faults;
    int count = 0;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const uintptr_t target = reinterpret_cast<uintptr_t>(table[slot]);
        const bool inImage = target >= base && target < base + size;
        if (inImage && IsExecutable(table[slot]))
            continue;
        if (++count > 3)
            continue;
        if (faults.GetLength() > 0)
            faults.Append(L"; ");
        faults = faults + SlotText(static_cast<Slot>(slot)) + L" points to " +
                 DescribeAddress(table[slot]) +
                 (inImage ? L", which is not executable" : L", outside the library's image");
    }
    if (count > 3)
        faults = faults + L"; and " + Int(count - 3) + L" more slots";
    return faults;
}

// ---- binding -----------------------------------------------------------------------------

void CheckBinding(CCheckSession& session, const wchar_t* path) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    CEngineUnderTest first;
    if (!BindFor(session, first, path))
        return;
    const double bindMs = Elapsed(start);
    session.Note(L"load, factory and type check took " + Ms(bindMs));
    if (bindMs > session.budgets().bindWarnMs)
        session.Warn(L"load, factory and type check took " + Ms(bindMs) + L" (budget " +
                     Ms(session.budgets().bindWarnMs) +
                     L"); the harness binds anew for every installation command, so keep "
                     L"DllMain and the factory short");
    const CWideString firstFault = VtableFault(first.Engine(), first.Module());
    if (firstFault.GetLength() > 0) {
        session.Fail(L"the factory's object cannot be called safely: " + firstFault);
        return;
    }
    IVeilpathEngine* one = first.Engine();
    const BOOL installed = session.Call(Slot::IsInstalled, one).number;
    {
        // The installation commands bind a second time while the window's binding lives.
        CEngineUnderTest second;
        const int code = second.Bind(path);
        if (code != kBindDone) {
            session.Fail(L"a second factory call while the first binding lives gave no usable "
                         L"object (binding code " +
                         Int(code) +
                         L"); the harness's installation commands bind a second time: return "
                         L"a live object on every call");
            return;
        }
        const CWideString fault = VtableFault(second.Engine(), second.Module());
        if (fault.GetLength() > 0) {
            session.Fail(L"the object of the second factory call cannot be called safely: " +
                         fault + L"; return a live object on every call");
            return;
        }
        IVeilpathEngine* two = second.Engine();
        session.Note(two == one ? L"both factory calls gave the same object"
                                : L"each factory call gave an object of its own");
        for (int round = 0; round < 1 + session.strictness() / 3; ++round) {
            session.Call(Slot::IsInstalled, one);
            const BOOL secondInstalled = session.Call(Slot::IsInstalled, two).number;
            session.Call(Slot::IsEngineRunning, two);
            session.Call(Slot::IsEngineRunning, one);
            if (secondInstalled != 0 && installed == 0 && two != one)
                session.Warn(L"the second object says installed while the first says not; "
                             L"installation is the machine's state, both should agree");
        }
    }
    // The second binding is gone; the first must still work.
    session.Call(Slot::IsInstalled, one);
    session.Call(Slot::IsEngineRunning, one);
    first.Release();
    CEngineUnderTest fresh;
    if (fresh.Bind(path) != kBindDone) {
        session.Fail(L"binding again after the library was released failed");
        return;
    }
    IVeilpathEngine* three = fresh.Engine();
    session.Call(Slot::IsInstalled, three);
}

// ---- vtable sanity -----------------------------------------------------------------------

void CheckVtable(CCheckSession& session, const wchar_t* path) {
    CEngineUnderTest binding;
    if (!BindFor(session, binding, path))
        return;
    const CWideString fault = VtableFault(binding.Engine(), binding.Module());
    if (fault.GetLength() > 0)
        session.Fail(fault + L"; the harness calls slots by their place, so every slot must be "
                             L"a function of the library (derive from IVeilpathEngine and "
                             L"override every operation)");
}

// ---- lifecycle ---------------------------------------------------------------------------

void CheckLifecycle(CCheckSession& session, const wchar_t* path) {
    CEngineUnderTest binding;
    if (!BindFor(session, binding, path))
        return;
    IVeilpathEngine* e = binding.Engine();
    Reach(session, e, EngineState::NotInstalled);
    const int cycles = session.budgets().lifecycleCycles;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        const CWideString when = L" (cycle " + Int(cycle) + L")";
        int code = session.Call(Slot::Install, e).number;
        session.SetState(EngineState::Installed);
        if (code == 0 && !session.Call(Slot::IsInstalled, e).number)
            session.Warn(L"Install returned 0 but IsInstalled answers FALSE afterwards" + when);
        code = session.Call(Slot::Start, e).number;
        session.SetState(EngineState::Running);
        if (code == 0 && !session.Call(Slot::IsEngineRunning, e).number)
            session.Warn(L"Start returned 0 but IsEngineRunning answers FALSE afterwards" + when);
        SlotArguments off;
        off.anonymity = FALSE;
        session.Call(Slot::SetAnonymity, e);
        session.Call(Slot::IsAnonymityActive, e);
        session.Call(Slot::SetAnonymity, e, off);
        if (session.Call(Slot::IsAnonymityActive, e).number)
            session.Warn(L"IsAnonymityActive answers TRUE after SetAnonymity(FALSE)" + when);
        code = session.Call(Slot::Stop, e).number;
        session.SetState(EngineState::Stopped);
        if (code == 0 && session.Call(Slot::IsEngineRunning, e).number)
            session.Warn(L"Stop returned 0 but IsEngineRunning still answers TRUE" + when);
        code = session.Call(Slot::Uninstall, e).number;
        session.SetState(EngineState::NotInstalled);
        if (code == 0 && session.Call(Slot::IsInstalled, e).number)
            session.Warn(L"Uninstall returned 0 but IsInstalled still answers TRUE" + when);
    }
    binding.Release();
    CEngineUnderTest fresh;
    if (fresh.Bind(path) != kBindDone) {
        session.Fail(L"binding again after " + Int(cycles) + L" cycles and a release failed");
        return;
    }
    session.SetState(EngineState::Fresh);
    IVeilpathEngine* f = fresh.Engine();
    if (session.Call(Slot::IsEngineRunning, f).number)
        session.Warn(L"a fresh binding after Stop and a release says the engine runs");
    for (Slot query : kStatusQueries)
        CallAsHarness(session, f, query);
}

// ---- out of order ------------------------------------------------------------------------

void CheckOutOfOrder(CCheckSession& session, const wchar_t* path) {
    CEngineUnderTest binding;
    if (!BindFor(session, binding, path))
        return;
    IVeilpathEngine* e = binding.Engine();
    const EngineState states[] = {EngineState::NotInstalled, EngineState::Installed,
                                  EngineState::Running,      EngineState::Updating,
                                  EngineState::Checking,     EngineState::Stopped};
    VeilpathEngine::SlotList slots = VeilpathEngine::SlotsCalledByHarness();
    const int passes = session.strictness() >= 8 ? 2 : 1;
    for (EngineState state : states) {
        if (session.strictness() >= 6) {
            for (int i = slots.count - 1; i > 0; --i) {
                const int other = static_cast<int>(session.Random() % static_cast<uint32_t>(i + 1));
                const Slot slot = slots.slots[i];
                slots.slots[i] = slots.slots[other];
                slots.slots[other] = slot;
            }
        }
        for (Slot slot : slots) {
            Reach(session, e, state);
            for (int pass = 0; pass < passes; ++pass)
                CallAsHarness(session, e, slot);
        }
    }
    Reach(session, e, EngineState::NotInstalled);
    session.Note(L"called " + Int(slots.count) + L" slots in 6 states");
}

// ---- status latency ----------------------------------------------------------------------

void CheckStatusLatency(CCheckSession& session, const wchar_t* path) {
    CEngineUnderTest binding;
    if (!BindFor(session, binding, path))
        return;
    IVeilpathEngine* e = binding.Engine();
    const Budgets& budgets = session.budgets();
    const EngineState phases[] = {EngineState::Installed, EngineState::Running,
                                  EngineState::Updating, EngineState::Checking};
    TArray<double> all(CompareMs);
    double worst = 0;
    Slot worstSlot = kStatusQueries[0];
    EngineState worstState = EngineState::Installed;
    for (EngineState phase : phases) {
        Reach(session, e, phase);
        for (int round = 0; round < budgets.latencyRounds; ++round) {
            for (Slot slot : kStatusQueries) {
                CallAsHarness(session, e, slot);
                const double ms = session.LastCallMs();
                all.Add(ms);
                if (ms > worst) {
                    worst = ms;
                    worstSlot = slot;
                    worstState = phase;
                }
            }
            if (worst > budgets.latencyFailMs)
                break; // the verdict is clear; spare the rest of the frozen rounds
            session.Pump(20);
        }
        if (worst > budgets.latencyFailMs)
            break;
    }
    Reach(session, e, EngineState::NotInstalled);
    all.SortRange(0, all.GetCount() - 1);
    int32_t at99 = all.GetCount() * 99 / 100;
    if (at99 > all.GetCount() - 1)
        at99 = all.GetCount() - 1;
    const double p99 = all.GetAt(at99);
    session.Note(L"worst " + Ms(worst) + L" (" + SlotText(worstSlot) + L", state " +
                 StateName(worstState) + L"), 99th percentile " + Ms(p99) + L" over " +
                 Int(all.GetCount()) + L" queries");
    CWideString polled;
    for (int i = 0; i < kStatusQueryCount; ++i)
        polled = polled +
                 (i == 0                       ? L""
                  : i + 1 == kStatusQueryCount ? L" and "
                                               : L", ") +
                 Int(SlotNumber(kStatusQueries[i]));
    const CWideString advice = L"; the status line polls slots " + polled +
                               L" on the window's thread every second, so answer from a flag and "
                               L"never wait inside a status query";
    if (worst > budgets.latencyFailMs)
        session.Fail(SlotText(worstSlot) + L" took " + Ms(worst) + L" in state " +
                     StateName(worstState) + L" (budget " + Ms(budgets.latencyFailMs) +
                     L": the window freezes)" + advice);
    else if (p99 > budgets.latencyWarnMs || worst > budgets.latencyWarnMs)
        session.Warn(L"status queries took up to " + Ms(worst) + L" (" + SlotText(worstSlot) +
                     L", state " + StateName(worstState) + L"; 99th percentile " + Ms(p99) +
                     L", budget " + Ms(budgets.latencyWarnMs) + L")" + advice);
}

// ---- stop responsiveness -----------------------------------------------------------------

void CheckStopResponsiveness(CCheckSession& session, const wchar_t* path) {
    CEngineUnderTest binding;
    if (!BindFor(session, binding, path))
        return;
    IVeilpathEngine* e = binding.Engine();
    const Budgets& budgets = session.budgets();
    const int rounds = 1 + session.strictness() / 4;
    for (int round = 0; round < rounds; ++round) {
        for (int kind = 0; kind < 2; ++kind) {
            const bool update = kind == 0;
            const Slot stopSlot = update ? Slot::UpdateStop : Slot::CheckStop;
            const Slot querySlot = update ? Slot::IsUpdateRunning : Slot::IsCheckRunning;
            Reach(session, e, update ? EngineState::Updating : EngineState::Checking);
            session.Pump(50 + session.Random() % 100);
            if (!session.Call(querySlot, e).number) {
                session.Note(CWideString(update ? L"the update" : L"the check") +
                             L" had already ended before the stop");
                continue;
            }
            session.Call(stopSlot, e);
            const double returnMs = session.LastCallMs();
            if (returnMs > budgets.stopReturnFailMs)
                session.Fail(SlotText(stopSlot) + L" took " + Ms(returnMs) +
                             L" to return (budget " + Ms(budgets.stopReturnFailMs) +
                             L"); signal the worker and return, do not wait for it on the "
                             L"caller's thread");
            else if (returnMs > budgets.stopReturnWarnMs)
                session.Warn(SlotText(stopSlot) + L" took " + Ms(returnMs) +
                             L" to return (budget " + Ms(budgets.stopReturnWarnMs) + L")");
            const double settleMs = WaitUntilIdle(session, e, querySlot, budgets.stopSettleMs);
            if (settleMs < 0) {
                session.Fail(SlotText(querySlot) + L" still answered TRUE " +
                             Int(budgets.stopSettleMs) + L" ms after " + SlotName(stopSlot) +
                             L" returned; the worker must see the stop request and end");
                Reach(session, e, EngineState::NotInstalled);
                return;
            }
            session.Note(CWideString(SlotName(querySlot)) + L" turned FALSE " + Ms(settleMs) +
                         L" after " + SlotName(stopSlot));
        }
    }
    Reach(session, e, EngineState::NotInstalled);
}

// ---- strings -----------------------------------------------------------------------------

bool IsAddress(const wchar_t* text) {
    unsigned char bytes[16];
    return InetPtonW(AF_INET, text, bytes) == 1 || InetPtonW(AF_INET6, text, bytes) == 1;
}

void JudgeString(CCheckSession& session, CWideString& text, Slot slot, const wchar_t* what) {
    const CWideString fault = StringFault(text);
    if (fault.GetLength() > 0)
        session.Fail(CWideString(what) + L" of " + SlotText(slot) + L" (state " +
                     StateName(session.State()) + L"): " + fault +
                     L"; build it with CWideString, whose blocks come from GlobalAlloc");
    if (fault.GetLength() == 0 && slot == Slot::GetRealIP && !IsAddress(text.c_str()))
        session.Fail(L"GetRealIP answered \"" + CWideString(text.c_str()) +
                     L"\", which is no IPv4 or IPv6 address; the surf check puts it in its URL");
    DisposeString(text);
}

void CheckStrings(CCheckSession& session, const wchar_t* path) {
    CEngineUnderTest binding;
    if (!BindFor(session, binding, path))
        return;
    IVeilpathEngine* e = binding.Engine();
    const EngineState states[] = {EngineState::Fresh, EngineState::Installed, EngineState::Running,
                                  EngineState::NotInstalled};
    for (EngineState state : states) {
        Reach(session, e, state);
        if (state == EngineState::Installed) {
            session.Call(Slot::Update, e);
            session.Call(Slot::CheckStart, e);
            WaitUntilIdle(session, e, Slot::IsCheckRunning, 15000);
        }
        for (int round = 0; round < 1 + session.strictness() / 5; ++round) {
            const Slot texts[] = {Slot::AnalyseCheckLog, Slot::GetRealIP};
            for (Slot text : texts) {
                SlotAnswer answer = session.Call(text, e);
                JudgeString(session, answer.text, text, L"the text returned");
            }
            CGuardedUpdateOutputs outputs;
            outputs.Call(session, e);
            JudgeString(session, outputs.Message(), Slot::AnalyseUpdateLog, L"the message filled");
        }
    }
    Reach(session, e, EngineState::NotInstalled);
}

// ---- caller memory -----------------------------------------------------------------------

void CheckCallerMemory(CCheckSession& session, const wchar_t* path) {
    CEngineUnderTest binding;
    if (!BindFor(session, binding, path))
        return;
    IVeilpathEngine* e = binding.Engine();
    const EngineState states[] = {EngineState::Fresh, EngineState::Installed, EngineState::Updating,
                                  EngineState::NotInstalled};
    for (EngineState state : states) {
        Reach(session, e, state);
        if (state == EngineState::Installed)
            session.Call(Slot::Update, e);
        CGuardedUpdateOutputs outputs;
        outputs.Call(session, e);
        const CWideString damage = outputs.DamagedGuard();
        if (damage.GetLength() > 0) {
            session.Fail(CWideString(SlotName(Slot::AnalyseUpdateLog)) + L" (slot " +
                         Int(SlotNumber(Slot::AnalyseUpdateLog)) + L", state " + StateName(state) +
                         L") wrote outside its outputs: " + damage +
                         L"; bSuccess and nServerCountHTTP are single ints, write nothing "
                         L"beyond them");
            break;
        }
    }
    Reach(session, e, EngineState::NotInstalled);
}

// ---- swallowed faults --------------------------------------------------------------------

void CheckSwallowedFaults(CCheckSession& session, const wchar_t* path) {
    CEngineUnderTest binding;
    if (!BindFor(session, binding, path))
        return;
    IVeilpathEngine* e = binding.Engine();
    CFaultCounter counter(binding.Module());
    const EngineState states[] = {EngineState::NotInstalled, EngineState::Installed,
                                  EngineState::Running,      EngineState::Updating,
                                  EngineState::Checking,     EngineState::Stopped};
    for (EngineState state : states) {
        Reach(session, e, state);
        // Everything but the operations that change the installation or the running state.
        for (Slot slot : VeilpathEngine::SlotsCalledByHarness()) {
            if (slot != Slot::Install && slot != Slot::Uninstall && slot != Slot::Start &&
                slot != Slot::Stop)
                CallAsHarness(session, e, slot);
        }
    }
    Reach(session, e, EngineState::NotInstalled);
    const LONG faults = counter.Count();
    if (faults == 0)
        return;
    const CWideString text =
        Int(faults) + L" processor fault" + (faults == 1 ? L" was" : L"s were") +
        L" raised inside the library and handled by it (the first at " + counter.First() +
        L"); a fault the engine swallows leaves its state half done: fix the bad access "
        L"instead of catching it";
    if (session.budgets().swallowedFaultFails)
        session.Fail(text);
    else
        session.Warn(text);
}

// ---- unload hygiene ----------------------------------------------------------------------

void CheckUnloadHygiene(CCheckSession& session, const wchar_t* path) {
    const Budgets& budgets = session.budgets();
    CThreadSet before;
    before.Snapshot();
    const DWORD handlesBefore = ProcessHandleCount();
    uintptr_t base = 0, size = 0;
    CWideString name;
    {
        CEngineUnderTest binding;
        if (!BindFor(session, binding, path))
            return;
        IVeilpathEngine* e = binding.Engine();
        ModuleRange(binding.Module(), &base, &size);
        name = ModuleFileName(binding.Module());
        const EngineState states[] = {EngineState::Running, EngineState::Updating,
                                      EngineState::Checking, EngineState::Stopped,
                                      EngineState::NotInstalled};
        for (EngineState state : states)
            Reach(session, e, state);
        session.Call(Slot::Stop, e);
        binding.Release();
    }
    session.SetState(EngineState::Unloaded);
    // Workers may take a moment to end after the stop; give them the stop budget.
    const DWORD start = GetTickCount();
    TArray<ThreadStart> left;
    CThreadSet now;
    bool mapped = true;
    do {
        session.Pump(20);
        now.Snapshot();
        now.StartedWithin(base, size, before, &left);
        mapped = IsMapped(base);
    } while ((left.GetCount() > 0 || mapped) && GetTickCount() - start < budgets.unloadSettleMs);
    if (left.GetCount() > 0)
        session.Fail(Int(left.GetCount()) + (left.GetCount() == 1 ? L" thread" : L" threads") +
                     L" started at " + name + L"+0x" + Hex(left.ElementAt(0).start - base) +
                     L" still ran after stop and unload; end every worker in Stop, UpdateStop "
                     L"and CheckStop (or hold a library reference and leave with "
                     L"FreeLibraryAndExitThread)");
    else if (mapped)
        session.Fail(L"the library was still mapped " + Int(budgets.unloadSettleMs) +
                     L" ms after stop and unload; something keeps a reference to it");
    const DWORD handlesAfter = ProcessHandleCount();
    if (handlesBefore == 0 || handlesAfter == 0)
        session.Note(L"this system does not count the process's handles");
    else if (handlesAfter > handlesBefore + 8)
        session.Fail(L"the process holds " + Int(handlesAfter - handlesBefore) +
                     L" more handles after stop and unload (" + Int(handlesBefore) + L" before, " +
                     Int(handlesAfter) + L" after); close every handle the engine opened");
    else
        session.Note(L"handles before " + Int(handlesBefore) + L", after " + Int(handlesAfter));
    if (left.GetCount() > 0)
        return; // an unload with a thread left behind already failed; spare the crash below

    // Unloading while an update and a check run must not crash the process afterwards.
    {
        CEngineUnderTest binding;
        if (!BindFor(session, binding, path))
            return;
        IVeilpathEngine* e = binding.Engine();
        Reach(session, e, EngineState::Updating);
        session.Call(Slot::Start, e);
        session.Call(Slot::CheckStart, e);
        binding.Release();
    }
    session.SetState(EngineState::Unloaded);
    session.Pump(budgets.unloadSettleMs);
    if (IsMapped(base))
        session.Warn(L"the library was still mapped " + Int(budgets.unloadSettleMs) +
                     L" ms after an unload during an update and a check");
}

// ---- message loop ------------------------------------------------------------------------

void CheckMessageLoop(CCheckSession& session, const wchar_t* path) {
    // Without its window the check cannot tell a dropped message from one never delivered;
    // that says nothing about the engine.
    if (session.Window() == nullptr) {
        const DWORD error = session.WindowError();
        session.Skip(CWideString(L"the check process could not create its window") +
                     (error != 0 ? L" (Windows error " + Int(static_cast<int>(error)) + L")"
                                 : CWideString()) +
                     L"; under Wine it needs an X display: run vpedrive inside xvfb-run -a");
        return;
    }
    CEngineUnderTest binding;
    if (!BindFor(session, binding, path))
        return;
    IVeilpathEngine* e = binding.Engine();
    session.SetHangHint(L"a call that waits for messages of the calling thread, which owns the "
                        L"harness's window, never returns there");
    const EngineState states[] = {EngineState::Installed, EngineState::Running,
                                  EngineState::Updating, EngineState::Checking,
                                  EngineState::NotInstalled};
    for (EngineState state : states) {
        Reach(session, e, state);
        for (Slot slot : VeilpathEngine::SlotsCalledByHarness()) {
            // A message posted for the harness's window before the call must reach it: a call
            // may pump messages, but must dispatch what it takes, not drop it.
            const LONG before = session.ProbesDispatched();
            PostMessageW(session.Window(), kProbeMessage, static_cast<WPARAM>(SlotNumber(slot)), 0);
            CallAsHarness(session, e, slot);
            if (session.ProbesDispatched() == before) {
                session.Fail(SlotText(slot) + L" (state " + StateName(state) +
                             L") removed a message meant for the caller's window without "
                             L"dispatching it; never run a message loop of your own that drops "
                             L"messages");
                Reach(session, e, EngineState::NotInstalled);
                return;
            }
        }
    }
    Reach(session, e, EngineState::NotInstalled);
}

// ---- running one ------------------------------------------------------------------------

typedef void (*CheckFunc)(CCheckSession& session, const wchar_t* path);

// The checks' functions, in the order of kCheckCatalogue.
const CheckFunc kCheckFunctions[kCheckCount] = {
    CheckBinding,         CheckVtable,        CheckLifecycle,          CheckStrings,
    CheckCallerMemory,    CheckStatusLatency, CheckStopResponsiveness, CheckOutOfOrder,
    CheckSwallowedFaults, CheckUnloadHygiene, CheckMessageLoop,
};

} // namespace

int RunCheck(const CheckRequest& request) {
    WriteReportLine(kCheckBeganLine);
    const int index = FindCheck(request.check);
    if (index < 0) {
        WriteReportLine(L"detail no check is named \"" + CWideString(request.check) + L"\"");
        WriteReportLine(L"status failed");
        return static_cast<int>(CheckStatus::Failed);
    }
    // One call may take a quarter of the check's time before it counts as a hang (at most
    // 10 s), so the hang is reported with its slot before the runner's limit kills the check.
    DWORD callLimitMs = request.timeoutSeconds * 250;
    if (callLimitMs > 10000)
        callLimitMs = 10000;
    CCheckSession session(request.strictness, request.seed, callLimitMs, request.dumpFolder);
    kCheckFunctions[index](session, request.engine);
    return session.Finish();
}

} // namespace Check
} // namespace Corvinex
