#include "tools/vpedrive/check_log_lines.h"

#include "engine/check_log_format.h"
#include "tools/driver/text_file.h"

#include <shlobj.h>

namespace Corvinex {
namespace Vpedrive {

namespace {

const LONGLONG kMostBytesRead = 64 * 1024 * 1024;

} // namespace

std::wstring CheckLogPath() {
    std::wstring path = CheckLogFormat::kCheckLogBelowProgramFilesW;
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    wchar_t folder[MAX_PATH] = {0};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder)))
        return path;
    return std::wstring(folder) + L"\\" + path;
}

LONGLONG FileSizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::wstring> ReadAppendedLines(const std::wstring& path, LONGLONG previousSize) {
    std::vector<std::wstring> lines;
    const LONGLONG size = FileSizeOf(path);
    const LONGLONG start = size >= previousSize ? previousSize : 0;
    if (size - start >= kMostBytesRead)
        return lines;
    // The harness or an engine may still be appending: only the bytes there now are read.
    const std::string bytes = Driver::ReadFileBytes(path, static_cast<size_t>(size - start), start);
    for (const std::string& line : Driver::SplitLines(bytes))
        lines.push_back(Driver::FromCodePage(line, CP_ACP));
    return lines;
}

} // namespace Vpedrive
} // namespace Corvinex
