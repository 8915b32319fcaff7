// The engine's files: whole-file reading, appending timestamped log lines, small file and
// folder helpers. Log files are 8-bit text; every record the engine writes is ASCII.
#pragma once

#include "base/array.h"

#include <windows.h>

#include <stddef.h>

namespace Corvinex {
namespace VeilpathEngine {

// Reads the whole file into *contents (its bytes, not terminated). False, with *contents
// emptied, when the file cannot be opened or read. Other writers may have the file open.
bool ReadWholeFile(const wchar_t* path, TArray<char>* contents);

// Replaces the file's contents by the bytes, creating it when missing. False on failure.
bool WriteNewFile(const wchar_t* path, const char* bytes, size_t length);

// Appends one log line as the engine writes it: timestamp, one space, the record, CR LF; or,
// with bReplace, makes it the file's only line. False as for AppendToFile (base/file_system.h) and
// WriteNewFile.
bool WriteLogLine(const wchar_t* path, const char* record, bool bReplace = false);

} // namespace VeilpathEngine
} // namespace Corvinex
