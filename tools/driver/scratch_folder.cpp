#include "tools/driver/scratch_folder.h"

#include "base/scoped_handle.h"

#include <vector>

namespace Corvinex {
namespace Driver {

namespace {

bool RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    Corvinex::CFindHandle search(FindFirstFileW((folder + L"*").c_str(), &data));
    if (search.IsOpen()) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + L"\\");
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search.Get(), &data));
        // Closed before the folder is removed: an open search keeps it.
        search.Close();
    }
    return RemoveDirectoryW(folder.c_str()) != FALSE ||
           GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
}

} // namespace

CScratchFolder::~CScratchFolder() {
    Remove();
}

bool CScratchFolder::Create(const std::wstring& prefix) {
    if (!m_path.empty())
        return false;
    wchar_t temp[MAX_PATH + 1] = {0};
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH)
        return false;
    static volatile LONG counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t suffix[64];
        wsprintfW(suffix, L"%lu-%lu-%ld", GetCurrentProcessId(), GetTickCount(),
                  InterlockedIncrement(&counter));
        std::wstring path = std::wstring(temp) + prefix + suffix;
        if (CreateDirectoryW(path.c_str(), nullptr)) {
            m_path = path + L"\\";
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

bool CScratchFolder::CopyIn(const std::wstring& source, const std::wstring& name) {
    if (m_path.empty())
        return false;
    return CopyFileW(source.c_str(), (m_path + name).c_str(), FALSE) != FALSE;
}

bool CScratchFolder::Remove() {
    if (m_path.empty())
        return true;
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (RemoveTree(m_path)) {
            m_path.clear();
            return true;
        }
        Sleep(100);
    }
    return false;
}

std::wstring FileNameOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring FullPath(const std::wstring& path) {
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return path;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(path.c_str(), n, &full[0], nullptr);
    full.resize(n);
    return full;
}

bool PrepareHarnessFolder(CScratchFolder& folder, const std::wstring& harness,
                          const std::wstring& engine, std::wstring* harnessCopy,
                          std::wstring* error) {
    const std::wstring name = FileNameOf(harness);
    if (!folder.CopyIn(harness, name)) {
        *error = harness;
        return false;
    }
    if (!engine.empty() && !folder.CopyIn(engine, L"vpe.dll")) {
        *error = engine;
        return false;
    }
    *harnessCopy = folder.Path() + name;
    return true;
}

} // namespace Driver
} // namespace Corvinex
