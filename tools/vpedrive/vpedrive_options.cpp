#include "tools/vpedrive/vpedrive_options.h"

#include "tools/driver/harness_commands.h"

namespace Corvinex {
namespace Vpedrive {

namespace {

// Splits "--name=value" into name and value; other arguments come back unchanged.
void SplitOption(const std::wstring& arg, std::wstring* name, std::wstring* value, bool* hasValue) {
    size_t equals = arg.find(L'=');
    *hasValue = arg.compare(0, 2, L"--") == 0 && equals != std::wstring::npos;
    *name = *hasValue ? arg.substr(0, equals) : arg;
    *value = *hasValue ? arg.substr(equals + 1) : std::wstring();
}

bool ParseSwitch(const std::wstring& text, int* value) {
    if (text == L"on" || text == L"1") {
        *value = 1;
        return true;
    }
    if (text == L"off" || text == L"0") {
        *value = 0;
        return true;
    }
    return false;
}

} // namespace

bool IsOwnStatus(DWORD code) {
    const int statuses[] = {
        kStatusBadInput,           kStatusHung,        kStatusCrashed,       kStatusCannotStart,
        kStatusEndedDuringCommand, kStatusAborted,     kStatusOwnStatusCode, kStatusNoHarnessOfAbi,
        kStatusEndedAtStart,       kStatusInterrupted, kStatusInternalFault};
    for (int status : statuses) {
        if (code == static_cast<DWORD>(status))
            return true;
    }
    return false;
}

bool ParseArguments(const std::vector<std::wstring>& args, Options* options, std::wstring* error) {
    *options = Options();
    if (args.empty() || args[0] == L"help" || args[0] == L"--help" || args[0] == L"-h") {
        options->mode = Mode::Help;
        return true;
    }
    if (args[0] == L"--version" || args[0] == L"version") {
        options->mode = Mode::Version;
        if (args.size() > 1) {
            *error = L"--version takes no arguments";
            return false;
        }
        return true;
    }
    const std::wstring& verb = args[0];
    if (verb == L"run")
        options->mode = Mode::Run;
    else if (verb == L"settings")
        options->mode = Mode::Settings;
    else if (verb == L"doctor")
        options->mode = Mode::Doctor;
    else if (verb == L"doctor-probe")
        options->mode = Mode::DoctorProbe;
    else {
        *error = L"unknown command \"" + verb + L"\" (expected run, settings or doctor)";
        return false;
    }

    std::vector<std::wstring> positional;
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (optionsEnded || arg.compare(0, 2, L"--") != 0 || arg == L"--") {
            if (arg == L"--" && !optionsEnded) {
                optionsEnded = true;
                continue;
            }
            positional.push_back(arg);
            continue;
        }
        std::wstring name, value;
        bool hasValue = false;
        SplitOption(arg, &name, &value, &hasValue);
        const bool takesValue = name == L"--engine" || name == L"--harness" ||
                                name == L"--timeout" || name == L"--abi" || name == L"--debug" ||
                                name == L"--message-box";
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
        const Mode mode = options->mode;
        const bool runOrDoctor = mode == Mode::Run || mode == Mode::Doctor;
        if (name == L"--engine" && runOrDoctor) {
            if (value.empty()) {
                *error = L"option --engine needs a path";
                return false;
            }
            options->engine = value;
        } else if (name == L"--harness" && mode == Mode::Run) {
            if (value.empty()) {
                *error = L"option --harness needs a path";
                return false;
            }
            options->harness = value;
        } else if (name == L"--abi" && runOrDoctor) {
            if (!ParseAbiName(value, &options->abi)) {
                *error = L"option --abi takes msvc or gcc, not \"" + value + L"\"";
                return false;
            }
        } else if (name == L"--json" && mode == Mode::Run) {
            options->json = true;
        } else if (name == L"--timeout" && mode == Mode::Run) {
            if (value.empty() || value.size() > 4 ||
                value.find_first_not_of(L"0123456789") != std::wstring::npos ||
                _wtoi(value.c_str()) < 1) {
                *error = L"option --timeout needs a number of seconds from 1 to 9999, not \"" +
                         value + L"\"";
                return false;
            }
            options->timeoutSeconds = static_cast<DWORD>(_wtoi(value.c_str()));
        } else if ((name == L"--debug" || name == L"--message-box") && mode == Mode::Settings) {
            int* target = name == L"--debug" ? &options->debug : &options->messageBox;
            if (!ParseSwitch(value, target)) {
                *error = L"option " + name + L" takes on or off, not \"" + value + L"\"";
                return false;
            }
        } else {
            *error = L"unknown option " + name + L" for " + verb;
            return false;
        }
    }

