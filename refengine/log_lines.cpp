#include "refengine/log_lines.h"

#include "engine/check_log_format.h"

namespace Corvinex {
namespace VeilpathEngine {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "YYYY-MM-DD HH:MM:SS": digits and separators in their places.
bool IsTimestamp(const std::string& text) {
    static const char kPattern[] = "dddd-dd-dd dd:dd:dd";
    if (text.size() != sizeof(kPattern) - 1) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (kPattern[i] == 'd' ? !IsDigit(text[i]) : text[i] != kPattern[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

std::vector<std::string> SplitLogLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos) {
            end = text.size();
        }
        while (end > start && text[end - 1] == '\r') {
            --end;
        }
        lines.push_back(text.substr(start, end - start));
        start = next;
    }
    return lines;
}

bool SplitLogLine(const std::string& line, std::string* timestamp, std::string* record) {
    const size_t kStampLength = CheckLogFormat::kTimestampLength;
    if (!line.empty() && line[0] == ' ') {
        timestamp->clear();
        *record = line.substr(1);
        return true;
    }
    if (line.size() > kStampLength && line[kStampLength] == ' ' &&
        IsTimestamp(line.substr(0, kStampLength))) {
        *timestamp = line.substr(0, kStampLength);
        *record = line.substr(kStampLength + 1);
        return true;
    }
    return false;
}

bool ParseDecimal(const std::string& text, int* value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    int result = 0;
    for (char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
        result = result * 10 + (c - '0');
    }
    *value = result;
    return true;
}

bool IsEndpointText(const std::string& text) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    int port = 0;
    if (!ParseDecimal(text.substr(colon + 1), &port) || port < 1 || port > 65535) {
        return false;
    }
    std::string address = text.substr(0, colon);
    int parts = 0;
    size_t start = 0;
    for (;;) {
        size_t dot = address.find('.', start);
        std::string part =
            address.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        int number = 0;
        if (part.size() > 3 || !ParseDecimal(part, &number) || number > 255) {
            return false;
        }
        ++parts;
        if (dot == std::string::npos) {
            break;
        }
        start = dot + 1;
    }
    return parts == 4;
}

} // namespace VeilpathEngine
} // namespace Corvinex
