// post_command.exe COMMAND [SECONDS]: waits (up to SECONDS, 30 by default) for the harness's main
// window, then posts it the menu command (a name as vpedrive takes it, or an id) and ends without
// waiting: whatever box the command opens stays open. run.sh uses it for its screenshot.
// Exit 0 posted, 1 no window in time, 2 bad arguments.
#include "tools/driver/harness_commands.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>

using namespace Corvinex::Driver;

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    WORD id = 0;
    if (!argv || argc < 2 || argc > 3 || !FindHarnessCommand(argv[1], &id)) {
        if (argv)
            LocalFree(argv);
        return 2;
    }
    const DWORD seconds = argc == 3 ? wcstoul(argv[2], nullptr, 10) : 30;
    LocalFree(argv);

    const ULONGLONG deadline = GetTickCount64() + seconds * 1000ULL;
    for (;;) {
        HWND window = FindWindowW(kHarnessWindowClass, nullptr);
        if (window) {
            // Posted, not sent: the box the command opens belongs to the harness's own loop.
            return PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0) ? 0 : 1;
        }
        if (GetTickCount64() >= deadline)
            return 1;
        Sleep(200);
    }
}
