#include "tools/vpedrive/module_abi.h"

#include "tools/vpedrive/pe_image.h"

#include <vector>

namespace Corvinex {
namespace Vpedrive {

namespace {

bool IsIdentifierChar(BYTE c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// An MSVC type descriptor name at `at`: ".?AV" or ".?AU", decorated name characters, "@@" and a
// zero byte.
bool IsMsvcTypeName(const BYTE* bytes, size_t size, size_t at) {
    if (size - at < 8 || bytes[at] != '.' || bytes[at + 1] != '?' || bytes[at + 2] != 'A' ||
        (bytes[at + 3] != 'V' && bytes[at + 3] != 'U'))
        return false;
    size_t end = at + 4;
    while (end < size && (IsIdentifierChar(bytes[end]) || bytes[end] == '@' || bytes[end] == '?' ||
                          bytes[end] == '$'))
        ++end;
    return end < size && bytes[end] == 0 && end - at >= 7 && bytes[end - 1] == '@' &&
           bytes[end - 2] == '@' && IsIdentifierChar(bytes[at + 4]);
}

// An Itanium nested type name at `at`: "N", two or more <length><identifier> parts, "E" and a
// zero byte.
bool IsItaniumNestedName(const BYTE* bytes, size_t size, size_t at) {
    if (bytes[at] != 'N')
        return false;
    size_t pos = at + 1;
    int parts = 0;
    while (pos < size && bytes[pos] >= '1' && bytes[pos] <= '9') {
        size_t length = 0;
        while (pos < size && bytes[pos] >= '0' && bytes[pos] <= '9' && length < 1000)
            length = length * 10 + (bytes[pos++] - '0');
        if (length == 0 || length >= 1000 || size - pos < length)
            return false;
        for (size_t i = 0; i < length; ++i) {
            if (!IsIdentifierChar(bytes[pos + i]))
                return false;
        }
        pos += length;
        ++parts;
    }
    return parts >= 2 && size - pos >= 2 && bytes[pos] == 'E' && bytes[pos + 1] == 0;
}

} // namespace

ModuleAbi AbiOfBytes(const BYTE* bytes, size_t size) {
    size_t msvc = 0, gcc = 0;
    for (size_t at = 1; at < size; ++at) {
        if (bytes[at - 1] != 0)
            continue;
        if (IsMsvcTypeName(bytes, size, at))
            ++msvc;
        else if (IsItaniumNestedName(bytes, size, at))
            ++gcc;
    }
    if (msvc > gcc)
        return ModuleAbi::Msvc;
    if (gcc > msvc)
        return ModuleAbi::Gcc;
    return ModuleAbi::Unknown;
}

bool ReadModuleAbi(const std::wstring& path, ModuleAbi* abi) {
    *abi = ModuleAbi::Unknown;
    std::vector<BYTE> bytes;
    if (!ReadLibraryFile(path, &bytes))
        return false;
    *abi = AbiOfBytes(bytes.data(), bytes.size());
    return true;
}

bool ReadModuleKind(const std::wstring& path, ModuleKind* kind) {
    *kind = ModuleKind();
    std::vector<BYTE> bytes;
    if (!ReadLibraryFile(path, &bytes))
        return false;
    kind->abi = AbiOfBytes(bytes.data(), bytes.size());
    PeImage image;
    if (ParsePeImage(bytes, &image) != PeReadResult::Ok)
        return false;
    kind->machine = image.machine;
    return true;
}

const wchar_t* AbiName(ModuleAbi abi) {
    switch (abi) {
    case ModuleAbi::Msvc:
        return L"msvc";
    case ModuleAbi::Gcc:
        return L"gcc";
    default:
        return L"unknown";
    }
}

bool ParseAbiName(const std::wstring& text, ModuleAbi* abi) {
    for (ModuleAbi known : {ModuleAbi::Msvc, ModuleAbi::Gcc}) {
        if (_wcsicmp(text.c_str(), AbiName(known)) == 0) {
            *abi = known;
            return true;
        }
    }
    return false;
}

} // namespace Vpedrive
} // namespace Corvinex
