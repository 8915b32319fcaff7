// Benchmark of the harness (not a test): the time from process start to the first status title
// against a minimal window program showing its window. The first title comes with the first tick
// of the one-second status timer. (The idle CPU figure is taken by bench.sh from /proc: Wine's
// GetProcessTimes answers 0 for any process but the caller's own.)
// Usage: harness_bench [runs]. Run from build/bin with vpe.dll beside it.
#include "tools/driver/child_process.h"
#include "tools/driver/process_windows.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using Corvinex::Driver::CChildProcess;

namespace {

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH * 4] = {0};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring text(path, n);
    return text.substr(0, text.find_last_of(L"\\/") + 1);
}

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::wstring TitleOf(HWND window) {
    wchar_t text[512] = {0};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        1000, &length);
    return text;
}

// Milliseconds from CreateProcess until a window of the class shows a title starting with
// `prefix`; negative when it did not within 30 s.
double TimeToTitle(const std::wstring& program, const wchar_t* className, const wchar_t* prefix) {
    CChildProcess process;
    double start = Now();
    if (!process.Start(program, L"", ProgramFolder())) {
        return -1;
    }
    double deadline = start + 30000;
    while (Now() < deadline) {
        HWND window = FindWindowW(className, nullptr);
        if (window != nullptr && TitleOf(window).compare(0, wcslen(prefix), prefix) == 0) {
            double elapsed = Now() - start;
            PostMessageW(window, WM_CLOSE, 0, 0);
            process.WaitForExit(10000);
            return elapsed;
        }
        Sleep(5);
    }
    return -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = argc > 1 ? _wtoi(argv[1]) : 5;
    std::wstring folder = ProgramFolder();
    std::vector<double> harness, minimal;
    for (int i = 0; i < runs; ++i) {
        minimal.push_back(
            TimeToTitle(folder + L"minimal_window.exe", L"VPEMINIMALWINDOW", L"minimal"));
        harness.push_back(
            TimeToTitle(folder + L"vpetest.exe", L"ENGINEVEILPATHTESTENV", L"VPETEST:"));
    }
    double h = Median(harness), m = Median(minimal);
    printf("start to first status title: %.0f ms (median of %d); minimal window program: %.0f ms;"
           " ratio %.2f\n",
           h, runs, m, m > 0 ? h / m : 0.0);
    // The line bench.sh collects: figure, value, baseline, ratio.
    printf("BENCH|start to first status title (vs a minimal window)|%.0f ms|%.0f ms|%.2f\n", h, m,
           m > 0 ? h / m : 0.0);
    return h > 0 && m > 0 ? 0 : 1;
}
