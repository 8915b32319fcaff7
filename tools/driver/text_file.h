// Text that programs wrote to files, and text encodings: what the driver and vpedrive read back
// from the programs they started (their output files, reports and logs) and write for CI.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace Corvinex {
namespace Driver {

// Up to `limit` bytes from the start of the file (`from` bytes skipped); shared for writing, since
// a program that has not quite ended may still hold it. Empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path, size_t limit, LONGLONG from = 0);

// Writes the bytes as the whole file (created or replaced); false when that fails.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// The lines of the text, each without its line end ("\n" or "\r\n"); no empty last line for a
// text that ends with a line end.
std::vector<std::string> SplitLines(const std::string& text);

// The bytes read in a code page (CP_UTF8, CP_ACP, ...), and wide text as UTF-8.
std::wstring FromCodePage(const std::string& bytes, UINT codePage);
std::string ToUtf8(const std::wstring& text);

} // namespace Driver
} // namespace Corvinex
