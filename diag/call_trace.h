// The harness's engine calls told to a debugger: one OutputDebugStringW line per status query,
// and a line where each status update and each menu command begins and ends, so a program that
// debugs the harness (vpedrive run) can tell which engine call it is stuck in. Without a debugger
// nothing is sent, and a trace costs one look at the process environment block.
#pragma once

#include <windows.h>

namespace Corvinex {

// Every line is the prefix, a word and what it is about:
//   "vpetest: begin status", "vpetest: call IsEngineRunning", "vpetest: end status",
//   "vpetest: begin command 32811", "vpetest: end command 32811".
// Status updates can run inside a command (its message boxes dispatch timer ticks).
#define VPE_CALL_TRACE_PREFIX L"vpetest: "
#define VPE_CALL_TRACE_BEGIN L"begin"
#define VPE_CALL_TRACE_END L"end"
#define VPE_CALL_TRACE_CALL L"call"
#define VPE_CALL_TRACE_STATUS L"status"
#define VPE_CALL_TRACE_COMMAND L"command"

// Sends "vpetest: <word> <what>" to the debugger, if the process has one.
void TraceEngineCall(const wchar_t* word, const wchar_t* what);

// Sends the begin line of `what` (with `number` appended unless it is negative) when made and
// the end line when destroyed.
class CTraceScope {
public:
    CTraceScope(const wchar_t* what, int number);
    ~CTraceScope();
    CTraceScope(const CTraceScope&) = delete;
    CTraceScope& operator=(const CTraceScope&) = delete;

private:
    wchar_t m_what[48];
};

} // namespace Corvinex
