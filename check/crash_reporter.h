// What the helper reports when the engine crashes it: the exception, the faulting address as
// module+offset, the slot being called and the engine state, and a minidump.
#pragma once

#include "base/wide_string.h"

#include <windows.h>

namespace Corvinex {
namespace Check {

// Supplies "slot N (Name), state S" at the moment of the crash; must not allocate much.
typedef CWideString (*CrashContextFunc)();

// Installs the process-wide handler of unhandled exceptions: it reports "crash ...", "dump ..."
// and "status crashed" lines (report_line.h), writes a minidump into `dumpFolder` when one is
// given (may be null) and the system can write one, and ends the process with the crashed
// status. The folder's text is copied.
void InstallCrashReporter(const wchar_t* dumpFolder, CrashContextFunc context);

// True once the crash reporter has begun to report (other threads then stay quiet).
bool IsCrashReporting();

// "vpe.dll+0x1234" for an address inside a loaded module, else the bare address in hex.
CWideString DescribeAddress(const void* address);

} // namespace Check
} // namespace Corvinex
