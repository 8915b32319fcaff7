// The shell library (shell32.dll), bound on first use rather than at start-up.
//
// Loading shell32 costs far more than anything else a program of this size does before its
// window shows (it brings a train of libraries with it), and only a few commands need it: the
// special folders and opening a URL. So nothing here imports it; its functions are looked up by
// name when first called.
#pragma once

#include <windows.h>

namespace Corvinex {

// The address of the shell32 function `name`, loading the library on the first call; it then
// stays loaded for the life of the process. Null when the library or the function cannot be
// had (the caller then behaves as if the shell had answered with a failure). Thread-safe.
FARPROC GetShellFunction(const char* name);

// The same, typed: FUNC is the function's pointer type, e.g. decltype(&ShellExecuteW), which
// names the declaration without importing it.
template <class FUNC> FUNC GetShellFunctionAs(const char* name) {
    return reinterpret_cast<FUNC>(reinterpret_cast<void*>(GetShellFunction(name)));
}

} // namespace Corvinex
