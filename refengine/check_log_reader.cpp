#include "refengine/check_log_reader.h"

#include "engine/check_log_format.h"
#include "refengine/log_lines.h"

#include <cwchar>
#include <vector>

namespace Corvinex {
namespace VeilpathEngine {

namespace {

using namespace CheckLogFormat;

enum Outcome { kUnknown, kPassed, kFailed };

// The records seen so far for one endpoint's block.
struct Block {
    std::string endpoint;
    bool bPing = false;
    bool bTimeout = false;
    Outcome anonymity = kUnknown;
    Outcome authenticity = kUnknown;
    bool bVerdict = false;
};

bool StartsWith(const std::string& text, const char* prefix, std::string* rest) {
    size_t n = std::char_traits<char>::length(prefix);
    if (text.compare(0, n, prefix) != 0) {
        return false;
    }
    *rest = text.substr(n);
    return true;
}

Outcome ParseOutcome(const std::string& word) {
    if (word == kCheckPassed) {
        return kPassed;
    }
    return word == kCheckFailed ? kFailed : kUnknown;
}

class CCheckLogAnalyser {
public:
    CheckLogSummary Analyse(const std::string& text) {
        for (const std::string& line : SplitLogLines(text)) {
            if (line.find_first_not_of(' ') == std::string::npos) {
                continue;
            }
            std::string stamp;
            std::string record;
            if (!SplitLogLine(line, &stamp, &record)) {
                ++m_summary.nBadLines;
            } else if (record == kCheckRunBegin) {
                BeginRun(stamp);
            } else if (record == kCheckRunEnd) {
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
    void BeginRun(const std::string& stamp) {
        int runs = m_summary.nRuns;
        if (runs == 0 && (m_summary.nChecked > 0 || !m_blocks.empty())) {
            runs = 1;
        }
        m_blocks.clear();
        m_summary = CheckLogSummary();
        m_summary.nRuns = runs + 1;
        m_summary.runStarted = stamp;
    }

    void EndRun() {
        CloseOpenBlocks();
        m_summary.bRunFinished = true;
    }

    void CloseOpenBlocks() {
        m_summary.nUnfinished += static_cast<int>(m_blocks.size());
        m_blocks.clear();
    }

    Block* FindBlock(const std::string& endpoint) {
        for (Block& block : m_blocks) {
            if (block.endpoint == endpoint) {
                return &block;
            }
        }
        return nullptr;
    }

    void RemoveBlock(const Block* block) {
        m_blocks.erase(m_blocks.begin() + (block - &m_blocks[0]));
    }

    // One "VPE CHECK HTTP" record; false when it cannot be read or does not fit its block.
    bool EndpointRecord(const std::string& record) {
        std::string rest;
        if (!StartsWith(record, kCheckEndpointPrefix, &rest)) {
            return false;
        }
        size_t space = rest.find(kLineSeparator);
        if (space == std::string::npos) {
            return false;
        }
        std::string endpoint = rest.substr(0, space);
        std::string word = rest.substr(space + 1);
        if (!IsEndpointText(endpoint)) {
            return false;
        }
        Block* block = FindBlock(endpoint);
        if (word == kCheckBlockBegin) {
            if (block != nullptr) {
                ++m_summary.nUnfinished;
                RemoveBlock(block);
            }
            Block fresh;
            fresh.endpoint = endpoint;
            m_blocks.push_back(fresh);
            return true;
        }
        if (block == nullptr) {
            return false;
        }
        std::string argument;
        int number = 0;
        if (StartsWith(word, kCheckPing, &argument) && ParseDecimal(argument, &number)) {
            bool fits = !block->bPing && !block->bTimeout;
            block->bPing = true;
            return fits;
        }
        if (StartsWith(word, kCheckTimeout, &argument) && ParseDecimal(argument, &number)) {
            bool fits = !block->bPing && !block->bTimeout;
            block->bTimeout = true;
            return fits;
        }
        if (StartsWith(word, kCheckAnonymity, &argument) && ParseOutcome(argument) != kUnknown) {
            bool fits = block->bPing && block->anonymity == kUnknown;
            block->anonymity = ParseOutcome(argument);
            return fits;
        }
        if (StartsWith(word, kCheckAuthenticity, &argument) && ParseOutcome(argument) != kUnknown) {
            bool fits = block->anonymity == kPassed && block->authenticity == kUnknown;
            block->authenticity = ParseOutcome(argument);
            return fits;
        }
        if (ParseOutcome(word) != kUnknown) {
            return Verdict(block, ParseOutcome(word) == kPassed);
        }
        if (word == kCheckBlockEnd) {
            if (!block->bVerdict) {
                ++m_summary.nUnfinished;
            }
            RemoveBlock(block);
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
    std::vector<Block> m_blocks;
};

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::wstring Number(int value) {
    wchar_t text[16];
    _snwprintf(text, 16, L"%d", value);
    text[15] = L'\0';
    return text;
}

} // namespace

CheckLogSummary AnalyseCheckLogText(const std::string& text) {
    return CCheckLogAnalyser().Analyse(text);
}

std::wstring DescribeCheckLog(const CheckLogSummary& summary) {
    if (summary.nRuns == 0) {
        return summary.nBadLines > 0 ? L"The check log holds no readable check (" +
                                           Number(summary.nBadLines) + L" unreadable lines)."
                                     : std::wstring(L"The check log holds no check.");
    }
    std::wstring text = L"Last check";
    if (!summary.runStarted.empty()) {
        text += L" (started " + Widen(summary.runStarted) + L")";
    }
    text += L": " + Number(summary.nChecked) + L" endpoints checked, " + Number(summary.nPassed) +
            L" passed, " + Number(summary.nFailed) + L" failed (" + Number(summary.nTimedOut) +
            L" timed out).";
    if (summary.nUnfinished > 0) {
        text += L" " + Number(summary.nUnfinished) + L" endpoints unfinished.";
    }
    if (!summary.bRunFinished) {
        text += L" The check has not finished.";
    }
    if (summary.nBadLines > 0) {
        text += L" " + Number(summary.nBadLines) + L" lines could not be read.";
    }
    return text;
}

} // namespace VeilpathEngine
} // namespace Corvinex
