#include "tools/driver/cxx_exception.h"

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace Corvinex {
namespace Driver {

namespace {

// The magic numbers of ExceptionInformation[0] of MSVC throws (compiler generations).
bool IsMsvcThrowMagic(ULONG_PTR magic) {
    return magic == 0x19930520u || magic == 0x19930521u || magic == 0x19930522u;
}

// The 32-bit layouts the MSVC runtime raises with (pointers, not image offsets).
struct ThrowInfo32 {
    uint32_t attributes;
    uint32_t unwind;
    uint32_t forwardCompat;
    uint32_t catchableTypes; // -> CatchableTypeArray32
};
struct CatchableType32 {
    uint32_t properties;
    uint32_t typeDescriptor; // -> vftable pointer, spare pointer, then the decorated name
};

// The x64 layouts: every reference is a 32-bit offset from the image base of the module that
// threw, which the record carries as its fourth parameter.
struct ThrowInfo64 {
    uint32_t attributes;
    int32_t unwind;
    int32_t forwardCompat;
    int32_t catchableTypes; // -> count, then the offsets of the catchable types
};
struct CatchableType64 {
    uint32_t properties;
    int32_t typeDescriptor; // -> 8-byte vftable pointer, 8-byte spare pointer, then the name
};

const size_t kLongestName = 256;

// Whether this process can address `address` at all (a 32-bit process reads nothing above
// 4 GiB).
bool Addressable(uint64_t address) {
    return address != 0 && address <= UINTPTR_MAX;
}

template <typename T> bool ReadAt(HANDLE process, uint64_t address, T* value) {
    SIZE_T read = 0;
    return Addressable(address) &&
           ReadProcessMemory(process,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), value,
                             sizeof(T), &read) &&
           read == sizeof(T);
}

// The zero-terminated text at `address`, read in small pieces. A piece that runs past the end
// of the mapped memory fails as a whole (Windows and Wine read nothing then), so that piece is
// read again a byte at a time: a name that ends just before unmapped memory is still read.
std::string ReadName(HANDLE process, uint64_t address) {
    std::string name;
    char piece[16];
    while (name.size() < kLongestName && Addressable(address)) {
        SIZE_T read = 0;
        const void* at = reinterpret_cast<const void*>(static_cast<uintptr_t>(address));
        if (!ReadProcessMemory(process, at, piece, sizeof(piece), &read) || read == 0) {
            read = 0;
            if (!ReadProcessMemory(process, at, piece, 1, &read) || read != 1)
                return std::string();
        }
        for (SIZE_T i = 0; i < read; ++i) {
            if (piece[i] == '\0')
                return name;
            name += piece[i];
        }
        address += read;
    }
    return std::string();
}

// The decorated name of the thrown type in a 32-bit throw: the information at `info` points at
// everything. Empty when it cannot be read.
std::string ReadThrownName32(HANDLE process, uint64_t info) {
    ThrowInfo32 throwInfo = {};
    uint32_t count = 0, first = 0;
    CatchableType32 catchable = {};
    // The first catchable type is the thrown type itself; its bases follow.
    if (!ReadAt(process, info, &throwInfo) || !ReadAt(process, throwInfo.catchableTypes, &count) ||
        count == 0 ||
        !ReadAt(process, static_cast<uint64_t>(throwInfo.catchableTypes) + 4, &first) ||
        !ReadAt(process, first, &catchable))
        return std::string();
    return ReadName(process, static_cast<uint64_t>(catchable.typeDescriptor) + 8);
}

// The size of the x64 image at `base`, read from its headers; 0 when no x64 image is there.
uint32_t X64ImageSize(HANDLE process, uint64_t base) {
    IMAGE_DOS_HEADER dos = {};
    DWORD signature = 0;
    IMAGE_FILE_HEADER file = {};
    DWORD size = 0;
    if (!ReadAt(process, base, &dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0)
        return 0;
    const uint64_t nt = base + static_cast<uint32_t>(dos.e_lfanew);
    const uint64_t optional = nt + sizeof(signature) + sizeof(file);
    if (!ReadAt(process, nt, &signature) || signature != IMAGE_NT_SIGNATURE ||
        !ReadAt(process, nt + sizeof(signature), &file) ||
        file.Machine != IMAGE_FILE_MACHINE_AMD64 ||
        !ReadAt(process, optional + offsetof(IMAGE_OPTIONAL_HEADER64, SizeOfImage), &size))
        return 0;
    return size;
}

// The decorated name of the thrown type in an x64 throw: the information at `info` lies in the
// image at `base`, and its offsets lead to the name. Every offset must stay inside that image,
// so a record whose addresses this process cannot reach (or that point elsewhere) names nothing.
std::string ReadThrownName64(HANDLE process, uint64_t base, uint64_t info) {
    const uint32_t size = X64ImageSize(process, base);
    // `length` bytes at `offset` lie inside the image.
    auto inside = [size](int64_t offset, int64_t length) {
        return offset > 0 && offset + length <= static_cast<int64_t>(size);
    };
    ThrowInfo64 throwInfo = {};
    int32_t count = 0, first = 0;
    CatchableType64 catchable = {};
    if (size == 0 || info < base || !inside(static_cast<int64_t>(info - base), sizeof(throwInfo)) ||
        !ReadAt(process, info, &throwInfo) ||
        !inside(throwInfo.catchableTypes, 2 * sizeof(int32_t)) ||
        !ReadAt(process, base + throwInfo.catchableTypes, &count) || count <= 0 ||
        !ReadAt(process, base + throwInfo.catchableTypes + 4, &first) ||
        !inside(first, sizeof(catchable)) || !ReadAt(process, base + first, &catchable) ||
        !inside(static_cast<int64_t>(catchable.typeDescriptor) + 16, 1))
        return std::string();
    return ReadName(process, base + catchable.typeDescriptor + 16);
}

} // namespace

bool FindTerminateLine(const std::string& output, std::string* type) {
    const std::string thrown = "terminate called after throwing an instance of '";
    type->clear();
    size_t at = output.find(thrown);
    if (at != std::string::npos) {
        const size_t begin = at + thrown.size();
        const size_t end = output.find('\'', begin);
        if (end != std::string::npos && output.find('\n', begin) > end)
            *type = output.substr(begin, end - begin);
        return true;
    }
    return output.find("terminate called without an active exception") != std::string::npos;
}

bool ReadMsvcThrownType(HANDLE process, const EXCEPTION_RECORD& record, std::wstring* type) {
    type->clear();
    if (record.ExceptionCode != kMsvcCxxExceptionCode || record.NumberParameters < 3 ||
        !IsMsvcThrowMagic(record.ExceptionInformation[0]))
        return false;
    // An x64 runtime adds the image base of the module that threw as the fourth parameter.
    const uint64_t info = record.ExceptionInformation[2];
    const std::string name = record.NumberParameters >= 4 && record.ExceptionInformation[3] != 0
                                 ? ReadThrownName64(process, record.ExceptionInformation[3], info)
                                 : ReadThrownName32(process, info);
    if (!name.empty())
        *type = ReadableMsvcTypeName(name);
    return true;
}

std::wstring ReadableMsvcTypeName(const std::string& decorated) {
    const std::wstring raw(decorated.begin(), decorated.end());
    // ".?AV" a class, ".?AU" a struct; then the name and its scopes, innermost first, each
    // ended by '@', and one more '@' at the end.
    if (decorated.size() < 6 || decorated.compare(0, 3, ".?A") != 0 ||
        (decorated[3] != 'V' && decorated[3] != 'U') ||
        decorated.compare(decorated.size() - 2, 2, "@@") != 0)
        return raw;
    std::vector<std::string> parts;
    size_t at = 4;
    while (at < decorated.size() - 1) {
        const size_t end = decorated.find('@', at);
        if (end == at)
            break;
        const std::string part = decorated.substr(at, end - at);
        for (char c : part) {
            if (!(c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                  (c >= 'a' && c <= 'z')))
                return raw; // a template, a back reference or another encoding
        }
        parts.push_back(part);
        at = end + 1;
    }
    if (parts.empty() || at != decorated.size() - 1)
        return raw;
    std::wstring readable;
    for (size_t i = parts.size(); i-- > 0;) {
        readable += std::wstring(parts[i].begin(), parts[i].end());
        if (i > 0)
            readable += L"::";
    }
    return readable;
}

} // namespace Driver
} // namespace Corvinex
