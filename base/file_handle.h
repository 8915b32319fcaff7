// CFileHandle: owns one Win32 kernel handle (a file, or any handle CloseHandle closes).
#pragma once

#include "base/scoped_handle.h"

#include <windows.h>

namespace Corvinex {

// A CKernelHandle that can also open a file. Moves, never copies.
class CFileHandle : public CKernelHandle {
public:
    using CKernelHandle::CKernelHandle;

    // Opens path (backslash form) through CreateFileW; false and no handle on failure, with the
    // system's error code left in GetLastError.
    bool Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
              DWORD flags = FILE_ATTRIBUTE_NORMAL) {
        Close();
        Attach(CreateFileW(path, access, share, nullptr, disposition, flags, nullptr));
        return IsOpen();
    }
};

} // namespace Corvinex
