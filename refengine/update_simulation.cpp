#include "refengine/update_simulation.h"

#include "refengine/log_file.h"

#include <stdio.h>

namespace Corvinex {
namespace VeilpathEngine {

namespace {

struct UpdateServer {
    const char* endpoint;
    bool bAnswers;
};

const UpdateServer kServers[] = {
    {"192.0.2.80:80", true},
    {"198.51.100.12:80", true},
    {"203.0.113.40:8080", false},
    {"203.0.113.41:80", true},
};
const int kServerCount = sizeof(kServers) / sizeof(kServers[0]);

} // namespace

int GetUpdateServerCount() {
    return kServerCount;
}

SimulationResult RunSimulatedUpdate(const wchar_t* logPath, int nPauseMs, HANDLE hStop,
                                    SimulationProgress* progress) {
    if (!WriteLogLine(logPath, "VPE UPDATE BEGIN", true)) {
        return kSimulationWriteFailed;
    }
    int reached = 0;
    for (int i = 0; i < kServerCount; ++i) {
        if (!PauseUnlessStopped(hStop, nPauseMs)) {
            WriteLogLine(logPath, "VPE UPDATE END CANCELLED");
            return kSimulationStopped;
        }
        char record[64];
        snprintf(record, sizeof(record), "VPE UPDATE SERVER HTTP %s %s", kServers[i].endpoint,
                 kServers[i].bAnswers ? "OK" : "FAILED");
        if (!WriteLogLine(logPath, record)) {
            return kSimulationWriteFailed;
        }
        if (kServers[i].bAnswers) {
            ++reached;
        }
        progress->Finished(kServers[i].bAnswers, (i + 1) * 100 / kServerCount);
    }
    const char* end = reached > 0 ? "VPE UPDATE END OK" : "VPE UPDATE END FAILED";
    return WriteLogLine(logPath, end) ? kSimulationFinished : kSimulationWriteFailed;
}

} // namespace VeilpathEngine
} // namespace Corvinex
