// Writing vpedrive's text to its standard output and error.
#pragma once

#include <windows.h>

#include <string>

namespace Corvinex {
namespace Vpedrive {

// Writes whole lines to a standard handle: through WriteConsoleW when it is a console (any
// character shows), otherwise as UTF-8 bytes (pipes and files, also Wine's Unix streams).
class COutput {
public:
    explicit COutput(DWORD standardHandle) : m_handle(GetStdHandle(standardHandle)) {}
    COutput(const COutput&) = delete;
    COutput& operator=(const COutput&) = delete;

    // Writes the text and a line feed.
    void Line(const std::wstring& text);
    // Writes ASCII text (a JSON line) and a line feed.
    void Line(const std::string& ascii);
    void Line(const wchar_t* text) { Line(std::wstring(text)); }
    void Line(const char*) = delete;

private:
    void Write(const std::wstring& text);
    HANDLE m_handle;
};

// Converts wide text to UTF-8.
std::string ToUtf8(const std::wstring& text);

} // namespace Vpedrive
} // namespace Corvinex
