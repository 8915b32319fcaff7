// vpecheck.exe: the helper that calls an engine in-process for vpedrive. It binds the library
// through the project's binding and either reports the binding's stages (doctor-probe) or runs
// one validation check (validate-check), each in this process of its own.
#include "check/checks.h"
#include "check/engine_probe.h"
#include "check/helper_arguments.h"

#include <windows.h>
#include <shellapi.h>

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

int main() {
    // The wide command line keeps paths that the ANSI code page cannot show.
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr)
        return kBadInput;
    HelperCommand command;
    const wchar_t* error = L"";
    int status = kBadInput;
    if (!ParseHelperArguments(argc - 1, argv + 1, &command, &error))
        WriteError(error);
    else if (command.verb == HelperVerb::Probe)
        status = RunEngineProbe(command.probePath);
    else
        status = RunCheck(command.request);
    LocalFree(argv);
    return status;
}
