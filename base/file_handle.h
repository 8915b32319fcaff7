// CFileHandle: owns one Win32 file handle and closes it.
#pragma once

#include <windows.h>

namespace Corvinex {

class CFileHandle {
public:
    // Holds no handle.
    CFileHandle() : m_hFile(INVALID_HANDLE_VALUE) {}
    // Takes ownership of handle (INVALID_HANDLE_VALUE or null hold none).
    explicit CFileHandle(HANDLE handle)
        : m_hFile(handle == nullptr ? INVALID_HANDLE_VALUE : handle) {}
    ~CFileHandle() { Close(); }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;

    // Opens path (backslash form) through CreateFileW; false and no handle on failure, with the
    // system's error code left in GetLastError.
    bool Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
              DWORD flags = FILE_ATTRIBUTE_NORMAL) {
        Close();
        HANDLE handle = CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
        m_hFile = handle;
        return IsOpen();
    }
    // Closes the handle if one is held; true when there was none or it closed.
    bool Close() {
        bool ok = true;
        if (IsOpen()) {
            ok = CloseHandle(m_hFile) != FALSE;
        }
        m_hFile = INVALID_HANDLE_VALUE;
        return ok;
    }
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE && m_hFile != nullptr; }
    HANDLE Get() const { return m_hFile; }
    // Closes the handle held, if any, and takes ownership of `handle` (any kernel handle that
    // CloseHandle closes: a file, a process, a thread, an event).
    void Attach(HANDLE handle) {
        Close();
        m_hFile = handle == nullptr ? INVALID_HANDLE_VALUE : handle;
    }

private:
    HANDLE m_hFile;
};

} // namespace Corvinex
