// vpecheck.exe as vpedrive sees it: running it for a command whose output vpedrive passes on
// unchanged (the hidden doctor-probe and validate-check verbs).
#pragma once

#include "tools/vpedrive/console_output.h"
#include "tools/vpedrive/module_abi.h"

#include <windows.h>

#include <string>

namespace Corvinex {
namespace Vpedrive {

// Runs `helper arguments` to its end, where helper is the vpecheck.exe of `engine`'s machine type
// and ABI (or of `requested` when it is not Unknown) that a vpedrive.exe in `folder` finds
// (ChooseProgram), its standard output and error into a scratch file, then copies what it wrote
// to vpedrive's standard output byte for byte. Returns the helper's exit code; kStatusSetUpFailed,
// with a line on `err` saying why, when no helper of the engine's machine type and that ABI is
// found, this system cannot run it, or it cannot be started.
int ForwardToHelper(const std::wstring& folder, const std::wstring& engine, ModuleAbi requested,
                    const std::wstring& arguments, COutput& err);

} // namespace Vpedrive
} // namespace Corvinex
