#include "tools/vpedrive/vpedrive_options.h"

#include "check/helper_arguments.h"
#include "tools/driver/harness_commands.h"
#include "tools/driver/text_file.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <regex>

namespace Corvinex {
namespace Vpedrive {

namespace {

std::wstring Wide(const std::string& utf8) {
    return Driver::FromCodePage(utf8, CP_UTF8);
}

const char kDescription[] =
    "vpedrive runs vpetest.exe from the console, shows and sets the developer settings, explains "
    "why an engine library cannot be bound, and checks an engine against the contract the "
    "harness relies on.";

const char kFooter[] =
    "Statuses: 2 bad input (or a set-up vpedrive cannot work with), 3 harness hung (killed),\n"
    "4 harness crashed, 5 harness could not be started, 6 harness ended during a command,\n"
    "7 harness aborted (a C++ exception was not caught), 8 harness ended with a code that is\n"
    "one of these statuses, 9 no harness of the engine's machine type and ABI, 10 harness\n"
    "ended at its start, 70 vpedrive itself failed, 130 interrupted; otherwise the harness's\n"
    "own exit code.\n"
    "doctor: 0 bindable, 10 and up one per verdict (11 a machine type this system cannot run;\n"
    "23 the ABI cannot be told: use --abi; 24 no check helper or harness of the engine's\n"
    "machine type and ABI).\n"
    "validate: 0 nothing failed, 1 a check failed, crashed or timed out, 2 bad input or an\n"
    "engine that cannot be bound (doctor's sentence).";

// The texts of a command line until they are checked and turned into Options.
struct Texts {
    bool version = false;
    std::string engine, harness, abi, debug, messageBox, only, skip, junit, dumpFolder, check;
    std::vector<std::string> positional;
};

// A validator with vpedrive's own message: CLI11 puts the option's name in front of it.
CLI::Validator Checked(std::function<bool(const std::string&)> accepts, const std::string& what,
                       const std::string& description) {
    return CLI::Validator(
        [accepts, what](std::string& value) {
            return accepts(value) ? std::string() : what + ", not \"" + value + "\"";
        },
        description);
}

// A whole decimal number within [low, high] (CLI11's range check, on digits only).
CLI::Validator Within(unsigned long long low, unsigned long long high, const std::string& what) {
    const CLI::Range range(low, high);
    return Checked(
        [range](const std::string& value) {
            std::string checked = value;
            return !value.empty() && value.size() <= 10 &&
                   value.find_first_not_of("0123456789") == std::string::npos &&
                   range(checked).empty();
        },
        "needs " + what, std::to_string(low) + ".." + std::to_string(high));
}

CLI::Validator AbiName() {
    return Checked(
        [](const std::string& value) {
            ModuleAbi abi;
            return ParseAbiName(Wide(value), &abi);
        },
        "takes msvc or gcc", "");
}

CLI::Validator OnOff() {
    return Checked(
        [](const std::string& value) {
            return value == "on" || value == "off" || value == "1" || value == "0";
        },
        "takes on or off", "");
}

CLI::Validator RegularExpression() {
    return Checked(
        [](const std::string& value) {
            try {
                std::wregex pattern(Wide(value));
                return true;
            } catch (const std::regex_error&) {
                return false;
            }
        },
        "needs a regular expression", "");
}

// Two options that cannot be given together, and what vpedrive says when they are.
struct Exclusion {
    const char* first;
    const char* second;
    const char* sentence;
};
const Exclusion kExclusions[] = {
    {"--abi", "--harness", "--harness names the harness itself: it cannot be combined with --abi"},
    {"--json", "--tap", "--json and --tap both claim the standard output: choose one"},
};

// An option that needs another, and what vpedrive says when it is given alone.
const Exclusion kNeeds[] = {
    {"--in-process", "--only", "--in-process needs --only NAME naming one check"},
};

void Exclude(CLI::Option* first, CLI::Option* second) {
    first->excludes(second);
}

CLI::Option* AddEngine(CLI::App* command, Texts& texts, const std::string& description) {
    return command->add_option("--engine", texts.engine, description)->type_name("PATH");
}

CLI::Option* AddAbi(CLI::App* command, Texts& texts, const std::string& description) {
    return command->add_option("--abi", texts.abi, description)
        ->check(AbiName())
        ->type_name("msvc|gcc");
}

CLI::Option* AddFlag(CLI::App* command, const std::string& name, bool& flag,
                     const std::string& description) {
    return command->add_flag(name, flag, description)->disable_flag_override();
}

// The options of validate; validate-check takes the same (and --check).
void AddValidateOptions(CLI::App* command, Texts& texts, ValidateOptions& options) {
    AddEngine(command, texts, "the engine library to check");
    AddAbi(command, texts, "the check helper's ABI (default: the engine's own, by its type names)");
    command->add_option("--strictness", options.strictness, "the level of the checks run")
        ->check(Within(1, 10, "a level from 1 to 10"))
        ->type_name("LEVEL");
    command->add_option("--seed", options.seed, "repeats a run's order and its random choices")
        ->check(Within(0, 0xFFFFFFFFull, "a number from 0 to 4294967295"))
        ->type_name("N");
    command->add_option("--repeat", options.repeat, "runs the whole list N times")
        ->check(Within(1, 1000, "a count from 1 to 1000"))
        ->type_name("N");
    AddFlag(command, "--shuffle", options.shuffle, "shuffles each round of checks");
    command->add_option("--only", texts.only, "runs the checks whose names match")
        ->check(RegularExpression())
        ->type_name("REGEX");
    command->add_option("--skip", texts.skip, "leaves out the checks whose names match")
        ->check(RegularExpression())
        ->type_name("REGEX");
    command->add_option("--timeout", options.timeoutSeconds, "limits one check's process")
        ->check(Within(1, 9999, "a number of seconds from 1 to 9999"))
        ->type_name("S");
    AddFlag(command, "--strict", options.strict, "makes warnings and skips fail");
    command->add_option("--junit", texts.junit, "writes a JUnit XML report")->type_name("FILE");
    CLI::Option* json = AddFlag(command, "--json", options.json, "one JSON object per check");
    CLI::Option* tap = AddFlag(command, "--tap", options.tap, "TAP version 13");
    Exclude(json, tap);
    AddFlag(command, "--in-process", options.inProcess,
            "runs the one check --only names in a single helper and passes its report on")
        ->needs(command->get_option("--only"));
    command->add_option("--dump-folder", texts.dumpFolder, "where a crash's minidump goes")
        ->type_name("DIR");
    AddFlag(command, "--list", options.list, "lists the checks");
}

// The whole command line: its commands and options, bound to `options` and `texts`.
struct CommandLine {
    CLI::App app{kDescription, "vpedrive"};
    CLI::App* run = nullptr;
    CLI::App* settings = nullptr;
    CLI::App* doctor = nullptr;
    CLI::App* probe = nullptr;
    CLI::App* validate = nullptr;
    CLI::App* check = nullptr;
    CLI::App* version = nullptr;

