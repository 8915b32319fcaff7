// vpecheck.exe: the helper that calls an engine in-process for vpedrive. It binds the library
// through the project's binding and either reports the binding's stages (doctor-probe) or runs
// one validation check (validate-check), each in this process of its own.
#include "check/checks.h"
#include "check/engine_probe.h"
#include "check/helper_arguments.h"

#include <windows.h>

#include <wchar.h>

using namespace Corvinex::Check;

namespace {

// The exit code of a command line the helper cannot read (as vpedrive's own).
const int kBadInput = 2;

void WriteError(const wchar_t* message) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    char line[512];
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, message, -1, line, sizeof(line) - 1, nullptr, nullptr);
    if (err == nullptr || err == INVALID_HANDLE_VALUE || n <= 0)
        return;
    DWORD written = 0;
    WriteFile(err, "vpecheck: ", 10, &written, nullptr);
    WriteFile(err, line, static_cast<DWORD>(n - 1), &written, nullptr);
    WriteFile(err, "\n", 1, &written, nullptr);
}

} // namespace

// wmain: the wide arguments keep paths that the ANSI code page cannot show.
int wmain(int argc, wchar_t** argv) {
    HelperCommand command;
    const wchar_t* error = L"";
    if (!ParseHelperArguments(argc - 1, argv + 1, &command, &error)) {
        WriteError(error);
        return kBadInput;
    }
    if (command.verb == HelperVerb::Probe)
        return RunEngineProbe(command.probePath);
    return RunCheck(command.request);
}
