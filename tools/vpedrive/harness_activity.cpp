#include "tools/vpedrive/harness_activity.h"

#include "diag/call_trace.h"

#include <cwchar>

namespace Corvinex {
namespace Vpedrive {

namespace {

// Splits "<prefix><word> <what>"; false for a line of another sender.
bool Parse(const std::wstring& line, std::wstring* word, std::wstring* what) {
    const std::wstring prefix = VPE_CALL_TRACE_PREFIX;
    if (line.compare(0, prefix.size(), prefix) != 0)
        return false;
    const std::wstring rest = line.substr(prefix.size());
    const size_t blank = rest.find(L' ');
    *word = rest.substr(0, blank);
    *what = blank == std::wstring::npos ? std::wstring() : rest.substr(blank + 1);
    return true;
}

// The command id of "command <id>"; -1 for anything else.
int CommandId(const std::wstring& what) {
    const std::wstring command = std::wstring(VPE_CALL_TRACE_COMMAND) + L" ";
    if (what.compare(0, command.size(), command) != 0)
        return -1;
    return static_cast<int>(wcstol(what.c_str() + command.size(), nullptr, 10));
}

} // namespace

void CHarnessActivity::Feed(const std::vector<std::wstring>& lines) {
    for (const std::wstring& line : lines) {
        std::wstring word, what;
        if (!Parse(line, &word, &what))
            continue;
        m_traced = true;
        if (word == VPE_CALL_TRACE_BEGIN) {
            Frame frame;
            frame.status = what == VPE_CALL_TRACE_STATUS;
            frame.command = CommandId(what);
            m_open.push_back(frame);
        } else if (word == VPE_CALL_TRACE_END) {
            if (!m_open.empty())
                m_open.pop_back();
        } else if (word == VPE_CALL_TRACE_CALL && !m_open.empty()) {
            m_open.back().lastCall = what;
        }
    }
}

bool CHarnessActivity::InStatusUpdate() const {
    return !m_open.empty() && m_open.back().status;
}

std::wstring CHarnessActivity::StatusQuery() const {
    return InStatusUpdate() ? m_open.back().lastCall : std::wstring();
}

int CHarnessActivity::OpenCommand() const {
    for (size_t i = m_open.size(); i > 0; --i) {
        if (m_open[i - 1].command >= 0)
            return m_open[i - 1].command;
    }
    return -1;
}

} // namespace Vpedrive
} // namespace Corvinex
