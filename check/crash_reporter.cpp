#include "check/crash_reporter.h"

#include "base/scoped_handle.h"
#include "check/check_status.h"
#include "check/process_facts.h"
#include "check/report_line.h"

#include <stdio.h>
#include <wchar.h>

namespace Corvinex {
namespace Check {

namespace {

// Fixed storage: the folder is read while the process crashes.
wchar_t g_dumpFolder[MAX_PATH] = {0};
CrashContextFunc g_context = nullptr;
volatile LONG g_crashing = 0;

// dbghelp's entry, resolved at run time so the helper starts also where dbghelp is absent.
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

// "0x" and eight hex digits, the crash line's form of codes and addresses.
CWideString HexWord(uintptr_t value) {
    wchar_t text[24];
    swprintf(text, 24, L"0x%08lX", static_cast<unsigned long>(value));
    return CWideString(text);
}

CWideString Decimal(unsigned long value) {
    wchar_t text[16];
    swprintf(text, 16, L"%lu", value);
    return CWideString(text);
}

// Writes a minidump of this process with the exception into `path` through dbghelp's
// MiniDumpWriteDump. False (and the file removed) when dbghelp is missing or writes nothing.
bool WriteMinidump(EXCEPTION_POINTERS* pointers, const wchar_t* path) {
    HMODULE dbghelp = LoadLibraryW(L"dbghelp.dll");
    if (dbghelp == nullptr)
        return false;
    MiniDumpWriteDumpFunc write = reinterpret_cast<MiniDumpWriteDumpFunc>(
        reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
    if (write == nullptr)
        return false;
    CKernelHandle file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return false;
    DumpExceptionInfo info = {GetCurrentThreadId(), pointers, FALSE};
    const int kMiniDumpWithHandleData = 0x4;
    BOOL written =
        write(GetCurrentProcess(), GetCurrentProcessId(), file.Get(), kMiniDumpWithHandleData,
              pointers != nullptr ? &info : nullptr, nullptr, nullptr);
    const DWORD size = GetFileSize(file.Get(), nullptr);
    file.Close();
    if (!written || size == 0 || size == INVALID_FILE_SIZE) {
        DeleteFileW(path);
        return false;
    }
    return true;
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* pointers) {
    // A second fault while reporting (or on another thread) ends the process at once.
    if (InterlockedExchange(&g_crashing, 1) != 0) {
        Sleep(5000);
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(CheckStatus::Crashed));
    }
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    CWideString line = L"crash exception " + HexWord(record->ExceptionCode) + L" at " +
                       DescribeAddress(record->ExceptionAddress);
    if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
        line.Append(record->ExceptionInformation[0] == 1 ? L" writing " : L" reading ");
        line.Append(HexWord(record->ExceptionInformation[1]).c_str());
    }
    if (g_context != nullptr)
        line = line + L" in " + g_context();
    line = line + L" (thread " + Decimal(GetCurrentThreadId()) + L")";
    WriteReportLine(line);
    if (g_dumpFolder[0] != 0) {
        CWideString path(g_dumpFolder);
        const wchar_t last = g_dumpFolder[wcslen(g_dumpFolder) - 1];
        if (last != L'\\' && last != L'/')
            path.Append(L'\\');
        path = path + L"vpedrive-validate-" + Decimal(GetCurrentProcessId()) + L".dmp";
        if (WriteMinidump(pointers, path.c_str()))
            WriteReportLine(L"dump " + path);
        else
            WriteReportLine(L"dump none: this system's dbghelp wrote no minidump");
    }
    WriteReportLine(L"status crashed");
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(CheckStatus::Crashed));
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

bool IsCrashReporting() {
    return g_crashing != 0;
}

void InstallCrashReporter(const wchar_t* dumpFolder, CrashContextFunc context) {
    g_dumpFolder[0] = 0;
    if (dumpFolder != nullptr)
        lstrcpynW(g_dumpFolder, dumpFolder, MAX_PATH);
    g_context = context;
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);
}

CWideString DescribeAddress(const void* address) {
    HMODULE module = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(address), &module) &&
        module != nullptr) {
        return ModuleFileName(module) + L"+" +
               HexWord(reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(module));
    }
    return HexWord(reinterpret_cast<uintptr_t>(address));
}

} // namespace Check
} // namespace Corvinex
