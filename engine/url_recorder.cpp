// Test helper registered as the handler of http addresses in the test prefix: appends the
// address it was given, one per line, to the file named by VPE_URL_RECORD.
#include "base/scoped_handle.h"

#include <windows.h>

namespace {

const DWORD kOpenPatienceMs = 10000;

// Opens the record for this process alone. Two addresses placed one right after the other start
// two recorders at once; with shared opens in append mode both seek to the same end and the
// second line overwrites the first, so the second recorder waits for the first to close.
HANDLE OpenRecordAlone(const wchar_t* path) {
    const ULONGLONG deadline = GetTickCount64() + kOpenPatienceMs;
    for (;;) {
        HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION ||
            GetTickCount64() >= deadline)
            return file;
        Sleep(10);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    wchar_t path[MAX_PATH * 2];
    if (argc < 2 || GetEnvironmentVariableW(L"VPE_URL_RECORD", path, MAX_PATH * 2) == 0) {
        return 1;
    }
    Corvinex::CKernelHandle file(OpenRecordAlone(path));
    if (!file.IsOpen()) {
        return 2;
    }
    char utf8[4096];
    int n = WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, utf8, sizeof(utf8) - 1, nullptr, nullptr);
    int status = 3;
    if (n > 0 && SetFilePointer(file.Get(), 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER) {
        utf8[n - 1] = '\n';
        DWORD written = 0;
        if (WriteFile(file.Get(), utf8, static_cast<DWORD>(n), &written, nullptr) &&
            written == static_cast<DWORD>(n))
            status = 0;
    }
    return status;
}
