#include "tools/vpedrive/vpedrive_options.h"

#include "tools/driver/text_file.h"

#include <gtest/gtest.h>

using namespace Corvinex::Vpedrive;

namespace {

// Parses wide arguments the way main hands them over: converted to UTF-8 once.
bool Parse(std::vector<std::wstring> args, Options* options, std::wstring* error = nullptr) {
    std::vector<std::string> utf8;
    for (const std::wstring& arg : args)
        utf8.push_back(Corvinex::Driver::ToUtf8(arg));
    std::wstring ignored;
    return ParseArguments(utf8, options, error != nullptr ? error : &ignored);
}

} // namespace

TEST(VpedriveOptions, NoArgumentsOrHelpShowTheGeneratedUsage) {
    Options options;
    ASSERT_TRUE(Parse({}, &options));
    EXPECT_EQ(options.mode, Mode::Help);
    for (const char* command : {"run", "settings", "doctor", "validate", "Statuses:"})
        EXPECT_NE(options.help.find(command), std::string::npos) << command;
    EXPECT_EQ(options.help.find("doctor-probe"), std::string::npos) << "hidden";
    const std::string all = options.help;
    ASSERT_TRUE(Parse({L"--help"}, &options));
    EXPECT_EQ(options.mode, Mode::Help);
    EXPECT_EQ(options.help, all);
    ASSERT_TRUE(Parse({L"help"}, &options));
    EXPECT_EQ(options.help, all);
}

TEST(VpedriveOptions, EachCommandHasAUsageOfItsOwn) {
    Options options;
    ASSERT_TRUE(Parse({L"run", L"--help"}, &options));
    EXPECT_EQ(options.mode, Mode::Help);
    EXPECT_NE(options.help.find("--harness"), std::string::npos) << options.help;
    EXPECT_EQ(options.help.find("--strictness"), std::string::npos) << options.help;
    ASSERT_TRUE(Parse({L"validate", L"-h"}, &options));
    EXPECT_NE(options.help.find("--strictness"), std::string::npos) << options.help;
    EXPECT_NE(options.help.find("Excludes: --tap"), std::string::npos) << options.help;
    EXPECT_EQ(options.help.find("--harness"), std::string::npos) << options.help;
}

TEST(VpedriveOptions, VersionStandsAlone) {
    Options options;
    ASSERT_TRUE(Parse({L"--version"}, &options));
    EXPECT_EQ(options.mode, Mode::Version);
    ASSERT_TRUE(Parse({L"version"}, &options));
    EXPECT_EQ(options.mode, Mode::Version);
    std::wstring error;
    EXPECT_FALSE(Parse({L"--version", L"run"}, &options, &error));
    EXPECT_NE(error.find(L"--version"), std::wstring::npos);
    EXPECT_FALSE(Parse({L"version", L"x"}, &options, &error));
    EXPECT_NE(error.find(L"--version takes no arguments"), std::wstring::npos) << error;
}

TEST(VpedriveOptions, RunTakesEngineJsonTimeoutAndCommandsInOrder) {
    Options options;
    ASSERT_TRUE(Parse({L"run", L"--engine", L"C:\\a b\\vpe.dll", L"--json", L"--timeout=5",
                       L"Install", L"analyse check log", L"32817", L"E&xit"},
                      &options));
    EXPECT_EQ(options.mode, Mode::Run);
    EXPECT_EQ(options.engine, L"C:\\a b\\vpe.dll");
    EXPECT_TRUE(options.json);
    EXPECT_EQ(options.timeoutSeconds, 5u);
    EXPECT_FALSE(options.fakeCheck);
    EXPECT_EQ(options.commands, (std::vector<WORD>{32788, 32806, 32817, 105}));
}

TEST(VpedriveOptions, RunDefaultsToThirtySecondsAndText) {
    Options options;
    ASSERT_TRUE(Parse({L"run", L"Start"}, &options));
    EXPECT_FALSE(options.json);
    EXPECT_EQ(options.timeoutSeconds, 30u);
    EXPECT_TRUE(options.engine.empty());
    EXPECT_TRUE(options.harness.empty());
}

