// vpecheck.exe as vpedrive sees it: where it lies, and running it for a command whose output
// vpedrive passes on unchanged (the hidden doctor-probe and validate-check verbs, and
// validate --in-process).
#pragma once

#include <windows.h>

#include <string>

namespace Corvinex {
namespace Vpedrive {

// The helper beside the program at `self` (vpedrive.exe's own path).
std::wstring CheckHelperPath(const std::wstring& self);

// Runs `helper arguments` to its end, its standard output and error into a scratch file, then
// copies what it wrote to vpedrive's standard output byte for byte. Returns the helper's exit
// code; kStatusCannotStart (with a line on the standard error) when it cannot be started.
int ForwardToHelper(const std::wstring& helper, const std::wstring& arguments);

} // namespace Vpedrive
} // namespace Corvinex