    switch (options->mode) {
    case Mode::Run:
        for (const std::wstring& text : positional) {
            if (text == L"fakecheck") {
                options->fakeCheck = true;
                continue;
            }
            WORD id = 0;
            if (!Driver::FindHarnessCommand(text, &id)) {
                *error = L"unknown harness command \"" + text + L"\"";
                return false;
            }
            options->commands.push_back(id);
        }
        if (!options->harness.empty() && options->abi != ModuleAbi::Unknown) {
            *error = L"--harness names the harness itself: it cannot be combined with --abi";
            return false;
        }
        if (options->fakeCheck && !options->commands.empty()) {
            *error = L"fakecheck runs without a window: it cannot be combined with commands";
            return false;
        }
        return true;
    case Mode::Doctor:
        if (positional.size() == 1 && options->engine.empty())
            options->engine = positional[0];
        else if (!positional.empty()) {
            *error = L"unexpected argument \"" + positional[0] + L"\" for doctor";
            return false;
        }
        if (options->engine.empty()) {
            *error = L"doctor needs --engine PATH";
            return false;
        }
        return true;
    case Mode::DoctorProbe:
        if (positional.size() != 1) {
            *error = L"doctor-probe needs exactly one library path";
            return false;
        }
        options->engine = positional[0];
        return true;
    default:
        if (!positional.empty()) {
            *error = L"unexpected argument \"" + positional[0] + L"\" for " + verb;
            return false;
        }
        return true;
    }
}

const wchar_t* UsageText() {
    return L"usage:\n"
           L"  vpedrive run [--engine PATH] [--json] [--timeout S] [--abi msvc|gcc | --harness "
           L"PATH]\n"
           L"               COMMAND...\n"
           L"      runs vpetest.exe with the engine in a scratch folder, the message box on,\n"
           L"      sends the menu commands (names as in the menu, or ids), prints every box\n"
           L"      and the title after each, sends Exit, and ends with the harness's exit code;\n"
           L"      the harness is the one of the engine's C++ ABI (its type names), found beside\n"
           L"      vpedrive or in the other ABI's folder (bin-mingw, msvc/bin); --abi chooses\n"
           L"      the ABI for an engine without type names, --harness the program itself\n"
           L"  vpedrive run [--engine PATH] [--abi msvc|gcc] fakecheck\n"
           L"      runs the fake check and prints the check log lines it wrote\n"
           L"  vpedrive settings [--debug on|off] [--message-box on|off]\n"
           L"      shows or sets the developer settings\n"
           L"  vpedrive doctor --engine PATH [--abi msvc|gcc]\n"
           L"      explains whether and why the library cannot be bound (0: bindable, with its\n"
           L"      ABI and the harness to bind it with), binding it in the check helper\n"
           L"      (vpecheck.exe) of its ABI; --abi judges it in the ABI named instead\n"
           L"  vpedrive --version\n"
           L"      prints the version of vpedrive and of the harness it belongs to\n"
           L"statuses: 2 bad input, 3 harness hung (killed), 4 harness crashed,\n"
           L"          5 harness could not be started, 6 harness ended during a command,\n"
           L"          7 harness aborted (a C++ exception was not caught), 8 harness ended\n"
           L"          with a code that is one of these statuses, 9 no harness of the needed\n"
           L"          ABI, 130 interrupted;\n"
           L"          doctor: 10 and up, one per verdict (23 the ABI cannot be told: use\n"
           L"          --abi; 24 no check helper or harness of the engine's ABI)\n";
}

} // namespace Vpedrive
} // namespace Corvinex
