// The command line of vpedrive.exe: one parser (CLI11) for every command, with the usage text
// generated from the options it declares, and vpedrive's own exit statuses.
#pragma once

#include "tools/vpedrive/module_abi.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

// Exit statuses of vpedrive itself (a run otherwise ends with the harness's own exit code).
const int kStatusBadInput = 2;
// The same status for a set-up vpedrive cannot work with (no check helper of the needed ABI, or
// one that cannot be started): the set-up's fault, never a verdict on the engine.
const int kStatusSetUpFailed = kStatusBadInput;
const int kStatusHung = 3;
const int kStatusCrashed = 4;
const int kStatusCannotStart = 5;
// The harness ended while a command other than Exit was still running (the engine ended the
// process: ExitProcess, exit, abort); its own exit code is printed, not passed on.
const int kStatusEndedDuringCommand = 6;
// A C++ exception nobody caught ended the harness: through abort() (exit code 3, with the
// runtime's terminate line on its standard error) or, for an MSVC-ABI exception, with its code.
const int kStatusAborted = 7;
// The harness ended on its own terms with an exit code that is one of these statuses (for
// example 3 from an engine's ExitProcess(3)); the code is printed, not passed on as a verdict.
const int kStatusOwnStatusCode = 8;
// The run needs a harness of an ABI (the engine's, or the one --abi names) and none was found.
const int kStatusNoHarnessOfAbi = 9;
// The harness ended before it showed what every run starts with (its main window; for the fake
// check its box or a log line), with exit code 0 or without a word: its start failed (under
// Wine, for example, the wineserver refused it). What it printed is passed on.
const int kStatusEndedAtStart = 10;
// vpedrive itself failed (an exception it did not catch): its own fault, never a verdict on the
// engine or the harness. 70 is EX_SOFTWARE of BSD's sysexits.
const int kStatusInternalFault = 70;
const int kStatusInterrupted = 130;

// True when `code` is one of vpedrive's own statuses above.
bool IsOwnStatus(DWORD code);

enum class Mode { Help, Version, Run, Settings, Doctor, DoctorProbe, Validate, ValidateCheck };

// What validate and its hidden per-check child (validate-check) were asked for.
struct ValidateOptions {
    std::wstring engine;                // --engine PATH
    ModuleAbi abi = ModuleAbi::Unknown; // --abi msvc|gcc: the helper's ABI; Unknown: the engine's
    int strictness = 5;                 // --strictness 1..10
    uint32_t seed = 0;                  // --seed N
    bool seedGiven = false;             // false: the runner picks one and prints it
    int repeat = 1;                     // --repeat N
    bool shuffle = false;               // --shuffle
    std::wstring only;                  // --only REGEX (ECMAScript, searched in the check name)
    std::wstring skip;                  // --skip REGEX
    DWORD timeoutSeconds = 120;         // --timeout S: the limit of one check's process
    bool strict = false;                // --strict: warnings and skips fail
    std::wstring junitFile;             // --junit FILE
    bool json = false;                  // --json
    bool tap = false;                   // --tap
    bool inProcess = false;             // --in-process (needs --only naming one check)
    std::wstring dumpFolder;            // --dump-folder DIR
    bool list = false;                  // --list
    std::wstring check;                 // validate-check: the check to run (--check NAME)
};

struct Options {
    Mode mode = Mode::Help;
    std::string help; // Help: the generated usage of what was asked about (UTF-8)
    // run, doctor, doctor-probe
    std::wstring engine;                // --engine PATH; empty: the default
    std::wstring harness;               // --harness PATH; empty: the harness of the engine's ABI
    ModuleAbi abi = ModuleAbi::Unknown; // --abi msvc|gcc (run, doctor); Unknown: the engine's own
    bool json = false;
    DWORD timeoutSeconds = 30;
    bool fakeCheck = false;
    std::vector<WORD> commands;
    // settings: -1 leaves the value alone, 0 switches it off, 1 on
    int debug = -1;
    int messageBox = -1;
    // validate, validate-check
    ValidateOptions validate;
};

// The arguments after the program name, as UTF-8: the one conversion of the wide command line.
std::vector<std::string> Utf8Arguments(int argc, const wchar_t* const* argv);

// Parses the arguments (UTF-8, after the program name). -h, --help and the word help give Help
// with the generated usage of the command asked about. On bad input returns false with a
// one-line *error; *options is then unspecified.
bool ParseArguments(const std::vector<std::string>& args, Options* options, std::wstring* error);

} // namespace Vpedrive
} // namespace Corvinex
