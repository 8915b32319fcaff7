// Finding and reading the top-level windows of another process.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace Corvinex {
namespace Driver {

// The top-level windows of process `processId` whose class name is `className` (every class
// when it is empty), in the system's Z order. Hidden windows are included.
std::vector<HWND> FindProcessWindows(DWORD processId, const std::wstring& className);

// The first top-level window of the process with class `className` and, when `title` is not
// empty, exactly that title; null when there is none.
HWND FindProcessWindow(DWORD processId, const std::wstring& className, const std::wstring& title);

// Waits up to timeoutMs for FindProcessWindow to find a window; null when the time runs out or
// `process` (when not null) ends first.
HWND WaitForProcessWindow(HANDLE process, DWORD processId, const std::wstring& className,
                          const std::wstring& title, DWORD timeoutMs);

// The window's class name; empty for a window that is gone.
std::wstring GetWindowClass(HWND window);

// The window's text (title of a top-level window). For a window of another process Windows
// reads the stored text without sending it a message, so a busy target cannot hang the call.
std::wstring GetWindowTitle(HWND window);

// Waits up to timeoutMs until the window no longer exists; true then.
bool WaitForWindowGone(HWND window, DWORD timeoutMs);

// A message round trip: true when the window's thread took a sent WM_NULL within timeoutMs,
// i.e. it is pumping messages (in its own loop or in a modal one).
bool PingWindow(HWND window, DWORD timeoutMs);

} // namespace Driver
} // namespace Corvinex
