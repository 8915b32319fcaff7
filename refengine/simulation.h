// What the engine's simulated update and check share: their outcome, their progress as other
// threads see it, and pauses that a stop request cuts short. Nothing here touches the network.
#pragma once

#include <windows.h>

namespace Corvinex {
namespace VeilpathEngine {

enum SimulationResult {
    kSimulationFinished,    // ran to its end
    kSimulationStopped,     // a stop request ended it early; the log says so
    kSimulationWriteFailed, // its log could not be written; it ended there
};

// Progress of a running simulation, written by the worker and read by any thread: each count
// is changed and read with an interlocked operation, so a reader sees whole values.
class SimulationProgress {
public:
    SimulationProgress() : m_nPercent(0), m_nDone(0), m_nGood(0) {}

    int Percent() const { return Read(m_nPercent); } // 0 to 100
    int Done() const { return Read(m_nDone); }       // endpoints or servers finished
    int Good() const { return Read(m_nGood); }       // of those, the ones that passed or answered

    // One more finished, and good when it passed or answered; the percentage becomes percent.
    void Finished(bool bGood, int percent) {
        InterlockedIncrement(&m_nDone);
        if (bGood) {
            InterlockedIncrement(&m_nGood);
        }
        InterlockedExchange(&m_nPercent, percent);
    }
    void Reset() {
        InterlockedExchange(&m_nPercent, 0);
        InterlockedExchange(&m_nDone, 0);
        InterlockedExchange(&m_nGood, 0);
    }

private:
    static int Read(volatile LONG& value) { return InterlockedCompareExchange(&value, 0, 0); }

    mutable volatile LONG m_nPercent;
    mutable volatile LONG m_nDone;
    mutable volatile LONG m_nGood;
};

// Waits `ms` milliseconds; false as soon as hStop is signalled. A null hStop just sleeps.
bool PauseUnlessStopped(HANDLE hStop, int ms);

} // namespace VeilpathEngine
} // namespace Corvinex
