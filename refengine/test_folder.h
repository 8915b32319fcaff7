// A fresh folder under the temporary folder for one test, removed with everything in it.
#pragma once

#include "base/scoped_handle.h"

#include <windows.h>

#include <string>

namespace VpeTest {

class CTestFolder {
public:
    CTestFolder() {
        wchar_t temp[MAX_PATH] = {0};
        GetTempPathW(MAX_PATH, temp);
        wchar_t name[64];
        _snwprintf(name, 64, L"vpe-refengine-%lu-%lu\\", GetCurrentProcessId(), GetTickCount());
        name[63] = L'\0';
        m_path = std::wstring(temp) + name;
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~CTestFolder() { RemoveTree(m_path); }
    CTestFolder(const CTestFolder&) = delete;
    CTestFolder& operator=(const CTestFolder&) = delete;

    // The folder with a trailing backslash.
    const std::wstring& Path() const { return m_path; }

private:
    static void RemoveTree(const std::wstring& folder) {
        WIN32_FIND_DATAW entry;
        Corvinex::CFindHandle search(FindFirstFileW((folder + L"*").c_str(), &entry));
        if (search.IsOpen()) {
            do {
                std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..") {
                    continue;
                }
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(folder + name + L"\\");
                } else {
                    DeleteFileW((folder + name).c_str());
                }
            } while (FindNextFileW(search.Get(), &entry));
            // Closed before the folder is removed: an open search keeps it.
            search.Close();
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring m_path;
};

} // namespace VpeTest
