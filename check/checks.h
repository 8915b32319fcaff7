// Running one check of the catalogue (check_catalogue.h) against an engine in this process:
// the body of vpecheck.exe validate-check.
#pragma once

#include <windows.h>

#include <stdint.h>

namespace Corvinex {
namespace Check {

// What one check needs; the texts belong to the caller and outlive the run.
struct CheckRequest {
    const wchar_t* check = L"";  // a name of kCheckCatalogue
    const wchar_t* engine = L""; // full path of the library
    int strictness = 5;          // 1..10
    uint32_t seed = 0;           // the check's own pseudo-random sequence
    DWORD timeoutSeconds = 120;  // the runner's limit; a quarter of it (at most 10 s) per call
    const wchar_t* dumpFolder = nullptr; // where a crash's minidump goes; null: none
};

// Runs the check and prints its report lines ("detail ...", "crash ...", "dump ...",
// "status <word>") to the standard output. Returns the status number (CheckStatus) as the exit
// code. A crash or a hang ends the process from inside with the crashed or timed-out status.
int RunCheck(const CheckRequest& request);

} // namespace Check
} // namespace Corvinex