    CommandLine(Options& options, Texts& texts) {
        // A path such as /tmp/vpe.dll is a path, not an option (CLI11 takes /x for one on
        // Windows).
        app.allow_windows_style_options(false);
        app.require_subcommand(0, 1);
        app.footer(kFooter);
        AddFlag(&app, "--version", texts.version,
                "prints the version of vpedrive and of the harness it belongs to");

        run = app.add_subcommand(
            "run", "runs vpetest.exe with the engine in a scratch folder, the message box on, "
                   "sends the menu commands, prints every box and the title after each, sends "
                   "Exit, and ends with the harness's exit code; the harness is the one of the "
                   "engine's machine type (x86, x64) and C++ ABI (its type names), beside "
                   "vpedrive or in the folder of that kind (bin, bin-mingw, bin-x64, "
                   "bin-x64-mingw; in the build tree msvc/bin, x64/bin, msvc-x64/bin)");
        AddEngine(run, texts,
                  "the engine, copied beside the harness as vpe.dll (default: the "
                  "vpe.dll beside the harness)");
        AddFlag(run, "--json", options.json, "one JSON object per line");
        run->add_option("--timeout", options.timeoutSeconds, "for the start and for each command")
            ->check(Within(1, 9999, "a number of seconds from 1 to 9999"))
            ->type_name("S");
        CLI::Option* abi = AddAbi(run, texts,
                                  "the harness's ABI, for an engine without type names (default: "
                                  "the engine's own)");
        CLI::Option* harness =
            run->add_option("--harness", texts.harness, "the harness program itself")
                ->type_name("PATH");
        Exclude(abi, harness);
        run->add_option("COMMAND", texts.positional,
                        "menu commands (names as in the menu, case and ampersands ignored, or "
                        "ids), or fakecheck alone: runs the fake check and prints the check log "
                        "lines it wrote");

        settings = app.add_subcommand("settings", "shows or sets the developer settings");
        settings->add_option("--debug", texts.debug, "the master switch Debug")
            ->check(OnOff())
            ->type_name("on|off");
        settings
            ->add_option("--message-box", texts.messageBox,
                         "ShowInternalMessageBox: the harness's \"Internal Error\" boxes")
            ->check(OnOff())
            ->type_name("on|off");

        doctor = app.add_subcommand(
            "doctor", "explains whether and why the library cannot be bound (0: bindable, with "
                      "its machine type, its ABI and the harness to bind it with), binding it "
                      "in the check helper (vpecheck.exe) of its machine type and ABI");
        AddEngine(doctor, texts, "the library (or give its path alone)");
        AddAbi(doctor, texts, "judges the library in this ABI");
        doctor->add_option("PATH", texts.positional, "the library, when --engine is not given");

        validate = app.add_subcommand(
            "validate", "checks that the engine keeps the contract the harness relies on, each "
                        "check in a process of its own (the check helper of the engine's "
                        "machine type and ABI, or of --abi)");
        AddValidateOptions(validate, texts, options.validate);

        // The hidden commands: the helper's verbs, passed on to vpecheck.exe.
        probe = app.add_subcommand(Driver::ToUtf8(Check::kProbeVerb))->group("");
        probe->add_option("PATH", texts.positional);
        check = app.add_subcommand(Driver::ToUtf8(Check::kCheckVerb))->group("");
        AddValidateOptions(check, texts, options.validate);
        check->add_option("--check", texts.check)->type_name("NAME");
        version = app.add_subcommand("version")->group("")->allow_extras();
    }

