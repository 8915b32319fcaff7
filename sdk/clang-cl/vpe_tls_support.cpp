// The TLS directory of a module that uses thread_local, which Visual Studio's static runtime
// gives each module and Wine's libraries do not. A separate object: only a module whose code
// refers to _tls_index (every thread_local does) takes it from the library. lld-link finds
// _tls_used and fills the image's TLS directory from it; the loader then gives each thread its
// copy of the bytes between _tls_start and _tls_end.
#include <windows.h>

#pragma section(".tls", read, write)
#pragma section(".tls$ZZZ", read, write)
#pragma section(".CRT$XLA", long, read)
#pragma section(".CRT$XLZ", long, read)

extern "C" {
// The module's TLS slot, written by the loader.
ULONG _tls_index = 0;

__declspec(allocate(".tls")) char _tls_start = 0;
__declspec(allocate(".tls$ZZZ")) char _tls_end = 0;

// The TLS callbacks lie between these two nulls; this build registers none.
__declspec(allocate(".CRT$XLA")) PIMAGE_TLS_CALLBACK __xl_a = nullptr;
__declspec(allocate(".CRT$XLZ")) PIMAGE_TLS_CALLBACK __xl_z = nullptr;
}

namespace {
// IMAGE_TLS_DIRECTORY (32-bit fields on x86, 64-bit ones on x64) with its addresses as pointers,
// so the compiler writes them as constants with relocations (an integer field would need code to
// run first).
struct TlsDirectory {
    char* pStart;
    char* pEnd;
    ULONG* pIndex;
    PIMAGE_TLS_CALLBACK* pCallbacks;
    DWORD nZeroFill;
    DWORD nCharacteristics;
};
static_assert(sizeof(TlsDirectory) == sizeof(IMAGE_TLS_DIRECTORY), "the system's layout");
} // namespace

extern "C" const TlsDirectory _tls_used = {&_tls_start, &_tls_end, &_tls_index, &__xl_a + 1, 0, 0};

#if defined(_M_IX86)
// The TLS array's offset in the x86 thread environment block, which the compiler's thread_local
// accesses read through fs:[__tls_array] (x64 code reads gs:[0x58] itself).
__asm__(".globl __tls_array\n.set __tls_array, 44");
#endif
