// Reading the update log "log\update.log" that the engine's update writes: a run framed by
// "VPE UPDATE BEGIN" and "VPE UPDATE END OK|FAILED|CANCELLED", with one record
// "VPE UPDATE SERVER HTTP <address:port> OK|FAILED" per update server asked.
#pragma once

#include "base/wide_string.h"
#include "engine/check_log_format.h"

#include <stddef.h>

namespace Corvinex {
namespace VeilpathEngine {

enum UpdateEnding {
    kUpdateNotEnded, // no END record (yet)
    kUpdateEndedOk,
    kUpdateEndedFailed,
    kUpdateCancelled,
};

// What an update log says about its last run.
struct UpdateLogSummary {
    int nRuns = 0;                                              // runs found in the whole log
    char runStarted[CheckLogFormat::kTimestampLength + 1] = {}; // timestamp of the last run's
                                                                // begin (may be empty)
    UpdateEnding ending = kUpdateNotEnded;                      // how the last run ended
    int nServersOk = 0;                                         // HTTP servers the last run reached
    int nServersFailed = 0; // HTTP servers the last run could not reach
    int nBadLines = 0;      // lines of the last run that could not be read
};

// Analyses the text of an update log (CR LF, CR CR LF or LF line ends), length bytes that
// may hold any byte.
UpdateLogSummary AnalyseUpdateLogText(const char* text, size_t length);

// True when the last run ended OK and reached at least one server.
bool IsUpdateSuccessful(const UpdateLogSummary& summary);

// A one-line description of the summary for the user.
CWideString DescribeUpdateLog(const UpdateLogSummary& summary);

} // namespace VeilpathEngine
} // namespace Corvinex
