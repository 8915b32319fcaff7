#include "tools/driver/registry_backup.h"

#include <gtest/gtest.h>

using namespace Corvinex::Driver;

namespace {

// A key of the test's own, so the developer settings of other tests are not touched.
const wchar_t kParent[] = L"Software\\CorvinexDriverTest";
const wchar_t kKey[] = L"Software\\CorvinexDriverTest\\Settings";

bool KeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void WriteString(const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

class RegistryBackupTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean() {
        RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, kParent);
    }
};

} // namespace

TEST_F(RegistryBackupTest, DwordValuesAreWrittenAndReadBack) {
    ASSERT_TRUE(WriteDwordValue(HKEY_CURRENT_USER, kKey, L"Debug", 5));
    DWORD value = 0;
    ASSERT_TRUE(ReadDwordValue(HKEY_CURRENT_USER, kKey, L"Debug", &value));
    EXPECT_EQ(value, 5u);
    EXPECT_TRUE(DeleteRegistryValue(HKEY_CURRENT_USER, kKey, L"Debug"));
    EXPECT_FALSE(ReadDwordValue(HKEY_CURRENT_USER, kKey, L"Debug", &value));
    EXPECT_TRUE(DeleteRegistryValue(HKEY_CURRENT_USER, kKey, L"Debug"));
}

TEST_F(RegistryBackupTest, AStringValueDoesNotReadAsDword) {
    WriteString(L"Debug", L"1");
    DWORD value = 0;
    EXPECT_FALSE(ReadDwordValue(HKEY_CURRENT_USER, kKey, L"Debug", &value));
}

TEST_F(RegistryBackupTest, StringValuesAreWrittenAndReadBackAlsoAsTheDefaultValue) {
    ASSERT_TRUE(WriteStringValue(HKEY_CURRENT_USER, kKey, L"Managed", L"N \x00E4"));
    ASSERT_TRUE(WriteStringValue(HKEY_CURRENT_USER, kKey, L"", L"\"x.exe\" \"%1\""));
    std::wstring text;
    ASSERT_TRUE(ReadStringValue(HKEY_CURRENT_USER, kKey, L"Managed", &text));
    EXPECT_EQ(text, L"N \x00E4");
    ASSERT_TRUE(ReadStringValue(HKEY_CURRENT_USER, kKey, L"", &text));
    EXPECT_EQ(text, L"\"x.exe\" \"%1\"");
    ASSERT_TRUE(WriteDwordValue(HKEY_CURRENT_USER, kKey, L"Debug", 1));
    EXPECT_FALSE(ReadStringValue(HKEY_CURRENT_USER, kKey, L"Debug", &text));
    EXPECT_FALSE(ReadStringValue(HKEY_CURRENT_USER, kKey, L"Absent", &text));
}

TEST_F(RegistryBackupTest, RestoresTheDefaultValueOfAKey) {
    ASSERT_TRUE(WriteStringValue(HKEY_CURRENT_USER, kKey, L"", L"before"));
    {
        CRegistryBackup backup(HKEY_CURRENT_USER, kKey, {L""});
        ASSERT_TRUE(WriteStringValue(HKEY_CURRENT_USER, kKey, L"", L"during"));
    }
    std::wstring text;
    ASSERT_TRUE(ReadStringValue(HKEY_CURRENT_USER, kKey, L"", &text));
    EXPECT_EQ(text, L"before");
}

TEST_F(RegistryBackupTest, RemovesValuesAndKeysThatDidNotExist) {
    {
        CRegistryBackup backup(HKEY_CURRENT_USER, kKey, {L"Debug", L"ShowInternalMessageBox"});
        EXPECT_FALSE(backup.Saved()[0].existed);
        ASSERT_TRUE(WriteDwordValue(HKEY_CURRENT_USER, kKey, L"Debug", 1));
        ASSERT_TRUE(WriteDwordValue(HKEY_CURRENT_USER, kKey, L"ShowInternalMessageBox", 1));
    }
    EXPECT_FALSE(KeyExists(kKey));
    EXPECT_FALSE(KeyExists(kParent));
}

