// Test helper registered as the handler of http addresses in the test prefix: appends the
// address it was given, one per line, to the file named by VPE_URL_RECORD.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    wchar_t path[MAX_PATH * 2];
    if (argc < 2 || GetEnvironmentVariableW(L"VPE_URL_RECORD", path, MAX_PATH * 2) == 0) {
        return 1;
    }
    FILE* file = _wfopen(path, L"ab");
    if (file == nullptr) {
        return 2;
    }
    char utf8[4096];
    int n = WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, utf8, sizeof(utf8), nullptr, nullptr);
    if (n > 0) {
        fprintf(file, "%s\n", utf8);
    }
    fclose(file);
    return 0;
}
