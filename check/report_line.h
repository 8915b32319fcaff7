// The helper's report lines ("stage", "answer", "detail", "crash", "dump", "status"), written
// to its standard output one whole line at a time and at once, so that a line survives
// whatever ends the process next.
#pragma once

#include "base/wide_string.h"

namespace Corvinex {
namespace Check {

// The first line a check writes, before it touches the engine: a report without it comes from
// a helper that ended before the check began (its start failed), not from the engine.
extern const wchar_t kCheckBeganLine[]; // "stage begin"

// Writes the text and a line feed: through WriteConsoleW when the output is a console, else
// as UTF-8 bytes (pipes and files). Thread-safe: lines of two threads never interleave, except
// that a line waits at most 2 s for another writer (one that a thread's end may have stopped).
void WriteReportLine(const wchar_t* line);
inline void WriteReportLine(const CWideString& line) {
    WriteReportLine(line.c_str());
}

} // namespace Check
} // namespace Corvinex
