#include "check/exit_watch.h"

#include "check/report_line.h"

#include <windows.h>

namespace Corvinex {
namespace Check {

namespace {

CrashContextFunc g_exitContext = nullptr;
DWORD g_exitSlot = FLS_OUT_OF_INDEXES;

// The "crash ..." line for a process that ended during `call` ("slot N (Name), state S").
CWideString DescribeProcessEnd(const CWideString& call) {
    return L"crash aborted in " + call +
           L": the engine ended the process inside the call, as its own C runtime's abort() does "
           L"(thread " +
           FormatString(L"%lu", GetCurrentThreadId()) + L")";
}

// A fiber-local value's callback: ExitProcess calls it on the thread that ends the process,
// after every other thread has been ended. Wine calls no TLS callback of the program then, but
// it does call these, as Windows does.
void WINAPI OnThreadEnd(void*) {
    if (g_exitContext == nullptr || IsCrashReporting())
        return;
    const CWideString call = g_exitContext();
    if (call.GetLength() == 0)
        return;
    // The exit code is not known yet here (GetExitCodeProcess still answers STILL_ACTIVE).
    WriteReportLine(DescribeProcessEnd(call));
    WriteReportLine(L"status crashed");
}

} // namespace

void InstallExitWatch(CrashContextFunc context) {
    g_exitContext = context;
    if (g_exitSlot == FLS_OUT_OF_INDEXES)
        g_exitSlot = FlsAlloc(OnThreadEnd);
    // The callback runs only for a thread whose value is not null.
    if (g_exitSlot != FLS_OUT_OF_INDEXES)
        FlsSetValue(g_exitSlot, &g_exitSlot);
}

} // namespace Check
} // namespace Corvinex