    // The one command given; null for none.
    CLI::App* Given() const {
        const std::vector<CLI::App*> given = app.get_subcommands();
        return given.empty() ? nullptr : given.front();
    }

    // The visible command names, for the message on an unknown one.
    std::string Commands() const {
        std::vector<std::string> names;
        for (const CLI::App* command : app.get_subcommands({})) {
            if (!command->get_group().empty())
                names.push_back(command->get_name());
        }
        std::string list;
        for (size_t i = 0; i < names.size(); ++i)
            list += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
        return list;
    }
};

// vpedrive's sentence for what CLI11 refused.
std::string Explain(const CLI::ParseError& error, const CommandLine& line) {
    const std::string what = error.what();
    const auto both = [&what](const Exclusion& pair) {
        return what.find(pair.first) != std::string::npos &&
               what.find(pair.second) != std::string::npos;
    };
    if (dynamic_cast<const CLI::ExcludesError*>(&error) != nullptr) {
        for (const Exclusion& pair : kExclusions)
            if (both(pair))
                return pair.sentence;
    }
    if (dynamic_cast<const CLI::RequiresError*>(&error) != nullptr) {
        for (const Exclusion& pair : kNeeds)
            if (both(pair))
                return pair.sentence;
    }
    const std::string name = what.substr(0, what.find_first_of(": "));
    if (dynamic_cast<const CLI::ValidationError*>(&error) != nullptr)
        return "option " + name + what.substr(name.size() + 1);
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        if (what.find("disallowed flag override") != std::string::npos)
            return "option " + std::string(name.compare(0, 2, "--") == 0 ? "" : "--") + name +
                   " takes no value";
        return "option " + name + " needs a value";
    }
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        // CLI11 lists the arguments last first: the first one given is the last word.
        const std::string extra = what.substr(what.find_last_of(' ') + 1);
        if (error.get_name() == line.app.get_name())
            return "unknown command \"" + extra + "\" (expected " + line.Commands() + ")";
        if (extra.compare(0, 1, "-") == 0)
            return "unknown option " + extra + " for " + error.get_name();
        return "unexpected argument \"" + extra + "\" for " + error.get_name();
    }
    return what;
}

// Turns the texts of a command into Options; false with *error for what CLI11 cannot check.
bool FinishRun(const Texts& texts, Options* options, std::string* error) {
    for (const std::string& text : texts.positional) {
        if (text == "fakecheck") {
            options->fakeCheck = true;
            continue;
        }
        WORD id = 0;
        if (!Driver::FindHarnessCommand(Wide(text), &id)) {
            *error = "unknown harness command \"" + text + "\"";
            return false;
        }
        options->commands.push_back(id);
    }
    if (options->fakeCheck && !options->commands.empty()) {
        *error = "fakecheck runs without a window: it cannot be combined with commands";
        return false;
    }
    return true;
}

bool FinishValidate(const CLI::App& command, const Texts& texts, bool child,
                    ValidateOptions* options, std::string* error) {
    const struct {
        const char* name;
        const std::string& text;
        std::wstring* target;
    } paths[] = {{"--engine", texts.engine, &options->engine},
                 {"--junit", texts.junit, &options->junitFile},
                 {"--dump-folder", texts.dumpFolder, &options->dumpFolder},
                 {"--check", texts.check, &options->check}};
    for (const auto& path : paths) {
        const CLI::Option* option = command.get_option_no_throw(path.name);
        if (option != nullptr && option->count() > 0 && path.text.empty()) {
            *error = std::string("option ") + path.name + " needs a non-empty value";
            return false;
        }
        *path.target = Wide(path.text);
    }
    options->only = Wide(texts.only);
    options->skip = Wide(texts.skip);
    ParseAbiName(Wide(texts.abi), &options->abi);
    options->seedGiven = command.get_option("--seed")->count() > 0;
    if (options->list)
        return true;
    if (options->engine.empty())
        *error = std::string(child ? Driver::ToUtf8(Check::kCheckVerb) : "validate") +
                 " needs --engine PATH";
    else if (child && options->check.empty())
        *error = Driver::ToUtf8(Check::kCheckVerb) + " needs --check NAME";
    return error->empty();
}

// Fills *options from the parsed command line; false with *error when the command is
// incomplete or its values do not fit together.
bool Finish(const CommandLine& line, const Texts& texts, Options* options, std::string* error) {
    const CLI::App* given = line.Given();
    if (texts.version || given == line.version) {
        options->mode = Mode::Version;
        if ((texts.version && given != nullptr) || !texts.positional.empty() ||
            (given != nullptr && !given->remaining().empty()))
            *error = "--version takes no arguments";
        return error->empty();
    }
    if (given == nullptr) {
        options->mode = Mode::Help;
        options->help = line.app.help("", CLI::AppFormatMode::All);
        return true;
    }
    const CLI::Option* engine = given->get_option_no_throw("--engine");
    if (engine != nullptr && engine->count() > 0 && texts.engine.empty()) {
        *error = "option --engine needs a path";
        return false;
    }
    options->engine = Wide(texts.engine);
    options->harness = Wide(texts.harness);
    ParseAbiName(Wide(texts.abi), &options->abi);
    if (given == line.run) {
        options->mode = Mode::Run;
        if (given->get_option("--harness")->count() > 0 && texts.harness.empty())
            *error = "option --harness needs a path";
        return error->empty() && FinishRun(texts, options, error);
    }
    if (given == line.settings) {
        options->mode = Mode::Settings;
        options->debug = texts.debug.empty() ? -1 : texts.debug == "on" || texts.debug == "1";
        options->messageBox =
            texts.messageBox.empty() ? -1 : texts.messageBox == "on" || texts.messageBox == "1";
        return true;
    }
    if (given == line.doctor) {
        options->mode = Mode::Doctor;
        if (texts.positional.size() == 1 && options->engine.empty())
            options->engine = Wide(texts.positional[0]);
        else if (!texts.positional.empty())
            *error = "unexpected argument \"" + texts.positional[0] + "\" for doctor";
        else if (options->engine.empty())
            *error = "doctor needs --engine PATH";
        return error->empty();
    }
    if (given == line.probe) {
        options->mode = Mode::DoctorProbe;
        if (texts.positional.size() != 1)
            *error = Driver::ToUtf8(Check::kProbeVerb) + " needs exactly one library path";
        else
            options->engine = Wide(texts.positional[0]);
        return error->empty();
    }
    const bool child = given == line.check;
    options->mode = child ? Mode::ValidateCheck : Mode::Validate;
    return FinishValidate(*given, texts, child, &options->validate, error);
}

} // namespace

