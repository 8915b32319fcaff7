// Keystrokes for another process's window, through the system's input queue.
#pragma once

#include <windows.h>

#include <vector>

namespace Corvinex {
namespace E2e {

// Brings `window` to the foreground and types the chord: presses the virtual keys in order and
// releases them in reverse order. True when the system took every event.
bool PressChord(HWND window, const std::vector<WORD>& keys);

} // namespace E2e
} // namespace Corvinex
