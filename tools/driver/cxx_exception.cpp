#include "tools/driver/cxx_exception.h"

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

const size_t kLongestName = 256;

template <typename T> bool ReadAt(HANDLE process, uint32_t address, T* value) {
    SIZE_T read = 0;
    return address != 0 &&
           ReadProcessMemory(process,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), value,
                             sizeof(T), &read) &&
           read == sizeof(T);
}

// The zero-terminated text at `address`, read in small pieces. A piece that runs past the end
// of the mapped memory fails as a whole (Windows and Wine read nothing then), so that piece is
// read again a byte at a time: a name that ends just before unmapped memory is still read.
std::string ReadName(HANDLE process, uint32_t address) {
    std::string name;
    char piece[16];
    while (name.size() < kLongestName) {
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
        address += static_cast<uint32_t>(read);
    }
    return std::string();
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
    ThrowInfo32 info = {};
    uint32_t count = 0, first = 0;
    CatchableType32 catchable = {};
    // The first catchable type is the thrown type itself; its bases follow.
    if (!ReadAt(process, static_cast<uint32_t>(record.ExceptionInformation[2]), &info) ||
        !ReadAt(process, info.catchableTypes, &count) || count == 0 ||
        !ReadAt(process, info.catchableTypes + 4, &first) || !ReadAt(process, first, &catchable))
        return true;
    const std::string name = ReadName(process, catchable.typeDescriptor + 8);
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
