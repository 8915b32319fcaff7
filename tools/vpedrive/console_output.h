// Writing vpedrive's text to its standard output and error.
#pragma once

#include "tools/driver/text_file.h"

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

using Driver::ToUtf8;

// UTF-8 text (a helper's report, a command line) as wide text.
inline std::wstring FromUtf8(const std::string& text) {
    return Driver::FromCodePage(text, CP_UTF8);
}

} // namespace Vpedrive
} // namespace Corvinex
