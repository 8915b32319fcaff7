// The language support a C++ compiler's runtime headers carry, for the MSVC-ABI build with
// clang-cl on Wine's C headers, which have none of it: placement new and delete, std::nothrow,
// and type_info with its comparisons. Declared as Visual Studio's runtime declares them, so the
// objects match its ABI; a Visual Studio build uses its own headers instead and never this one.
#pragma once

#include <stddef.h>

inline void* __cdecl operator new(size_t, void* where) noexcept {
    return where;
}
inline void* __cdecl operator new[](size_t, void* where) noexcept {
    return where;
}
inline void __cdecl operator delete(void*, void*) noexcept {}
inline void __cdecl operator delete[](void*, void*) noexcept {}

namespace std {
struct nothrow_t {
    explicit nothrow_t() = default;
};
extern const nothrow_t nothrow;
} // namespace std

// Null when the memory is not there (msvcrt's operator new answers null then, it never throws).
void* __cdecl operator new(size_t bytes, const std::nothrow_t&) noexcept;
void* __cdecl operator new[](size_t bytes, const std::nothrow_t&) noexcept;
void __cdecl operator delete(void* block, const std::nothrow_t&) noexcept;
void __cdecl operator delete[](void* block, const std::nothrow_t&) noexcept;

// The run-time type of an object, as msvcrt.dll implements it (comparison by decorated name).
// msvcrt.dll is Visual C++ 6's runtime: its comparisons answer int (??8type_info@@QBEHABV0@@Z);
// it has no bool form (Wine resolves an import of one to a stub that ends the process).
class type_info {
public:
    type_info(const type_info&) = delete;
    type_info& operator=(const type_info&) = delete;
    virtual ~type_info();
    int operator==(const type_info& other) const;
    int operator!=(const type_info& other) const;
    // The undecorated name ("class Corvinex::CVariant"); the text belongs to msvcrt.dll.
    const char* name() const;

private:
    mutable void* m_undecorated;
    char m_decorated[1];
};

namespace std {
using ::type_info;
} // namespace std
