// How the harness reports a result: truth values as words, finished texts through the one
// message channel.
#pragma once

#include "base/wide_string.h"
#include "diag/internal_message.h"

#include <windows.h>

namespace Corvinex {

// "TRUE" for any non-zero value, "FALSE" for zero.
inline const wchar_t* TruthText(BOOL value) {
    return value ? L"TRUE" : L"FALSE";
}

// Shows a finished text as it is (format "%s"), so percent signs in it stay unchanged.
inline void ShowText(const CWideString& text) {
    ShowInternalMessage(L"%s", text.c_str());
}

} // namespace Corvinex
