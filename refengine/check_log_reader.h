// Reading a check log: the records of endpoint checks that the engine's check and vpetest.exe's
// fake-check mode append to "log\check.log". A run is framed by "VPE CHECK BEGIN" and
// "VPE CHECK END"; between them each endpoint has a block of records
// "VPE CHECK HTTP <address:port> <word>" from BEGIN to END, with PING n or TIMEOUT n, the
// anonymity and authenticity outcomes and the verdict PASSED or FAILED.
#pragma once

#include "base/wide_string.h"
#include "engine/check_log_format.h"

#include <stddef.h>

namespace Corvinex {
namespace VeilpathEngine {

// What a check log says about its last run. Records before the first "VPE CHECK BEGIN" count
// as a run of their own.
struct CheckLogSummary {
    int nRuns = 0;             // runs found in the whole log
    bool bRunFinished = false; // the last run has its "VPE CHECK END"
    char runStarted[CheckLogFormat::kTimestampLength + 1] = {}; // timestamp of the last run's
                                                                // begin (may be empty)
    int nChecked = 0;    // endpoints of the last run with a verdict
    int nPassed = 0;     // of those, passed
    int nFailed = 0;     // of those, failed (a verdict PASSED that its block contradicts
                         // counts as failed)
    int nTimedOut = 0;   // failed endpoints that did not answer in time
    int nUnfinished = 0; // endpoints begun in the last run without a verdict
    int nBadLines = 0;   // lines of the last run that could not be read or contradict
                         // their block
};

// Analyses the text of a check log (any mix of CR LF, CR CR LF and LF line ends), length
// bytes that may hold any byte.
CheckLogSummary AnalyseCheckLogText(const char* text, size_t length);

// A one-paragraph description of the summary for the user.
CWideString DescribeCheckLog(const CheckLogSummary& summary);

} // namespace VeilpathEngine
} // namespace Corvinex
