// Whole-file reads and writes and FILETIME conversions for tests of the file objects.
#pragma once

#include "base/file_handle.h"
#include "base/file_system.h"
#include "base/wide_string.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace VpeTest {

typedef std::vector<uint8_t> Bytes;

// Creates or truncates the file (forward-slash path) and writes bytes; false when it cannot.
inline bool WriteBytes(const Corvinex::CWideString& path, const Bytes& bytes) {
    Corvinex::CFileHandle file;
    if (!file.Open(Corvinex::ToSystemPath(path).c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS)) {
        return false;
    }
    DWORD written = 0;
    return bytes.empty() || (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                       &written, nullptr) != FALSE &&
                             written == bytes.size());
}

// The whole content of the file; empty when it cannot be opened.
inline Bytes ReadBytes(const Corvinex::CWideString& path) {
    Bytes out;
    Corvinex::CFileHandle file;
    if (!file.Open(Corvinex::ToSystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                   OPEN_EXISTING, 0)) {
        return out;
    }
    uint8_t buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        out.insert(out.end(), buffer, buffer + got);
    }
    return out;
}

inline uint64_t TimeValue(const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

inline FILETIME MakeTime(uint64_t value) {
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(value);
    t.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return t;
}

} // namespace VpeTest
