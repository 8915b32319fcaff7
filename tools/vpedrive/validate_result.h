// The outcome of one validation check, and the statuses a check can end with.
#pragma once

#include "check/check_status.h"

#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

// The statuses and their words are the helper's (vpecheck.exe's exit codes).
using Check::CheckStatus;
using Check::ParseStatusWord;
using Check::StatusWord;
// True for the statuses that make a run fail without --strict (failed, crashed, timed out).
bool IsFailure(CheckStatus status);
// True for the statuses that fail a run only with --strict (warning, skipped).
bool IsLenient(CheckStatus status);
// True when a check of this status makes the run fail.
bool FailsRun(CheckStatus status, bool strict);

// What one run of one check found.
struct CheckResult {
    std::wstring name;
    int level = 0;
    int round = 1; // 1-based repetition (--repeat)
    CheckStatus status = CheckStatus::Passed;
    double seconds = 0;
    // Sentences a developer can act on: the first says why the status is what it is.
    std::vector<std::wstring> details;
    std::wstring output; // everything the child process wrote, for system-out
    // The helper ended before the check began (its own start failed, as under a broken Wine):
    // the set-up's fault, not the engine's. details[0] says so, with what the helper printed.
    bool helperFailed = false;
};

// The tally of a run.
struct RunSummary {
    int counts[7] = {0, 0, 0, 0, 0, 0, 0}; // indexed by the CheckStatus number
    int total = 0;
    double seconds = 0;
    bool success = true; // nothing failed, crashed or timed out (and, with --strict, no
                         // warning and no skip)
};

// Counts the results; `strict` makes warnings and skips count as failures.
RunSummary Summarize(const std::vector<CheckResult>& results, bool strict);

} // namespace Vpedrive
} // namespace Corvinex
