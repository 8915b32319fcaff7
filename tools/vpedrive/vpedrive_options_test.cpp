#include "tools/vpedrive/vpedrive_options.h"

#include <gtest/gtest.h>

using namespace Corvinex::Vpedrive;

namespace {

bool Parse(std::vector<std::wstring> args, Options* options, std::wstring* error = nullptr) {
    std::wstring ignored;
    return ParseArguments(args, options, error != nullptr ? error : &ignored);
}

} // namespace

TEST(VpedriveOptions, NoArgumentsOrHelpShowTheUsage) {
    Options options;
    ASSERT_TRUE(Parse({}, &options));
    EXPECT_EQ(options.mode, Mode::Help);
    ASSERT_TRUE(Parse({L"--help"}, &options));
    EXPECT_EQ(options.mode, Mode::Help);
}

TEST(VpedriveOptions, VersionStandsAlone) {
    Options options;
    ASSERT_TRUE(Parse({L"--version"}, &options));
    EXPECT_EQ(options.mode, Mode::Version);
    std::wstring error;
    EXPECT_FALSE(Parse({L"--version", L"run"}, &options, &error));
    EXPECT_NE(error.find(L"--version"), std::wstring::npos);
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
    EXPECT_FALSE(Parse({L"run", L"--timeout", L"0"}, &options, &error));
    EXPECT_FALSE(Parse({L"run", L"--timeout", L"ten"}, &options, &error));
    EXPECT_FALSE(Parse({L"run", L"--timeout", L"-3"}, &options, &error));
    EXPECT_FALSE(Parse({L"run", L"--json=yes"}, &options, &error));
    EXPECT_FALSE(Parse({L"launch"}, &options, &error));
    EXPECT_NE(error.find(L"launch"), std::wstring::npos);
}

TEST(VpedriveOptions, OptionsBelongToTheirCommand) {
    Options options;
    EXPECT_FALSE(Parse({L"settings", L"--engine", L"x.dll"}, &options));
    EXPECT_FALSE(Parse({L"doctor", L"--engine", L"x.dll", L"--json"}, &options));
    EXPECT_FALSE(Parse({L"run", L"--debug", L"on"}, &options));
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
