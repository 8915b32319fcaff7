// vpedrive run: one harness run in a scratch folder with the message box switched on.
#pragma once

#include "tools/vpedrive/console_output.h"

#include <windows.h>

#include <string>
#include <vector>

namespace Corvinex {
namespace Drive {

struct RunRequest {
    std::wstring harness;       // the harness program to copy and start
    std::wstring engine;        // copied beside it as vpe.dll; empty: none
    std::vector<WORD> commands; // sent in order; Exit (105) follows unless the harness ended
    bool fakeCheck = false;     // start with the command line "fakecheck" instead
    bool json = false;          // one JSON object per line instead of readable text
    DWORD timeoutMs = 30000;    // for the start and for each command
};

// Runs the harness as requested, printing the transcript to `out` and problems to `err`.
// Returns the harness's exit code, or kStatusHung, kStatusCrashed or kStatusCannotStart.
// The developer settings are restored before it returns, and also when the console is
// interrupted (Ctrl+C, closing) while it runs.
int RunHarness(const RunRequest& request, COutput& out, COutput& err);

// The check log of the engine: <Program Files>\Veilpath Engine\log\check.log.
std::wstring CheckLogPath();

// The lines added to the file since it had `previousSize` bytes (all lines when it is
// shorter now); line ends are removed, the bytes are read in the ANSI code page.
std::vector<std::wstring> ReadAppendedLines(const std::wstring& path, LONGLONG previousSize);

// The size of the file in bytes; 0 when it does not exist.
LONGLONG FileSizeOf(const std::wstring& path);

// The libraries among `engine`'s imports (and theirs) that lie beside it, as full paths, so a
// run can copy them with the engine.
std::vector<std::wstring> LocalDependencies(const std::wstring& engine);

} // namespace Drive
} // namespace Corvinex
