#include "tools/driver/harness_commands.h"

#include <gtest/gtest.h>

#include <set>

using namespace Corvinex::Driver;

namespace {

WORD Find(const std::wstring& text) {
    WORD id = 0;
    return FindHarnessCommand(text, &id) ? id : 0;
}

} // namespace

TEST(HarnessCommands, FindsMenuNamesWithTheirIds) {
    EXPECT_EQ(Find(L"Install"), 32788);
    EXPECT_EQ(Find(L"Uninstall"), 32790);
    EXPECT_EQ(Find(L"IsInstalled"), 32787);
    EXPECT_EQ(Find(L"Start"), 32811);
    EXPECT_EQ(Find(L"Stop"), 32812);
    EXPECT_EQ(Find(L"Analyse Check Log"), 32806);
    EXPECT_EQ(Find(L"Analyse Update Log"), 32801);
    EXPECT_EQ(Find(L"CheckStop"), 32804);
    EXPECT_EQ(Find(L"IsCheckRunning"), 32803);
    EXPECT_EQ(Find(L"Exit"), 105);
}

TEST(HarnessCommands, IgnoresCaseAmpersandsDotsAndBlanks) {
    EXPECT_EQ(Find(L"analyse check log"), 32806);
    EXPECT_EQ(Find(L"ANALYSECHECKLOG"), 32806);
    EXPECT_EQ(Find(L"E&xit"), 105);
    EXPECT_EQ(Find(L"&About ..."), 104);
    EXPECT_EQ(Find(L"update test"), 32796);
    EXPECT_EQ(Find(L"UpdateStart"), 32797);
}

TEST(HarnessCommands, AcceptsDecimalIds) {
    EXPECT_EQ(Find(L"32806"), 32806);
    EXPECT_EQ(Find(L"1"), 1);
    EXPECT_EQ(Find(L"65535"), 65535);
}

TEST(HarnessCommands, RejectsUnknownNamesAndIdsOutOfRange) {
    WORD id = 77;
    EXPECT_FALSE(FindHarnessCommand(L"Instal", &id));
    EXPECT_FALSE(FindHarnessCommand(L"", &id));
    EXPECT_FALSE(FindHarnessCommand(L"&.", &id));
    EXPECT_FALSE(FindHarnessCommand(L"0", &id));
    EXPECT_FALSE(FindHarnessCommand(L"65536", &id));
    EXPECT_FALSE(FindHarnessCommand(L"-5", &id));
    EXPECT_FALSE(FindHarnessCommand(L"12x", &id));
    EXPECT_EQ(id, 77);
}

TEST(HarnessCommands, NamesAndIdsAreUniqueAndRoundTrip) {
    size_t count = 0;
    const HarnessCommand* commands = HarnessCommands(&count);
    EXPECT_EQ(count, 22u);
    std::set<WORD> ids;
    for (size_t i = 0; i < count; ++i) {
        EXPECT_TRUE(ids.insert(commands[i].id).second) << commands[i].id;
        EXPECT_EQ(Find(commands[i].name), commands[i].id) << commands[i].id;
        EXPECT_EQ(HarnessCommandName(commands[i].id), commands[i].name);
    }
    EXPECT_EQ(HarnessCommandName(40001), L"#40001");
}
