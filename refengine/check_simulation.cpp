#include "refengine/check_simulation.h"

#include "engine/check_log_format.h"
#include "refengine/log_file.h"

#include <cstdio>

namespace Corvinex {
namespace VeilpathEngine {

using namespace CheckLogFormat;

namespace {

const SimulatedEndpoint kEndpoints[] = {
    {"192.0.2.11:80", 180, true, true},    {"192.0.2.57:3128", 4500, true, true},
    {"198.51.100.23:80", 90, false, true}, {"198.51.100.80:8080", 260, true, false},
    {"203.0.113.5:8080", 140, true, true},
};
const int kEndpointCount = sizeof(kEndpoints) / sizeof(kEndpoints[0]);

// Writes the records of one run and keeps track of how it went.
class CCheckRun {
public:
    CCheckRun(const std::wstring& logPath, int nPauseDivisor, HANDLE hStop)
        : m_logPath(logPath), m_nDivisor(nPauseDivisor < 1 ? 1 : nPauseDivisor), m_hStop(hStop),
          m_result(kSimulationFinished) {}

    bool Write(const std::string& record) {
        if (!AppendToFile(m_logPath, MakeLogLine(record))) {
            m_result = kSimulationWriteFailed;
            return false;
        }
        return true;
    }

    bool Pause(int simulatedMs) {
        if (!PauseUnlessStopped(m_hStop, simulatedMs / m_nDivisor)) {
            m_result = kSimulationStopped;
            return false;
        }
        return true;
    }

    // Plays one endpoint's block; false when the run must end (stop or write failure).
    // *passed tells the verdict of a finished block.
    bool CheckEndpoint(const SimulatedEndpoint& endpoint, int nTimeoutMs, bool* passed) {
        const std::string prefix =
            std::string(kCheckEndpointPrefix) + endpoint.endpoint + kLineSeparator;
        *passed = false;
        if (!Write(prefix + kCheckBlockBegin)) {
            return false;
        }
        if (endpoint.nResponseMs > nTimeoutMs) {
            char text[32];
            snprintf(text, sizeof(text), "%s%d", kCheckTimeout, nTimeoutMs);
            return Pause(nTimeoutMs) && Write(prefix + text) && Write(prefix + kCheckFailed) &&
                   Write(prefix + kCheckBlockEnd);
        }
        char ping[32];
        snprintf(ping, sizeof(ping), "%s%d", kCheckPing, endpoint.nResponseMs);
        if (!Pause(endpoint.nResponseMs) || !Write(prefix + ping) || !Pause(endpoint.nResponseMs)) {
            return false;
        }
        if (!endpoint.bAnonymous) {
            return Write(prefix + kCheckAnonymity + std::string(kCheckFailed)) &&
                   Write(prefix + kCheckFailed) && Write(prefix + kCheckBlockEnd);
        }
        if (!Write(prefix + kCheckAnonymity + std::string(kCheckPassed)) ||
            !Pause(endpoint.nResponseMs)) {
            return false;
        }
        if (!endpoint.bAuthentic) {
            return Write(prefix + kCheckAuthenticity + std::string(kCheckFailed)) &&
                   Write(prefix + kCheckFailed) && Write(prefix + kCheckBlockEnd);
        }
        *passed = true;
        return Write(prefix + kCheckAuthenticity + std::string(kCheckPassed)) &&
               Write(prefix + kCheckPassed) && Write(prefix + kCheckBlockEnd);
    }

    SimulationResult Result() const { return m_result; }

private:
    std::wstring m_logPath;
    int m_nDivisor;
    HANDLE m_hStop;
    SimulationResult m_result;
};

} // namespace

int GetSimulatedEndpointCount() {
    return kEndpointCount;
}

const SimulatedEndpoint& GetSimulatedEndpoint(int index) {
    return kEndpoints[index];
}

SimulationResult RunSimulatedCheck(const std::wstring& logPath, int nTimeoutMs, int nPauseDivisor,
                                   HANDLE hStop, SimulationProgress* progress) {
    CCheckRun run(logPath, nPauseDivisor, hStop);
    if (!run.Write(kCheckRunBegin)) {
        return run.Result();
    }
    for (int i = 0; i < kEndpointCount; ++i) {
        bool passed = false;
        if (!run.CheckEndpoint(kEndpoints[i], nTimeoutMs, &passed)) {
            if (run.Result() == kSimulationStopped) {
                run.Write(kCheckRunEnd);
                return kSimulationStopped;
            }
            return run.Result();
        }
        progress->nDone += 1;
        if (passed) {
            progress->nGood += 1;
        }
        progress->nPercent = (i + 1) * 100 / kEndpointCount;
    }
    run.Write(kCheckRunEnd);
    return run.Result();
}

} // namespace VeilpathEngine
} // namespace Corvinex
