#include "tools/driver/gui_session.h"

#include "tools/driver/process_windows.h"

namespace Corvinex {
namespace Driver {

namespace {

const DWORD kPollMs = 15;
const DWORD kPingMs = 100;
// The pause between two round trips of WaitUntilIdle.
const DWORD kQuietGapMs = 60;

ULONGLONG Deadline(DWORD timeoutMs) {
    return GetTickCount64() + timeoutMs;
}

DWORD Remaining(ULONGLONG deadline) {
    ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

} // namespace

const wchar_t* WaitOutcomeName(WaitOutcome outcome) {
    switch (outcome) {
    case WaitOutcome::Finished:
        return L"finished";
    case WaitOutcome::ProcessEnded:
        return L"process ended";
    case WaitOutcome::TimedOut:
        return L"timed out";
    case WaitOutcome::NoWindow:
        return L"no window";
    }
    return L"?";
}

bool CGuiSession::AnswerBox(HWND box, ULONGLONG deadline, CommandResult* result) {
    SeenBox seen = ReadMessageBox(box, Remaining(deadline));
    if (!IsWindow(box))
        return true;
    result->boxes.push_back(seen);
    m_boxLog.push_back(seen);
    ConfirmMessageBox(box);
    // Under Wine without a window manager, hiding the box makes its program wait about 2 s
    // for the X server to confirm (unless the X11 driver's "Managed" setting is "N").
    return WaitForWindowGone(box, Remaining(deadline));
}

CommandResult CGuiSession::WaitForMainWindow(const std::wstring& className,
                                             const std::wstring& title, DWORD timeoutMs) {
    CommandResult result;
    const ULONGLONG deadline = Deadline(timeoutMs);
    for (;;) {
        m_mainWindow = FindProcessWindow(m_process.Id(), className, title);
        if (m_mainWindow != nullptr) {
            result.outcome = WaitOutcome::Finished;
            return result;
        }
        std::vector<HWND> boxes = FindMessageBoxes(m_process.Id());
        if (!boxes.empty()) {
            if (!AnswerBox(boxes.front(), deadline, &result)) {
                result.outcome = WaitOutcome::TimedOut;
                return result;
            }
            continue;
        }
        if (!m_process.IsRunning()) {
            result.outcome = WaitOutcome::ProcessEnded;
            return result;
        }
        if (GetTickCount64() >= deadline) {
            result.outcome = WaitOutcome::TimedOut;
            return result;
        }
        Sleep(kPollMs);
    }
}

CommandResult CGuiSession::SendCommand(WORD commandId, DWORD timeoutMs) {
    if (m_mainWindow == nullptr || !IsWindow(m_mainWindow)) {
        CommandResult result;
        result.outcome = m_process.IsRunning() ? WaitOutcome::NoWindow : WaitOutcome::ProcessEnded;
        return result;
    }
    PostMessageW(m_mainWindow, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
    return WaitUntilIdle(timeoutMs);
}

CommandResult CGuiSession::WaitUntilIdle(DWORD timeoutMs) {
    CommandResult result;
    const ULONGLONG deadline = Deadline(timeoutMs);
    // A sent message overtakes posted ones, so the first round trip after the post may come
    // back before the command was even taken from the queue. The second one comes back only
    // after the command has returned or while it waits in a box's modal loop; a box is looked
    // for after every round trip, so quiet round trips in a row mean the command is done.
    int quietRounds = 0;
    for (;;) {
        std::vector<HWND> boxes = FindMessageBoxes(m_process.Id());
        if (!boxes.empty()) {
            quietRounds = 0;
            if (!AnswerBox(boxes.front(), deadline, &result)) {
                result.outcome =
                    m_process.IsRunning() ? WaitOutcome::TimedOut : WaitOutcome::ProcessEnded;
                return result;
            }
            continue;
        }
        if (quietRounds >= 3) {
            result.outcome = WaitOutcome::Finished;
            return result;
        }
        if (!m_process.IsRunning()) {
            result.outcome = WaitOutcome::ProcessEnded;
            return result;
        }
        if (m_mainWindow == nullptr || !IsWindow(m_mainWindow)) {
            // The window is gone (Exit): what is left is the program's way out.
            if (m_process.WaitForExit(Remaining(deadline))) {
                result.outcome = WaitOutcome::ProcessEnded;
                return result;
            }
            // It keeps running without its window: maybe a box on the way out.
            if (!FindMessageBoxes(m_process.Id()).empty())
                continue;
            result.outcome = WaitOutcome::TimedOut;
            return result;
        }
        if (GetTickCount64() >= deadline) {
            result.outcome = WaitOutcome::TimedOut;
            return result;
        }
        if (PingWindow(m_mainWindow, kPingMs))
            ++quietRounds;
        // Spaced round trips: one call of the program's message fetch can answer two pings that
        // follow each other closely before it even takes the posted command from its queue.
        Sleep(kQuietGapMs);
    }
}

CommandResult CGuiSession::WaitForExit(DWORD timeoutMs) {
    CommandResult result;
    const ULONGLONG deadline = Deadline(timeoutMs);
    for (;;) {
        std::vector<HWND> boxes = FindMessageBoxes(m_process.Id());
        if (!boxes.empty()) {
            if (!AnswerBox(boxes.front(), deadline, &result)) {
                result.outcome =
                    m_process.IsRunning() ? WaitOutcome::TimedOut : WaitOutcome::ProcessEnded;
                return result;
            }
            continue;
        }
        if (m_process.WaitForExit(kPollMs)) {
            result.outcome = WaitOutcome::ProcessEnded;
            return result;
        }
        if (GetTickCount64() >= deadline) {
            result.outcome = WaitOutcome::TimedOut;
            return result;
        }
    }
}

std::wstring CGuiSession::Title() const {
    if (m_mainWindow == nullptr || !IsWindow(m_mainWindow))
        return std::wstring();
    return GetWindowTitle(m_mainWindow);
}

std::wstring CGuiSession::WaitForTitleChange(const std::wstring& previous, DWORD timeoutMs) const {
    const ULONGLONG deadline = Deadline(timeoutMs);
    for (;;) {
        std::wstring title = Title();
        if (title != previous || GetTickCount64() >= deadline || !m_process.IsRunning())
            return title;
        Sleep(kPollMs);
    }
}

} // namespace Driver
} // namespace Corvinex
