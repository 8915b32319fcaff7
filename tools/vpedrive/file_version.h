// The version resource (VERSIONINFO) of a program or library, as Explorer's properties show it.
#pragma once

#include <string>

namespace Corvinex {
namespace Vpedrive {

class COutput;

struct FileVersionInfo {
    std::wstring fileVersion; // "1.0.0.0"
    std::wstring productVersion;
    std::wstring productName;
    std::wstring fileDescription;
    std::wstring originalFilename;
};

// Reads the version resource of the file at `path` (texts of its first translation; the file
// version falls back to the fixed numbers). False when the file has no version resource or
// cannot be read; *info is then all empty.
bool ReadFileVersion(const std::wstring& path, FileVersionInfo* info);

// Prints "File version: <version> (<product> <product version>)" for the file at `path` when it
// carries a version resource; prints nothing for a file without one.
void PrintFileVersion(const std::wstring& path, COutput& out);

} // namespace Vpedrive
} // namespace Corvinex
