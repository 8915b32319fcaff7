// Reading the engine's logs line by line. Both logs share one line form: a timestamp
// "YYYY-MM-DD HH:MM:SS" (or nothing, when the writer had no local time), one space, the record.
#pragma once

#include <string>
#include <vector>

namespace Corvinex {
namespace VeilpathEngine {

// Splits log text into lines. A line ends at LF; carriage returns before the LF are dropped,
// so CR LF, CR CR LF and LF alone all end a line; a last line without line end counts too.
std::vector<std::string> SplitLogLines(const std::string& text);

// Splits a line into its timestamp and record. False when the line neither begins with a
// well-formed timestamp followed by a space nor with a space (the empty timestamp).
bool SplitLogLine(const std::string& line, std::string* timestamp, std::string* record);

// True when the text is an endpoint "a.b.c.d:port" (dotted IPv4 address, decimal port 1-65535).
bool IsEndpointText(const std::string& text);

// True when the text is a decimal number without sign; *value gets it (at most 9 digits).
bool ParseDecimal(const std::string& text, int* value);

} // namespace VeilpathEngine
} // namespace Corvinex
