#include "tools/driver/harness_commands.h"

#include "res/resource.h"
#include "testsupport/test_paths.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

using namespace Corvinex::Driver;

namespace {

WORD Find(const std::wstring& text) {
    WORD id = 0;
    return FindHarnessCommand(text, &id) ? id : 0;
}

typedef std::vector<std::pair<std::wstring, WORD>> MenuItems;

// The commands of a menu and its submenus in menu order, as (text, id); separators skipped.
void CollectCommands(HMENU menu, MenuItems* items) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {0};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 128;
        ASSERT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info));
        if (info.hSubMenu != nullptr)
            CollectCommands(info.hSubMenu, items);
        else if ((info.fType & MFT_SEPARATOR) == 0)
            items->emplace_back(text, static_cast<WORD>(info.wID));
    }
}

} // namespace

TEST(HarnessCommands, TheTableIsTheMenuOfTheBuiltHarness) {
    const std::wstring harness = VpeTest::ProgramFolder() + L"..\\bin\\vpetest.exe";
    HMODULE module = LoadLibraryExW(harness.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << GetLastError();
    HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(IDC_ENGINEVEILPATHTESTENV));
    ASSERT_NE(menu, nullptr) << GetLastError();
    MenuItems items;
    CollectCommands(menu, &items);
    DestroyMenu(menu);
    FreeLibrary(module);

    size_t count = 0;
    const HarnessCommand* commands = HarnessCommands(&count);
    ASSERT_EQ(items.size(), count);
    for (size_t i = 0; i < count; ++i) {
        // Same order and id, and the menu's text finds the table's entry by name.
        EXPECT_EQ(commands[i].id, items[i].second) << commands[i].name;
        WORD found = 0;
        EXPECT_TRUE(FindHarnessCommand(items[i].first, &found)) << items[i].first;
        EXPECT_EQ(found, items[i].second) << items[i].first;
        EXPECT_EQ(HarnessCommandName(items[i].second), commands[i].name);
    }
}

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
