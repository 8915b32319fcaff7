// The program's entry: fake-check mode or the main window with the engine bound for its life.
#include "app/main_window.h"
#include "diag/internal_message.h"
#include "engine/check_log.h"
#include "engine/engine_binding.h"
#include "res/resource.h"

#include <windows.h>

using namespace Corvinex;

namespace {

const wchar_t kFakeCheckWord[] = L"fakecheck";
// The word's length without its terminator: a shorter command line cannot hold it.
const int32_t kFakeCheckWordLength = sizeof(kFakeCheckWord) / sizeof(kFakeCheckWord[0]) - 1;

// True when "fakecheck" appears anywhere in the command line (case-sensitive, no word rule:
// /fakecheck, --fakecheck=1 and xfakecheckx all count, FakeCheck does not).
bool IsFakeCheckCommandLine(const wchar_t* commandLine) {
    CWideString text(commandLine);
    return text.GetLength() >= kFakeCheckWordLength && text.Find(kFakeCheckWord, 0) >= 0;
}

int RunWindowMode(HINSTANCE instance, int showCommand) {
    VeilpathEngine::CEngineVeilpathDLLAPI engineDLL;
    int r = engineDLL.Init();
    if (r != 0) {
        CWideString text = FormatString(L"engineDLL.Init returned %i", r);
        ShowInternalMessage(L"%s", text.c_str());
        return 1;
    }
    VeilpathEngine::IVeilpathEngine* engine = engineDLL.pVeilpathEngine;
    if (engine == nullptr) {
        ShowInternalMessage(L"%s", L"Engine pointer invalid");
        return 1;
    }
    engine->Update();
    if (!CreateMainWindow(instance, showCommand, engine)) {
        // Deliberately 0, not a failure code: a window that could not be made ends the program
        // silently, exactly like a normal close (only a failed engine binding answers 1).
        return 0;
    }
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_ENGINEVEILPATHTESTENV));
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) {
        if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
    LoadStringW(instance, IDS_APP_TITLE, g_WindowTitle, 100);
    LoadStringW(instance, IDC_ENGINEVEILPATHTESTENV, g_WindowClassName, 100);
    RegisterMainWindowClass(instance);
    if (IsFakeCheckCommandLine(commandLine)) {
        ShowInternalMessage(L"%s", L"Fakecheck");
        WriteFakeCheckLog();
        return 0;
    }
    return RunWindowMode(instance, showCommand);
}
