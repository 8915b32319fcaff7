#include "tools/vpedrive/validate_crash.h"

#include "tools/vpedrive/validate_result.h"

#include <cstdio>

namespace Corvinex {
namespace Vpedrive {

namespace {

std::wstring g_dumpFolder;
CrashContextFunc g_context = nullptr;
ReportLineFunc g_report = nullptr;
volatile LONG g_crashing = 0;

// dbghelp's entry, resolved at run time so vpedrive starts also where dbghelp is absent.
typedef BOOL(WINAPI* MiniDumpWriteDumpFunc)(HANDLE, DWORD, HANDLE, int, const void*, const void*,
                                            const void*);

// The layout of MINIDUMP_EXCEPTION_INFORMATION (packed to 4 bytes, as dbghelp declares it).
#pragma pack(push, 4)
struct DumpExceptionInfo {
    DWORD threadId;
    EXCEPTION_POINTERS* pointers;
    BOOL clientPointers;
};
#pragma pack(pop)

std::wstring Hex(uintptr_t value) {
    wchar_t text[24];
    swprintf(text, 24, L"0x%08lX", static_cast<unsigned long>(value));
    return text;
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* pointers) {
    // A second fault while reporting (or on another thread) ends the process at once.
    if (InterlockedExchange(&g_crashing, 1) != 0) {
        Sleep(5000);
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(CheckStatus::Crashed));
    }
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    std::wstring line = L"crash exception " + Hex(record->ExceptionCode) + L" at " +
                        DescribeAddress(record->ExceptionAddress);
    if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
        line += record->ExceptionInformation[0] == 1 ? L" writing " : L" reading ";
        line += Hex(record->ExceptionInformation[1]);
    }
    if (g_context != nullptr)
        line += L" in " + g_context();
    line += L" (thread " + std::to_wstring(GetCurrentThreadId()) + L")";
    g_report(line);
    if (!g_dumpFolder.empty()) {
        std::wstring path = g_dumpFolder;
        if (path.back() != L'\\' && path.back() != L'/')
            path += L'\\';
        path += L"vpedrive-validate-" + std::to_wstring(GetCurrentProcessId()) + L".dmp";
        if (WriteMinidump(pointers, path))
            g_report(L"dump " + path);
        else
            g_report(L"dump none: this system's dbghelp wrote no minidump");
    }
    g_report(L"status crashed");
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(CheckStatus::Crashed));
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

bool IsCrashReporting() {
    return g_crashing != 0;
}

void InstallCrashReporter(const std::wstring& dumpFolder, CrashContextFunc context,
                          ReportLineFunc report) {
    g_dumpFolder = dumpFolder;
    g_context = context;
    g_report = report;
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);
}

std::wstring DescribeAddress(const void* address) {
    HMODULE module = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(address), &module) &&
        module != nullptr) {
        wchar_t path[MAX_PATH] = {0};
        GetModuleFileNameW(module, path, MAX_PATH);
        std::wstring name = path;
        const size_t slash = name.find_last_of(L"\\/");
        if (slash != std::wstring::npos)
            name = name.substr(slash + 1);
        return name + L"+" +
               Hex(reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(module));
    }
    return Hex(reinterpret_cast<uintptr_t>(address));
}

bool WriteMinidump(EXCEPTION_POINTERS* pointers, const std::wstring& path) {
    HMODULE dbghelp = LoadLibraryW(L"dbghelp.dll");
    if (dbghelp == nullptr)
        return false;
    MiniDumpWriteDumpFunc write = reinterpret_cast<MiniDumpWriteDumpFunc>(
        reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
    if (write == nullptr)
        return false;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DumpExceptionInfo info = {GetCurrentThreadId(), pointers, FALSE};
    const int kMiniDumpWithHandleData = 0x4;
    BOOL written = write(GetCurrentProcess(), GetCurrentProcessId(), file, kMiniDumpWithHandleData,
                         pointers != nullptr ? &info : nullptr, nullptr, nullptr);
    const DWORD size = GetFileSize(file, nullptr);
    CloseHandle(file);
    if (!written || size == 0 || size == INVALID_FILE_SIZE) {
        DeleteFileW(path.c_str());
        return false;
    }
    return true;
}

} // namespace Vpedrive
} // namespace Corvinex
