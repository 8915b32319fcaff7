#include "app/status_line.h"

#include "app/report.h"
#include "app/tag_map.h"
#include "diag/call_trace.h"

namespace Corvinex {

const wchar_t kStatusTemplate[] =
    L"VPETEST: IsInstalled=<INSTALLED/> IsEngineRunning=<ENGINERUNNING/> "
    L"ANONYMITY=<ANONYMITY/> Update=<UPDATERUNNING/> Check=<CHECKRUNNING/>";

namespace {

// One status query, announced to a debugger first (the engine may never return from it).
const wchar_t* Query(VeilpathEngine::IVeilpathEngine* engine,
                     BOOL (VeilpathEngine::IVeilpathEngine::*query)(), const wchar_t* name) {
    TraceEngineCall(VPE_CALL_TRACE_CALL, name);
    return TruthText((engine->*query)());
}

} // namespace

CWideString BuildStatusLine(VeilpathEngine::IVeilpathEngine* engine) {
    using VeilpathEngine::IVeilpathEngine;
    // Engines see the queries in this fixed order (slots 17, 11, 24, 8, 1), the reverse of the
    // title's; an engine may rely on it, so it stays.
    const wchar_t* checkRunning =
        Query(engine, &IVeilpathEngine::IsCheckRunning, L"IsCheckRunning");
    const wchar_t* updateRunning =
        Query(engine, &IVeilpathEngine::IsUpdateRunning, L"IsUpdateRunning");
    const wchar_t* anonymity =
        Query(engine, &IVeilpathEngine::IsAnonymityActive, L"IsAnonymityActive");
    const wchar_t* engineRunning =
        Query(engine, &IVeilpathEngine::IsEngineRunning, L"IsEngineRunning");
    const wchar_t* installed = Query(engine, &IVeilpathEngine::IsInstalled, L"IsInstalled");
    const CTagMap::Entry entries[] = {
        {L"INSTALLED", installed},       {L"ENGINERUNNING", engineRunning},
        {L"ANONYMITY", anonymity},       {L"UPDATERUNNING", updateRunning},
        {L"CHECKRUNNING", checkRunning},
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
