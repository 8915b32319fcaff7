#include "refengine/log_file.h"

#include "base/file_handle.h"
#include "base/file_system.h"
#include "engine/check_log_format.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace Corvinex {
namespace VeilpathEngine {

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool WriteAll(HANDLE hFile, const char* bytes, size_t length) {
    size_t done = 0;
    while (done < length) {
        DWORD chunk = static_cast<DWORD>(length - done);
        DWORD written = 0;
        if (!WriteFile(hFile, bytes + done, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

// The local time as "YYYY-MM-DD HH:MM:SS" (19 characters and the terminator) into text.
void GetTimestamp(char (&text)[20]) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond);
}

} // namespace

bool ReadWholeFile(const wchar_t* path, TArray<char>* contents) {
    contents->RemoveAll();
    CFileHandle file(CreateFileW(path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        return false;
    }
    const int32_t kChunk = 4096;
    for (;;) {
        // Read straight into the array's block, grown by a chunk ahead of each read.
        int32_t had = contents->GetCount();
        DWORD got = 0;
        if (!contents->SetSize(had + kChunk, 16 * kChunk) ||
            !ReadFile(file.Get(), contents->GetData() + had, kChunk, &got, nullptr)) {
            contents->RemoveAll();
            return false;
        }
        contents->SetSize(had + static_cast<int32_t>(got));
        if (got == 0) {
            return true;
        }
    }
}

bool WriteNewFile(const wchar_t* path, const char* bytes, size_t length) {
    CFileHandle file(CreateFileW(path, GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.IsOpen() && WriteAll(file.Get(), bytes, length);
}

bool WriteLogLine(const wchar_t* path, const char* record, bool bReplace) {
    char stamp[20];
    GetTimestamp(stamp);
    size_t length = strlen(stamp) + strlen(CheckLogFormat::kLineSeparator) + strlen(record) +
                    strlen(CheckLogFormat::kLineEnd);
    char* line = static_cast<char*>(malloc(length + 1));
    if (line == nullptr) {
        return false;
    }
    snprintf(line, length + 1, "%s%s%s%s", stamp, CheckLogFormat::kLineSeparator, record,
             CheckLogFormat::kLineEnd);
    bool written = bReplace ? WriteNewFile(path, line, length) : AppendToFile(path, line, length);
    free(line);
    return written;
}

} // namespace VeilpathEngine
} // namespace Corvinex
