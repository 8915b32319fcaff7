#include "engine/type_info_layout.h"

#include <stdint.h>
#include <string.h>

#include <windows.h>

namespace Corvinex {

namespace {

// Longest type name looked at; longer ones are not taken for names.
const uint32_t kMaxNameLength = 4096;

bool IsReadableProtection(DWORD protect) {
    if ((protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) {
        return false;
    }
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return (protect & readable) != 0;
}

// Reads one pointer-sized word, if it is readable.
bool ReadWord(const void* address, uintptr_t& word) {
    if (!IsReadableMemory(address, sizeof(word))) {
        return false;
    }
    memcpy(&word, address, sizeof(word));
    return true;
}

// The text at address when it is readable up to its terminating zero and every character is
// one of `allowed` (letters and digits always are); false otherwise.
bool IsNameText(const char* address, const char* allowed) {
    if (address == nullptr) {
        return false;
    }
    for (uint32_t i = 0; i < kMaxNameLength; ++i) {
        if (!IsReadableMemory(address + i, 1)) {
            return false;
        }
        char c = address[i];
        if (c == '\0') {
            return i > 0;
        }
        bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && strchr(allowed, c) == nullptr) {
            return false;
        }
    }
    return false;
}

} // namespace

bool IsReadableMemory(const void* address, unsigned long bytes) {
    uintptr_t at = reinterpret_cast<uintptr_t>(address);
    if (at == 0 || at + bytes < at) {
        return false;
    }
    uintptr_t end = at + bytes;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof(info)) == 0 ||
            info.State != MEM_COMMIT || !IsReadableProtection(info.Protect)) {
            return false;
        }
        uintptr_t regionEnd = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (regionEnd <= at) {
            return false;
        }
        at = regionEnd;
    }
    return true;
}

const void* const* ReadableVirtualTable(const void* object, unsigned long entries) {
    if (!IsReadableMemory(object, sizeof(void*))) {
        return nullptr;
    }
    const void* const* table = *static_cast<const void* const* const*>(object);
    if (!IsReadableMemory(table, entries * sizeof(void*))) {
        return nullptr;
    }
    return table;
}

// Itanium: struct type_info { const void* vtable; const char* name; }. GCC marks the name of a
// type of internal linkage with a leading '*'.
bool IsItaniumTypeInfo(const void* meta) {
    uintptr_t words[2];
    if (!IsReadableMemory(meta, sizeof(words))) {
        return false;
    }
    memcpy(words, meta, sizeof(words));
    if (!IsReadableMemory(reinterpret_cast<const void*>(words[0]), sizeof(uintptr_t))) {
        return false;
    }
    const char* name = reinterpret_cast<const char*>(words[1]);
    if (!IsNameText(name, "_*")) {
        return false;
    }
    // A name of this ABI starts with a length, a nesting N, a substitution S or the mark.
    char first = name[0];
    return (first >= '1' && first <= '9') || first == 'N' || first == 'S' || first == '*';
}

// MSVC: struct CompleteObjectLocator { uint32_t signature, offset, cdOffset; then the type
// descriptor and the class hierarchy }. On x86 (signature 0) those two are addresses; on x64
// (signature 1) they are offsets from the image base (RVAs), followed by the locator's own RVA,
// which gives the base. The type descriptor is { const void* vftable; void* spare; char name[]; }
// with a name such as ".?AVIVeilpathEngine@VeilpathEngine@Corvinex@@", the hierarchy
// { uint32_t signature, attributes, count; bases; } with `count` 32-bit words at `bases`
// (addresses on x86, RVAs on x64). Judged in the form of this module's machine type.
bool IsMsvcCompleteObjectLocator(const void* meta) {
#if defined(_WIN64)
    const uint32_t kSignature = 1;
    uint32_t locator[6];
#else
    const uint32_t kSignature = 0;
    uint32_t locator[5];
#endif
    if (!IsReadableMemory(meta, sizeof(locator))) {
        return false;
    }
    memcpy(locator, meta, sizeof(locator));
    if (locator[0] != kSignature) {
        return false;
    }
    // The words that locate the type descriptor, the hierarchy and its bases are offsets from
    // this base: the image's on x64, 0 (they are addresses) on x86.
#if defined(_WIN64)
    const uintptr_t base = reinterpret_cast<uintptr_t>(meta) - locator[5];
#else
    const uintptr_t base = 0;
#endif
    const char* type = reinterpret_cast<const char*>(base + locator[3]);
    const size_t nameOffset = 2 * sizeof(void*);
    if (!IsReadableMemory(type, nameOffset)) {
        return false;
    }
    const char* name = type + nameOffset;
    if (!IsNameText(name, ".?@$_") || strncmp(name, ".?A", 3) != 0 ||
        (name[3] != 'V' && name[3] != 'U')) {
        return false;
    }
    uint32_t hierarchy[4];
    const void* hierarchyAt = reinterpret_cast<const void*>(base + locator[4]);
    if (!IsReadableMemory(hierarchyAt, sizeof(hierarchy))) {
        return false;
    }
    memcpy(hierarchy, hierarchyAt, sizeof(hierarchy));
    const void* bases = reinterpret_cast<const void*>(base + hierarchy[3]);
    return hierarchy[2] > 0 && hierarchy[2] < 0x10000 &&
           IsReadableMemory(bases, hierarchy[2] * sizeof(uint32_t));
}

bool HasTypeInfoOfThisAbi(const void* object) {
    uintptr_t table = 0;
    uintptr_t meta = 0;
    if (!ReadWord(object, table) || table < sizeof(uintptr_t) ||
        !ReadWord(reinterpret_cast<const void*>(table - sizeof(uintptr_t)), meta)) {
        return false;
    }
#ifdef _MSC_VER
    return IsMsvcCompleteObjectLocator(reinterpret_cast<const void*>(meta));
#else
    return IsItaniumTypeInfo(reinterpret_cast<const void*>(meta));
#endif
}

} // namespace Corvinex
