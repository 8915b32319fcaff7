#include "app/main_window.h"

#include "app/report.h"
#include "app/command_sequences.h"
#include "app/status_line.h"
#include "diag/call_trace.h"
#include "diag/internal_message.h"
#include "engine/surf_check.h"
#include "res/resource.h"

namespace Corvinex {

wchar_t g_WindowTitle[100];
wchar_t g_WindowClassName[100];
HINSTANCE g_ModuleInstance = nullptr;

namespace {

using VeilpathEngine::IVeilpathEngine;

const wchar_t kEngineProperty[] = L"pEngine";
const wchar_t kTimerProperty[] = L"Timer";

LRESULT OnCreate(HWND window) {
    UINT_PTR timer = SetTimer(window, kStatusTimerId, kStatusTimerMs, nullptr);
    SetPropW(window, kTimerProperty, reinterpret_cast<HANDLE>(timer));
    return 0;
}

LRESULT OnDestroy() {
    PostQuitMessage(0);
    return 0;
}

LRESULT OnPaint(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
}

LRESULT OnTimer(HWND window, IVeilpathEngine* engine) {
    if (GetPropW(window, kTimerProperty) != nullptr) {
        UpdateStatusLine(window, engine);
    }
    return 0;
}

void OnAbout(HWND window) {
    DialogBoxParamW(g_ModuleInstance, MAKEINTRESOURCEW(IDD_ABOUTBOX), window, &AboutDlgProc, 0);
}

void OnAnalyseUpdateLog(IVeilpathEngine* engine) {
    CWideString message;
    int bSuccess = 0;
    int nServerCountHTTP = 0;
    int r = engine->AnalyseUpdateLog(&bSuccess, &message, &nServerCountHTTP);
    ShowText(FormatString(L"AnalyseUpdateLog returned %i\nmessage = \"%s\"\nnServerCountHTTP = "
                          L"%i\nbSuccess = %s",
                          r, message.c_str(), nServerCountHTTP, TruthText(bSuccess)));
}

// The commands that call the window's engine, one action each.
struct EngineCommand {
    WORD id;
    void (*run)(IVeilpathEngine* engine);
};

const EngineCommand kEngineCommands[] = {
    {ID_FILE_TEST, [](IVeilpathEngine* e) { RunTestSequence(e); }},
    {ID_ENGINE_SURFCHECK, [](IVeilpathEngine* e) { LaunchSurfCheck(e); }},
    {ID_ENGINE_START,
     [](IVeilpathEngine* e) { ShowText(FormatString(L"Engine start = %i", e->Start())); }},
    {ID_ENGINE_STOP,
     [](IVeilpathEngine* e) { ShowText(FormatString(L"Engine stop = %i", e->Stop())); }},
    {ID_ENGINE_ISENGINERUNNING,
     [](IVeilpathEngine* e) {
         ShowText(FormatString(L"IsEngineRunning = %s", TruthText(e->IsEngineRunning())));
     }},
    {ID_ENGINE_ACTIVATEANONYMITY, [](IVeilpathEngine* e) { e->SetAnonymity(TRUE); }},
    {ID_ENGINE_DEACTIVATEANONYMITY, [](IVeilpathEngine* e) { e->SetAnonymity(FALSE); }},
    {ID_UPDATE_UPDATETEST, [](IVeilpathEngine* e) { RunUpdateTest(e); }},
    {ID_UPDATE_UPDATESTART, [](IVeilpathEngine* e) { e->UpdateStart(); }},
    {ID_UPDATE_UPDATESTOP, [](IVeilpathEngine* e) { e->UpdateStop(); }},
    {ID_UPDATE_ISUPDATERUNNING,
     [](IVeilpathEngine* e) {
         ShowText(FormatString(L"IsUpdateRunning = %s", TruthText(e->IsUpdateRunning())));
     }},
    {ID_UPDATE_ANALYSEUPDATELOG, &OnAnalyseUpdateLog},
    {ID_CHECK_CHECKSTART, [](IVeilpathEngine* e) { e->CheckStart(3000); }},
    {ID_CHECK_CHECKSTOP, [](IVeilpathEngine* e) { e->CheckStop(); }},
    {ID_CHECK_ISCHECKRUNNING,
     [](IVeilpathEngine* e) {
         ShowText(FormatString(L"IsCheckRunning = %s", TruthText(e->IsCheckRunning())));
     }},
    {ID_CHECK_ANALYSECHECKLOG, [](IVeilpathEngine* e) { ShowText(e->AnalyseCheckLog()); }},
};

// True when the command was handled; unlisted ids go to the default procedure.
bool OnCommand(HWND window, WORD id, IVeilpathEngine* engine) {
    switch (id) {
    case IDM_ABOUT:
        OnAbout(window);
        return true;
    case IDM_EXIT:
        DestroyWindow(window);
        return true;
    case ID_INSTALLATION_ISINSTALLED:
        QueryInstalled();
        return true;
    case ID_INSTALLATION_INSTALL:
        InstallEngine();
        return true;
    case ID_INSTALLATION_UNINSTALL:
        UninstallEngine();
        return true;
    default:
        break;
    }
    for (const EngineCommand& command : kEngineCommands) {
        if (command.id == id) {
            // Without an engine pointer (attaching it failed) an engine command does nothing.
            if (engine != nullptr) {
                command.run(engine);
            }
            return true;
        }
    }
    return false;
}

} // namespace

void RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(WNDCLASSEXW);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_ENGINEVEILPATHTESTENV));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDC_ENGINEVEILPATHTESTENV);
    windowClass.lpszClassName = g_WindowClassName;
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
    RegisterClassExW(&windowClass);
}

BOOL CreateMainWindow(HINSTANCE instance, int showCommand,
                      VeilpathEngine::IVeilpathEngine* engine) {
    g_ModuleInstance = instance;
    HWND window =
        CreateWindowExW(0, g_WindowClassName, g_WindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                        CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return FALSE;
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    SetPropW(window, kEngineProperty, engine);
    return TRUE;
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* engine = static_cast<IVeilpathEngine*>(GetPropW(window, kEngineProperty));
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_DESTROY:
        return OnDestroy();
    case WM_PAINT:
        return OnPaint(window);
    case WM_TIMER:
        return OnTimer(window, engine);
    // A plain window never receives WM_INITDIALOG from the system (only dialogs do); should a
    // program send it anyway, the harness shows that it arrived.
    case WM_INITDIALOG:
        ShowText(L"WM_INITDIALOG");
        return 0;
    case WM_COMMAND: {
        CTraceScope trace(VPE_CALL_TRACE_COMMAND, LOWORD(wParam));
        if (OnCommand(window, LOWORD(wParam), engine)) {
            return 0;
        }
        break;
    }
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace Corvinex
