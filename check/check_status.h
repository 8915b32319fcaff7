// The statuses a check ends with: the words of its "status" line and the exit codes of the
// helper process that ran it. Both the helper and vpedrive read them from here.
#pragma once

namespace Corvinex {
namespace Check {

// The numbers are the exit codes of vpecheck.exe for a check, so they never change.
enum class CheckStatus {
    Passed = 0,
    Failed = 1,
    Warning = 3,
    Skipped = 4,
    TimedOut = 5,
    Crashed = 6,
};

// The lower-case word for a status: "passed", "failed", "warning", "skipped", "timed out",
// "crashed" (an unknown number reads "failed").
const wchar_t* StatusWord(CheckStatus status);
// Reads a status word back; false (and *status unchanged) when the text is none of them.
bool ParseStatusWord(const wchar_t* word, CheckStatus* status);

} // namespace Check
} // namespace Corvinex
