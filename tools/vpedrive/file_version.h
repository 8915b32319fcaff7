// The version resource (VERSIONINFO) of a program or library, as Explorer's properties show it,
// read by vpedrive's own bounded reader (pe_image.h): a resource whose lengths lie costs the
// version line, never vpedrive, and the system's version functions never see the file.
#pragma once

#include "tools/vpedrive/pe_image.h"

#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

class COutput;

struct FileVersionInfo {
    std::wstring fileVersion;  // "1.0.0.0": the FileVersion text, else the fixed numbers
    std::wstring fixedVersion; // the fixed numbers (VS_FIXEDFILEINFO); empty without them
    std::wstring productVersion;
    std::wstring productName;
    std::wstring fileDescription;
    std::wstring originalFilename;
};

// Reads a version resource block (PeImage::versionBlock): the texts of its first translation
// and the fixed numbers. False when the block is empty or one of its lengths lies; *info is then
// all empty.
bool ParseVersionBlock(const std::vector<BYTE>& block, FileVersionInfo* info);

// ReadPeImage, then ParseVersionBlock. False when the file cannot be read, is damaged, or has
// no readable version resource; *info is then all empty.
bool ReadFileVersion(const std::wstring& path, FileVersionInfo* info);

// Prints "File version: <version> (<product> <product version>)" for the file at `path` when it
// carries a readable version resource; prints nothing otherwise.
void PrintFileVersion(const std::wstring& path, COutput& out);

// "file version 1.2.3.4, built 2026-12-09 00:21:46 UTC" from an image ReadPeImage read with
// `result`: the fixed numbers ("no version resource", "damaged version resource") and the file
// header's time stamp ("no image time stamp" for a file without a PE header).
std::wstring DescribeLibraryFile(PeReadResult result, const PeImage& image);

} // namespace Vpedrive
} // namespace Corvinex
