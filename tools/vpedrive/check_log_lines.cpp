#include "tools/vpedrive/check_log_lines.h"

#include "base/registry.h"
#include "engine/check_log_format.h"
#include "tools/driver/text_file.h"

#include <shlobj.h>

namespace Corvinex {
namespace Vpedrive {

namespace {

const LONGLONG kMostBytesRead = 64 * 1024 * 1024;
const wchar_t kCurrentVersionKey[] = L"Software/Microsoft/Windows/CurrentVersion";

// The Program Files folder the shell gives a program of `machine` (CSIDL 38), as this process
// learns it: the shell's own answer for its own machine type. Under 64-bit Windows a 32-bit
// process is answered "Program Files (x86)"; the folder of x64 programs is then the variable
// ProgramW6432 (set by Windows and Wine for such processes), else the ProgramFilesDir value of
// the registry's 64-bit view. Empty when none answers.
std::wstring ProgramFilesOf(WORD machine) {
#if !defined(_WIN64)
    if (machine == IMAGE_FILE_MACHINE_AMD64) {
        wchar_t variable[MAX_PATH] = {0};
        const DWORD length = GetEnvironmentVariableW(L"ProgramW6432", variable, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            return variable;
        CRegistryKey key;
        CWideString value;
        if (OpenRegistryKey(HKEY_LOCAL_MACHINE, kCurrentVersionKey, KEY_READ | KEY_WOW64_64KEY,
                            &key) == kRegistryDone &&
            ReadStringValue(key.Get(), L"", L"ProgramFilesDir", &value) == kRegistryDone)
            return value.c_str();
    }
#else
    (void)machine;
#endif
    wchar_t folder[MAX_PATH] = {0};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder)))
        return std::wstring();
    return folder;
}

} // namespace

std::wstring CheckLogPath(WORD machine) {
    std::wstring path = CheckLogFormat::kCheckLogBelowProgramFilesW;
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    const std::wstring folder = ProgramFilesOf(machine);
    return folder.empty() ? path : folder + L"\\" + path;
}

LONGLONG FileSizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::wstring> ReadAppendedLines(const std::wstring& path, LONGLONG previousSize) {
    std::vector<std::wstring> lines;
    const LONGLONG size = FileSizeOf(path);
    const LONGLONG start = size >= previousSize ? previousSize : 0;
    if (size - start >= kMostBytesRead)
        return lines;
    // The harness or an engine may still be appending: only the bytes there now are read.
    const std::string bytes = Driver::ReadFileBytes(path, static_cast<size_t>(size - start), start);
    for (const std::string& line : Driver::SplitLines(bytes))
        lines.push_back(Driver::FromCodePage(line, CP_ACP));
    return lines;
}

} // namespace Vpedrive
} // namespace Corvinex
