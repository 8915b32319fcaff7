// What a check's process reports when the engine crashes it: the exception, the faulting
// address as module+offset, the slot being called and the engine state, and a minidump.
#pragma once

#include <windows.h>

#include <string>

namespace Corvinex {
namespace Vpedrive {

// Supplies "slot N (Name), state S" at the moment of the crash; must not allocate much.
typedef std::wstring (*CrashContextFunc)();
// Writes one line of the check's report (thread-safe).
typedef void (*ReportLineFunc)(const std::wstring& line);

// Installs the process-wide handler of unhandled exceptions: it reports "crash ..." and
// "status crashed" lines through `report`, writes a minidump into `dumpFolder` when one is
// given and the system can write one, and ends the process with the crashed status.
void InstallCrashReporter(const std::wstring& dumpFolder, CrashContextFunc context,
                          ReportLineFunc report);

// True once the crash reporter has begun to report (other threads then stay quiet).
bool IsCrashReporting();

// "vpe.dll+0x1234" for an address inside a loaded module, else the bare address in hex.
std::wstring DescribeAddress(const void* address);

// Writes a minidump of this process with the exception into `path` through dbghelp's
// MiniDumpWriteDump. False (and the file removed) when dbghelp is missing or writes nothing.
bool WriteMinidump(EXCEPTION_POINTERS* pointers, const std::wstring& path);

} // namespace Vpedrive
} // namespace Corvinex
