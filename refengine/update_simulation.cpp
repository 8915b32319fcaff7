#include "refengine/update_simulation.h"

#include "refengine/log_file.h"

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

SimulationResult RunSimulatedUpdate(const std::wstring& logPath, int nPauseMs, HANDLE hStop,
                                    SimulationProgress* progress) {
    if (!WriteNewFile(logPath, MakeLogLine("VPE UPDATE BEGIN"))) {
        return kSimulationWriteFailed;
    }
    int reached = 0;
    for (int i = 0; i < kServerCount; ++i) {
        if (!PauseUnlessStopped(hStop, nPauseMs)) {
            AppendToFile(logPath, MakeLogLine("VPE UPDATE END CANCELLED"));
            return kSimulationStopped;
        }
        std::string record = std::string("VPE UPDATE SERVER HTTP ") + kServers[i].endpoint +
                             (kServers[i].bAnswers ? " OK" : " FAILED");
        if (!AppendToFile(logPath, MakeLogLine(record))) {
            return kSimulationWriteFailed;
        }
        progress->nDone += 1;
        if (kServers[i].bAnswers) {
            ++reached;
            progress->nGood += 1;
        }
        progress->nPercent = (i + 1) * 100 / kServerCount;
    }
    const char* end = reached > 0 ? "VPE UPDATE END OK" : "VPE UPDATE END FAILED";
    return AppendToFile(logPath, MakeLogLine(end)) ? kSimulationFinished : kSimulationWriteFailed;
}

} // namespace VeilpathEngine
} // namespace Corvinex
