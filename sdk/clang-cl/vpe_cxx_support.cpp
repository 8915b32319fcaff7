// What Visual Studio's static runtime gives every module and Wine's libraries do not: the
// type_info vftable, std::nothrow with the nothrow forms of new and delete, __std_terminate and
// the floating-point marker. operator new and delete themselves are msvcrt.dll's (msvcrt_cxx.def).
#include "vpe_cxx_support.h"

#include <stdlib.h>

namespace {
// The one slot of type_info's vftable, its deleting destructor: type_info objects are the
// compiler's, never destroyed.
void* __fastcall TypeInfoDeletingDestructor(void* self, void*, unsigned) {
    return self;
}
} // namespace

// Every type descriptor the compiler writes starts with the address of this table; it cannot be
// imported (an import is an address to load, not a constant), so each module defines it.
// Its name is the decorated one the compiler refers to.
extern "C" const void* const vpeTypeInfoVftable[1] __asm__("??_7type_info@@6B@") = {
    reinterpret_cast<const void*>(&TypeInfoDeletingDestructor)};

namespace std {
const nothrow_t nothrow{};
} // namespace std

void* __cdecl operator new(size_t bytes, const std::nothrow_t&) noexcept {
    return ::operator new(bytes);
}
void* __cdecl operator new[](size_t bytes, const std::nothrow_t&) noexcept {
    return ::operator new[](bytes);
}
void __cdecl operator delete(void* block, const std::nothrow_t&) noexcept {
    ::operator delete(block);
}
void __cdecl operator delete[](void* block, const std::nothrow_t&) noexcept {
    ::operator delete[](block);
}

// Called by the compiler's cleanup code when an exception leaves a noexcept function.
extern "C" void __cdecl __std_terminate() {
    abort();
}

// Referenced by every object that uses floating point.
extern "C" int _fltused = 0;
