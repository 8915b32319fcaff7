#include "check/check_catalogue.h"

#include <wchar.h>

namespace Corvinex {
namespace Check {

const CheckInfo kCheckCatalogue[kCheckCount] = {
    {L"binding", 1,
     L"loads the library, calls the factory and checks the type within 100 ms; a second "
     L"factory call while the first binding lives gives a usable object; both objects work "
     L"side by side and the library binds again after a release"},
    {L"vtable-sanity", 1,
     L"every one of the 30 slots of the object's virtual table points into executable code "
     L"of the library, checked before any call"},
    {L"lifecycle", 1,
     L"install, start, anonymity on and off, stop and uninstall, cycled (more at higher "
     L"levels), then a fresh binding; every call returns and the status queries agree with "
     L"what the engine says it did (warnings only)"},
    {L"strings", 2,
     L"AnalyseCheckLog, GetRealIP and AnalyseUpdateLog's message are valid global-heap "
     L"blocks, terminated inside the block, with a true cached length, freeable by the "
     L"harness; GetRealIP is an IPv4 or IPv6 address"},
    {L"caller-memory", 2,
     L"AnalyseUpdateLog writes its three outputs and nothing around them (guard bytes)"},
    {L"status-latency", 3,
     L"the five status queries (slots 17, 11, 24, 8, 1) polled as the status line polls them, "
     L"idle, running, while an update and while a check runs: fail over 250 ms, warn over "
     L"50 ms at level 5 (tighter above)"},
    {L"stop-responsiveness", 3,
     L"UpdateStop and CheckStop return within 250 ms (fail over 1 s) and IsUpdateRunning / "
     L"IsCheckRunning turn FALSE within 3 s (2 s from level 8)"},
    {L"out-of-order", 4,
     L"every slot the harness calls, in every reachable state (not installed, installed, "
     L"running, updating, checking, stopped): no fault, no hang"},
    {L"swallowed-faults", 4,
     L"no access violation is raised inside the library during a run, even one it handles "
     L"itself (a warning below level 7, a failure from level 7)"},
    {L"unload-hygiene", 5,
     L"after stop and unload no thread started in the library runs, the handle count is back "
     L"within 8 and the library is unmapped; unloading while an update and a check run does "
     L"not crash the process afterwards"},
    {L"message-loop", 5,
     L"every call made from a thread that owns a window and pumps between calls returns, "
     L"and no call drops a message meant for that window"},
};

int FindCheck(const wchar_t* name) {
    for (int i = 0; i < kCheckCount; ++i) {
        if (wcscmp(name, kCheckCatalogue[i].name) == 0)
            return i;
    }
    return -1;
}

} // namespace Check
} // namespace Corvinex
