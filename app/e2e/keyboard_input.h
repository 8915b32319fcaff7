// Keystrokes for another process's window, through the system's input queue.
#pragma once

#include <windows.h>

#include <vector>

namespace Corvinex {
namespace E2e {

// Brings `window` to the foreground and types the chord: presses the virtual keys in order and
// releases them in reverse order. False when the window did not get the foreground within a
// second or the system refused an event. Another program can still take the foreground before
// the keys arrive: callers check the effect and may type again.
bool PressChord(HWND window, const std::vector<WORD>& keys);

} // namespace E2e
} // namespace Corvinex
