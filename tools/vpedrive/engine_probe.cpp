#include "tools/vpedrive/engine_probe.h"

#include "engine/engine_interface.h"
#include "tools/driver/scratch_folder.h"

#include <windows.h>

#include <cstdio>

namespace Corvinex {
namespace Drive {

namespace {

const char* volatile g_stage = "load";

void Report(const char* line) {
    DWORD written = 0;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    WriteFile(out, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
    WriteFile(out, "\n", 1, &written, nullptr);
}

// Runs before any debugger or crash dialog would be started: reports the fault and ends.
LONG WINAPI ReportFault(EXCEPTION_POINTERS* pointers) {
    char line[96];
    snprintf(line, sizeof(line), "fault 0x%08lX %s",
             static_cast<unsigned long>(pointers->ExceptionRecord->ExceptionCode), g_stage);
    Report(line);
    TerminateProcess(GetCurrentProcess(), kProbeFault);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

int RunEngineProbe(const std::wstring& libraryPath) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(ReportFault);

    // The harness switches to the library's folder around the load, so dependencies beside
    // the library are found there.
    wchar_t previous[MAX_PATH * 2] = {0};
    GetCurrentDirectoryW(MAX_PATH * 2, previous);
    const std::wstring folder = Driver::FolderOf(libraryPath);
    if (!folder.empty())
        SetCurrentDirectoryW(folder.c_str());
    g_stage = "load";
    HMODULE module = LoadLibraryW(libraryPath.c_str());
    DWORD error = GetLastError();
    SetCurrentDirectoryW(previous);
    if (module == nullptr) {
        char line[64];
        snprintf(line, sizeof(line), "load-error %lu", static_cast<unsigned long>(error));
        Report(line);
        return kProbeLoadFailed;
    }

    EngineFactoryFunc factory = reinterpret_cast<EngineFactoryFunc>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetCorvinexEngine")));
    if (factory == nullptr) {
        Report("no-export");
        return kProbeNoExport;
    }
    g_stage = "factory";
    IEngine* engine = factory();
    if (engine == nullptr) {
        Report("null");
        return kProbeNullFactory;
    }
    g_stage = "check";
    if (dynamic_cast<VeilpathEngine::IVeilpathEngine*>(engine) == nullptr) {
        Report("wrong-type");
        return kProbeWrongType;
    }
    Report("ok");
    return kProbeBindable;
}

} // namespace Drive
} // namespace Corvinex
