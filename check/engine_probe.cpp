#include "check/engine_probe.h"

#include "engine/engine_binding.h"

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(__GLIBCXX__)
#include <cxxabi.h>
#endif

namespace Corvinex {
namespace Check {

const char kProbeStagePrefix[] = "stage ";
const char kProbeAnswerPrefix[] = "answer ";

using VeilpathEngine::CEngineBinding;

namespace {

const char* volatile g_stage = "load";
// The Windows error of the system load call; kNotCalled when the call never returned (a fault
// that the loader's guard intercepted).
const DWORD kNotCalled = 0xFFFFFFFFu;
DWORD g_loadError = kNotCalled;

// Unbuffered, so that a line survives whatever ends the process next.
void Report(const char* prefix, const char* text) {
    DWORD written = 0;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    WriteFile(out, prefix, static_cast<DWORD>(strlen(prefix)), &written, nullptr);
    WriteFile(out, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    WriteFile(out, "\n", 1, &written, nullptr);
}

void EnterStage(const char* stage) {
    g_stage = stage;
    Report(kProbeStagePrefix, stage);
}

// The exit code of the answer given; 0 until then.
volatile LONG g_answerCode = 0;

int Answer(ProbeAnswer answer, const char* text) {
    Report(kProbeAnswerPrefix, text);
    int code = static_cast<int>(kProbeExitBase + answer);
    InterlockedExchange(&g_answerCode, code);
    return code;
}

// Runs before any debugger or crash dialog would be started: reports the fault and ends. A
// fault after the answer (a thread the engine left running, met by the library's unload) ends
// the process with that answer instead of replacing it.
LONG WINAPI ReportFault(EXCEPTION_POINTERS* pointers) {
    LONG answered = g_answerCode;
    if (answered != 0) {
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(answered));
        return EXCEPTION_EXECUTE_HANDLER;
    }
    char line[96];
    snprintf(line, sizeof(line), "fault 0x%08lX %s",
             static_cast<unsigned long>(pointers->ExceptionRecord->ExceptionCode), g_stage);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(Answer(kProbeFault, line)));
    return EXCEPTION_EXECUTE_HANDLER;
}

// abort() raises SIGABRT in the shared C runtime, also when a library's own C++ runtime calls
// it for an exception that no handler takes (MinGW's DWARF unwinding does not cross from one
// statically linked module into another, so such an exception never reaches the catch below).
void ReportAbort(int) {
    char line[64];
    snprintf(line, sizeof(line), "aborted %s", g_stage);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(Answer(kProbeAborted, line)));
}

int LoadError(DWORD error) {
    char line[64];
    snprintf(line, sizeof(line), "load-error %lu", static_cast<unsigned long>(error));
    return Answer(kProbeLoadFailed, line);
}

// The answer to a C++ exception that reached the probe's catch: "exception factory", followed by
// the thrown type where this helper's runtime names it. Only the GCC ABI's runtime tells the type
// of an exception caught by catch (...); an MSVC-ABI one reaches the probe in x86 and x64 code,
// a GCC-ABI one only in x64 code (SEH unwinding crosses from the engine into the helper there).
int AnswerException() {
    char line[192] = "exception factory";
#if defined(__GLIBCXX__)
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (type != nullptr) {
        int status = -1;
        char* readable = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
        snprintf(line, sizeof(line), "exception factory %s",
                 status == 0 && readable != nullptr ? readable : type->name());
        free(readable);
    }
#endif
    return Answer(kProbeException, line);
}

HMODULE LoadRecordingError(const wchar_t* backslashPath) {
    HMODULE module = LoadLibraryW(backslashPath);
    g_loadError = module == nullptr ? GetLastError() : 0;
    return module;
}

// The project's binding taken one step at a time, each step announced and each failure answered
// on its own.
int Probe(CEngineBinding& binding, const wchar_t* libraryPath) {
    EnterStage("load");
    const int loaded = binding.LoadFrom(libraryPath, &LoadRecordingError);
    if (loaded == kBindNoSuchFile)
        return LoadError(ERROR_FILE_NOT_FOUND);
    if (loaded != kBindDone && g_loadError == kNotCalled) {
        // The load raised an exception that the loader's guard intercepted.
        char line[64];
        snprintf(line, sizeof(line), "fault 0x%08lX load", binding.LoadException());
        return Answer(kProbeFault, line);
    }
    if (loaded != kBindDone)
        return LoadError(g_loadError);

    EnterStage("factory");
    if (!binding.ExportsFactory())
        return Answer(kProbeNoExport, "no-export");
    int created = 0;
    try {
        created = binding.CallFactory();
    } catch (...) {
        return AnswerException();
    }
    if (created != kBindDone)
        return Answer(kProbeNullFactory, "null");

    EnterStage("check");
    // The harness's type check: an object whose type information is not laid out in this
    // helper's ABI (or that has no readable table) is never cast.
    switch (binding.CheckType()) {
    case kBindDone:
        return Answer(kProbeBindable, "ok");
    case kBindWrongType:
        return Answer(kProbeWrongType, "wrong-type");
    default:
        return Answer(kProbeForeignAbi, "foreign-abi");
    }
}

} // namespace

int RunEngineProbe(const wchar_t* libraryPath) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(ReportFault);
    signal(SIGABRT, ReportAbort);
    CEngineBinding binding;
    return Probe(binding, libraryPath);
}

} // namespace Check
} // namespace Corvinex
