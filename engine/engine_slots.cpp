#include "engine/engine_slots.h"

namespace Corvinex {
namespace VeilpathEngine {

namespace {

// The call of one slot by how it is called (the second column of VPE_ENGINE_SLOTS).
#define VPE_CALL_NUMBER(name)                                                                      \
    SlotAnswer {                                                                                   \
        engine->name(), CWideString()                                                              \
    }
#define VPE_CALL_TEXT(name)                                                                        \
    SlotAnswer {                                                                                   \
        0, engine->name()                                                                          \
    }
#define VPE_CALL_OUTPUTS(name) CallWithOutputs(engine, arguments)
#define VPE_CALL_checkTimeoutMs(name)                                                              \
    SlotAnswer {                                                                                   \
        engine->name(arguments.checkTimeoutMs), CWideString()                                      \
    }
#define VPE_CALL_anonymity(name)                                                                   \
    SlotAnswer {                                                                                   \
        engine->name(arguments.anonymity), CWideString()                                           \
    }
#define VPE_CALL_endpoint(name)                                                                    \
    SlotAnswer {                                                                                   \
        engine->name(arguments.endpoint), CWideString()                                            \
    }

SlotAnswer CallWithOutputs(IVeilpathEngine* engine, const SlotArguments& arguments) {
    if (arguments.success == nullptr || arguments.message == nullptr ||
        arguments.serverCount == nullptr) {
        return SlotAnswer{0, CWideString()};
    }
    return SlotAnswer{
        engine->AnalyseUpdateLog(arguments.success, arguments.message, arguments.serverCount),
        CWideString()};
}

#define VPE_SLOT_CALLER(name, how, users)                                                          \
    SlotAnswer Call##name(IVeilpathEngine* engine,                                                 \
                          [[maybe_unused]] const SlotArguments& arguments) {                       \
        return VPE_CALL_##how(name);                                                               \
    }
VPE_ENGINE_SLOTS(VPE_SLOT_CALLER)
#undef VPE_SLOT_CALLER

} // namespace

const SlotInfo kSlots[kSlotCount] = {
#define VPE_SLOT_ENTRY(name, how, users) {Slot::name, L## #name, users, &Call##name},
    VPE_ENGINE_SLOTS(VPE_SLOT_ENTRY)
#undef VPE_SLOT_ENTRY
};

const Slot kStatusQueries[kStatusQueryCount] = {Slot::IsCheckRunning, Slot::IsUpdateRunning,
                                                Slot::IsAnonymityActive, Slot::IsEngineRunning,
                                                Slot::IsInstalled};

const SlotInfo& SlotInfoOf(Slot slot) {
    return kSlots[SlotNumber(slot)];
}

const wchar_t* SlotName(Slot slot) {
    return SlotInfoOf(slot).name;
}

SlotList SlotsCalledByHarness() {
    SlotList list;
    for (const SlotInfo& info : kSlots) {
        if (info.calledBy != kCalledByNobody) {
            list.slots[list.count++] = info.slot;
        }
    }
    return list;
}

} // namespace VeilpathEngine
} // namespace Corvinex
