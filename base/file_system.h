// Wide file-system calls for paths of any length and any characters.
//
// Paths come in the program's forward-slash form (backslashes are accepted too). Absolute paths
// of MAX_PATH characters or more are handed to the system with the \\?\ prefix, so files deep
// in a tree and names outside the ANSI code page work alike.
#pragma once

#include "base/wide_string.h"

#include <windows.h>

#include <stdint.h>

namespace Corvinex {

// The form handed to system calls: backslashes, without a trailing one (except for a drive
// root), and with the \\?\ (or \\?\UNC\) prefix when an absolute path is too long otherwise.
CWideString ToSystemPath(const CWideString& path);

// Attributes, the three times and, for files, the size of an entry.
struct CEntryStamp {
    DWORD nAttributes;
    FILETIME creation;
    FILETIME lastAccess;
    FILETIME lastWrite;
    uint64_t nSize;
};

// The stamp of an entry as a directory search (FindFirstFileW, FindNextFileW) reports it, so a
// folder's listing gives every entry's stamp without a call per entry.
CEntryStamp StampOfFoundEntry(const WIN32_FIND_DATAW& data);

// The entry's attributes, or INVALID_FILE_ATTRIBUTES when it does not exist.
DWORD GetEntryAttributes(const CWideString& path);
// True when path names an existing entry that is not a directory. No wildcards are expanded;
// long paths work. The existence check to use by default, the reference engine's too; FileExists
// (base/paths.h) only where its wildcard-matching rule is wanted.
bool IsExistingFile(const CWideString& path);
// True when path names an existing directory.
bool IsExistingFolder(const CWideString& path);
// Attributes, times and size of an existing entry (a folder's times too); false when they
// cannot be read, and stamp is then undefined.
bool ReadEntryStamp(const CWideString& path, CEntryStamp& stamp);
// Sets the times given (null leaves one unchanged) of an existing file; false on failure.
bool WriteEntryTimes(const CWideString& path, const FILETIME* creation, const FILETIME* lastAccess,
                     const FILETIME* lastWrite);
// SetFileAttributesW; false on failure.
bool SetEntryAttributes(const CWideString& path, DWORD attributes);
// Size of an existing file (not a directory); false when there is none.
bool GetEntrySize(const CWideString& path, uint64_t& size);
// Creates one directory; true when it was created.
bool MakeFolder(const CWideString& path);
// Creates a new empty file beside finalPath, under a name no entry has, open for writing, for
// setting its stamp and for renaming (RenameOpenFile); its path goes to tempPath. The caller
// closes the handle. False when none can be made.
bool CreateTempFileBeside(const CWideString& finalPath, HANDLE& handle, CWideString& tempPath);
// Moves tempPath over finalPath in one step (MoveFileExW, replacing); false leaves both as
// they were.
bool ReplaceWithFile(const CWideString& tempPath, const CWideString& finalPath);
// Renames the file open as handle (opened with DELETE access) to the absolute finalPath,
// replacing an entry there, without opening either again. False leaves both as they were;
// then ReplaceWithFile after closing the handle is the way (the system may not rename open
// files, or not over a read-only one).
bool RenameOpenFile(HANDLE handle, const CWideString& finalPath);
// Sets the times given (null leaves one unchanged) and the attributes (0: none set) of the
// file open as handle (opened with write access) in one call; false on failure.
bool WriteHandleStamp(HANDLE handle, const FILETIME* creation, const FILETIME* lastAccess,
                      const FILETIME* lastWrite, DWORD attributes);
// Deletes a file; false on failure.
bool RemoveFile(const CWideString& path);
// Appends length bytes at the end of the file (created when missing; others may read, write and
// delete it meanwhile) while holding an exclusive lock that every caller of this function takes
// on the same file, so appends from several processes neither overwrite nor split each other.
// Waits for the lock; false when the file cannot be opened, or when the lock or a write failed
// (then part of the bytes may have been written).
bool AppendToFile(const CWideString& path, const void* bytes, size_t length);

} // namespace Corvinex
