// The slots of the engine interface in one table: each slot's place in the virtual table, its
// name, the parts of the harness that call it, and a caller that makes the call the way the
// harness makes it. Whatever calls an engine slot by slot (the status line, the check helper)
// goes through here, so a change in how slots are called is made in this one place.
#pragma once

#include "base/wide_string.h"
#include "engine/engine_interface.h"

namespace Corvinex {
namespace VeilpathEngine {

// Every slot: its name, how it is called (NUMBER: no argument, answers an int or BOOL; TEXT: no
// argument, answers a CWideString; or the name of the one argument it takes), and which parts of
// the harness call it (SlotUser flags). The order is the virtual table's.
#define VPE_ENGINE_SLOTS(SLOT)                                                                     \
    SLOT(GetInterfaceVersion, NUMBER, kCalledByNobody)                                             \
    SLOT(IsInstalled, NUMBER, kCalledByCommand | kCalledByStatusLine)                              \
    SLOT(Install, NUMBER, kCalledByCommand)                                                        \
    SLOT(Uninstall, NUMBER, kCalledByCommand)                                                      \
    SLOT(Update, NUMBER, kCalledByCommand)                                                         \
    SLOT(GetEngineVersion, NUMBER, kCalledByNobody)                                                \
    SLOT(Start, NUMBER, kCalledByCommand)                                                          \
    SLOT(Stop, NUMBER, kCalledByCommand)                                                           \
    SLOT(IsEngineRunning, NUMBER, kCalledByCommand | kCalledByStatusLine)                          \
    SLOT(UpdateStart, NUMBER, kCalledByCommand)                                                    \
    SLOT(UpdateStop, NUMBER, kCalledByCommand)                                                     \
    SLOT(IsUpdateRunning, NUMBER, kCalledByCommand | kCalledByStatusLine)                          \
    SLOT(GetUpdateProgress, NUMBER, kCalledByNobody)                                               \
    SLOT(GetLastUpdateResult, NUMBER, kCalledByNobody)                                             \
    SLOT(AnalyseUpdateLog, OUTPUTS, kCalledByCommand)                                              \
    SLOT(CheckStart, checkTimeoutMs, kCalledByCommand)                                             \
    SLOT(CheckStop, NUMBER, kCalledByCommand)                                                      \
    SLOT(IsCheckRunning, NUMBER, kCalledByCommand | kCalledByStatusLine)                           \
    SLOT(GetCheckProgress, NUMBER, kCalledByNobody)                                                \
    SLOT(AnalyseCheckLog, TEXT, kCalledByCommand)                                                  \
    SLOT(GetCheckedEndpointCount, NUMBER, kCalledByNobody)                                         \
    SLOT(GetWorkingEndpointCount, NUMBER, kCalledByNobody)                                         \
    SLOT(ClearCheckLog, NUMBER, kCalledByNobody)                                                   \
    SLOT(SetAnonymity, anonymity, kCalledByCommand)                                                \
    SLOT(IsAnonymityActive, NUMBER, kCalledByStatusLine)                                           \
    SLOT(GetAnonymousIP, TEXT, kCalledByNobody)                                                    \
    SLOT(GetActiveEndpointIndex, NUMBER, kCalledByNobody)                                          \
    SLOT(SelectEndpoint, endpoint, kCalledByNobody)                                                \
    SLOT(GetLastResult, NUMBER, kCalledByNobody)                                                   \
    SLOT(GetRealIP, TEXT, kCalledByCommand)

// A slot by its name; the value is its place in the virtual table.
enum class Slot : int {
#define VPE_SLOT_ENUMERATOR(name, how, users) name,
    VPE_ENGINE_SLOTS(VPE_SLOT_ENUMERATOR)
#undef VPE_SLOT_ENUMERATOR
};
const int kSlotCount = 30;
static_assert(static_cast<int>(Slot::GetRealIP) + 1 == kSlotCount, "one entry per slot");

inline int SlotNumber(Slot slot) {
    return static_cast<int>(slot);
}

// The parts of the harness that call a slot.
enum SlotUser : unsigned {
    kCalledByNobody = 0,
    kCalledByCommand = 1,    // a menu command, its command sequence or the start-up
    kCalledByStatusLine = 2, // the once-a-second status line
};

// What the harness passes to the slots that take arguments. AnalyseUpdateLog's three outputs
// belong to the caller and are written through; without all three the call is not made.
struct SlotArguments {
    int checkTimeoutMs = 3000; // CheckStart, as the CheckStart command passes it
    BOOL anonymity = TRUE;     // SetAnonymity
    int endpoint = 0;          // SelectEndpoint
    int* success = nullptr;    // AnalyseUpdateLog: bSuccess, message, nServerCountHTTP
    CWideString* message = nullptr;
    int* serverCount = nullptr;
};

// What a slot answered: the number (an int or a BOOL), or the text, which the answer then owns
// (built in place from the engine's return value: no copy is made and nothing is freed on the
// way). A slot of the other kind leaves the number 0 or the text null.
struct SlotAnswer {
    int number;
    CWideString text;
};

typedef SlotAnswer (*SlotCaller)(IVeilpathEngine* engine, const SlotArguments& arguments);

struct SlotInfo {
    Slot slot;
    const wchar_t* name; // the operation's name, as in the interface
    unsigned calledBy;   // SlotUser flags
    SlotCaller call;
};

// Every slot, in the order of the virtual table.
extern const SlotInfo kSlots[kSlotCount];

// The entry of a slot in kSlots; its name.
const SlotInfo& SlotInfoOf(Slot slot);
const wchar_t* SlotName(Slot slot);

// Calls `slot` of the engine as the harness does, with `arguments` where it takes any.
inline SlotAnswer CallSlot(IVeilpathEngine* engine, Slot slot,
                           const SlotArguments& arguments = SlotArguments()) {
    return SlotInfoOf(slot).call(engine, arguments);
}

// The status line's queries, in the order it makes them every second: the reverse of the
// title's order. Engines see them in this order and may rely on it.
const int kStatusQueryCount = 5;
extern const Slot kStatusQueries[kStatusQueryCount];

// A list of slots, iterable with a range-for.
struct SlotList {
    Slot slots[kSlotCount];
    int count = 0;
    const Slot* begin() const { return slots; }
    const Slot* end() const { return slots + count; }
};
// The slots some part of the harness calls, in slot order.
SlotList SlotsCalledByHarness();

} // namespace VeilpathEngine
} // namespace Corvinex
