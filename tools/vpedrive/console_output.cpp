#include "tools/vpedrive/console_output.h"

namespace Corvinex {
namespace Vpedrive {

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], n,
                            nullptr, nullptr);
    return utf8;
}

void COutput::Write(const std::wstring& text) {
    if (m_handle == nullptr || m_handle == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(m_handle, &mode)) {
        WriteConsoleW(m_handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string utf8 = ToUtf8(text);
    WriteFile(m_handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void COutput::Line(const std::wstring& text) {
    Write(text + L"\n");
}

void COutput::Line(const std::string& ascii) {
    Write(std::wstring(ascii.begin(), ascii.end()) + L"\n");
}

} // namespace Vpedrive
} // namespace Corvinex
