// The executable's own exports, reachable only by a program that loads vpetest.exe as a module.
// When it does, the executable's start-up code has not run: these functions rely on nothing that
// start-up constructs.
#pragma once

#include "engine/engine_interface.h"

#include <windows.h>

extern "C" {

// Registration stubs: report that no registration is implemented (through the internal message,
// if the developer settings allow it) and return 0.
HRESULT __stdcall DllRegisterServer();
HRESULT __stdcall DllUnregisterServer();

// The executable provides no engine of its own: always null.
Corvinex::IEngine* GetCorvinexEngine();
}
