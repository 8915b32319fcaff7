// Benchmark of the harness (not a test). Figures, each against a baseline measured in the same run:
// - start to main window shown (FindWindow + IsWindowVisible polled), with the reference engine
//   not installed and installed, against a minimal window program shown; 3 warm-up runs, then
//   the median of alternating runs;
// - start to the first status title (it comes with the first tick of the one-second timer)
//   against the minimal window program showing its title;
// - the reference engine's Update as its caller sees it, against the whole update it starts;
// - "vpetest.exe fakecheck" from CreateProcess to its end, against the pauses the run contains.
// (The idle CPU figure is taken by bench.sh from /proc: Wine's GetProcessTimes answers 0 for any
// process but the caller's own.)
// Usage: harness_bench [title runs] [shown runs] [harness folder] [label]. Run from build/bin with
// vpe.dll beside it. With a harness folder (relative to this program's folder, for example
// ..\msvc\bin for the MSVC-ABI build), only the window-shown and fake-check figures are taken,
// for the vpetest.exe and vpe.dll there, each figure named with `label` first.
// Exit code 0 when every figure was measured, 1 otherwise.
#include "engine/check_log.h"
#include "engine/engine_interface.h"
#include "testsupport/scratch_folder.h"
#include "tools/driver/child_process.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

using Corvinex::Driver::CChildProcess;

namespace {

const wchar_t kHarnessClass[] = L"ENGINEVEILPATHTESTENV";
const wchar_t kMinimalClass[] = L"VPEMINIMALWINDOW";
// The engine folder variable the reference engine honours; each measurement gives its own.
const wchar_t kEngineHomeVariable[] = L"VPE_ENGINE_HOME";

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

// What a measurement waits for: the main window visible, or its title starting with a prefix.
struct Goal {
    const wchar_t* className;
    const wchar_t* titlePrefix; // null: visible is enough
};

bool Reached(HWND window, const Goal& goal) {
    if (window == nullptr || !IsWindowVisible(window)) {
        return false;
    }
    return goal.titlePrefix == nullptr ||
           TitleOf(window).compare(0, wcslen(goal.titlePrefix), goal.titlePrefix) == 0;
}

// Milliseconds from CreateProcess until the goal is reached; negative when it was not within
// 30 s. The program is closed afterwards, and killed by its owner if it does not end.
double TimeTo(const std::wstring& program, const Goal& goal, const std::wstring& engineHome) {
    CChildProcess process;
    process.SetEnvironment(kEngineHomeVariable, engineHome);
    double start = Now();
    if (!process.Start(program, L"", ProgramFolder())) {
        return -1;
    }
    double deadline = start + 30000;
    while (Now() < deadline && process.IsRunning()) {
        HWND window = FindWindowW(goal.className, nullptr);
        if (Reached(window, goal)) {
            double elapsed = Now() - start;
            PostMessageW(window, WM_CLOSE, 0, 0);
            process.WaitForExit(10000);
            return elapsed;
        }
        // Short sleeps: the figure's resolution is this poll (Wine's Sleep(1) is about 1 ms).
        Sleep(goal.titlePrefix == nullptr ? 1 : 5);
    }
    return -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

bool AllMeasured(const std::vector<double>& values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return v > 0; });
}

// The line bench.sh collects: figure, value, baseline, ratio. False when a figure is missing.
bool BenchLine(const char* figure, const std::vector<double>& values,
               const std::vector<double>& baselines, const char* unit = "ms") {
    double v = Median(values), b = Median(baselines);
    bool ok = AllMeasured(values) && AllMeasured(baselines) && b > 0;
    printf("BENCH|%s|%.1f %s|%.1f %s|%.2f\n", figure, v, unit, b, unit, ok ? v / b : 0.0);
    if (!ok) {
        printf("  FAILED: a run of \"%s\" did not finish\n", figure);
    }
    return ok;
}

