#include "check/report_line.h"

#include <windows.h>

#include <wchar.h>

namespace Corvinex {
namespace Check {

const wchar_t kCheckBeganLine[] = L"stage begin";

namespace {

// A lock that needs no set-up, so a crash reporter may write before anything else ran.
volatile LONG g_writing = 0;
const DWORD kPatienceMs = 2000;

void WriteConverted(HANDLE out, const wchar_t* text, int chars) {
    char small[1024];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, chars, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return;
    char* buffer = small;
    if (bytes > static_cast<int>(sizeof(small))) {
        buffer = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(bytes)));
        if (buffer == nullptr)
            return;
    }
    WideCharToMultiByte(CP_UTF8, 0, text, chars, buffer, bytes, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(out, buffer, static_cast<DWORD>(bytes), &written, nullptr);
    if (buffer != small)
        HeapFree(GetProcessHeap(), 0, buffer);
}

} // namespace

void WriteReportLine(const wchar_t* line) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return;
    // A writer that never lets go (a thread ended by ExitProcess while it wrote) must not keep
    // the last lines from being written: after a while the line goes out regardless.
    const DWORD started = GetTickCount();
    while (InterlockedCompareExchange(&g_writing, 1, 0) != 0 &&
           GetTickCount() - started < kPatienceMs)
        Sleep(0);
    DWORD mode = 0;
    DWORD written = 0;
    const int chars = static_cast<int>(wcslen(line));
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, line, static_cast<DWORD>(chars), &written, nullptr);
        WriteConsoleW(out, L"\n", 1, &written, nullptr);
    } else {
        if (chars > 0)
            WriteConverted(out, line, chars);
        WriteFile(out, "\n", 1, &written, nullptr);
    }
    InterlockedExchange(&g_writing, 0);
}

} // namespace Check
} // namespace Corvinex
