// What the helper reports when an engine ends the process itself (its own C runtime's abort,
// ExitProcess) in the middle of a call: no exception reaches the crash reporter then, and the
// process would end without a word about where it was.
#pragma once

#include "check/crash_reporter.h"

namespace Corvinex {
namespace Check {

// Arms the watch for the rest of the process, on the thread that calls the engine: when that
// thread ends the process through ExitProcess while `context` names a call in progress (a
// non-empty text), a "crash aborted in ..." line and "status crashed" are
// written. An empty text (no call in progress: the helper's own end) writes nothing. Crashes
// and hangs end the process with TerminateProcess, which the watch does not see.
void InstallExitWatch(CrashContextFunc context);

} // namespace Check
} // namespace Corvinex
