// The console of a GUI program, observed through a probe program that uses CConsole as
// vpetest.exe does (a test program's own standard output belongs to ctest).
#include "testsupport/test_paths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

// Started detached (no console), with standard handles on NUL, as a GUI program started from a
// shell. Without DETACHED_PROCESS Wine lets the GUI child share this program's console and
// AllocConsole fails; without valid standard handles Wine's msvcrt refuses to freopen stdout.
DWORD RunProbe() {
    std::wstring path = VpeTest::ProgramFolder() + L"console_probe.exe";
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

} // namespace

TEST(Console, HoldersOpenTheConsoleShowStandardOutputAndTheLastOneClosesIt) {
    // Bits: 1, 2 wrong holder counts; 4 no console window; 8 printed text not on the console
    // screen; 16 console still open after the last holder went.
    EXPECT_EQ(0u, RunProbe());
}
