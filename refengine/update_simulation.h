// The engine's update, simulated: it asks a fixed list of HTTP update servers (documentation
// addresses, one of which never answers) and writes what happened into the update log.
#pragma once

#include "refengine/simulation.h"

namespace Corvinex {
namespace VeilpathEngine {

// The number of update servers the simulated update asks.
int GetUpdateServerCount();

// Replaces the update log at logPath by one run: "VPE UPDATE BEGIN", one SERVER record per
// server, and "VPE UPDATE END OK" (FAILED when no server answered). It waits nPauseMs before
// each server; a signalled hStop ends the run with "VPE UPDATE END CANCELLED". progress counts
// servers asked and servers reached. On a failed write the run ends without writing more.
SimulationResult RunSimulatedUpdate(const wchar_t* logPath, int nPauseMs, HANDLE hStop,
                                    SimulationProgress* progress);

} // namespace VeilpathEngine
} // namespace Corvinex
