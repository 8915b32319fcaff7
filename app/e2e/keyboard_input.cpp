#include "app/e2e/keyboard_input.h"

namespace Corvinex {
namespace E2e {

bool PressChord(HWND window, const std::vector<WORD>& keys) {
    // Accelerators of character keys with Alt are matched against the thread's key state, not
    // the message, so a posted WM_SYSCHAR is not enough: the keys go through the input queue.
    // Typed keys go to whichever window has the foreground when the system delivers them, and
    // test programs running in parallel on the same desktop may take it meanwhile.
    const ULONGLONG deadline = GetTickCount64() + 1000;
    while (GetForegroundWindow() != window) {
        if (GetTickCount64() >= deadline || !IsWindow(window))
            return false;
        SetForegroundWindow(window);
        Sleep(10);
    }
    std::vector<INPUT> events;
    for (WORD key : keys) {
        INPUT down = {};
        down.type = INPUT_KEYBOARD;
        down.ki.wVk = key;
        events.push_back(down);
    }
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        INPUT up = {};
        up.type = INPUT_KEYBOARD;
        up.ki.wVk = *key;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        events.push_back(up);
    }
    UINT sent = SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
    return sent == events.size();
}

} // namespace E2e
} // namespace Corvinex
