// Raw registry access, the one way the project reads and writes the registry. Key paths are
// written with forward slashes like file paths and turned into registry form (NormalizeKeyPath)
// only when a key is opened. Every key is flushed before it is closed. Only REG_DWORD and REG_SZ
// values are read or written; a missing key or value, a value of another type or a failed read
// answers kRegistryNotDone and leaves the output untouched.
#pragma once

#include "base/scoped_handle.h"
#include "base/wide_string.h"

#include <windows.h>

#include <stdint.h>

namespace Corvinex {

// What the functions below answer; the numbers are fixed.
enum RegistryResult {
    kRegistryDone = 0,
    kRegistryNotDone = 1,    // no such key or value, a value of another type, or a failed call
    kRegistryNoBuffer = 101, // no read buffer could be had
};

// Flushes, then closes a raw key handle; non-zero when RegCloseKey failed.
int CloseRegistryKey(HKEY key);
// CloseRegistryKey as the closing function of a scoped handle: true when the key closed.
inline bool FlushAndCloseRegistryKey(HKEY key) {
    return CloseRegistryKey(key) == 0;
}

// Owns one open registry key: flushes and closes it when destroyed, reset or moved onto.
class CRegistryKey : public CScopedHandle<HKEY, FlushAndCloseRegistryKey> {
    typedef CScopedHandle<HKEY, FlushAndCloseRegistryKey> Base;

public:
    using Base::Base;
    // Flushes and closes the key held (if any); non-zero when RegCloseKey failed.
    int Close() { return Base::Close() ? 0 : 1; }
};

// Registry form of a key path: slashes become backslashes, one trailing separator is dropped
// and runs of separators shrink to one. "a/b/", "a//b" and "a\\b" all give "a\b".
CWideString NormalizeKeyPath(const CWideString& path);

// Opens the key below root with the access mask; kRegistryDone opened (key receives it).
int OpenRegistryKey(HKEY root, const CWideString& path, REGSAM access, CRegistryKey* key);
// Creates or opens the key for writing, with any missing keys along the path; kRegistryDone.
// With a null key the new handle is flushed and closed at once.
int CreateRegistryKey(HKEY root, const CWideString& path, CRegistryKey* key);
// Reads a REG_DWORD value; kRegistryDone read into *value (else untouched).
int ReadDwordValue(HKEY root, const CWideString& path, const CWideString& name, uint32_t* value);
// Reads a REG_SZ value of at most 260 bytes with its terminator (129 characters); a longer
// value counts as absent. kRegistryDone read into *text, kRegistryNotDone, kRegistryNoBuffer.
int ReadStringValue(HKEY root, const CWideString& path, const CWideString& name, CWideString* text);
// Stores text as REG_SZ with its terminator, creating the key if needed; kRegistryDone stored.
int WriteStringValue(HKEY root, const CWideString& path, const CWideString& name,
                     const CWideString& text);
// Stores a REG_DWORD value, creating the key if needed; kRegistryDone stored.
int WriteDwordValue(HKEY root, const CWideString& path, const CWideString& name, uint32_t value);
// Deletes the value; kRegistryDone when it is gone afterwards (also when it never existed or
// its key does not exist).
int DeleteRegistryValue(HKEY root, const CWideString& path, const CWideString& name);

} // namespace Corvinex
