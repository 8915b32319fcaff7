#include "refengine/engine_home.h"

#include <windows.h>

#include <shlobj.h>

#include <vector>

namespace Corvinex {
namespace VeilpathEngine {

namespace {

std::wstring WithTrailingBackslash(std::wstring path) {
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') {
        path += L'\\';
    }
    return path;
}

// Owns an open registry key.
class CRegistryKey {
public:
    CRegistryKey() : m_hKey(nullptr) {}
    ~CRegistryKey() {
        if (m_hKey != nullptr) {
            RegCloseKey(m_hKey);
        }
    }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    bool Open(HKEY root, const wchar_t* path) {
        return RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &m_hKey) == ERROR_SUCCESS;
    }
    // The REG_SZ value, or empty when it is missing or of another type.
    std::wstring ReadString(const wchar_t* name) const {
        DWORD type = 0;
        DWORD bytes = 0;
        if (RegQueryValueExW(m_hKey, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
            type != REG_SZ || bytes == 0) {
            return std::wstring();
        }
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(m_hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]),
                             &bytes) != ERROR_SUCCESS) {
            return std::wstring();
        }
        return std::wstring(&buffer[0]);
    }

private:
    HKEY m_hKey;
};

std::wstring InEngineHome(const wchar_t* relative) {
    std::wstring home = GetEngineHome();
    return home.empty() ? home : home + relative;
}

} // namespace

// The shell's answer for the Program Files folder. shell32 is loaded only here, when the
// registry has no answer: loading it costs more than everything else the engine does while the
// harness starts (it brings a train of libraries), so vpe.dll does not import it.
std::wstring AskShellForProgramFiles() {
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    if (shell == nullptr) {
        return std::wstring();
    }
    auto getFolderPath = reinterpret_cast<decltype(&SHGetFolderPathW)>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHGetFolderPathW")));
    wchar_t path[MAX_PATH] = {0};
    bool ok =
        getFolderPath != nullptr &&
        SUCCEEDED(getFolderPath(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path));
    FreeLibrary(shell);
    return ok ? std::wstring(path) : std::wstring();
}

std::wstring GetProgramFilesFolder() {
    // The system's own record of the folder, which the shell reports for it as well (a 32-bit
    // program on 64-bit Windows reads the 32-bit view: "Program Files (x86)").
    CRegistryKey key;
    std::wstring path;
    if (key.Open(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion")) {
        path = key.ReadString(L"ProgramFilesDir");
    }
    if (path.empty()) {
        path = AskShellForProgramFiles();
    }
    return path.empty() ? path : WithTrailingBackslash(path);
}

std::wstring GetEngineHome() {
    wchar_t value[MAX_PATH * 2] = {0};
    DWORD n = GetEnvironmentVariableW(L"VPE_ENGINE_HOME", value, MAX_PATH * 2);
    if (n > 0 && n < MAX_PATH * 2) {
        return WithTrailingBackslash(value);
    }
    std::wstring programFiles = GetProgramFilesFolder();
    if (programFiles.empty()) {
        return programFiles;
    }
    return programFiles + L"Veilpath Engine\\";
}

std::wstring GetLogFolder() {
    return InEngineHome(L"log\\");
}

std::wstring GetInstallMarkerPath() {
    return InEngineHome(L"vpe.installed");
}

std::wstring GetCheckLogPath() {
    return InEngineHome(L"log\\check.log");
}

std::wstring GetUpdateLogPath() {
    return InEngineHome(L"log\\update.log");
}

} // namespace VeilpathEngine
} // namespace Corvinex
