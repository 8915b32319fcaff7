// Test helper, a GUI program like vpetest.exe: opens the console through CConsole holders,
// prints, reads the console screen back and reports what it saw through its exit code.
#include "diag/console.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

enum Failure {
    kWrongCountWithTwo = 1,
    kWrongCountWithOne = 2,
    kNoConsoleWindow = 4,
    kTextNotOnScreen = 8,
    kConsoleLeftOpen = 16,
};

HANDLE OpenConsoleOutput() {
    return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

std::wstring ReadConsoleScreen() {
    HANDLE out = OpenConsoleOutput();
    if (out == INVALID_HANDLE_VALUE) {
        return std::wstring();
    }
    std::wstring text;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(out, &info)) {
        DWORD cells = static_cast<DWORD>(info.dwSize.X) * (info.dwCursorPosition.Y + 1);
        text.resize(cells);
        DWORD read = 0;
        COORD origin = {0, 0};
        ReadConsoleOutputCharacterW(out, &text[0], cells, origin, &read);
        text.resize(read);
    }
    CloseHandle(out);
    return text;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int failures = 0;
    {
        Corvinex::CConsole first;
        {
            Corvinex::CConsole second;
            if (Corvinex::CConsole::GetHolderCount() != 2) {
                failures |= kWrongCountWithTwo;
            }
        }
        if (Corvinex::CConsole::GetHolderCount() != 1) {
            failures |= kWrongCountWithOne;
        }
        if (GetConsoleWindow() == nullptr) {
            failures |= kNoConsoleWindow;
        }
        printf("console check %d", 42);
        printf("record two");
        fflush(stdout);
        if (ReadConsoleScreen().find(L"console check 42record two") == std::wstring::npos) {
            failures |= kTextNotOnScreen;
        }
    }
    HANDLE out = OpenConsoleOutput();
    if (out != INVALID_HANDLE_VALUE) {
        failures |= kConsoleLeftOpen;
        CloseHandle(out);
    }
    return failures;
}
