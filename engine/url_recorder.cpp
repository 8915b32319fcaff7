// Test helper registered as the handler of http addresses in the test prefix: appends the
// address it was given, one per line, to the file named by VPE_URL_RECORD. Two addresses placed
// one right after the other start two recorders at once, so they take turns (AppendToFile).
#include "base/file_system.h"

#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    wchar_t path[MAX_PATH * 2];
    if (argc < 2 || GetEnvironmentVariableW(L"VPE_URL_RECORD", path, MAX_PATH * 2) == 0) {
        return 1;
    }
    char utf8[4096];
    int n = WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, utf8, sizeof(utf8), nullptr, nullptr);
    if (n <= 0) {
        return 3;
    }
    utf8[n - 1] = '\n';
    return Corvinex::AppendToFile(path, utf8, static_cast<size_t>(n)) ? 0 : 2;
}
