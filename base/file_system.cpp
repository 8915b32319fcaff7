#include "base/file_system.h"

#include "base/file_handle.h"

#include <stdlib.h>
#include <string.h>

namespace Corvinex {

namespace {

// Below this length a path needs no prefix; CreateDirectoryW already stops at MAX_PATH - 12.
const int32_t kPlainPathLimit = MAX_PATH - 12;

bool IsDriveAbsolute(const wchar_t* p) {
    return ((p[0] >= L'A' && p[0] <= L'Z') || (p[0] >= L'a' && p[0] <= L'z')) && p[1] == L':' &&
           p[2] == L'\\';
}

// WIN32_FIND_DATAW and WIN32_FILE_ATTRIBUTE_DATA name these fields alike.
template <class DATA> CEntryStamp StampOf(const DATA& data) {
    CEntryStamp stamp;
    stamp.nAttributes = data.dwFileAttributes;
    stamp.creation = data.ftCreationTime;
    stamp.lastAccess = data.ftLastAccessTime;
    stamp.lastWrite = data.ftLastWriteTime;
    stamp.nSize = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return stamp;
}

} // namespace

CWideString ToSystemPath(const CWideString& path) {
    CWideString s(path);
    s.ReplaceChar(L'/', L'\\');
    int32_t n = s.GetLength();
    const wchar_t* p = s.c_str();
    // A trailing separator is dropped except on a drive root and on a bare "\".
    if (n > 1 && p[n - 1] == L'\\' && !(n == 3 && p[1] == L':')) {
        s = s.Left(n - 1);
        n -= 1;
        p = s.c_str();
    }
    if (n < kPlainPathLimit || (p[0] == L'\\' && p[1] == L'\\' && p[2] == L'?')) {
        return s;
    }
    if (IsDriveAbsolute(p)) {
        return CWideString(L"\\\\?\\") + s;
    }
    if (p[0] == L'\\' && p[1] == L'\\') {
        return CWideString(L"\\\\?\\UNC\\") + s.Mid(2);
    }
    return s;
}

DWORD GetEntryAttributes(const CWideString& path) {
    return GetFileAttributesW(ToSystemPath(path).c_str());
}

bool IsExistingFile(const CWideString& path) {
    DWORD attributes = GetEntryAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsExistingFolder(const CWideString& path) {
    DWORD attributes = GetEntryAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

CEntryStamp StampOfFoundEntry(const WIN32_FIND_DATAW& data) {
    return StampOf(data);
}

bool ReadEntryStamp(const CWideString& path, CEntryStamp& stamp) {
    CWideString system = ToSystemPath(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(system.c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    stamp = StampOf(data);
    return true;
}

bool WriteEntryTimes(const CWideString& path, const FILETIME* creation, const FILETIME* lastAccess,
                     const FILETIME* lastWrite) {
    CFileHandle file;
    if (!file.Open(ToSystemPath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                   FILE_FLAG_BACKUP_SEMANTICS)) {
        return false;
    }
    return SetFileTime(file.Get(), creation, lastAccess, lastWrite) != FALSE;
}

bool SetEntryAttributes(const CWideString& path, DWORD attributes) {
    return SetFileAttributesW(ToSystemPath(path).c_str(), attributes) != FALSE;
}

bool GetEntrySize(const CWideString& path, uint64_t& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(ToSystemPath(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool MakeFolder(const CWideString& path) {
    return CreateDirectoryW(ToSystemPath(path).c_str(), nullptr) != FALSE;
}

bool CreateTempFileBeside(const CWideString& finalPath, HANDLE& handle, CWideString& tempPath) {
    static uint32_t s_nCounter = 0;
    handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100; ++attempt) {
        ++s_nCounter;
        CWideString suffix = FormatString(L".~vpe%08x%04x.tmp", GetTickCount() ^ (s_nCounter << 8),
                                          static_cast<int>(GetCurrentProcessId() & 0xFFFF));
        CWideString candidate = finalPath + suffix;
        HANDLE h = CreateFileW(ToSystemPath(candidate).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handle = h;
            tempPath = candidate;
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return false;
}

bool ReplaceWithFile(const CWideString& tempPath, const CWideString& finalPath) {
    return MoveFileExW(ToSystemPath(tempPath).c_str(), ToSystemPath(finalPath).c_str(),
                       MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool RenameOpenFile(HANDLE handle, const CWideString& finalPath) {
    // The system takes the target in its native form, "\??\" and the full path. Under Wine a
    // name without a folder is taken relative to the current directory, not to the file's own
    // folder, so only absolute paths are handed over.
    CWideString system = ToSystemPath(finalPath);
    const wchar_t* p = system.c_str();
    CWideString native;
    if (p[0] == L'\\' && p[1] == L'\\' && p[2] == L'?' && p[3] == L'\\') {
        native = CWideString(L"\\??\\") + system.Mid(4);
    } else if (IsDriveAbsolute(p)) {
        native = CWideString(L"\\??\\") + system;
    } else if (p[0] == L'\\' && p[1] == L'\\') {
        native = CWideString(L"\\??\\UNC\\") + system.Mid(2);
    } else {
        return false;
    }
    DWORD nameBytes = static_cast<DWORD>(native.GetLength()) * sizeof(wchar_t);
    DWORD size = static_cast<DWORD>(sizeof(FILE_RENAME_INFO)) + nameBytes;
    FILE_RENAME_INFO* info = static_cast<FILE_RENAME_INFO*>(calloc(1, size));
    if (info == nullptr) {
        return false;
    }
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = nameBytes;
    memcpy(info->FileName, native.c_str(), nameBytes);
    bool renamed = SetFileInformationByHandle(handle, FileRenameInfo, info, size) != FALSE;
    free(info);
    return renamed;
}

bool WriteHandleStamp(HANDLE handle, const FILETIME* creation, const FILETIME* lastAccess,
                      const FILETIME* lastWrite, DWORD attributes) {
    // Zero leaves a time or the attributes as they are; "none set" is FILE_ATTRIBUTE_NORMAL.
    FILE_BASIC_INFO info;
    memset(&info, 0, sizeof info);
    const FILETIME* times[3] = {creation, lastAccess, lastWrite};
    LARGE_INTEGER* fields[3] = {&info.CreationTime, &info.LastAccessTime, &info.LastWriteTime};
    for (int i = 0; i < 3; ++i) {
        if (times[i] != nullptr) {
            fields[i]->LowPart = times[i]->dwLowDateTime;
            fields[i]->HighPart = static_cast<LONG>(times[i]->dwHighDateTime);
        }
    }
    info.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handle, FileBasicInfo, &info, sizeof info) != FALSE;
}

bool RemoveFile(const CWideString& path) {
    return DeleteFileW(ToSystemPath(path).c_str()) != FALSE;
}

bool AppendToFile(const CWideString& path, const void* bytes, size_t length) {
    CFileHandle file;
    if (!file.Open(ToSystemPath(path).c_str(), GENERIC_WRITE,
                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_ALWAYS)) {
        return false;
    }
    // Neither an append-only handle nor the C runtime's append mode makes "seek to the end,
    // write" one step across processes under Wine (two processes appending lose lines), so the
    // appenders take turns through a lock on one byte far beyond the end of any real file,
    // which no reader or writer of the file's contents ever touches.
    OVERLAPPED lockAt;
    memset(&lockAt, 0, sizeof lockAt);
    lockAt.Offset = 0xFFFFFFF0u;
    lockAt.OffsetHigh = 0x7FFFFFFFu;
    if (!LockFileEx(file.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockAt)) {
        return false;
    }
    LARGE_INTEGER none;
    none.QuadPart = 0;
    bool written = SetFilePointerEx(file.Get(), none, nullptr, FILE_END) != FALSE;
    const char* next = static_cast<const char*>(bytes);
    size_t left = length;
    while (written && left > 0) {
        DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD done = 0;
        written = WriteFile(file.Get(), next, chunk, &done, nullptr) != FALSE && done > 0;
        next += done;
        left -= done;
    }
    UnlockFileEx(file.Get(), 0, 1, 0, &lockAt);
    return written;
}

} // namespace Corvinex
