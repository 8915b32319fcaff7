// The engine's files: whole-file reading, appending timestamped log lines, small file and
// folder helpers. Log files are 8-bit text; every record the engine writes is ASCII.
#pragma once

#include <windows.h>

#include <string>

namespace Corvinex {
namespace VeilpathEngine {

// Reads the whole file into *contents. False, with *contents emptied, when the file cannot be
// opened or read. Other writers may have the file open meanwhile.
bool ReadWholeFile(const std::wstring& path, std::string* contents);

// Appends the bytes at the end of the file, creating it when missing. False when the file
// cannot be opened (for example its folder is missing) or not all bytes were written.
bool AppendToFile(const std::wstring& path, const std::string& bytes);

// Replaces the file's contents by the bytes, creating it when missing. False on failure.
bool WriteNewFile(const std::wstring& path, const std::string& bytes);

// The local time as "YYYY-MM-DD HH:MM:SS" (19 characters).
std::string GetTimestamp();

// One log line as the engine writes it: timestamp, one space, the record, CR LF.
std::string MakeLogLine(const std::string& record);

// True when the path names an existing folder.
bool FolderExists(const std::wstring& path);

// Creates the folder (its parent must exist); true when it exists afterwards.
bool EnsureFolder(const std::wstring& path);

} // namespace VeilpathEngine
} // namespace Corvinex
