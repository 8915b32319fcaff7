#include "tools/vpedrive/validate_options.h"

#include "check/helper_arguments.h"

#include <regex>

namespace Corvinex {
namespace Vpedrive {

const wchar_t kValidateVerb[] = L"validate";
const wchar_t* const kValidateCheckVerb = Check::kCheckVerb;

namespace {

// Reads a decimal number within [low, high]; false for anything else.
bool ParseNumber(const std::wstring& text, unsigned long long low, unsigned long long high,
                 unsigned long long* value) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return false;
    *value = std::stoull(text);
    return *value >= low && *value <= high;
}

bool IsValidRegex(const std::wstring& text) {
    try {
        std::wregex pattern(text);
        return true;
    } catch (const std::regex_error&) {
        return false;
    }
}

} // namespace

bool IsValidateCommand(const std::vector<std::wstring>& args) {
    return !args.empty() && (args[0] == kValidateVerb || args[0] == kValidateCheckVerb);
}

bool ParseValidateArguments(const std::vector<std::wstring>& args, ValidateOptions* options,
                            std::wstring* error) {
    *options = ValidateOptions();
    options->child = !args.empty() && args[0] == kValidateCheckVerb;
    for (size_t i = 1; i < args.size(); ++i) {
        std::wstring name = args[i];
        std::wstring value;
        bool hasValue = false;
        const size_t equals = name.find(L'=');
        if (name.compare(0, 2, L"--") == 0 && equals != std::wstring::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasValue = true;
        }
        const bool takesValue = name == L"--engine" || name == L"--strictness" ||
                                name == L"--seed" || name == L"--repeat" || name == L"--only" ||
                                name == L"--skip" || name == L"--timeout" || name == L"--junit" ||
                                name == L"--dump-folder" || name == L"--abi" ||
                                (options->child && name == L"--check");
        if (takesValue && !hasValue) {
            if (i + 1 >= args.size()) {
                *error = L"option " + name + L" needs a value";
                return false;
            }
            value = args[++i];
        } else if (!takesValue && hasValue) {
            *error = L"option " + name + L" takes no value";
            return false;
        }
        unsigned long long number = 0;
        if (name == L"--engine" || name == L"--junit" || name == L"--dump-folder" ||
            name == L"--check") {
            if (value.empty()) {
                *error = L"option " + name + L" needs a non-empty value";
                return false;
            }
            std::wstring& target = name == L"--engine"  ? options->engine
                                   : name == L"--junit" ? options->junitFile
                                   : name == L"--check" ? options->check
                                                        : options->dumpFolder;
            target = value;
        } else if (name == L"--abi") {
            if (!ParseAbiName(value, &options->abi)) {
                *error = L"option --abi takes msvc or gcc, not \"" + value + L"\"";
                return false;
            }
        } else if (name == L"--strictness") {
            if (!ParseNumber(value, 1, 10, &number)) {
                *error = L"option --strictness needs a level from 1 to 10, not \"" + value + L"\"";
                return false;
            }
            options->strictness = static_cast<int>(number);
        } else if (name == L"--seed") {
            if (!ParseNumber(value, 0, 0xFFFFFFFFull, &number)) {
                *error =
                    L"option --seed needs a number from 0 to 4294967295, not \"" + value + L"\"";
                return false;
            }
            options->seed = static_cast<uint32_t>(number);
            options->seedGiven = true;
        } else if (name == L"--repeat") {
            if (!ParseNumber(value, 1, 1000, &number)) {
                *error = L"option --repeat needs a count from 1 to 1000, not \"" + value + L"\"";
                return false;
            }
            options->repeat = static_cast<int>(number);
        } else if (name == L"--timeout") {
            if (!ParseNumber(value, 1, 9999, &number)) {
                *error = L"option --timeout needs a number of seconds from 1 to 9999, not \"" +
                         value + L"\"";
                return false;
            }
            options->timeoutSeconds = static_cast<DWORD>(number);
        } else if (name == L"--only" || name == L"--skip") {
            if (!IsValidRegex(value)) {
                *error = L"option " + name + L" needs a regular expression, not \"" + value + L"\"";
                return false;
            }
            (name == L"--only" ? options->only : options->skip) = value;
        } else if (name == L"--shuffle") {
            options->shuffle = true;
        } else if (name == L"--strict") {
            options->strict = true;
        } else if (name == L"--json") {
            options->json = true;
        } else if (name == L"--tap") {
            options->tap = true;
        } else if (name == L"--in-process") {
            options->inProcess = true;
        } else if (name == L"--list") {
            options->list = true;
        } else {
            *error = L"unknown option " + name + L" for validate";
            return false;
        }
    }
    if (options->json && options->tap) {
        *error = L"--json and --tap both claim the standard output: choose one";
        return false;
    }
    if (options->list)
        return true;
    if (options->engine.empty()) {
        *error = L"validate needs --engine PATH";
        return false;
    }
    if (options->child && options->check.empty()) {
        *error = L"validate-check needs --check NAME";
        return false;
    }
    if (options->inProcess && options->only.empty()) {
        *error = L"--in-process needs --only NAME naming one check";
        return false;
    }
    return true;
}

const wchar_t* ValidateUsageText() {
    return L"  vpedrive validate --engine PATH [--strictness 1..10] [--seed N] [--repeat N]\n"
           L"                    [--shuffle] [--only REGEX] [--skip REGEX] [--timeout S]\n"
           L"                    [--strict] [--junit FILE] [--json] [--tap] [--in-process]\n"
           L"                    [--dump-folder DIR] [--abi msvc|gcc]\n"
           L"  vpedrive validate --list [--json]\n"
           L"      checks that the engine keeps the contract the harness relies on, each check\n"
           L"      in a process of its own (the check helper of the engine's ABI, or of --abi);\n"
           L"      0 nothing failed, 1 a check failed, crashed or timed out, 2 bad input or an\n"
           L"      engine that cannot be bound (doctor's sentence)\n";
}

} // namespace Vpedrive
} // namespace Corvinex
