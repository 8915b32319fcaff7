#include "diag/call_trace.h"

#include <wchar.h>

namespace Corvinex {

void TraceEngineCall(const wchar_t* word, const wchar_t* what) {
    // Checked first: OutputDebugString with nobody listening costs about half a millisecond
    // under Wine (it raises an exception and looks for a debug monitor), too much five times a
    // second for a harness that is only being used.
    if (!IsDebuggerPresent())
        return;
    wchar_t line[96];
    swprintf(line, 96, L"%ls%ls %ls", VPE_CALL_TRACE_PREFIX, word, what);
    OutputDebugStringW(line);
}

CTraceScope::CTraceScope(const wchar_t* what, int number) {
    m_what[0] = L'\0';
    if (!IsDebuggerPresent())
        return;
    if (number < 0)
        swprintf(m_what, 48, L"%ls", what);
    else
        swprintf(m_what, 48, L"%ls %d", what, number);
    TraceEngineCall(VPE_CALL_TRACE_BEGIN, m_what);
}

CTraceScope::~CTraceScope() {
    if (m_what[0] != L'\0')
        TraceEngineCall(VPE_CALL_TRACE_END, m_what);
}

} // namespace Corvinex
