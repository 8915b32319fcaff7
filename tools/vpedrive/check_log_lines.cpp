#include "tools/vpedrive/check_log_lines.h"

#include "base/file_handle.h"
#include "engine/check_log_format.h"

#include <shlobj.h>

namespace Corvinex {
namespace Vpedrive {

namespace {

const LONGLONG kMostBytesRead = 64 * 1024 * 1024;

std::wstring FromAnsi(const std::string& line) {
    int n = MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), &wide[0], n);
    return wide;
}

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
    CFileHandle file;
    // Shared for writing: the harness or an engine may still be appending.
    if (!file.Open(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING))
        return lines;
    LARGE_INTEGER size = {};
    GetFileSizeEx(file.Get(), &size);
    LARGE_INTEGER start = {};
    start.QuadPart = size.QuadPart >= previousSize ? previousSize : 0;
    std::string bytes;
    if (size.QuadPart - start.QuadPart < kMostBytesRead &&
        SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN)) {
        bytes.resize(static_cast<size_t>(size.QuadPart - start.QuadPart));
        DWORD read = 0;
        if (!bytes.empty() &&
            !ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
            read = 0;
        bytes.resize(read);
    }
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(FromAnsi(line));
        at = end + 1;
    }
    return lines;
}

} // namespace Vpedrive
} // namespace Corvinex