TEST(VpedriveOptions, FakecheckIsARunModeOfItsOwn) {
    Options options;
    ASSERT_TRUE(Parse({L"run", L"--engine=x.dll", L"fakecheck"}, &options));
    EXPECT_TRUE(options.fakeCheck);
    EXPECT_TRUE(options.commands.empty());
    std::wstring error;
    EXPECT_FALSE(Parse({L"run", L"fakecheck", L"Start"}, &options, &error));
    EXPECT_NE(error.find(L"fakecheck"), std::wstring::npos);
}

TEST(VpedriveOptions, UnknownCommandNamesAreRefusedByName) {
    Options options;
    std::wstring error;
    EXPECT_FALSE(Parse({L"run", L"Install", L"Instal"}, &options, &error));
    EXPECT_NE(error.find(L"\"Instal\""), std::wstring::npos) << error;
}

TEST(VpedriveOptions, DoubleDashEndsTheOptions) {
    Options options;
    std::wstring error;
    EXPECT_FALSE(Parse({L"run", L"--", L"--json"}, &options, &error));
    EXPECT_NE(error.find(L"--json"), std::wstring::npos);
    EXPECT_FALSE(options.json);
}

TEST(VpedriveOptions, RefusesUnknownOptionsMissingValuesAndBadTimeouts) {
    Options options;
    std::wstring error;
    EXPECT_FALSE(Parse({L"run", L"--verbose"}, &options, &error));
    EXPECT_NE(error.find(L"--verbose"), std::wstring::npos);
    EXPECT_FALSE(Parse({L"run", L"--engine"}, &options, &error));
    EXPECT_NE(error.find(L"needs a value"), std::wstring::npos);
    EXPECT_FALSE(Parse({L"run", L"--engine="}, &options, &error));
    EXPECT_FALSE(Parse({L"run", L"--engine", L""}, &options, &error));
    EXPECT_NE(error.find(L"--engine needs a path"), std::wstring::npos) << error;
    EXPECT_FALSE(Parse({L"run", L"--timeout", L"0"}, &options, &error));
    EXPECT_NE(error.find(L"from 1 to 9999, not \"0\""), std::wstring::npos) << error;
    EXPECT_FALSE(Parse({L"run", L"--timeout", L"ten"}, &options, &error));
    EXPECT_FALSE(Parse({L"run", L"--timeout", L"-3"}, &options, &error));
    EXPECT_FALSE(Parse({L"run", L"--timeout", L"10000"}, &options, &error));
    ASSERT_TRUE(Parse({L"run", L"--timeout", L"9999"}, &options, &error)) << error;
    EXPECT_EQ(options.timeoutSeconds, 9999u);
    EXPECT_FALSE(Parse({L"run", L"--json=yes"}, &options, &error));
    EXPECT_NE(error.find(L"--json takes no value"), std::wstring::npos) << error;
    EXPECT_FALSE(Parse({L"launch"}, &options, &error));
    EXPECT_NE(error.find(L"launch"), std::wstring::npos);
    EXPECT_NE(error.find(L"run, settings, doctor or validate"), std::wstring::npos) << error;
}

TEST(VpedriveOptions, OptionsBelongToTheirCommand) {
    Options options;
    std::wstring error;
    EXPECT_FALSE(Parse({L"settings", L"--engine", L"x.dll"}, &options, &error));
    EXPECT_NE(error.find(L"unknown option --engine for settings"), std::wstring::npos) << error;
    EXPECT_FALSE(Parse({L"doctor", L"--engine", L"x.dll", L"--json"}, &options));
    EXPECT_FALSE(Parse({L"run", L"--debug", L"on"}, &options));
    EXPECT_FALSE(Parse({L"validate", L"--engine", L"x", L"--check", L"strings"}, &options));
}

TEST(VpedriveOptions, SettingsTakeOnAndOff) {
    Options options;
    ASSERT_TRUE(Parse({L"settings"}, &options));
    EXPECT_EQ(options.mode, Mode::Settings);
    EXPECT_EQ(options.debug, -1);
    EXPECT_EQ(options.messageBox, -1);
    ASSERT_TRUE(Parse({L"settings", L"--debug", L"on", L"--message-box=off"}, &options));
    EXPECT_EQ(options.debug, 1);
    EXPECT_EQ(options.messageBox, 0);
    ASSERT_TRUE(Parse({L"settings", L"--debug", L"0", L"--message-box", L"1"}, &options));
    EXPECT_EQ(options.debug, 0);
    EXPECT_EQ(options.messageBox, 1);
    std::wstring error;
    EXPECT_FALSE(Parse({L"settings", L"--debug", L"yes"}, &options, &error));
    EXPECT_NE(error.find(L"on or off"), std::wstring::npos);
    EXPECT_FALSE(Parse({L"settings", L"extra"}, &options));
}