TEST_F(RegistryBackupTest, RestoresTypeAndDataOfValuesThatExisted) {
    WriteString(L"ShowInternalMessageBox", L"1");
    ASSERT_TRUE(WriteDwordValue(HKEY_CURRENT_USER, kKey, L"Debug", 0));
    {
        CRegistryBackup backup(HKEY_CURRENT_USER, kKey, {L"Debug", L"ShowInternalMessageBox"});
        ASSERT_TRUE(WriteDwordValue(HKEY_CURRENT_USER, kKey, L"Debug", 1));
        ASSERT_TRUE(WriteDwordValue(HKEY_CURRENT_USER, kKey, L"ShowInternalMessageBox", 1));
    }
    DWORD value = 7;
    ASSERT_TRUE(ReadDwordValue(HKEY_CURRENT_USER, kKey, L"Debug", &value));
    EXPECT_EQ(value, 0u);
    SavedValue text = ReadSavedValue(HKEY_CURRENT_USER, kKey, L"ShowInternalMessageBox");
    ASSERT_TRUE(text.existed);
    EXPECT_EQ(text.type, static_cast<DWORD>(REG_SZ));
    ASSERT_EQ(text.data.size(), 2 * sizeof(wchar_t));
    EXPECT_EQ(reinterpret_cast<const wchar_t*>(text.data.data())[0], L'1');
    EXPECT_TRUE(KeyExists(kKey));
}

TEST_F(RegistryBackupTest, KeepsAKeyThatGotOtherValuesMeanwhile) {
    {
        CRegistryBackup backup(HKEY_CURRENT_USER, kKey, {L"Debug"});
        ASSERT_TRUE(WriteDwordValue(HKEY_CURRENT_USER, kKey, L"Debug", 1));
        ASSERT_TRUE(WriteDwordValue(HKEY_CURRENT_USER, kKey, L"Unrelated", 1));
    }
    DWORD value = 0;
    EXPECT_FALSE(ReadDwordValue(HKEY_CURRENT_USER, kKey, L"Debug", &value));
    EXPECT_TRUE(ReadDwordValue(HKEY_CURRENT_USER, kKey, L"Unrelated", &value));
}

TEST_F(RegistryBackupTest, RestoresOnlyOnce) {
    CRegistryBackup backup(HKEY_CURRENT_USER, kKey, {L"Debug"});
    ASSERT_TRUE(WriteDwordValue(HKEY_CURRENT_USER, kKey, L"Debug", 1));
    EXPECT_TRUE(backup.Restore());
    ASSERT_TRUE(WriteDwordValue(HKEY_CURRENT_USER, kKey, L"Debug", 2));
    EXPECT_TRUE(backup.Restore());
    DWORD value = 0;
    ASSERT_TRUE(ReadDwordValue(HKEY_CURRENT_USER, kKey, L"Debug", &value));
    EXPECT_EQ(value, 2u);
}

TEST(DeveloperSettingsGuard, SwitchesTheBoxOnAndPutsTheSettingsBack) {
    SavedValue debugBefore = ReadSavedValue(HKEY_CURRENT_USER, kDeveloperSettingsKey, kDebugValue);
    SavedValue boxBefore =
        ReadSavedValue(HKEY_CURRENT_USER, kDeveloperSettingsKey, kShowInternalMessageBoxValue);
    {
        CDeveloperSettingsGuard guard;
        ASSERT_TRUE(guard.EnableMessageBox(true));
        DWORD debug = 0, box = 0;
        ASSERT_TRUE(ReadDwordValue(HKEY_CURRENT_USER, kDeveloperSettingsKey, kDebugValue, &debug));
        ASSERT_TRUE(ReadDwordValue(HKEY_CURRENT_USER, kDeveloperSettingsKey,
                                   kShowInternalMessageBoxValue, &box));
        EXPECT_EQ(debug, 1u);
        EXPECT_EQ(box, 1u);
        ASSERT_TRUE(guard.EnableMessageBox(false));
        ASSERT_TRUE(ReadDwordValue(HKEY_CURRENT_USER, kDeveloperSettingsKey,
                                   kShowInternalMessageBoxValue, &box));
        EXPECT_EQ(box, 0u);
    }
    SavedValue debugAfter = ReadSavedValue(HKEY_CURRENT_USER, kDeveloperSettingsKey, kDebugValue);
    SavedValue boxAfter =
        ReadSavedValue(HKEY_CURRENT_USER, kDeveloperSettingsKey, kShowInternalMessageBoxValue);
    EXPECT_EQ(debugAfter.existed, debugBefore.existed);
    EXPECT_EQ(debugAfter.data, debugBefore.data);
    EXPECT_EQ(boxAfter.existed, boxBefore.existed);
    EXPECT_EQ(boxAfter.data, boxBefore.data);
}
