// vpecheck.exe as vpedrive sees it: where it lies, and running it for a command whose output
// vpedrive passes on unchanged (the hidden doctor-probe and validate-check verbs, and
// validate --in-process).
#pragma once

#include "tools/vpedrive/module_abi.h"

#include <windows.h>

#include <string>

namespace Corvinex {
namespace Vpedrive {

// The helper of `engine`'s ABI (or of `requested` when it is not Unknown) for a vpedrive.exe in
// `folder`, as ChooseProgram finds it; the one beside vpedrive.exe when there is none of that
// ABI (it then refuses the engine with its own answer).
std::wstring CheckHelperFor(const std::wstring& folder, const std::wstring& engine,
                            ModuleAbi requested);

// Runs `helper arguments` to its end, its standard output and error into a scratch file, then
// copies what it wrote to vpedrive's standard output byte for byte. Returns the helper's exit
// code; kStatusCannotStart (with a line on the standard error) when it cannot be started.
int ForwardToHelper(const std::wstring& helper, const std::wstring& arguments);

} // namespace Vpedrive
} // namespace Corvinex
