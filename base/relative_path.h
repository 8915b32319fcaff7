// Checks on relative paths that arrive from outside (a loaded stream) before they are joined to
// a root folder.
#pragma once

#include "base/wide_string.h"

namespace Corvinex {

// True when relative (forward slashes or backslashes) names an entry strictly below whatever
// root it is joined to: not empty, not absolute, no drive or stream colon, not a UNC share, no
// empty, "." or ".." component, no device name (CON, NUL, COM1, ... with or without an
// extension), no wildcard, quote, angle bracket, bar or control character, no component ending
// in a dot or a space. An empty last component (a trailing slash) is allowed.
bool IsSafeRelativePath(const CWideString& relative);

// True when the component (no separators) names a DOS device such as CON, AUX, NUL, COM1 or
// LPT9, whatever follows its first dot and however it is cased.
bool IsDeviceName(const wchar_t* component, int32_t length);

} // namespace Corvinex
