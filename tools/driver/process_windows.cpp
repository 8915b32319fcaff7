#include "tools/driver/process_windows.h"

namespace Corvinex {
namespace Driver {

namespace {

struct SearchState {
    DWORD processId;
    const std::wstring* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    SearchState* state = reinterpret_cast<SearchState*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != state->processId)
        return TRUE;
    if (!state->className->empty() && GetWindowClass(window) != *state->className)
        return TRUE;
    state->found.push_back(window);
    return TRUE;
}

} // namespace

std::vector<HWND> FindProcessWindows(DWORD processId, const std::wstring& className) {
    SearchState state = {processId, &className, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

HWND FindProcessWindow(DWORD processId, const std::wstring& className, const std::wstring& title) {
    for (HWND window : FindProcessWindows(processId, className)) {
        if (title.empty() || GetWindowTitle(window) == title)
            return window;
    }
    return nullptr;
}

HWND WaitForProcessWindow(HANDLE process, DWORD processId, const std::wstring& className,
                          const std::wstring& title, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        HWND window = FindProcessWindow(processId, className, title);
        if (window != nullptr)
            return window;
        if (process != nullptr && WaitForSingleObject(process, 0) != WAIT_TIMEOUT)
            return nullptr;
        if (GetTickCount64() >= deadline)
            return nullptr;
        Sleep(20);
    }
}

std::wstring GetWindowClass(HWND window) {
    wchar_t name[256] = {0};
    int n = GetClassNameW(window, name, 256);
    return std::wstring(name, n > 0 ? n : 0);
}

std::wstring GetWindowTitle(HWND window) {
    int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int n = GetWindowTextW(window, &text[0], length + 1);
    text.resize(n > 0 ? n : 0);
    return text;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (IsWindow(window)) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(10);
    }
    return true;
}

bool PingWindow(HWND window, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

} // namespace Driver
} // namespace Corvinex
