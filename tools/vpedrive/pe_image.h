// Reading what a library file says about itself: its machine, kind, time stamp, imports,
// exports and version resource. The one reader of library files in vpedrive: every read is
// bounded by the file's bytes, so a damaged file is answered, never trusted.
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
    DWORD timeStamp = 0;              // the file header's build time, seconds since 1970 (UTC)
    std::vector<std::string> imports; // names of the imported libraries, in table order
    std::vector<std::string> exports; // exported names
    std::vector<BYTE> versionBlock;   // the version resource's bytes; empty without one
    std::wstring damage;              // Damaged: what is wrong ("its import table lies ...")
};

enum class PeReadResult {
    Ok,
    CannotRead, // the file cannot be opened or read
    NotPe,      // no MZ header, or no PE header behind it
    Damaged,    // headers present, but cut off or with tables outside the file (see damage)
};

// The whole library file into *bytes; false when it cannot be opened or read, or is larger than
// any library could be (256 MiB).
bool ReadLibraryFile(const std::wstring& path, std::vector<BYTE>* bytes);

// Reads the image in `bytes`: headers, section table, time stamp, imports, exports and resource
// tree, of a PE32 or PE32+ image of any machine type (an x86 image with a 64-bit optional header,
// or an x64 image with a 32-bit one, is damaged). *image is reset first; on NotPe and Damaged it
// holds what was read before the fault.
PeReadResult ParsePeImage(const std::vector<BYTE>& bytes, PeImage* image);

// ReadLibraryFile, then ParsePeImage.
PeReadResult ReadPeImage(const std::wstring& path, PeImage* image);

// A short name of the machine: "x86", "x64", "ARM64", ... or the number in hex.
std::wstring MachineName(WORD machine);

} // namespace Vpedrive
} // namespace Corvinex
