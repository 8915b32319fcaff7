// The command line of vpecheck.exe, the helper vpedrive starts for everything that calls an
// engine in-process: doctor's probe and one validation check.
#pragma once

#include "check/checks.h"

namespace Corvinex {
namespace Check {

// The helper's file name; vpedrive finds it in its own folder.
extern const wchar_t kHelperProgram[]; // "vpecheck.exe"
// vpecheck.exe doctor-probe PATH: binds the library as the harness does (engine_probe.h).
extern const wchar_t kProbeVerb[]; // "doctor-probe"
// vpecheck.exe validate-check --check NAME --engine PATH [--strictness N] [--seed N]
// [--timeout S] [--dump-folder DIR]: runs one check (checks.h).
extern const wchar_t kCheckVerb[]; // "validate-check"

enum class HelperVerb { Probe, Check };

struct HelperCommand {
    HelperVerb verb = HelperVerb::Check;
    const wchar_t* probePath = L""; // doctor-probe's library
    CheckRequest request;           // validate-check's
};

// Parses the arguments after the program name; the texts point into `args`. On bad input
// returns false with a one-line *error (static text); *command is then unspecified.
bool ParseHelperArguments(int count, wchar_t* const* args, HelperCommand* command,
                          const wchar_t** error);

} // namespace Check
} // namespace Corvinex