// Writes the reference engine's install marker into home (a folder path with a trailing
// backslash), as its Install does; false when it cannot.
bool InstallInto(const std::wstring& home) {
    CreateDirectoryW(home.c_str(), nullptr);
    CreateDirectoryW((home + L"log").c_str(), nullptr);
    HANDLE file = CreateFileW((home + L"vpe.installed").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const char marker[] = "Veilpath reference engine 1.00\r\n";
    DWORD written = 0;
    bool ok = WriteFile(file, marker, sizeof marker - 1, &written, nullptr) != 0;
    return CloseHandle(file) && ok;
}

// Start to main window shown, engine installed or not, against the minimal window shown.
bool BenchShown(const std::wstring& folder, const std::wstring& harnessFolder,
                const std::string& label, const std::wstring& home, bool installed, int runs) {
    const Goal shown = {kHarnessClass, nullptr};
    const Goal minimalShown = {kMinimalClass, nullptr};
    std::vector<double> harness, minimal;
    for (int i = -3; i < runs; ++i) {
        double m = TimeTo(folder + L"minimal_window.exe", minimalShown, home);
        double h = TimeTo(harnessFolder + L"vpetest.exe", shown, home);
        if (i >= 0) { // the first three warm Wine's caches and are not counted
            minimal.push_back(m);
            harness.push_back(h);
        }
    }
    printf("%sstart to main window shown, engine %s: %.1f ms (median of %d); minimal window: "
           "%.1f ms\n",
           label.c_str(), installed ? "installed" : "not installed", Median(harness), runs,
           Median(minimal));
    const std::string figure =
        label + (installed ? "start to main window shown, engine installed (vs a minimal "
                             "window shown)"
                           : "start to main window shown, engine not installed (vs a "
                             "minimal window shown)");
    return BenchLine(figure.c_str(), harness, minimal);
}

// One "vpetest.exe fakecheck" of the harness in `harnessFolder`, from CreateProcess to its end,
// against the pauses the run contains. With the message box switched on the run waits for its
// box and the figure fails.
bool BenchFakeCheck(const std::wstring& harnessFolder, const std::string& label) {
    CChildProcess process;
    double elapsed = -1;
    double start = Now();
    if (process.Start(harnessFolder + L"vpetest.exe", L"fakecheck", harnessFolder)) {
        if (process.WaitForExit(30000)) {
            elapsed = Now() - start;
        } else {
            process.Kill(1);
            printf("  vpetest.exe fakecheck did not end within 30 s (is the message box on?)\n");
        }
    }
    const std::string figure = label + "vpetest.exe fakecheck, start to end (vs its pauses)";
    return BenchLine(figure.c_str(), {elapsed}, {double(Corvinex::kFakeCheckPausesMs)});
}

bool BenchTitle(const std::wstring& folder, const std::wstring& home, int runs) {
    const Goal title = {kHarnessClass, L"VPETEST:"};
    const Goal minimalTitle = {kMinimalClass, L"minimal"};
    std::vector<double> harness, minimal;
    for (int i = 0; i < runs; ++i) {
        minimal.push_back(TimeTo(folder + L"minimal_window.exe", minimalTitle, home));
        harness.push_back(TimeTo(folder + L"vpetest.exe", title, home));
    }
    return BenchLine("start to first status title (vs a minimal window)", harness, minimal);
}

// The reference engine's Update as the harness's thread feels it, against the whole update
// (Update, then GetLastUpdateResult, which answers once the update has finished).
bool BenchEngineUpdate(const std::wstring& folder, const std::wstring& home) {
    SetEnvironmentVariableW(kEngineHomeVariable, home.c_str());
    HMODULE module = LoadLibraryW((folder + L"vpe.dll").c_str());
    auto factory = module == nullptr
                       ? nullptr
                       : reinterpret_cast<Corvinex::EngineFactoryFunc>(reinterpret_cast<void*>(
                             GetProcAddress(module, Corvinex::kEngineFactoryName)));
    Corvinex::IEngine* object = factory == nullptr ? nullptr : factory();
    auto* engine = dynamic_cast<Corvinex::VeilpathEngine::IVeilpathEngine*>(object);
    bool ok = engine != nullptr && engine->IsInstalled();
    std::vector<double> call, whole;
    for (int i = 0; ok && i < 15; ++i) {
        double start = Now();
        int r = engine->Update();
        double returned = Now();
        int last = engine->GetLastUpdateResult();
        double finished = Now();
        ok = r == 0 && last == 0;
        call.push_back(returned - start);
        whole.push_back(finished - start);
    }
    if (module != nullptr) {
        FreeLibrary(module);
    }
    SetEnvironmentVariableW(kEngineHomeVariable, nullptr);
    if (!ok) {
        call.assign(1, -1.0);
        whole.assign(1, -1.0);
    }
    return BenchLine("reference engine's Update on the caller's thread (vs the whole update)", call,
                     whole);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    int titleRuns = argc > 1 ? _wtoi(argv[1]) : 5;
    int shownRuns = argc > 2 ? _wtoi(argv[2]) : 15;
    std::wstring folder = ProgramFolder();
    // Another build's harness (the figures of the title and of Update need this build's).
    const bool otherHarness = argc > 3;
    std::wstring harnessFolder = otherHarness ? folder + argv[3] : folder;
    if (harnessFolder.back() != L'\\' && harnessFolder.back() != L'/') {
        harnessFolder += L'\\';
    }
    std::string label;
    for (const wchar_t* c = argc > 4 ? argv[4] : L""; *c != L'\0'; ++c) {
        label += static_cast<char>(*c);
    }
    if (!label.empty()) {
        label += ": ";
    }
    VpeTest::ScratchFolder scratch(L"harness_bench", L"homes");
    std::wstring base = scratch.Path();
    std::replace(base.begin(), base.end(), L'/', L'\\');
    // Folders that do not exist: the engine counts as not installed.
    std::wstring absent = base + L"absent\\";
    std::wstring installed = base + L"installed\\";
    bool ok = InstallInto(installed);
    if (!ok) {
        printf("  FAILED: cannot install the reference engine into %ls\n", installed.c_str());
    }
    ok = BenchShown(folder, harnessFolder, label, absent, false, shownRuns) && ok;
    ok = BenchShown(folder, harnessFolder, label, installed, true, shownRuns) && ok;
    if (!otherHarness) {
        ok = BenchTitle(folder, absent, titleRuns) && ok;
        ok = BenchEngineUpdate(folder, installed) && ok;
    }
    ok = BenchFakeCheck(harnessFolder, label) && ok;
    return ok ? 0 : 1;
}
