// Reading the engine's logs line by line. Both logs share one line form: a timestamp
// "YYYY-MM-DD HH:MM:SS" (or nothing, when the writer had no local time), one space, the record.
//
// The text is read in place: lines, timestamps and records are spans of the log's bytes, which
// may hold any byte (a zero byte too), so nothing is copied or terminated.
#pragma once

#include <stddef.h>

namespace Corvinex {
namespace VeilpathEngine {

// A run of bytes inside a text the caller keeps alive; not zero-terminated.
struct LogSpan {
    const char* text;
    size_t length;
};

// True when the span holds exactly the zero-terminated text.
bool SpanIs(const LogSpan& span, const char* text);
// True when the span begins with prefix; *rest gets what follows it.
bool SpanStartsWith(const LogSpan& span, const char* prefix, LogSpan* rest);
// True when the span is empty or holds only spaces.
bool IsBlank(const LogSpan& span);

// The next line of text from *position on; false at the end of the text. A line ends at LF;
// carriage returns before the LF are dropped, so CR LF, CR CR LF and LF alone all end a line;
// a last line without line end counts too. *position moves past the line.
bool NextLogLine(const LogSpan& text, size_t* position, LogSpan* line);

// Splits a line into its timestamp and record. False when the line neither begins with a
// well-formed timestamp followed by a space nor with a space (the empty timestamp).
bool SplitLogLine(const LogSpan& line, LogSpan* timestamp, LogSpan* record);

// True when the text is an endpoint "a.b.c.d:port" (dotted IPv4 address, decimal port 1-65535).
bool IsEndpointText(const LogSpan& text);

// True when the text is a decimal number without sign; *value gets it (at most 9 digits).
bool ParseDecimal(const LogSpan& text, int* value);

} // namespace VeilpathEngine
} // namespace Corvinex
