#include "app/status_line.h"

#include "app/report.h"
#include "app/tag_map.h"
#include "diag/call_trace.h"
#include "engine/engine_slots.h"

namespace Corvinex {

const wchar_t kStatusTemplate[] =
    L"VPETEST: IsInstalled=<INSTALLED/> IsEngineRunning=<ENGINERUNNING/> "
    L"ANONYMITY=<ANONYMITY/> Update=<UPDATERUNNING/> Check=<CHECKRUNNING/>";

CWideString BuildStatusLine(VeilpathEngine::IVeilpathEngine* engine) {
    using VeilpathEngine::Slot;
    // Each query is announced to a debugger first (the engine may never return from it), in
    // the slot table's status order, the reverse of the title's: an engine may rely on it.
    const wchar_t* answers[VeilpathEngine::kSlotCount] = {};
    for (Slot query : VeilpathEngine::kStatusQueries) {
        TraceEngineCall(VPE_CALL_TRACE_CALL, VeilpathEngine::SlotName(query));
        answers[VeilpathEngine::SlotNumber(query)] =
            TruthText(VeilpathEngine::CallSlot(engine, query).number);
    }
    const CTagMap::Entry entries[] = {
        {L"INSTALLED", answers[VeilpathEngine::SlotNumber(Slot::IsInstalled)]},
        {L"ENGINERUNNING", answers[VeilpathEngine::SlotNumber(Slot::IsEngineRunning)]},
        {L"ANONYMITY", answers[VeilpathEngine::SlotNumber(Slot::IsAnonymityActive)]},
        {L"UPDATERUNNING", answers[VeilpathEngine::SlotNumber(Slot::IsUpdateRunning)]},
        {L"CHECKRUNNING", answers[VeilpathEngine::SlotNumber(Slot::IsCheckRunning)]},
    };
    CTagMap tags(entries, 5);
    return tags.Substitute(kStatusTemplate);
}

void UpdateStatusLine(HWND window, VeilpathEngine::IVeilpathEngine* engine) {
    if (engine == nullptr) {
        return;
    }
    CTraceScope trace(VPE_CALL_TRACE_STATUS, -1);
    CWideString text = BuildStatusLine(engine);
    SetWindowTextW(window, text.c_str());
}

} // namespace Corvinex
