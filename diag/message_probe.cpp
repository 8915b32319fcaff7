// Test helper, a GUI program: passes each command-line argument to ShowInternalMessage as the
// finished text of one message. An argument "@wait:<event>" instead waits for the named event,
// "@signal:<event>" sets it.
#include "diag/internal_message.h"

#include <windows.h>

#include <shellapi.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr) {
        return 2;
    }
    for (int i = 1; i < count; ++i) {
        if (wcsncmp(args[i], L"@wait:", 6) == 0) {
            HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, args[i] + 6);
            if (event == nullptr || WaitForSingleObject(event, 30000) != WAIT_OBJECT_0) {
                return 3;
            }
            CloseHandle(event);
            continue;
        }
        if (wcsncmp(args[i], L"@signal:", 8) == 0) {
            HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, args[i] + 8);
            if (event == nullptr || !SetEvent(event)) {
                return 3;
            }
            CloseHandle(event);
            continue;
        }
        Corvinex::ShowInternalMessage(L"%s", args[i]);
    }
    LocalFree(args);
    return 0;
}
