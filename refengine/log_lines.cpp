#include "refengine/log_lines.h"

#include "engine/check_log_format.h"

#include <string.h>

namespace Corvinex {
namespace VeilpathEngine {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "YYYY-MM-DD HH:MM:SS": digits and separators in their places.
bool IsTimestamp(const LogSpan& text) {
    static const char kPattern[] = "dddd-dd-dd dd:dd:dd";
    if (text.length != sizeof(kPattern) - 1) {
        return false;
    }
    for (size_t i = 0; i < text.length; ++i) {
        if (kPattern[i] == 'd' ? !IsDigit(text.text[i]) : text.text[i] != kPattern[i]) {
            return false;
        }
    }
    return true;
}

LogSpan Part(const LogSpan& span, size_t start, size_t length) {
    LogSpan part = {span.text + start, length};
    return part;
}

// The index of the first c in the span at or after start, or the span's length.
size_t IndexOf(const LogSpan& span, char c, size_t start) {
    for (size_t i = start; i < span.length; ++i) {
        if (span.text[i] == c) {
            return i;
        }
    }
    return span.length;
}

} // namespace

bool SpanIs(const LogSpan& span, const char* text) {
    size_t n = strlen(text);
    return span.length == n && memcmp(span.text, text, n) == 0;
}

bool SpanStartsWith(const LogSpan& span, const char* prefix, LogSpan* rest) {
    size_t n = strlen(prefix);
    if (span.length < n || memcmp(span.text, prefix, n) != 0) {
        return false;
    }
    *rest = Part(span, n, span.length - n);
    return true;
}

bool IsBlank(const LogSpan& span) {
    for (size_t i = 0; i < span.length; ++i) {
        if (span.text[i] != ' ') {
            return false;
        }
    }
    return true;
}

bool NextLogLine(const LogSpan& text, size_t* position, LogSpan* line) {
    size_t start = *position;
    if (start >= text.length) {
        return false;
    }
    size_t end = IndexOf(text, '\n', start);
    *position = end == text.length ? end : end + 1;
    while (end > start && text.text[end - 1] == '\r') {
        --end;
    }
    *line = Part(text, start, end - start);
    return true;
}

bool SplitLogLine(const LogSpan& line, LogSpan* timestamp, LogSpan* record) {
    const size_t kStampLength = CheckLogFormat::kTimestampLength;
    if (line.length > 0 && line.text[0] == ' ') {
        *timestamp = Part(line, 0, 0);
        *record = Part(line, 1, line.length - 1);
        return true;
    }
    if (line.length > kStampLength && line.text[kStampLength] == ' ' &&
        IsTimestamp(Part(line, 0, kStampLength))) {
        *timestamp = Part(line, 0, kStampLength);
        *record = Part(line, kStampLength + 1, line.length - kStampLength - 1);
        return true;
    }
    return false;
}

bool ParseDecimal(const LogSpan& text, int* value) {
    if (text.length == 0 || text.length > 9) {
        return false;
    }
    int result = 0;
    for (size_t i = 0; i < text.length; ++i) {
        if (!IsDigit(text.text[i])) {
            return false;
        }
        result = result * 10 + (text.text[i] - '0');
    }
    *value = result;
    return true;
}

bool IsEndpointText(const LogSpan& text) {
    size_t colon = IndexOf(text, ':', 0);
    if (colon == text.length) {
        return false;
    }
    int port = 0;
    if (!ParseDecimal(Part(text, colon + 1, text.length - colon - 1), &port) || port < 1 ||
        port > 65535) {
        return false;
    }
    LogSpan address = Part(text, 0, colon);
    int parts = 0;
    size_t start = 0;
    for (;;) {
        size_t dot = IndexOf(address, '.', start);
        LogSpan part = Part(address, start, dot - start);
        int number = 0;
        if (part.length > 3 || !ParseDecimal(part, &number) || number > 255) {
            return false;
        }
        ++parts;
        if (dot == address.length) {
            break;
        }
        start = dot + 1;
    }
    return parts == 4;
}

} // namespace VeilpathEngine
} // namespace Corvinex
