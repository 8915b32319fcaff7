// The exception code that a write through a null pointer raises on this system.
#pragma once

#include "base/fault_guard.h"

#include <windows.h>

#include <string>

namespace VpeTest {
namespace FaultCodeDetail {

// `target` is null at run time; the compiler cannot see it, so the write is really made.
inline void WriteThrough(void* target) {
    *static_cast<volatile int*>(target) = 1;
}

} // namespace FaultCodeDetail

// EXCEPTION_ACCESS_VIOLATION natively. Where Wine's i386 side runs under qemu's user-mode
// emulation, qemu's signal frame carries no page-fault trap number and Wine reports
// EXCEPTION_ILLEGAL_INSTRUCTION instead: tests that provoke such a write expect this code.
inline DWORD NullWriteFaultCode() {
    static const DWORD code = [] {
        unsigned long seen = 0;
        Corvinex::RunGuarded(FaultCodeDetail::WriteThrough, nullptr, &seen);
        return static_cast<DWORD>(seen);
    }();
    return code;
}

// The code as "0xC0000005", the way the driver and vpedrive print it.
inline std::wstring NullWriteFaultText() {
    wchar_t text[16];
    wsprintfW(text, L"0x%08lX", static_cast<unsigned long>(NullWriteFaultCode()));
    return text;
}

} // namespace VpeTest
