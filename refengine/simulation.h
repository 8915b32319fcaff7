// What the engine's simulated update and check share: their outcome, their progress as other
// threads see it, and pauses that a stop request cuts short. Nothing here touches the network.
#pragma once

#include <windows.h>

#include <atomic>

namespace Corvinex {
namespace VeilpathEngine {

enum SimulationResult {
    kSimulationFinished,    // ran to its end
    kSimulationStopped,     // a stop request ended it early; the log says so
    kSimulationWriteFailed, // its log could not be written; it ended there
};

// Progress of a running simulation, written by the worker and read by any thread.
struct SimulationProgress {
    std::atomic<int> nPercent{0}; // 0 to 100
    std::atomic<int> nDone{0};    // endpoints or servers finished
    std::atomic<int> nGood{0};    // of those, the ones that passed or answered

    void Reset() {
        nPercent = 0;
        nDone = 0;
        nGood = 0;
    }
};

// Waits `ms` milliseconds; false as soon as hStop is signalled. A null hStop just sleeps.
bool PauseUnlessStopped(HANDLE hStop, int ms);

} // namespace VeilpathEngine
} // namespace Corvinex
