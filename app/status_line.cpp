#include "app/status_line.h"

#include "app/report.h"
#include "app/tag_map.h"

namespace Corvinex {

const wchar_t kStatusTemplate[] =
    L"VPETEST: IsInstalled=<INSTALLED/> IsEngineRunning=<ENGINERUNNING/> "
    L"ANONYMITY=<ANONYMITY/> Update=<UPDATERUNNING/> Check=<CHECKRUNNING/>";

CWideString BuildStatusLine(VeilpathEngine::IVeilpathEngine* engine) {
    const wchar_t* checkRunning = TruthText(engine->IsCheckRunning());
    const wchar_t* updateRunning = TruthText(engine->IsUpdateRunning());
    const wchar_t* anonymity = TruthText(engine->IsAnonymityActive());
    const wchar_t* engineRunning = TruthText(engine->IsEngineRunning());
    const wchar_t* installed = TruthText(engine->IsInstalled());
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
    CWideString text = BuildStatusLine(engine);
    SetWindowTextW(window, text.c_str());
}

} // namespace Corvinex
