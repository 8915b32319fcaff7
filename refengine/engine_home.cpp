#include "refengine/engine_home.h"

#include "base/scoped_handle.h"
#include "engine/check_log_format.h"

#include <windows.h>

#include <shlobj.h>

namespace Corvinex {
namespace VeilpathEngine {

namespace {

CWideString WithTrailingBackslash(const CWideString& path) {
    CWideString text(path);
    int32_t n = text.GetLength();
    if (n > 0 && text.c_str()[n - 1] != L'\\' && text.c_str()[n - 1] != L'/') {
        text.Append(L'\\');
    }
    return text;
}

// The REG_SZ value of the open key, or empty when it is missing or of another type.
CWideString ReadStringValue(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ || bytes == 0) {
        return CWideString(L"");
    }
    // One character more than the value holds, so a value stored without its terminator
    // still reads as a terminated text (the block comes zero-filled).
    CWideString value;
    wchar_t* buffer = value.GetBuffer(static_cast<int32_t>(bytes / sizeof(wchar_t) + 1));
    if (buffer == nullptr ||
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) !=
            ERROR_SUCCESS) {
        return CWideString(L"");
    }
    return CWideString(buffer);
}

CWideString InEngineHome(const wchar_t* relative) {
    CWideString home = GetEngineHome();
    if (home.GetLength() > 0) {
        home.Append(relative);
    }
    return home;
}

// The shared forward-slash form with the backslashes this engine shows in its paths.
CWideString Backslashed(const wchar_t* path) {
    CWideString text(path);
    return text.ReplaceChar(L'/', L'\\');
}

} // namespace

// The shell's answer for the Program Files folder. shell32 is loaded only here, when the
// registry has no answer: loading it costs more than everything else the engine does while the
// harness starts (it brings a train of libraries), so vpe.dll does not import it.
CWideString AskShellForProgramFiles() {
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    if (shell == nullptr) {
        return CWideString(L"");
    }
    auto getFolderPath = reinterpret_cast<decltype(&SHGetFolderPathW)>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHGetFolderPathW")));
    wchar_t path[MAX_PATH] = {0};
    bool ok =
        getFolderPath != nullptr &&
        SUCCEEDED(getFolderPath(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path));
    FreeLibrary(shell);
    return CWideString(ok ? path : L"");
}

CWideString GetProgramFilesFolder() {
    // The system's own record of the folder, which the shell reports for it as well (a 32-bit
    // program on 64-bit Windows reads the 32-bit view: "Program Files (x86)"; a 64-bit one
    // "Program Files").
    CKeyHandle key;
    CWideString path(L"");
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_QUERY_VALUE, key.Receive()) == ERROR_SUCCESS) {
        path = ReadStringValue(key.Get(), L"ProgramFilesDir");
    }
    if (path.GetLength() == 0) {
        path = AskShellForProgramFiles();
    }
    return WithTrailingBackslash(path);
}

// The engine-home rule: VPE_ENGINE_HOME when set, else the harness's fixed Program Files folder.
CWideString GetEngineHome() {
    wchar_t value[MAX_PATH * 2] = {0};
    DWORD n = GetEnvironmentVariableW(CheckLogFormat::kEngineHomeVariableW, value, MAX_PATH * 2);
    if (n > 0 && n < MAX_PATH * 2) {
        return WithTrailingBackslash(value);
    }
    CWideString programFiles = GetProgramFilesFolder();
    if (programFiles.GetLength() > 0) {
        programFiles.Append(Backslashed(CheckLogFormat::kEngineFolderBelowProgramFilesW).c_str());
    }
    return programFiles;
}

CWideString GetLogFolder() {
    return InEngineHome(L"log\\");
}

CWideString GetInstallMarkerPath() {
    return InEngineHome(L"vpe.installed");
}

CWideString GetCheckLogPath() {
    return InEngineHome(Backslashed(CheckLogFormat::kCheckLogBelowEngineFolderW).c_str());
}

CWideString GetUpdateLogPath() {
    return InEngineHome(L"log\\update.log");
}

} // namespace VeilpathEngine
} // namespace Corvinex
