#include "refengine/log_file.h"

#include "base/file_handle.h"
#include "engine/check_log_format.h"

#include <cstdio>

namespace Corvinex {
namespace VeilpathEngine {

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool WriteAll(HANDLE hFile, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(bytes.size() - done);
        DWORD written = 0;
        if (!WriteFile(hFile, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

} // namespace

bool ReadWholeFile(const std::wstring& path, std::string* contents) {
    contents->clear();
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        return false;
    }
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer, sizeof(buffer), &got, nullptr)) {
            contents->clear();
            return false;
        }
        if (got == 0) {
            return true;
        }
        contents->append(buffer, got);
    }
}

bool AppendToFile(const std::wstring& path, const std::string& bytes) {
    // FILE_APPEND_DATA without FILE_WRITE_DATA makes every write land at the end, also when
    // another process appends to the same log at the same time.
    CFileHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, kShareAll, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        return false;
    }
    SetFilePointer(file.Get(), 0, nullptr, FILE_END);
    return WriteAll(file.Get(), bytes);
}

bool WriteNewFile(const std::wstring& path, const std::string& bytes) {
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.IsOpen() && WriteAll(file.Get(), bytes);
}

std::string GetTimestamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond);
    return text;
}

std::string MakeLogLine(const std::string& record) {
    return GetTimestamp() + CheckLogFormat::kLineSeparator + record + CheckLogFormat::kLineEnd;
}

bool FolderExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool EnsureFolder(const std::wstring& path) {
    if (CreateDirectoryW(path.c_str(), nullptr)) {
        return true;
    }
    return FolderExists(path);
}

} // namespace VeilpathEngine
} // namespace Corvinex
