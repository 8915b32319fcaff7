#include "tools/vpedrive/console_output.h"

namespace Corvinex {
namespace Vpedrive {

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
