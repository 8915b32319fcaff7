// Which C++ ABI a module was built in, read from the type names its file carries: an engine can
// be bound only by a harness of its own ABI.
#pragma once

#include <windows.h>

#include <string>

namespace Corvinex {
namespace Vpedrive {

enum class ModuleAbi {
    Unknown, // no type names of either ABI, or as many of one as of the other
    Msvc,    // type descriptor names ".?AVIVeilpathEngine@VeilpathEngine@Corvinex@@"
    Gcc,     // Itanium type names "N8Corvinex14VeilpathEngine15IVeilpathEngineE"
};

// The ABI whose type names outnumber the other's in `size` bytes of a module file; a name
// counts when it stands alone between zero bytes. Unknown when neither shows.
ModuleAbi AbiOfBytes(const BYTE* bytes, size_t size);

// Reads the file at `path` and judges it as AbiOfBytes does. False when it cannot be read
// (*abi is then Unknown).
bool ReadModuleAbi(const std::wstring& path, ModuleAbi* abi);

// What a module is built for: its machine type (IMAGE_FILE_MACHINE_*, 0 when unknown) and its
// C++ ABI. A program binds an engine only when both match.
struct ModuleKind {
    WORD machine = 0;
    ModuleAbi abi = ModuleAbi::Unknown;
};

// Reads the file at `path` once: its machine type through the bounded reader (pe_image.h) and
// its ABI as AbiOfBytes judges it. False when it cannot be read or is no readable image (*kind
// then keeps no machine type, and the ABI of the bytes when they were read).
bool ReadModuleKind(const std::wstring& path, ModuleKind* kind);

// "msvc", "gcc" or "unknown": the names --abi takes.
const wchar_t* AbiName(ModuleAbi abi);

// The ABI named `text` ("msvc" or "gcc", any case); false for any other text.
bool ParseAbiName(const std::wstring& text, ModuleAbi* abi);

} // namespace Vpedrive
} // namespace Corvinex