TEST(VpedriveOptions, DoctorNeedsAnEngine) {
    Options options;
    ASSERT_TRUE(Parse({L"doctor", L"--engine", L"D:\\\x65E5\x672C\\vpe.dll"}, &options));
    EXPECT_EQ(options.mode, Mode::Doctor);
    EXPECT_EQ(options.engine, L"D:\\\x65E5\x672C\\vpe.dll");
    ASSERT_TRUE(Parse({L"doctor", L"vpe.dll"}, &options));
    EXPECT_EQ(options.engine, L"vpe.dll");
    std::wstring error;
    EXPECT_FALSE(Parse({L"doctor"}, &options, &error));
    EXPECT_NE(error.find(L"--engine"), std::wstring::npos);
    EXPECT_FALSE(Parse({L"doctor", L"a.dll", L"b.dll"}, &options));
    // A Unix path is a path, not a Windows-style option.
    ASSERT_TRUE(Parse({L"doctor", L"/tmp/vpe.dll"}, &options));
    EXPECT_EQ(options.engine, L"/tmp/vpe.dll");
}

TEST(VpedriveOptions, AbiNamesTheHarnessKindAndExcludesAnExplicitHarness) {
    Options options;
    ASSERT_TRUE(Parse({L"run", L"--abi", L"MSVC", L"Start"}, &options));
    EXPECT_EQ(options.abi, ModuleAbi::Msvc);
    ASSERT_TRUE(Parse({L"run", L"--abi=gcc", L"fakecheck"}, &options));
    EXPECT_EQ(options.abi, ModuleAbi::Gcc);
    ASSERT_TRUE(Parse({L"run", L"Start"}, &options));
    EXPECT_EQ(options.abi, ModuleAbi::Unknown);
    std::wstring error;
    EXPECT_FALSE(Parse({L"run", L"--abi", L"clang", L"Start"}, &options, &error));
    EXPECT_NE(error.find(L"msvc or gcc"), std::wstring::npos) << error;
    EXPECT_FALSE(
        Parse({L"run", L"--abi", L"gcc", L"--harness", L"x.exe", L"Start"}, &options, &error));
    EXPECT_NE(error.find(L"--abi"), std::wstring::npos) << error;
    // doctor judges the engine in the ABI named; settings has no engine to judge.
    ASSERT_TRUE(Parse({L"doctor", L"--abi", L"gcc", L"--engine", L"x.dll"}, &options));
    EXPECT_EQ(options.abi, ModuleAbi::Gcc);
    EXPECT_FALSE(Parse({L"doctor", L"--abi", L"vs", L"x.dll"}, &options));
    EXPECT_FALSE(Parse({L"settings", L"--abi", L"gcc"}, &options));
}

TEST(VpedriveOptions, TheHelpersVerbsArePassedOnButNotListed) {
    Options options;
    std::wstring error;
    ASSERT_TRUE(Parse({L"doctor-probe", L"C:\\e\\vpe.dll"}, &options, &error)) << error;
    EXPECT_EQ(options.mode, Mode::DoctorProbe);
    EXPECT_EQ(options.engine, L"C:\\e\\vpe.dll");
    EXPECT_FALSE(Parse({L"doctor-probe"}, &options, &error));
    EXPECT_NE(error.find(L"exactly one library path"), std::wstring::npos) << error;
}

TEST(VpedriveOptions, ArgumentsAreConvertedToUtf8Once) {
    const wchar_t* const argv[] = {L"vpedrive.exe", L"doctor", L"D:\\\x65E5\x672C \x0416.dll"};
    const std::vector<std::string> args = Utf8Arguments(3, argv);
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[1], "D:\\\xE6\x97\xA5\xE6\x9C\xAC \xD0\x96.dll");
    Options options;
    std::wstring error;
    ASSERT_TRUE(ParseArguments(args, &options, &error)) << error;
    EXPECT_EQ(options.engine, L"D:\\\x65E5\x672C \x0416.dll");
}
