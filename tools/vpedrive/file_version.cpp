#include "tools/vpedrive/file_version.h"

#include "tools/vpedrive/console_output.h"

#include <windows.h>

#include <cwchar>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

namespace {

// One text of the block's string table; empty when absent.
std::wstring QueryText(const std::vector<BYTE>& block, const wchar_t* language,
                       const wchar_t* name) {
    std::wstring key = std::wstring(L"\\StringFileInfo\\") + language + L"\\" + name;
    void* value = nullptr;
    UINT length = 0;
    // VerQueryValueW takes a non-const block but only reads it.
    if (!VerQueryValueW(const_cast<BYTE*>(block.data()), key.c_str(), &value, &length) || !value ||
        length == 0)
        return std::wstring();
    const wchar_t* text = static_cast<const wchar_t*>(value);
    return std::wstring(text, wcsnlen(text, length));
}

} // namespace

bool ReadFileVersion(const std::wstring& path, FileVersionInfo* info) {
    *info = FileVersionInfo();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return false;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return false;

    // The first translation names the string table: language and code page as 8 hex digits.
    wchar_t language[9] = L"040904b0";
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) && value &&
        length >= 4) {
        const WORD* pair = static_cast<const WORD*>(value);
        swprintf(language, 9, L"%04x%04x", pair[0], pair[1]);
    }
    info->fileVersion = QueryText(block, language, L"FileVersion");
    info->productVersion = QueryText(block, language, L"ProductVersion");
    info->productName = QueryText(block, language, L"ProductName");
    info->fileDescription = QueryText(block, language, L"FileDescription");
    info->originalFilename = QueryText(block, language, L"OriginalFilename");

    VS_FIXEDFILEINFO* fixed = nullptr;
    if (info->fileVersion.empty() &&
        VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
        wchar_t text[48];
        swprintf(text, 48, L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                 LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                 LOWORD(fixed->dwFileVersionLS));
        info->fileVersion = text;
    }
    return true;
}

void PrintFileVersion(const std::wstring& path, COutput& out) {
    FileVersionInfo info;
    if (!ReadFileVersion(path, &info) || info.fileVersion.empty())
        return;
    std::wstring line = L"File version: " + info.fileVersion;
    if (!info.productName.empty())
        line += L" (" + info.productName +
                (info.productVersion.empty() ? L"" : L" " + info.productVersion) + L")";
    out.Line(line);
}

} // namespace Vpedrive
} // namespace Corvinex
