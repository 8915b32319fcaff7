// The transcript of vpedrive run: readable text or one JSON object per line.
#pragma once

#include "tools/driver/gui_session.h"
#include "tools/vpedrive/console_output.h"

#include <windows.h>

#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

// How a run ended, as the last transcript entry shows it.
struct RunEnd {
    // "exited", "crashed", "aborted", "hung", "interrupted", "ended during", "ended at start"
    std::wstring how;
    bool exitCodeKnown = false; // the harness ended and its exit code was read
    DWORD exitCode = 0;
    std::wstring command;   // the command running at the end; empty when none was
    std::wstring stuckIn;   // what the harness was busy with when it hung; empty if unknown
    std::wstring exception; // the C++ exception type that aborted it; empty if unknown
    std::wstring notSeen;   // what a run that ended at start never saw ("the main window")
};

// "0x" and eight hex digits, as exception codes are written.
std::wstring HexCode(DWORD value);

class CTranscript {
public:
    // Prints to `out`, which must outlive the transcript.
    CTranscript(COutput& out, bool json) : m_out(out), m_json(json) {}

    void Started(const std::wstring& harness, const std::wstring& engine,
                 const std::wstring& arguments);
    // One step: a command (id >= 0) or a wait (startup, fakecheck) with the boxes it showed, and
    // the title after it when withTitle.
    void Step(const wchar_t* event, const std::wstring& name, int id,
              const Driver::CommandResult& result, const std::wstring& title, bool withTitle);
    // The lines the run added to the check log at `path`.
    void LogLines(const std::wstring& path, const std::vector<std::wstring>& lines,
                  bool folderExists);
    void Ended(const RunEnd& end);

private:
    COutput& m_out;
    bool m_json;
};

} // namespace Vpedrive
} // namespace Corvinex