bool IsOwnStatus(DWORD code) {
    const int statuses[] = {kStatusBadInput,
                            kStatusHung,
                            kStatusCrashed,
                            kStatusCannotStart,
                            kStatusEndedDuringCommand,
                            kStatusAborted,
                            kStatusOwnStatusCode,
                            kStatusNoHarnessOfAbi,
                            kStatusEndedAtStart,
                            kStatusInternalFault,
                            kStatusInterrupted};
    for (int status : statuses) {
        if (code == static_cast<DWORD>(status))
            return true;
    }
    return false;
}

std::vector<std::string> Utf8Arguments(int argc, const wchar_t* const* argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(Driver::ToUtf8(argv[i]));
    return args;
}

bool ParseArguments(const std::vector<std::string>& args, Options* options, std::wstring* error) {
    *options = Options();
    Texts texts;
    CommandLine line(*options, texts);
    if (args.empty() || args[0] == "help") {
        options->help = line.app.help("", CLI::AppFormatMode::All);
        return true;
    }
    std::string problem;
    try {
        // CLI11 takes the arguments last first.
        line.app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
    } catch (const CLI::CallForHelp&) {
        const CLI::App* given = line.Given();
        options->mode = Mode::Help;
        options->help =
            given != nullptr ? given->help() : line.app.help("", CLI::AppFormatMode::All);
        return true;
    } catch (const CLI::ParseError& refused) {
        problem = Explain(refused, line);
    }
    if (problem.empty() && Finish(line, texts, options, &problem))
        return true;
    *error = Wide(problem);
    return false;
}

} // namespace Vpedrive
} // namespace Corvinex
