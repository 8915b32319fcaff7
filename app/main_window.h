// The harness's main window: class registration, creation, its window procedure and the About box.
#pragma once

#include "engine/engine_interface.h"

#include <windows.h>

namespace Corvinex {

// Filled by the entry point from string resources 103 (title) and 109 (class name).
extern wchar_t g_WindowTitle[100];
extern wchar_t g_WindowClassName[100];
// The program's module; owner of the About dialog resource. Set by CreateMainWindow.
extern HINSTANCE g_ModuleInstance;

// Identifier and interval of the status timer.
const UINT_PTR kStatusTimerId = 66;
const UINT kStatusTimerMs = 1000;

// Registers the main window class g_WindowClassName; a failure shows only as a failing
// CreateMainWindow.
void RegisterMainWindowClass(HINSTANCE instance);

// Creates, shows and paints the main window, and only then attaches `engine` as its window
// property "pEngine" (the window never owns it). FALSE, and no window, when creation fails.
BOOL CreateMainWindow(HINSTANCE instance, int showCommand, VeilpathEngine::IVeilpathEngine* engine);

// The main window's procedure: one handler per message and per menu command.
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The About box's dialog procedure: OK and Cancel end it with their id.
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace Corvinex
