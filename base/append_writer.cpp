// Test helper: appends "TAG N\n" for N = 0 .. COUNT-1 to PATH through AppendToFile, which opens
// the file afresh for every line, as the logs' writers do. Exit code 0 when every line went in.
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
        char line[64];
        const int length = _snprintf(line, sizeof(line), "%ls %d\n", argv[2], i);
        if (length <= 0 || !Corvinex::AppendToFile(argv[1], line, static_cast<size_t>(length))) {
            return 3;
        }
    }
    return 0;
}
