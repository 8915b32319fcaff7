// Message boxes of another process: finding, reading and confirming them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace Corvinex {
namespace Driver {

// The window class of message boxes and dialogs.
extern const wchar_t kDialogClass[];
// The control id of a message box's text.
const int kMessageBoxTextId = 0xFFFF;

// What one box showed.
struct SeenBox {
    std::wstring caption;
    std::wstring text;
};

// The dialog boxes (class "#32770") of the process, in Z order. A task-modal box has no
// owner, so it is found by its process, not through the main window.
std::vector<HWND> FindMessageBoxes(DWORD processId);

// Caption and text of the box. Waits up to timeoutMs until the box's thread pumps messages,
// so a box still being built is read only after its text has been set.
SeenBox ReadMessageBox(HWND box, DWORD timeoutMs);

// Presses OK: posts WM_COMMAND IDOK to the box. False when the box is gone.
bool ConfirmMessageBox(HWND box);

} // namespace Driver
} // namespace Corvinex
