// A fresh folder under the temp folder for one test, removed with everything in it afterwards.
#pragma once

#include "base/scoped_handle.h"

#include <windows.h>

#include <string>
#include <vector>

namespace VpeTest {

// Deletes the folder (backslash form, \\?\ prefix allowed) and all it holds; read-only and
// hidden entries included.
inline void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    Corvinex::CFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (find.IsOpen()) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            std::wstring child = folder + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT &&
                data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                // A link to a folder goes itself; what it points at is not entered.
                RemoveDirectoryW(child.c_str());
            } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find.Get(), &data));
        // Closed before the folder is removed: an open search keeps it.
        find.Close();
    }
    SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(folder.c_str());
}

// The names directly in folder (backslash form, \\?\ prefix allowed), without "." and "..";
// empty when it cannot be listed.
inline std::vector<std::wstring> FolderNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    Corvinex::CFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (find.IsOpen()) {
        do {
            std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") {
                names.push_back(name);
            }
        } while (FindNextFileW(find.Get(), &data));
    }
    return names;
}

class ScratchFolder {
public:
    // Creates <temp>/vpe_<tag>_<process id>_<name>/, emptied first if it is left over.
    ScratchFolder(const wchar_t* tag, const wchar_t* name) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_system = std::wstring(L"\\\\?\\") + temp + L"vpe_" + tag + L"_" +
                   std::to_wstring(GetCurrentProcessId()) + L"_" + name;
        RemoveTree(m_system);
        CreateDirectoryW(m_system.c_str(), nullptr);
        m_path = m_system.substr(4) + L"\\";
        for (auto& c : m_path) {
            if (c == L'\\') {
                c = L'/';
            }
        }
    }
    ~ScratchFolder() { RemoveTree(m_system); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder in the program's form: forward slashes and a trailing slash.
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_system;
    std::wstring m_path;
};

} // namespace VpeTest
