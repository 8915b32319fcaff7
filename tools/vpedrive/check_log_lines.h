// Reading what a run added to the engine's check log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

// The check log a harness built for `machine` writes, by its fixed Program Files rule
// (engine/check_log_format.h), with backslashes: <Program Files>\Veilpath Engine\log\check.log,
// where Program Files is the folder the system gives programs of that machine type (under 64-bit
// Windows "Program Files (x86)" for x86 ones, "Program Files" for x64 ones).
std::wstring CheckLogPath(WORD machine);

// The lines added to the file since it had `previousSize` bytes (all lines when it is
// shorter now); line ends are removed, the bytes are read in the ANSI code page. Empty when
// the file cannot be read or more than 64 MiB were added.
std::vector<std::wstring> ReadAppendedLines(const std::wstring& path, LONGLONG previousSize);

// The size of the file in bytes; 0 when it does not exist.
LONGLONG FileSizeOf(const std::wstring& path);

} // namespace Vpedrive
} // namespace Corvinex
