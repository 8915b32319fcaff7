// The command line of vpedrive validate and of its hidden per-check child (validate-check).
#pragma once

#include "tools/vpedrive/module_abi.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

// The verbs: the user's command and the child process the runner starts for each check.
extern const wchar_t kValidateVerb[];           // "validate"
extern const wchar_t* const kValidateCheckVerb; // "validate-check" (hidden): vpecheck.exe's verb

struct ValidateOptions {
    bool child = false;  // validate-check: run one check in vpecheck.exe, pass its report on
    std::wstring engine; // --engine PATH
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

// True when the first argument selects validate or its child.
bool IsValidateCommand(const std::vector<std::wstring>& args);

// Parses the arguments (the verb first). On bad input returns false with a one-line *error.
bool ParseValidateArguments(const std::vector<std::wstring>& args, ValidateOptions* options,
                            std::wstring* error);

// The usage lines of validate, for vpedrive's help.
const wchar_t* ValidateUsageText();

} // namespace Vpedrive
} // namespace Corvinex
