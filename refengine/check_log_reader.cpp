#include "refengine/check_log_reader.h"

#include "engine/check_log_format.h"
#include "refengine/log_lines.h"

#include "base/array.h"

#include <string.h>

namespace Corvinex {
namespace VeilpathEngine {

namespace {

using namespace CheckLogFormat;

enum Outcome { kUnknown, kPassed, kFailed };

// The records seen so far for one endpoint's block.
struct Block {
    LogSpan endpoint;
    bool bPing = false;
    bool bTimeout = false;
    Outcome anonymity = kUnknown;
    Outcome authenticity = kUnknown;
    bool bVerdict = false;
};

bool SameText(const LogSpan& a, const LogSpan& b) {
    return a.length == b.length && memcmp(a.text, b.text, a.length) == 0;
}

Outcome ParseOutcome(const LogSpan& word) {
    if (SpanIs(word, kCheckPassed)) {
        return kPassed;
    }
    return SpanIs(word, kCheckFailed) ? kFailed : kUnknown;
}

class CCheckLogAnalyser {
public:
    CheckLogSummary Analyse(const LogSpan& text) {
        size_t position = 0;
        LogSpan line;
        while (NextLogLine(text, &position, &line)) {
            if (IsBlank(line)) {
                continue;
            }
            LogSpan stamp;
            LogSpan record;
            if (!SplitLogLine(line, &stamp, &record)) {
                ++m_summary.nBadLines;
            } else if (SpanIs(record, kCheckRunBegin)) {
                BeginRun(stamp);
            } else if (SpanIs(record, kCheckRunEnd)) {
                EndRun();
            } else if (!EndpointRecord(record)) {
                ++m_summary.nBadLines;
            }
        }
        CloseOpenBlocks();
        if (m_summary.nRuns == 0 && (m_summary.nChecked > 0 || m_summary.nUnfinished > 0)) {
            m_summary.nRuns = 1;
        }
        return m_summary;
    }

private:
    void BeginRun(const LogSpan& stamp) {
        int runs = m_summary.nRuns;
        if (runs == 0 && (m_summary.nChecked > 0 || m_blocks.GetCount() > 0)) {
            runs = 1;
        }
        m_blocks.RemoveAll();
        m_summary = CheckLogSummary();
        m_summary.nRuns = runs + 1;
        // A stamp is empty or exactly kTimestampLength characters (SplitLogLine).
        memcpy(m_summary.runStarted, stamp.text, stamp.length);
        m_summary.runStarted[stamp.length] = '\0';
    }

    void EndRun() {
        CloseOpenBlocks();
        m_summary.bRunFinished = true;
    }

    void CloseOpenBlocks() {
        m_summary.nUnfinished += m_blocks.GetCount();
        m_blocks.RemoveAll();
    }

    // The index of the open block of the endpoint, or -1.
    int32_t FindBlock(const LogSpan& endpoint) const {
        for (int32_t i = 0; i < m_blocks.GetCount(); ++i) {
            if (SameText(m_blocks.ElementAt(i).endpoint, endpoint)) {
                return i;
            }
        }
        return -1;
    }

