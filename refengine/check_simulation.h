// The engine's endpoint check, simulated: it plays the check of a fixed list of proxy endpoints
// (documentation addresses) into the check log, with pauses that stand for the response times.
#pragma once

#include "refengine/simulation.h"

namespace Corvinex {
namespace VeilpathEngine {

// One proxy endpoint the simulated check knows, and how it behaves.
struct SimulatedEndpoint {
    const char* endpoint; // "address:port"
    int nResponseMs;      // simulated response time; longer than the timeout means no answer
    bool bAnonymous;      // hides the user's address
    bool bAuthentic;      // delivers pages unchanged
};

// The simulated endpoints, in check order; also the endpoints anonymity can use.
int GetSimulatedEndpointCount();
// The endpoint at index (0 <= index < GetSimulatedEndpointCount()).
const SimulatedEndpoint& GetSimulatedEndpoint(int index);

// Appends one check run to the log at logPath: "VPE CHECK BEGIN", one block per endpoint, and
// "VPE CHECK END". An endpoint slower than nTimeoutMs times out. Each pause lasts the simulated
// time divided by nPauseDivisor (at least 1). A signalled hStop ends the run at once with
// "VPE CHECK END" (the current block stays unfinished). progress counts finished endpoints and
// passed ones. On a failed write the run ends without writing more.
SimulationResult RunSimulatedCheck(const wchar_t* logPath, int nTimeoutMs, int nPauseDivisor,
                                   HANDLE hStop, SimulationProgress* progress);

} // namespace VeilpathEngine
} // namespace Corvinex
