// Where the test programs find what CMake built for them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace VpeTest {

// The folder of the running test program, with a trailing backslash.
inline std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH * 4] = {0};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring text(path, n);
    return text.substr(0, text.find_last_of(L"\\/") + 1);
}

// The file of a test engine library built by vpe_add_test_engine.
inline std::wstring TestEnginePath(const wchar_t* name, const wchar_t* file = L"vpe.dll") {
    return ProgramFolder() + L"engines\\" + name + L"\\" + file;
}

// The path with every backslash turned into a forward slash.
inline std::wstring Forward(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    return path;
}

// The process's current directory as the system reports it, at any length.
inline std::wstring SystemCurrentDirectory() {
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::vector<wchar_t> buffer(n + 1);
    GetCurrentDirectoryW(n, buffer.data());
    return buffer.data();
}

} // namespace VpeTest
