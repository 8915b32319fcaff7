#include "refengine/update_log_reader.h"

#include "refengine/log_lines.h"

#include <cwchar>

namespace Corvinex {
namespace VeilpathEngine {

namespace {

const char kServerPrefix[] = "VPE UPDATE SERVER HTTP ";

std::wstring Number(int value) {
    wchar_t text[16];
    _snwprintf(text, 16, L"%d", value);
    text[15] = L'\0';
    return text;
}

// Reads one record of the current run into the summary; false when it cannot be read.
bool ReadRecord(const std::string& record, UpdateLogSummary* summary) {
    if (record == "VPE UPDATE END OK" || record == "VPE UPDATE END FAILED" ||
        record == "VPE UPDATE END CANCELLED") {
        if (summary->ending != kUpdateNotEnded) {
            return false;
        }
        summary->ending = record == "VPE UPDATE END OK"       ? kUpdateEndedOk
                          : record == "VPE UPDATE END FAILED" ? kUpdateEndedFailed
                                                              : kUpdateCancelled;
        return true;
    }
    size_t prefix = sizeof(kServerPrefix) - 1;
    if (record.compare(0, prefix, kServerPrefix) != 0 || summary->ending != kUpdateNotEnded) {
        return false;
    }
    std::string rest = record.substr(prefix);
    size_t space = rest.find(' ');
    if (space == std::string::npos || !IsEndpointText(rest.substr(0, space))) {
        return false;
    }
    std::string outcome = rest.substr(space + 1);
    if (outcome == "OK") {
        ++summary->nServersOk;
        return true;
    }
    if (outcome == "FAILED") {
        ++summary->nServersFailed;
        return true;
    }
    return false;
}

} // namespace

UpdateLogSummary AnalyseUpdateLogText(const std::string& text) {
    UpdateLogSummary summary;
    bool inRun = false;
    for (const std::string& line : SplitLogLines(text)) {
        if (line.find_first_not_of(' ') == std::string::npos) {
            continue;
        }
        std::string stamp;
        std::string record;
        if (!SplitLogLine(line, &stamp, &record)) {
            ++summary.nBadLines;
        } else if (record == "VPE UPDATE BEGIN") {
            int runs = summary.nRuns + 1;
            summary = UpdateLogSummary();
            summary.nRuns = runs;
            summary.runStarted = stamp;
            inRun = true;
        } else if (!inRun || !ReadRecord(record, &summary)) {
            ++summary.nBadLines;
        }
    }
    return summary;
}

bool IsUpdateSuccessful(const UpdateLogSummary& summary) {
    return summary.ending == kUpdateEndedOk && summary.nServersOk > 0;
}

std::wstring DescribeUpdateLog(const UpdateLogSummary& summary) {
    if (summary.nRuns == 0) {
        return L"The update log holds no update.";
    }
    std::wstring servers = Number(summary.nServersOk) + L" of " +
                           Number(summary.nServersOk + summary.nServersFailed) +
                           L" HTTP servers reached";
    std::wstring text;
    switch (summary.ending) {
    case kUpdateEndedOk:
        text = IsUpdateSuccessful(summary) ? L"Update completed: " + servers + L"."
                                           : L"Update claims success but reached no server.";
        break;
    case kUpdateEndedFailed:
        text = L"Update failed: " + servers + L".";
        break;
    case kUpdateCancelled:
        text = L"Update cancelled: " + servers + L" before it was stopped.";
        break;
    default:
        text = L"Update not finished: " + servers + L" so far.";
        break;
    }
    if (summary.nBadLines > 0) {
        text += L" " + Number(summary.nBadLines) + L" lines could not be read.";
    }
    return text;
}

} // namespace VeilpathEngine
} // namespace Corvinex
