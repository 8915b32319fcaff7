// vpedrive run: one harness run in a scratch folder with the message box switched on.
#pragma once

#include "tools/vpedrive/console_output.h"

#include <windows.h>

#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

struct RunRequest {
    std::wstring harness;       // the harness program to copy and start
    std::wstring engine;        // copied beside it as vpe.dll; empty: none
    std::vector<WORD> commands; // sent in order; Exit follows unless the harness ended
    bool fakeCheck = false;     // start with the command line "fakecheck" instead
    bool json = false;          // one JSON object per line instead of readable text
    DWORD timeoutMs = 30000;    // for the start and for each command
};

// Runs the harness as requested, printing the transcript to `out` and problems to `err`.
// Returns the harness's exit code when it ended on its own (start-up, Exit, fake check), or
// kStatusHung, kStatusCrashed, kStatusCannotStart (also for an x64 harness on a system that runs
// x86 programs only), kStatusEndedDuringCommand or kStatusInterrupted. The fake check's lines are
// read from the check log of the harness's machine type. The developer settings are restored before
// it returns, and also when the console is interrupted (Ctrl+C, closing) while it runs.
int RunHarness(const RunRequest& request, COutput& out, COutput& err);

} // namespace Vpedrive
} // namespace Corvinex
