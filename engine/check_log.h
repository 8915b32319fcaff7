// Writing the check log (its form: engine/check_log_format.h), appended to a file below Program
// Files.
// Fake-check mode fills it with a scripted run for four endpoints.
#pragma once

#include "base/wide_string.h"

#include <time.h>

namespace Corvinex {

// The check log's path by the harness's fixed Program Files rule: the Program Files folder
// followed by CheckLogFormat::kCheckLogBelowProgramFiles (engine/check_log_format.h), or the
// relative path alone when no Program Files folder is known.
CWideString GetCheckLogPath();

// The pauses a whole fake check run contains, in milliseconds.
const int kFakeCheckPausesMs = 5517;

// The whole fake check run: 24 records for four endpoints with about 5.5 s of pauses, each
// record echoed to the standard output. Nothing is reported; a missing log folder only means no
// line reaches the file (the folder is not created).
void WriteFakeCheckLog();

// Appends one line (timestamp, space, record, CR LF, in the ANSI code page) to the file at path
// and echoes the record, without line end, to the standard output. The record is the format
// filled with the arguments (wide printf directives). The file is opened, appended to and closed
// for this one line, sharing it with other readers and writers; if it cannot be opened the line
// is lost and nothing is reported. The callee owns and destroys the format copy.
void WriteCheckLogLine(const wchar_t* path, CWideString format, ...);
void WriteCheckLogLine(decltype(nullptr), CWideString format, ...) = delete;

// The current local time as "YYYY-MM-DD hh:mm:ss" (19 characters), or the empty text when the
// local time cannot be determined.
CWideString GetTimestamp();

// Test seam: the clock GetTimestamp reads (null restores the C runtime's time). The program
// itself never sets it.
typedef time_t (*CheckLogClockFunc)(time_t* out);
void SetCheckLogClockForTests(CheckLogClockFunc clock);

} // namespace Corvinex
