#include "base/relative_path.h"

namespace Corvinex {

namespace {

wchar_t Upper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c;
}

bool SameUpper(const wchar_t* text, int32_t n, const wchar_t* name) {
    int32_t i = 0;
    for (; i < n && name[i] != L'\0'; ++i) {
        if (Upper(text[i]) != name[i]) {
            return false;
        }
    }
    return i == n && name[i] == L'\0';
}

bool IsForbiddenChar(wchar_t c) {
    if (c < 0x20) {
        return true;
    }
    switch (c) {
    case L':':
    case L'*':
    case L'?':
    case L'"':
    case L'<':
    case L'>':
    case L'|':
        return true;
    default:
        return false;
    }
}

bool IsSafeComponent(const wchar_t* p, int32_t n) {
    if (n == 0) {
        return false;
    }
    if ((n == 1 && p[0] == L'.') || (n == 2 && p[0] == L'.' && p[1] == L'.')) {
        return false;
    }
    // Windows drops trailing dots and spaces, so "a." and "a " would alias "a" and ". ." would
    // alias "..".
    if (p[n - 1] == L'.' || p[n - 1] == L' ') {
        return false;
    }
    for (int32_t i = 0; i < n; ++i) {
        if (IsForbiddenChar(p[i])) {
            return false;
        }
    }
    return !IsDeviceName(p, n);
}

} // namespace

bool IsDeviceName(const wchar_t* component, int32_t length) {
    int32_t n = 0;
    while (n < length && component[n] != L'.') {
        ++n;
    }
    while (n > 0 && component[n - 1] == L' ') {
        --n;
    }
    static const wchar_t* const kPlain[] = {L"CON",    L"PRN",     L"AUX",   L"NUL",
                                            L"CONIN$", L"CONOUT$", L"CLOCK$"};
    for (const wchar_t* name : kPlain) {
        if (SameUpper(component, n, name)) {
            return true;
        }
    }
    if (n == 4 && (SameUpper(component, 3, L"COM") || SameUpper(component, 3, L"LPT"))) {
        wchar_t digit = component[3];
        // Windows also maps the superscript digits one to three to devices.
        return (digit >= L'0' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 ||
               digit == 0x00B3;
    }
    return false;
}

bool IsSafeRelativePath(const CWideString& relative) {
    int32_t n = relative.GetLength();
    const wchar_t* p = relative.c_str();
    if (n == 0) {
        return false;
    }
    int32_t start = 0;
    for (int32_t i = 0; i <= n; ++i) {
        if (i == n || p[i] == L'/' || p[i] == L'\\') {
            bool last = i == n;
            if (last && start == n && n > 0 && (p[n - 1] == L'/' || p[n - 1] == L'\\')) {
                return true; // trailing separator
            }
            if (!IsSafeComponent(p + start, i - start)) {
                return false;
            }
            start = i + 1;
        }
    }
    return true;
}

} // namespace Corvinex
