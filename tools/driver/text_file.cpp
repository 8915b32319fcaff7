#include "tools/driver/text_file.h"

#include "base/file_handle.h"

namespace Corvinex {
namespace Driver {

std::string ReadFileBytes(const std::wstring& path, size_t limit, LONGLONG from) {
    std::string bytes;
    CFileHandle file;
    if (!file.Open(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING))
        return bytes;
    LARGE_INTEGER start = {};
    start.QuadPart = from;
    if (from != 0 && !SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN))
        return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (bytes.size() < limit && ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) &&
           read > 0)
        bytes.append(buffer, read < limit - bytes.size() ? read : limit - bytes.size());
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    CFileHandle file;
    if (!file.Open(path.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS))
        return false;
    DWORD written = 0;
    return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(at, end - at));
        if (!lines.back().empty() && lines.back().back() == '\r')
            lines.back().pop_back();
        at = end + 1;
    }
    return lines;
}

std::wstring FromCodePage(const std::string& bytes, UINT codePage) {
    if (bytes.empty())
        return std::wstring();
    const int n =
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], n);
    return wide;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], n,
                            nullptr, nullptr);
    return utf8;
}

} // namespace Driver
} // namespace Corvinex
