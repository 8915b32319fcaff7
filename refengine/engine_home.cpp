#include "refengine/engine_home.h"

#include "base/scoped_handle.h"
#include "engine/check_log_format.h"

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

// The REG_SZ value of the open key, or empty when it is missing or of another type.
std::wstring ReadStringValue(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ || bytes == 0) {
        return std::wstring();
    }
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]), &bytes) !=
        ERROR_SUCCESS) {
        return std::wstring();
    }
    return std::wstring(&buffer[0]);
}

std::wstring InEngineHome(const wchar_t* relative) {
    std::wstring home = GetEngineHome();
    return home.empty() ? home : home + relative;
}

// The shared forward-slash form with the backslashes this engine shows in its paths.
std::wstring Backslashed(const wchar_t* path) {
    std::wstring text(path);
    for (wchar_t& c : text) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return text;
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
    CKeyHandle key;
    std::wstring path;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_QUERY_VALUE, key.Receive()) == ERROR_SUCCESS) {
        path = ReadStringValue(key.Get(), L"ProgramFilesDir");
    }
    if (path.empty()) {
        path = AskShellForProgramFiles();
    }
    return path.empty() ? path : WithTrailingBackslash(path);
}

// The engine-home rule: VPE_ENGINE_HOME when set, else the harness's fixed Program Files folder.
std::wstring GetEngineHome() {
    wchar_t value[MAX_PATH * 2] = {0};
    DWORD n = GetEnvironmentVariableW(CheckLogFormat::kEngineHomeVariableW, value, MAX_PATH * 2);
    if (n > 0 && n < MAX_PATH * 2) {
        return WithTrailingBackslash(value);
    }
    std::wstring programFiles = GetProgramFilesFolder();
    if (programFiles.empty()) {
        return programFiles;
    }
    return programFiles + Backslashed(CheckLogFormat::kEngineFolderBelowProgramFilesW);
}

std::wstring GetLogFolder() {
    return InEngineHome(L"log\\");
}

std::wstring GetInstallMarkerPath() {
    return InEngineHome(L"vpe.installed");
}

std::wstring GetCheckLogPath() {
    return InEngineHome(Backslashed(CheckLogFormat::kCheckLogBelowEngineFolderW).c_str());
}

std::wstring GetUpdateLogPath() {
    return InEngineHome(L"log\\update.log");
}

} // namespace VeilpathEngine
} // namespace Corvinex
