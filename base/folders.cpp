#include "base/folders.h"

#include "base/paths.h"
#include "base/registry.h"
#include "base/shell_library.h"

#include <shlobj.h>

namespace Corvinex {

namespace {

const DWORD kModulePathChars = 10000;

// An item list of the shell, released through the shell's allocator.
class CShellItemList {
public:
    CShellItemList() : m_pList(nullptr) {}
    ~CShellItemList() {
        if (m_pList == nullptr) {
            return;
        }
        auto getMalloc = GetShellFunctionAs<decltype(&SHGetMalloc)>("SHGetMalloc");
        IMalloc* pMalloc = nullptr;
        if (getMalloc != nullptr && SUCCEEDED(getMalloc(&pMalloc)) && pMalloc != nullptr) {
            pMalloc->Free(m_pList);
            pMalloc->Release();
        }
    }
    CShellItemList(const CShellItemList&) = delete;
    CShellItemList& operator=(const CShellItemList&) = delete;

    LPITEMIDLIST* Receive() { return &m_pList; }
    LPCITEMIDLIST Get() const { return m_pList; }

private:
    LPITEMIDLIST m_pList;
};

} // namespace

CWideString GetModuleFilePath(HMODULE hModule) {
    CWideString path;
    wchar_t* buffer = path.GetBuffer(kModulePathChars);
    if (buffer == nullptr) {
        return CWideString();
    }
    DWORD n = GetModuleFileNameW(hModule, buffer, kModulePathChars);
    if (n == 0 || n >= kModulePathChars) {
        return CWideString();
    }
    buffer[n] = L'\0';
    path.GetLength();
    return ToForwardSlashes(path);
}

CWideString GetModuleFolder(HMODULE hModule) {
    return GetFolderOfPath(GetModuleFilePath(hModule));
}

CWideString GetApplicationFolder() {
    return GetModuleFolder(GetModuleHandleW(nullptr));
}

CWideString GetCurrentFolder() {
    // Asked for the size first, read wide: an ANSI read of MAX_PATH bytes cannot hold folders
    // named outside the ANSI code page nor long ones, and a caller restoring such a folder would
    // be left elsewhere. The size is asked again if the directory changed in between.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD needed = GetCurrentDirectoryW(0, nullptr);
        if (needed == 0) {
            return CWideString();
        }
        CWideString folder;
        wchar_t* buffer = folder.GetBuffer(static_cast<int32_t>(needed));
        if (buffer == nullptr) {
            return CWideString();
        }
        DWORD n = GetCurrentDirectoryW(needed, buffer);
        if (n == 0) {
            return CWideString();
        }
        if (n < needed) {
            buffer[n] = L'\0';
            folder.GetLength();
            return EnsureTrailingSlash(folder);
        }
    }
    return CWideString();
}

int ChangeCurrentFolder(const CWideString& folder) {
    if (FolderExists(folder) == 0) {
        return kFolderMissing;
    }
    CWideString target = ToBackslashes(StripTrailingSlash(folder));
    return SetCurrentDirectoryW(target.c_str()) ? kFolderChanged : kFolderChangeRefused;
}

CWideString GetSpecialFolderPath(int csidl) {
    auto specialPath =
        GetShellFunctionAs<decltype(&SHGetSpecialFolderPathW)>("SHGetSpecialFolderPathW");
    auto specialLocation =
        GetShellFunctionAs<decltype(&SHGetSpecialFolderLocation)>("SHGetSpecialFolderLocation");
    auto pathFromList = GetShellFunctionAs<decltype(&SHGetPathFromIDListW)>("SHGetPathFromIDListW");
    wchar_t buffer[MAX_PATH + 1] = {0};
    if (specialPath != nullptr && specialPath(nullptr, buffer, csidl, FALSE)) {
        return CWideString(buffer);
    }
    CShellItemList list;
    if (specialLocation != nullptr && pathFromList != nullptr &&
        SUCCEEDED(specialLocation(nullptr, csidl, list.Receive())) && list.Get() != nullptr &&
        pathFromList(list.Get(), buffer)) {
        return CWideString(buffer);
    }
    return CWideString();
}

CWideString GetSpecialFolder(int csidl) {
    return EnsureTrailingSlash(GetSpecialFolderPath(csidl));
}

CWideString GetProgramFilesFolder() {
    CWideString folder = GetSpecialFolder(CSIDL_PROGRAM_FILES);
    if (FolderExists(folder) != 0) {
        return folder;
    }
    CWideString value;
    if (ReadStringValue(HKEY_LOCAL_MACHINE, L"Software/Microsoft/Windows/CurrentVersion",
                        L"ProgramFilesDir", &value) != 0) {
        return CWideString();
    }
    return EnsureTrailingSlash(value);
}

} // namespace Corvinex
