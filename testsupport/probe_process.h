// Running a probe program built for the tests and reading its verdict from its exit code.
#pragma once

#include "testsupport/test_paths.h"

#include <windows.h>

#include <string>

namespace VpeTest {

// Runs build/tests/<name> detached (no console), with standard handles on NUL, as a GUI program
// started from a shell, and returns its exit code; 0xFFFFFFFF when it cannot start and
// 0xFFFFFFFE when it does not end within 30 s (it is then ended). Without DETACHED_PROCESS Wine
// lets a GUI child of a console program share that console, so its own AllocConsole fails;
// without valid standard handles Wine's msvcrt refuses to freopen its standard output.
inline DWORD RunProbe(const wchar_t* name) {
    std::wstring path = ProgramFolder() + name;
    std::wstring commandLine = L"\"" + path + L"\"";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE nul =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                  DETACHED_PROCESS, nullptr, nullptr, &startup, &process);
    CloseHandle(nul);
    if (!started) {
        return 0xFFFFFFFF;
    }
    DWORD code = 0xFFFFFFFE;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

} // namespace VpeTest
