// A small window program that behaves like the harness where the driver's tests need it: a main
// window of a chosen class and title, task-modal "Internal Error" boxes gated by the developer
// settings, a title rewritten by a timer, and a chosen exit code.
//
// Options: --class NAME, --title TEXT, --exit-code N, --tick-ms N, --startup-box TEXT (shown
// before anything else), --print TEXT (to the standard output), --no-window (end right after the
// start-up box), and the word fakecheck (a box, then lines appended to <Program Files>\Veilpath
// Engine\log\check.log). Commands (WM_COMMAND ids) are listed in
// tools/driver/test_target_commands.h.
#include "config/developer_settings.h"
#include "res/resource.h"
#include "tools/driver/test_target_commands.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const UINT_PTR kTimerId = 66;

std::wstring g_className = VPETEST_WINDOW_CLASS;
std::wstring g_title = VPETEST_WINDOW_TITLE;
int g_exitCode = 0;
UINT g_tickMs = 1000;
bool g_running = false;

bool DwordSet(HKEY key, const wchar_t* name) {
    DWORD type = 0, value = 0, size = sizeof(value);
    return RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD && value != 0;
}

// Read afresh for every message, as the harness does.
bool BoxEnabled() {
    HKEY key = nullptr;
    std::wstring path = Corvinex::kDeveloperSettingsPath;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool on = DwordSet(key, Corvinex::kDebugSwitch) && DwordSet(key, Corvinex::kMessageBoxSwitch);
    RegCloseKey(key);
    return on;
}

void Show(const std::wstring& text) {
    if (BoxEnabled())
        MessageBoxW(nullptr, text.c_str(), L"Internal Error", MB_OK | MB_TASKMODAL);
}

void FakeCheck() {
    Show(L"Fakecheck");
    wchar_t folder[MAX_PATH] = {0};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder)))
        return;
    std::wstring path = std::wstring(folder) + L"\\Veilpath Engine\\log\\check.log";
    FILE* file = _wfopen(path.c_str(), L"ab");
    if (file == nullptr)
        return;
    for (int i = 1; i <= 3; ++i)
        fprintf(file, "2026-01-01 00:00:0%d TARGET CHECK %d\r\n", i, i);
    fclose(file);
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        SetTimer(window, kTimerId, g_tickMs, nullptr);
        return 0;
    case WM_TIMER:
        SetWindowTextW(window, g_running ? L"TARGET: Running=TRUE" : L"TARGET: Running=FALSE");
        return 0;
    case WM_DESTROY:
        PostQuitMessage(g_exitCode);
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case Corvinex::Driver::kTargetExit:
            DestroyWindow(window);
            return 0;
        case Corvinex::Driver::kTargetInstall:
            Show(L"Corvinex::VeilpathEngine::VeilpathEngine_Install");
            Show(L"Init returned 0");
            Show(L"Install returned 0");
            return 0;
        case Corvinex::Driver::kTargetStart:
            g_running = true;
            Show(L"Engine start = 0");
            return 0;
        case Corvinex::Driver::kTargetStop:
            g_running = false;
            Show(L"Engine stop = 0");
            return 0;
        case Corvinex::Driver::kTargetAnalyse:
            Show(L"say \"hi\"\n50% \\ \x00C4rger \x20AC\ttab");
            return 0;
        case Corvinex::Driver::kTargetHang:
            for (;;)
                Sleep(1000);
        case Corvinex::Driver::kTargetCrash:
            *static_cast<volatile int*>(nullptr) = 1;
            return 0;
        case Corvinex::Driver::kTargetSlow:
            Sleep(1500);
            Show(L"slow done");
            return 0;
        case Corvinex::Driver::kTargetOwnedBox:
            if (BoxEnabled())
                MessageBoxW(window, L"owned", L"Internal Error", MB_OK);
            return 0;
        }
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring startupBox;
    bool noWindow = false;
    bool fakeCheck = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        std::wstring next = i + 1 < argc ? argv[i + 1] : L"";
        if (arg == L"--class") {
            g_className = next;
            ++i;
        } else if (arg == L"--title") {
            g_title = next;
            ++i;
        } else if (arg == L"--exit-code") {
            g_exitCode = _wtoi(next.c_str());
            ++i;
        } else if (arg == L"--tick-ms") {
            g_tickMs = static_cast<UINT>(_wtoi(next.c_str()));
            ++i;
        } else if (arg == L"--startup-box") {
            startupBox = next;
            ++i;
        } else if (arg == L"--print") {
            // Written to the standard output as UTF-8 with a line feed.
            char text[512] = {0};
            WideCharToMultiByte(CP_UTF8, 0, next.c_str(), -1, text, sizeof(text) - 1, nullptr,
                                nullptr);
            DWORD written = 0;
            WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, lstrlenA(text), &written, nullptr);
            WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "\n", 1, &written, nullptr);
            ++i;
        } else if (arg == L"--no-window") {
            noWindow = true;
        } else if (arg.find(L"fakecheck") != std::wstring::npos) {
            fakeCheck = true;
        }
    }
    LocalFree(argv);

    if (fakeCheck) {
        FakeCheck();
        return g_exitCode;
    }
    if (!startupBox.empty())
        Show(startupBox);
    if (noWindow)
        return g_exitCode;

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = g_className.c_str();
    RegisterClassExW(&windowClass);
    HWND window = CreateWindowExW(0, g_className.c_str(), g_title.c_str(), WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, 0, 400, 300, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 3;
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
