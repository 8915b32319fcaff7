#include "base/paths.h"

#include "base/scoped_handle.h"

#include <windows.h>

namespace Corvinex {

namespace {

// 1 when the first match of the pattern exists and is (or is not, by wantDirectory) a directory.
int FirstMatchIs(const CWideString& pattern, bool wantDirectory) {
    WIN32_FIND_DATAW data;
    CFindHandle find(FindFirstFileW(pattern.c_str(), &data));
    if (!find.IsOpen()) {
        return 0;
    }
    bool isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return isDirectory == wantDirectory ? 1 : 0;
}

wchar_t LastChar(const CWideString& s) {
    int32_t n = s.GetLength();
    return n > 0 ? s.c_str()[n - 1] : L'\0';
}

} // namespace

CWideString ToForwardSlashes(CWideString path) {
    return path.ReplaceChar(L'\\', L'/');
}

CWideString ToBackslashes(CWideString path) {
    return path.ReplaceChar(L'/', L'\\');
}

CWideString StripTrailingSlash(const CWideString& path) {
    CWideString s = ToForwardSlashes(path);
    int32_t n = s.GetLength();
    if (n < 2) {
        return s;
    }
    if (n == 3 && s.c_str()[1] == L':') {
        return s;
    }
    if (s.c_str()[n - 1] == L'/') {
        return s.Left(n - 1);
    }
    return s;
}

CWideString EnsureTrailingSlash(const CWideString& path) {
    CWideString s = ToForwardSlashes(path);
    if (s.GetLength() > 0 && LastChar(s) != L'/') {
        s.Append(L'/');
    }
    return s;
}

int IsValidPath(const CWideString& path) {
    if (path.GetLength() == 0) {
        return 0;
    }
    for (const wchar_t* p = path.c_str(); *p != L'\0'; ++p) {
        switch (*p) {
        case L'\\':
        case L'?':
        case L'<':
        case L'>':
        case L'*':
        case L'|':
        case L'"':
            return 0;
        case L':':
            if (p[1] == L':') {
                return 0;
            }
            break;
        default:
            break;
        }
    }
    return 1;
}

int IsFolderPath(const CWideString& path) {
    return IsValidPath(path) != 0 && LastChar(path) == L'/' ? 1 : 0;
}

int FolderExists(const CWideString& path) {
    if (IsFolderPath(path) == 0) {
        return 0;
    }
    if (path.GetLength() <= 3) {
        UINT type = GetDriveTypeW(ToBackslashes(path).c_str());
        return type != DRIVE_UNKNOWN && type != DRIVE_NO_ROOT_DIR ? 1 : 0;
    }
    return FirstMatchIs(ToBackslashes(StripTrailingSlash(path)), true);
}

int FileExists(const CWideString& path) {
    return FirstMatchIs(ToBackslashes(path), false);
}

CWideString GetFolderOfPath(const CWideString& path) {
    if (IsFolderPath(path) != 0) {
        return path;
    }
    int32_t n = path.GetLength();
    int32_t lastSlash = -1;
    for (int32_t i = 0; i < n; ++i) {
        if (path.c_str()[i] == L'/') {
            lastSlash = i;
        }
    }
    if (lastSlash <= 0) {
        return CWideString(L"");
    }
    return EnsureTrailingSlash(path.Left(lastSlash));
}

} // namespace Corvinex
