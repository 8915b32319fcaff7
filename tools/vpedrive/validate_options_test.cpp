// The command line of vpedrive validate, and the order a run takes.
#include "tools/driver/text_file.h"
#include "tools/vpedrive/validate_runner.h"
#include "tools/vpedrive/vpedrive_options.h"

#include <gtest/gtest.h>

using namespace Corvinex::Vpedrive;

namespace {

// Parses `verb` with the arguments into *options (the validate part of the options).
bool ParseCommand(const wchar_t* verb, const std::vector<std::wstring>& args,
                  ValidateOptions* options, std::wstring* error, Mode* mode = nullptr) {
    std::vector<std::string> utf8 = {Corvinex::Driver::ToUtf8(verb)};
    for (const std::wstring& arg : args)
        utf8.push_back(Corvinex::Driver::ToUtf8(arg));
    Options all;
    const bool parsed = ParseArguments(utf8, &all, error);
    *options = all.validate;
    if (mode != nullptr)
        *mode = all.mode;
    return parsed;
}

bool Parse(const std::vector<std::wstring>& args, ValidateOptions* options, std::wstring* error) {
    return ParseCommand(L"validate", args, options, error);
}

std::vector<std::wstring> Names(const std::vector<PlannedCheck>& plan) {
    std::vector<std::wstring> names;
    for (const PlannedCheck& planned : plan)
        names.push_back(planned.info->name);
    return names;
}

} // namespace

TEST(ValidateOptions, EveryOptionIsRead) {
    ValidateOptions options;
    std::wstring error;
    ASSERT_TRUE(Parse(
        {L"--engine", L"x.dll",     L"--strictness=8", L"--seed",  L"4294967295", L"--repeat",
         L"3",        L"--shuffle", L"--only",         L"bind",    L"--skip=msg", L"--timeout",
         L"9",        L"--strict",  L"--junit",        L"out.xml", L"--tap",      L"--dump-folder",
         L"dumps",    L"--abi=msvc"},
        &options, &error))
        << error;
    EXPECT_EQ(options.engine, L"x.dll");
    EXPECT_EQ(options.strictness, 8);
    EXPECT_EQ(options.seed, 4294967295u);
    EXPECT_TRUE(options.seedGiven);
    EXPECT_EQ(options.repeat, 3);
    EXPECT_TRUE(options.shuffle && options.strict && options.tap);
    EXPECT_EQ(options.only, L"bind");
    EXPECT_EQ(options.skip, L"msg");
    EXPECT_EQ(options.timeoutSeconds, 9u);
    EXPECT_EQ(options.junitFile, L"out.xml");
    EXPECT_EQ(options.dumpFolder, L"dumps");
    EXPECT_EQ(options.abi, ModuleAbi::Msvc);
}

TEST(ValidateOptions, DefaultsAreStrictnessFiveAndOneRound) {
    ValidateOptions options;
    std::wstring error;
    ASSERT_TRUE(Parse({L"--engine", L"x.dll"}, &options, &error));
    EXPECT_EQ(options.strictness, 5);
    EXPECT_EQ(options.repeat, 1);
    EXPECT_FALSE(options.seedGiven);
    EXPECT_EQ(options.abi, ModuleAbi::Unknown); // the engine's own
}

TEST(ValidateOptions, BadInputIsRefusedWithAReason) {
    const std::vector<std::vector<std::wstring>> bad = {
        {},                                            // no engine
        {L"--engine", L"x", L"--strictness", L"0"},    // below 1
        {L"--engine", L"x", L"--strictness", L"11"},   // above 10
        {L"--engine", L"x", L"--seed", L"4294967296"}, // beyond 32 bits
        {L"--engine", L"x", L"--repeat", L"0"},
        {L"--engine", L"x", L"--only", L"("},     // not a regular expression
        {L"--engine", L"x", L"--json", L"--tap"}, // two owners of stdout
        {L"--engine", L"x", L"--in-process"},     // without --only
        {L"--engine", L"x", L"--frobnicate"},
        {L"--engine", L"x", L"--abi", L"clang"}, // neither msvc nor gcc
        {L"--engine"},
    };
    for (const auto& args : bad) {
        ValidateOptions options;
        std::wstring error;
        EXPECT_FALSE(Parse(args, &options, &error)) << args.size();
        EXPECT_FALSE(error.empty());
    }
}

TEST(ValidateOptions, ListNeedsNoEngine) {
    ValidateOptions options;
    std::wstring error;
    ASSERT_TRUE(Parse({L"--list", L"--json"}, &options, &error)) << error;
    EXPECT_TRUE(options.list && options.json);
}

TEST(ValidateOptions, TheChildNeedsACheck) {
    ValidateOptions options;
    std::wstring error;
    Mode mode = Mode::Help;
    EXPECT_FALSE(ParseCommand(L"validate-check", {L"--engine", L"x"}, &options, &error));
    EXPECT_NE(error.find(L"--check NAME"), std::wstring::npos) << error;
    ASSERT_TRUE(ParseCommand(L"validate-check", {L"--engine", L"x", L"--check", L"strings"},
                             &options, &error, &mode));
    EXPECT_EQ(mode, Mode::ValidateCheck);
    EXPECT_EQ(options.check, L"strings");
    ASSERT_TRUE(ParseCommand(L"validate", {L"--engine", L"x"}, &options, &error, &mode));
    EXPECT_EQ(mode, Mode::Validate);
}

TEST(ValidatePlan, StrictnessOnlyAndSkipSelect) {
    ValidateOptions options;
    options.strictness = 1;
    EXPECT_EQ(Names(PlanRun(options, 1)),
              (std::vector<std::wstring>{L"binding", L"vtable-sanity", L"lifecycle"}));
    options.strictness = 10;
    EXPECT_EQ(PlanRun(options, 1).size(), CheckCatalogue().size());
    options.only = L"^s";
    options.skip = L"swallowed";
    EXPECT_EQ(Names(PlanRun(options, 1)),
              (std::vector<std::wstring>{L"strings", L"status-latency", L"stop-responsiveness"}));
}

TEST(ValidatePlan, TheSeedReproducesTheShuffledOrder) {
    ValidateOptions options;
    options.strictness = 10;
    options.shuffle = true;
    options.repeat = 2;
    const auto first = Names(PlanRun(options, 12345));
    EXPECT_EQ(first, Names(PlanRun(options, 12345)));
    ASSERT_EQ(first.size(), 2 * CheckCatalogue().size());
    bool differs = false;
    for (uint32_t seed = 1; seed < 5 && !differs; ++seed)
        differs = Names(PlanRun(options, seed)) != first;
    EXPECT_TRUE(differs);
    options.shuffle = false;
    const auto listed = Names(PlanRun(options, 12345));
    EXPECT_EQ(listed[0], L"binding");
    EXPECT_EQ(listed[CheckCatalogue().size()], L"binding"); // the second round starts again
}
