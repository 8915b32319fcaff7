// The developer settings read from the test prefix's real registry. The settings of the prefix
// are saved before each test and put back afterwards.
#include "config/developer_config.h"

#include "tools/driver/registry_backup.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using Corvinex::CDeveloperConfig;
using Corvinex::CIntArray;
using Corvinex::CWideStringArray;
namespace Driver = Corvinex::Driver;

namespace {

const std::wstring kKey = Driver::DeveloperSettingsKey();

class DeveloperSettings : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<std::wstring> names(Corvinex::kDeveloperSwitches,
                                        Corvinex::kDeveloperSwitches +
                                            Corvinex::kDeveloperSwitchCount);
        names.push_back(L"Foo");
        names.push_back(L"Note");
        m_backup.reset(new Driver::CRegistryBackup(HKEY_CURRENT_USER, kKey, names));
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey.c_str());
    }
    void TearDown() override { m_backup.reset(); }

    static void SetDword(const wchar_t* name, DWORD value) {
        ASSERT_EQ(Corvinex::kRegistryDone,
                  Corvinex::WriteDwordValue(HKEY_CURRENT_USER, kKey.c_str(), name, value));
    }
    static void SetText(const wchar_t* name, const wchar_t* text) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kKey.c_str(), 0, nullptr, 0,
                                                 KEY_WRITE, nullptr, &key, nullptr));
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }

    std::unique_ptr<Driver::CRegistryBackup> m_backup;
};

int SwitchCount(const CDeveloperConfig& config) {
    return config.DrawTFormBaseRect + config.UseLargerFonts + config.ShowCoords +
           config.CopyControlToClipboard + config.UseFlickerFreeRendering +
           config.DebugWindowCreation;
}

} // namespace

TEST_F(DeveloperSettings, WithoutTheKeyEverythingIsOff) {
    CDeveloperConfig config;
    EXPECT_EQ(0, SwitchCount(config));
    EXPECT_FALSE(config.IsDebugEnabled());
    EXPECT_FALSE(config.IsInternalMessageBoxEnabled());
    EXPECT_EQ(std::wstring(L"Software/Corvinex/DeveloperSettings"), config.GetKeyPath().c_str());
}

TEST_F(DeveloperSettings, DebugGatesEverySwitch) {
    SetDword(L"Debug", 0);
    SetDword(L"UseLargerFonts", 1);
    SetDword(L"ShowInternalMessageBox", 1);
    CDeveloperConfig off;
    EXPECT_EQ(0, off.UseLargerFonts);
    EXPECT_FALSE(off.IsInternalMessageBoxEnabled());

    SetDword(L"Debug", 1);
    SetDword(L"ShowCoords", 5);
    CDeveloperConfig on;
    EXPECT_EQ(1, on.UseLargerFonts);
    EXPECT_EQ(1, on.ShowCoords);
    EXPECT_EQ(0, on.DrawTFormBaseRect);
    EXPECT_EQ(2, SwitchCount(on));
}

TEST_F(DeveloperSettings, DebugStoredAsTextIsOff) {
    SetText(L"Debug", L"1");
    SetDword(L"ShowCoords", 1);
    SetDword(L"ShowInternalMessageBox", 1);
    CDeveloperConfig config;
    EXPECT_FALSE(config.IsDebugEnabled());
    EXPECT_EQ(0, config.ShowCoords);
    EXPECT_FALSE(config.IsInternalMessageBoxEnabled());
}

TEST_F(DeveloperSettings, MessageBoxGateIsReadAfreshOnEveryQuery) {
    CDeveloperConfig config;
    EXPECT_FALSE(config.IsInternalMessageBoxEnabled());
    SetDword(L"Debug", 1);
    EXPECT_FALSE(config.IsInternalMessageBoxEnabled());
    SetDword(L"ShowInternalMessageBox", 1);
    EXPECT_TRUE(config.IsInternalMessageBoxEnabled());
    SetText(L"ShowInternalMessageBox", L"1");
    EXPECT_FALSE(config.IsInternalMessageBoxEnabled());
    SetDword(L"ShowInternalMessageBox", 1);
    SetDword(L"Debug", 0);
    EXPECT_FALSE(config.IsInternalMessageBoxEnabled());
}

TEST_F(DeveloperSettings, SwitchesAreReadOnceAtConstruction) {
    SetDword(L"Debug", 1);
    CDeveloperConfig config;
    EXPECT_EQ(0, config.DebugWindowCreation);
    SetDword(L"DebugWindowCreation", 1);
    EXPECT_EQ(0, config.DebugWindowCreation);
    CDeveloperConfig later;
    EXPECT_EQ(1, later.DebugWindowCreation);
}

TEST_F(DeveloperSettings, ValueOperationsGoStraightToTheRegistry) {
    CDeveloperConfig config;
    CIntArray ints;
    config.SetInt(L"Foo", 3, ints);
    uint32_t stored = 0;
    EXPECT_EQ(Corvinex::kRegistryDone,
              Corvinex::ReadDwordValue(HKEY_CURRENT_USER, kKey.c_str(), L"Foo", &stored));
    EXPECT_EQ(3u, stored);
    EXPECT_EQ(3, config.GetInt(L"Foo", 99));
    EXPECT_EQ(0, config.HasProperty(L"Foo"));
    EXPECT_EQ(0, config.GetInt(L"Missing", 99));

    CWideStringArray strings(&Corvinex::CompareWideStrings);
    config.SetString(L"Note", L"hello", strings);
    EXPECT_EQ(std::wstring(L"hello"), config.GetString(L"Note", L"default").c_str());
    EXPECT_EQ(std::wstring(L""), config.GetString(L"Missing", L"default").c_str());
    EXPECT_EQ(Corvinex::kindOther, config.GetPropertyKind(L"Note"));
}

TEST_F(DeveloperSettings, ProcessInstanceIsRegisteredExplicitly) {
    EXPECT_EQ(nullptr, Corvinex::GetProcessDeveloperConfig());
    CDeveloperConfig config;
    Corvinex::SetProcessDeveloperConfig(&config);
    EXPECT_EQ(&config, Corvinex::GetProcessDeveloperConfig());
    Corvinex::SetProcessDeveloperConfig(nullptr);
}
