#include "refengine/check_simulation.h"

#include "engine/check_log_format.h"
#include "refengine/log_file.h"

#include <stdio.h>

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
    CCheckRun(const wchar_t* logPath, int nPauseDivisor, HANDLE hStop)
        : m_logPath(logPath), m_endpoint(""), m_nDivisor(nPauseDivisor < 1 ? 1 : nPauseDivisor),
          m_hStop(hStop), m_result(kSimulationFinished) {}

    bool Write(const char* record) {
        if (!WriteLogLine(m_logPath, record)) {
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
        m_endpoint = endpoint.endpoint;
        *passed = false;
        if (!WriteRecord(kCheckBlockBegin)) {
            return false;
        }
        if (endpoint.nResponseMs > nTimeoutMs) {
            char text[32];
            snprintf(text, sizeof(text), "%s%d", kCheckTimeout, nTimeoutMs);
            return Pause(nTimeoutMs) && WriteRecord(text) && WriteRecord(kCheckFailed) &&
                   WriteRecord(kCheckBlockEnd);
        }
        char ping[32];
        snprintf(ping, sizeof(ping), "%s%d", kCheckPing, endpoint.nResponseMs);
        if (!Pause(endpoint.nResponseMs) || !WriteRecord(ping) || !Pause(endpoint.nResponseMs)) {
            return false;
        }
        if (!endpoint.bAnonymous) {
            return WriteRecord(kCheckAnonymity, kCheckFailed) && WriteRecord(kCheckFailed) &&
                   WriteRecord(kCheckBlockEnd);
        }
        if (!WriteRecord(kCheckAnonymity, kCheckPassed) || !Pause(endpoint.nResponseMs)) {
            return false;
        }
        if (!endpoint.bAuthentic) {
            return WriteRecord(kCheckAuthenticity, kCheckFailed) && WriteRecord(kCheckFailed) &&
                   WriteRecord(kCheckBlockEnd);
        }
        *passed = true;
        return WriteRecord(kCheckAuthenticity, kCheckPassed) && WriteRecord(kCheckPassed) &&
               WriteRecord(kCheckBlockEnd);
    }

    // One record of the current endpoint's block: "<prefix><endpoint> <word><argument>".
    bool WriteRecord(const char* word, const char* argument = "") {
        char record[128];
        snprintf(record, sizeof(record), "%s%s%s%s%s", kCheckEndpointPrefix, m_endpoint,
                 kLineSeparator, word, argument);
        return Write(record);
    }

    SimulationResult Result() const { return m_result; }

private:
    const wchar_t* m_logPath; // the caller's, alive for the whole run
    const char* m_endpoint;   // of the block being played
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

SimulationResult RunSimulatedCheck(const wchar_t* logPath, int nTimeoutMs, int nPauseDivisor,
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
        progress->Finished(passed, (i + 1) * 100 / kEndpointCount);
    }
    run.Write(kCheckRunEnd);
    return run.Result();
}

} // namespace VeilpathEngine
} // namespace Corvinex
