#include "diag/console.h"

#include <windows.h>

#include <stdio.h>

namespace Corvinex {

namespace {
int g_consoleHolders = 0;
}

CConsole::CConsole() {
    if (g_consoleHolders == 0) {
        AllocConsole();
        // Wine's msvcrt refuses to reopen a standard stream that had no handle at start-up (a
        // GUI program started without standard handles); Windows reopens it.
        FILE* stream = nullptr;
#if defined(_MSC_VER)
        freopen_s(&stream, "CONOUT$", "a", stdout);
#else
        stream = freopen("CONOUT$", "a", stdout);
#endif
        (void)stream;
    }
    ++g_consoleHolders;
}

CConsole::~CConsole() {
    --g_consoleHolders;
    if (g_consoleHolders == 0) {
        FreeConsole();
    }
}

int CConsole::GetHolderCount() {
    return g_consoleHolders;
}

} // namespace Corvinex
