// CGuiSession: drives the main window of a started program through its menu commands and
// answers every message box the program shows on the way.
#pragma once

#include "tools/driver/child_process.h"
#include "tools/driver/message_box.h"

#include <windows.h>

#include <string>
#include <vector>

namespace Corvinex {
namespace Driver {

// How a wait of the session ended.
enum class WaitOutcome {
    Finished,     // the command ran to its end (no box open, the window idle again)
    ProcessEnded, // the program ended meanwhile
    TimedOut,     // the time ran out: the program is busy or hung
    NoWindow,     // there is no main window to talk to
};

const wchar_t* WaitOutcomeName(WaitOutcome outcome);

// What one command (or one wait) produced: the boxes in the order they appeared.
struct CommandResult {
    WaitOutcome outcome = WaitOutcome::NoWindow;
    std::vector<SeenBox> boxes;
};

class CGuiSession {
public:
    // Drives the program `process` owns; the process object must outlive the session.
    explicit CGuiSession(const CChildProcess& process) : m_process(process) {}
    CGuiSession(const CGuiSession&) = delete;
    CGuiSession& operator=(const CGuiSession&) = delete;

    // Waits up to timeoutMs for the main window of class `className` (and title `title` when
    // not empty), confirming every box shown before it. Finished when the window is there;
    // ProcessEnded when the program ended without one (its boxes are in the result).
    CommandResult WaitForMainWindow(const std::wstring& className, const std::wstring& title,
                                    DWORD timeoutMs);

    // Posts WM_COMMAND `commandId` to the main window and waits up to timeoutMs until it has
    // finished, confirming and collecting every box it shows.
    CommandResult SendCommand(WORD commandId, DWORD timeoutMs);

    // Confirms and collects boxes until the command in progress has finished (see
    // SendCommand), without posting anything.
    CommandResult WaitUntilIdle(DWORD timeoutMs);

    // Confirms and collects boxes until the program ends or timeoutMs runs out.
    CommandResult WaitForExit(DWORD timeoutMs);

    // The main window found by WaitForMainWindow; null before.
    HWND MainWindow() const { return m_mainWindow; }
    // The main window's current title; empty without a window.
    std::wstring Title() const;
    // Waits up to timeoutMs for the title to differ from `previous`; returns the title then
    // (which equals `previous` when it did not change in time).
    std::wstring WaitForTitleChange(const std::wstring& previous, DWORD timeoutMs) const;

    // Every box the session has confirmed so far, in order.
    const std::vector<SeenBox>& BoxLog() const { return m_boxLog; }

private:
    // Reads, confirms and logs one box; false when it did not close before the deadline.
    bool AnswerBox(HWND box, ULONGLONG deadline, CommandResult* result);

    const CChildProcess& m_process;
    HWND m_mainWindow = nullptr;
    std::vector<SeenBox> m_boxLog;
};

} // namespace Driver
} // namespace Corvinex
