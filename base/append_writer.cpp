// Test helper: appends "TAG N\n" for N = 0 .. COUNT-1 to PATH through AppendAtFileEnd, opening
// the file afresh for every line, as the logs' writers do. Exit code 0 when every line went in.
#include "base/file_handle.h"
#include "base/file_system.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        return 1;
    }
    const int count = _wtoi(argv[3]);
    for (int i = 0; i < count; ++i) {
        Corvinex::CFileHandle file;
        if (!file.Open(argv[1], GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_ALWAYS)) {
            return 2;
        }
        char line[64];
        const int length = _snprintf(line, sizeof(line), "%ls %d\n", argv[2], i);
        if (length <= 0 ||
            !Corvinex::AppendAtFileEnd(file.Get(), line, static_cast<size_t>(length))) {
            return 3;
        }
    }
    return 0;
}
