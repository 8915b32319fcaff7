#include "refengine/update_log_reader.h"

#include "refengine/log_lines.h"

#include <string.h>

namespace Corvinex {
namespace VeilpathEngine {

namespace {

const char kServerPrefix[] = "VPE UPDATE SERVER HTTP ";

// Reads one record of the current run into the summary; false when it cannot be read.
bool ReadRecord(const LogSpan& record, UpdateLogSummary* summary) {
    if (SpanIs(record, "VPE UPDATE END OK") || SpanIs(record, "VPE UPDATE END FAILED") ||
        SpanIs(record, "VPE UPDATE END CANCELLED")) {
        if (summary->ending != kUpdateNotEnded) {
            return false;
        }
        summary->ending = SpanIs(record, "VPE UPDATE END OK")       ? kUpdateEndedOk
                          : SpanIs(record, "VPE UPDATE END FAILED") ? kUpdateEndedFailed
                                                                    : kUpdateCancelled;
        return true;
    }
    LogSpan rest;
    if (!SpanStartsWith(record, kServerPrefix, &rest) || summary->ending != kUpdateNotEnded) {
        return false;
    }
    size_t space = 0;
    while (space < rest.length && rest.text[space] != ' ') {
        ++space;
    }
    LogSpan endpoint = {rest.text, space};
    if (space == rest.length || !IsEndpointText(endpoint)) {
        return false;
    }
    LogSpan outcome = {rest.text + space + 1, rest.length - space - 1};
    if (SpanIs(outcome, "OK")) {
        ++summary->nServersOk;
        return true;
    }
    if (SpanIs(outcome, "FAILED")) {
        ++summary->nServersFailed;
        return true;
    }
    return false;
}

} // namespace

UpdateLogSummary AnalyseUpdateLogText(const char* text, size_t length) {
    UpdateLogSummary summary;
    bool inRun = false;
    LogSpan all = {text, length};
    size_t position = 0;
    LogSpan line;
    while (NextLogLine(all, &position, &line)) {
        if (IsBlank(line)) {
            continue;
        }
        LogSpan stamp;
        LogSpan record;
        if (!SplitLogLine(line, &stamp, &record)) {
            ++summary.nBadLines;
        } else if (SpanIs(record, "VPE UPDATE BEGIN")) {
            int runs = summary.nRuns + 1;
            summary = UpdateLogSummary();
            summary.nRuns = runs;
            // A stamp is empty or exactly kTimestampLength characters (SplitLogLine).
            memcpy(summary.runStarted, stamp.text, stamp.length);
            summary.runStarted[stamp.length] = '\0';
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

CWideString DescribeUpdateLog(const UpdateLogSummary& summary) {
    if (summary.nRuns == 0) {
        return L"The update log holds no update.";
    }
    CWideString servers = FormatString(L"%i of %i HTTP servers reached", summary.nServersOk,
                                       summary.nServersOk + summary.nServersFailed);
    CWideString text;
    switch (summary.ending) {
    case kUpdateEndedOk:
        text = IsUpdateSuccessful(summary) ? FormatString(L"Update completed: %s.", servers.c_str())
                                           : L"Update claims success but reached no server.";
        break;
    case kUpdateEndedFailed:
        text = FormatString(L"Update failed: %s.", servers.c_str());
        break;
    case kUpdateCancelled:
        text = FormatString(L"Update cancelled: %s before it was stopped.", servers.c_str());
        break;
    default:
        text = FormatString(L"Update not finished: %s so far.", servers.c_str());
        break;
    }
    if (summary.nBadLines > 0) {
        text.Append(FormatString(L" %i lines could not be read.", summary.nBadLines).c_str());
    }
    return text;
}

} // namespace VeilpathEngine
} // namespace Corvinex
