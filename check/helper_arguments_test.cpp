// The helper's command line as vpedrive writes it, and what the helper refuses.
#include "check/helper_arguments.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

using namespace Corvinex::Check;

namespace {

struct Parsed {
    bool ok = false;
    HelperCommand command;
    const wchar_t* error = L"";
};

Parsed Parse(std::vector<const wchar_t*> args) {
    Parsed parsed;
    parsed.ok = ParseHelperArguments(static_cast<int>(args.size()),
                                     const_cast<wchar_t* const*>(args.data()), &parsed.command,
                                     &parsed.error);
    return parsed;
}

} // namespace

TEST(HelperArguments, TheProbeTakesOneLibrary) {
    Parsed parsed = Parse({L"doctor-probe", L"C:\\engines\\vpe.dll"});
    ASSERT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.command.verb, HelperVerb::Probe);
    EXPECT_STREQ(parsed.command.probePath, L"C:\\engines\\vpe.dll");
    EXPECT_FALSE(Parse({L"doctor-probe"}).ok);
    EXPECT_FALSE(Parse({L"doctor-probe", L"a.dll", L"b.dll"}).ok);
}

TEST(HelperArguments, ACheckTakesEveryOptionTheRunnerPasses) {
    Parsed parsed = Parse({L"validate-check", L"--check", L"strings", L"--engine",
                           L"C:\\e\\vpe.dll", L"--strictness", L"8", L"--seed", L"4294967295",
                           L"--timeout", L"30", L"--dump-folder", L"C:\\dumps"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const CheckRequest& request = parsed.command.request;
    EXPECT_EQ(parsed.command.verb, HelperVerb::Check);
    EXPECT_STREQ(request.check, L"strings");
    EXPECT_STREQ(request.engine, L"C:\\e\\vpe.dll");
    EXPECT_EQ(request.strictness, 8);
    EXPECT_EQ(request.seed, 4294967295u);
    EXPECT_EQ(request.timeoutSeconds, 30u);
    EXPECT_STREQ(request.dumpFolder, L"C:\\dumps");

    Parsed defaults = Parse({L"validate-check", L"--engine", L"x.dll", L"--check", L"binding"});
    ASSERT_TRUE(defaults.ok);
    EXPECT_EQ(defaults.command.request.strictness, 5);
    EXPECT_EQ(defaults.command.request.dumpFolder, nullptr);
}

TEST(HelperArguments, BadInputIsRefusedWithAReason) {
    const std::vector<std::vector<const wchar_t*>> bad = {
        {},
        {L"validate"},
        {L"validate-check", L"--engine", L"x.dll"},               // no check
        {L"validate-check", L"--check", L"binding"},              // no engine
        {L"validate-check", L"--check", L"binding", L"--engine"}, // value missing
        {L"validate-check", L"--check", L"b", L"--engine", L"x", L"--strictness", L"11"},
        {L"validate-check", L"--check", L"b", L"--engine", L"x", L"--seed", L"-1"},
        {L"validate-check", L"--check", L"b", L"--engine", L"x", L"--timeout", L"5s"},
        {L"validate-check", L"--check", L"b", L"--engine", L"x", L"--colour", L"red"},
    };
    for (const auto& args : bad) {
        Parsed parsed = Parse(args);
        EXPECT_FALSE(parsed.ok) << args.size();
        EXPECT_GT(std::wcslen(parsed.error), 0u);
    }
}
