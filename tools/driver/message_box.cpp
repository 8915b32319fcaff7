#include "tools/driver/message_box.h"

#include "tools/driver/process_windows.h"

namespace Corvinex {
namespace Driver {

const wchar_t kDialogClass[] = L"#32770";

std::vector<HWND> FindMessageBoxes(DWORD processId) {
    return FindProcessWindows(processId, kDialogClass);
}

SeenBox ReadMessageBox(HWND box, DWORD timeoutMs) {
    // The box's text is set while it is being created, before its modal loop runs; a sent
    // message is only taken once that loop pumps, so after the round trip the text is there.
    PingWindow(box, timeoutMs);
    SeenBox seen;
    seen.caption = GetWindowTitle(box);
    HWND text = GetDlgItem(box, kMessageBoxTextId);
    if (text != nullptr)
        seen.text = GetWindowTitle(text);
    return seen;
}

bool ConfirmMessageBox(HWND box) {
    return PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0) != FALSE;
}

} // namespace Driver
} // namespace Corvinex
