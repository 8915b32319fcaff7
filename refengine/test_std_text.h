// For the reference engine's tests, which are written with the C++ standard library: overloads
// of the engine's text, file and log functions for std strings, so a test reads as the
// behaviour it checks. The engine itself keeps to the engine author's headers.
#pragma once

#include "base/array.h"
#include "base/file_system.h"
#include "base/wide_string.h"
#include "refengine/check_log_reader.h"
#include "refengine/check_simulation.h"
#include "refengine/log_file.h"
#include "refengine/log_lines.h"
#include "refengine/update_log_reader.h"
#include "refengine/update_simulation.h"

#include <string>
#include <vector>

namespace Corvinex {
namespace VeilpathEngine {

inline std::wstring Wide(const CWideString& text) {
    return std::wstring(text.c_str());
}
inline LogSpan Span(const std::string& text) {
    LogSpan span = {text.data(), text.size()};
    return span;
}
inline std::string Text(const LogSpan& span) {
    return std::string(span.text, span.length);
}

inline CheckLogSummary AnalyseCheckLogText(const std::string& text) {
    return AnalyseCheckLogText(text.data(), text.size());
}
inline UpdateLogSummary AnalyseUpdateLogText(const std::string& text) {
    return AnalyseUpdateLogText(text.data(), text.size());
}

inline std::vector<std::string> SplitLogLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t position = 0;
    LogSpan line;
    while (NextLogLine(Span(text), &position, &line)) {
        lines.push_back(Text(line));
    }
    return lines;
}
inline bool SplitLogLine(const std::string& line, std::string* timestamp, std::string* record) {
    LogSpan stamp;
    LogSpan rest;
    if (!SplitLogLine(Span(line), &stamp, &rest)) {
        return false;
    }
    *timestamp = Text(stamp);
    *record = Text(rest);
    return true;
}
inline bool IsEndpointText(const std::string& text) {
    return IsEndpointText(Span(text));
}

inline bool ReadWholeFile(const std::wstring& path, std::string* contents) {
    TArray<char> bytes;
    bool ok = ReadWholeFile(path.c_str(), &bytes);
    contents->assign(bytes.GetData() != nullptr ? bytes.GetData() : "",
                     static_cast<size_t>(bytes.GetCount()));
    return ok;
}
inline bool WriteNewFile(const std::wstring& path, const std::string& bytes) {
    return WriteNewFile(path.c_str(), bytes.data(), bytes.size());
}
inline bool FolderExists(const std::wstring& path) {
    return IsExistingFolder(CWideString(path.c_str()));
}

inline SimulationResult RunSimulatedCheck(const std::wstring& logPath, int nTimeoutMs,
                                          int nPauseDivisor, HANDLE hStop,
                                          SimulationProgress* progress) {
    return RunSimulatedCheck(logPath.c_str(), nTimeoutMs, nPauseDivisor, hStop, progress);
}
inline SimulationResult RunSimulatedUpdate(const std::wstring& logPath, int nPauseMs, HANDLE hStop,
                                           SimulationProgress* progress) {
    return RunSimulatedUpdate(logPath.c_str(), nPauseMs, hStop, progress);
}

} // namespace VeilpathEngine
} // namespace Corvinex