    // One "VPE CHECK HTTP" record; false when it cannot be read or does not fit its block.
    bool EndpointRecord(const LogSpan& record) {
        LogSpan rest;
        if (!SpanStartsWith(record, kCheckEndpointPrefix, &rest)) {
            return false;
        }
        size_t space = 0;
        while (space < rest.length && rest.text[space] != kLineSeparator[0]) {
            ++space;
        }
        if (space == rest.length) {
            return false;
        }
        LogSpan endpoint = {rest.text, space};
        LogSpan word = {rest.text + space + 1, rest.length - space - 1};
        if (!IsEndpointText(endpoint)) {
            return false;
        }
        int32_t index = FindBlock(endpoint);
        if (SpanIs(word, kCheckBlockBegin)) {
            if (index >= 0) {
                ++m_summary.nUnfinished;
                m_blocks.RemoveAt(index);
            }
            Block fresh;
            fresh.endpoint = endpoint;
            return m_blocks.Add(fresh) >= 0;
        }
        if (index < 0) {
            return false;
        }
        Block* block = &m_blocks.ElementAt(index);
        LogSpan argument;
        int number = 0;
        if (SpanStartsWith(word, kCheckPing, &argument) && ParseDecimal(argument, &number)) {
            bool fits = !block->bPing && !block->bTimeout;
            block->bPing = true;
            return fits;
        }
        if (SpanStartsWith(word, kCheckTimeout, &argument) && ParseDecimal(argument, &number)) {
            bool fits = !block->bPing && !block->bTimeout;
            block->bTimeout = true;
            return fits;
        }
        if (SpanStartsWith(word, kCheckAnonymity, &argument) &&
            ParseOutcome(argument) != kUnknown) {
            bool fits = block->bPing && block->anonymity == kUnknown;
            block->anonymity = ParseOutcome(argument);
            return fits;
        }
        if (SpanStartsWith(word, kCheckAuthenticity, &argument) &&
            ParseOutcome(argument) != kUnknown) {
            bool fits = block->anonymity == kPassed && block->authenticity == kUnknown;
            block->authenticity = ParseOutcome(argument);
            return fits;
        }
        if (ParseOutcome(word) != kUnknown) {
            return Verdict(block, ParseOutcome(word) == kPassed);
        }
        if (SpanIs(word, kCheckBlockEnd)) {
            if (!block->bVerdict) {
                ++m_summary.nUnfinished;
            }
            m_blocks.RemoveAt(index);
            return true;
        }
        return false;
    }

    bool Verdict(Block* block, bool bPassed) {
        if (block->bVerdict) {
            return false;
        }
        block->bVerdict = true;
        bool earned = block->bPing && block->anonymity == kPassed && block->authenticity == kPassed;
        ++m_summary.nChecked;
        if (bPassed && earned) {
            ++m_summary.nPassed;
            return true;
        }
        ++m_summary.nFailed;
        if (block->bTimeout) {
            ++m_summary.nTimedOut;
        }
        // A PASSED that the block's own records deny is not believed.
        return !bPassed;
    }

    CheckLogSummary m_summary;
    // The blocks begun and not yet ended, in the order they began.
    TArray<Block> m_blocks;
};

} // namespace

CheckLogSummary AnalyseCheckLogText(const char* text, size_t length) {
    LogSpan span = {text, length};
    return CCheckLogAnalyser().Analyse(span);
}

CWideString DescribeCheckLog(const CheckLogSummary& summary) {
    if (summary.nRuns == 0) {
        return summary.nBadLines > 0
                   ? FormatString(L"The check log holds no readable check (%i unreadable lines).",
                                  summary.nBadLines)
                   : CWideString(L"The check log holds no check.");
    }
    CWideString text(L"Last check");
    if (summary.runStarted[0] != '\0') {
        // The stamp is ASCII digits and separators.
        text.Append(L" (started ");
        text.Append(CWideString(summary.runStarted).c_str());
        text.Append(L")");
    }
    text.Append(FormatString(L": %i endpoints checked, %i passed, %i failed (%i timed out).",
                             summary.nChecked, summary.nPassed, summary.nFailed, summary.nTimedOut)
                    .c_str());
    if (summary.nUnfinished > 0) {
        text.Append(FormatString(L" %i endpoints unfinished.", summary.nUnfinished).c_str());
    }
    if (!summary.bRunFinished) {
        text.Append(L" The check has not finished.");
    }
    if (summary.nBadLines > 0) {
        text.Append(FormatString(L" %i lines could not be read.", summary.nBadLines).c_str());
    }
    return text;
}

} // namespace VeilpathEngine
} // namespace Corvinex
