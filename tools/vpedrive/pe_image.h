// Reading what a library file says about itself: its machine, kind, imports and exports.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

struct PeImage {
    WORD machine = 0;                 // IMAGE_FILE_MACHINE_*
    bool isDll = false;               // IMAGE_FILE_DLL is set
    bool isPe32Plus = false;          // 64-bit optional header
    std::vector<std::string> imports; // names of the imported libraries, in table order
    std::vector<std::string> exports; // exported names
};

enum class PeReadResult {
    Ok,
    CannotRead, // the file cannot be opened or read
    NotPe,      // no MZ header, or no PE header behind it
    Damaged,    // headers present but the import or export tables point outside the file
};

// The whole library file into *bytes; false when it cannot be opened or read, or is larger than
// any library could be (256 MiB).
bool ReadLibraryFile(const std::wstring& path, std::vector<BYTE>* bytes);

// Reads the headers of the file; imports and exports are only read for a 32-bit x86 image.
PeReadResult ReadPeImage(const std::wstring& path, PeImage* image);

// A short name of the machine: "x86", "x64", "ARM64", ... or the number in hex.
std::wstring MachineName(WORD machine);

} // namespace Vpedrive
} // namespace Corvinex
