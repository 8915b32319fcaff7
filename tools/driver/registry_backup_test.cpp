#include "tools/driver/registry_backup.h"

#include "config/developer_settings.h"

#include <gtest/gtest.h>

using namespace Corvinex::Driver;
using Corvinex::kRegistryDone;

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

// The registry functions of base, answering true for kRegistryDone.
bool WriteDword(const std::wstring& key, const wchar_t* name, uint32_t value) {
    return Corvinex::WriteDwordValue(HKEY_CURRENT_USER, key.c_str(), name, value) == kRegistryDone;
}
bool ReadDword(const std::wstring& key, const wchar_t* name, uint32_t* value) {
    return Corvinex::ReadDwordValue(HKEY_CURRENT_USER, key.c_str(), name, value) == kRegistryDone;
}
bool WriteText(const wchar_t* name, const wchar_t* text) {
    return Corvinex::WriteStringValue(HKEY_CURRENT_USER, kKey, name, text) == kRegistryDone;
}
std::wstring ReadText(const wchar_t* name) {
    Corvinex::CWideString text;
    Corvinex::ReadStringValue(HKEY_CURRENT_USER, kKey, name, &text);
    return text.c_str();
}
SavedValue Saved(const std::wstring& key, const wchar_t* name) {
    SavedValue saved;
    ReadSavedValue(HKEY_CURRENT_USER, key, name, &saved);
    return saved;
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

TEST_F(RegistryBackupTest, RestoresTheDefaultValueOfAKey) {
    ASSERT_TRUE(WriteText(L"", L"before"));
    {
        CRegistryBackup backup(HKEY_CURRENT_USER, kKey, {L""});
        ASSERT_TRUE(WriteText(L"", L"during"));
    }
    EXPECT_EQ(ReadText(L""), L"before");
}

TEST_F(RegistryBackupTest, RemovesValuesAndKeysThatDidNotExist) {
    {
        CRegistryBackup backup(HKEY_CURRENT_USER, kKey, {L"Debug", L"ShowInternalMessageBox"});
        EXPECT_FALSE(backup.Saved()[0].existed);
        ASSERT_TRUE(WriteDword(kKey, L"Debug", 1));
        ASSERT_TRUE(WriteDword(kKey, L"ShowInternalMessageBox", 1));
    }
    EXPECT_FALSE(KeyExists(kKey));
    EXPECT_FALSE(KeyExists(kParent));
}

TEST_F(RegistryBackupTest, RestoresTypeAndDataOfValuesThatExisted) {
    ASSERT_TRUE(WriteText(L"ShowInternalMessageBox", L"1"));
    ASSERT_TRUE(WriteDword(kKey, L"Debug", 0));
    {
        CRegistryBackup backup(HKEY_CURRENT_USER, kKey, {L"Debug", L"ShowInternalMessageBox"});
        ASSERT_TRUE(WriteDword(kKey, L"Debug", 1));
        ASSERT_TRUE(WriteDword(kKey, L"ShowInternalMessageBox", 1));
    }
    uint32_t value = 7;
    ASSERT_TRUE(ReadDword(kKey, L"Debug", &value));
    EXPECT_EQ(value, 0u);
    SavedValue text = Saved(kKey, L"ShowInternalMessageBox");
    EXPECT_EQ(ReadSavedValue(HKEY_CURRENT_USER, kKey, L"Absent", &text),
              Corvinex::kRegistryNotDone);
    EXPECT_FALSE(text.existed);
    text = Saved(kKey, L"ShowInternalMessageBox");
    ASSERT_TRUE(text.existed);
    EXPECT_EQ(text.type, static_cast<DWORD>(REG_SZ));
    ASSERT_EQ(text.data.size(), 2 * sizeof(wchar_t));
    EXPECT_EQ(reinterpret_cast<const wchar_t*>(text.data.data())[0], L'1');
    EXPECT_TRUE(KeyExists(kKey));
}

TEST_F(RegistryBackupTest, KeepsAKeyThatGotOtherValuesMeanwhile) {
    {
        CRegistryBackup backup(HKEY_CURRENT_USER, kKey, {L"Debug"});
        ASSERT_TRUE(WriteDword(kKey, L"Debug", 1));
        ASSERT_TRUE(WriteDword(kKey, L"Unrelated", 1));
    }
    uint32_t value = 0;
    EXPECT_FALSE(ReadDword(kKey, L"Debug", &value));
    EXPECT_TRUE(ReadDword(kKey, L"Unrelated", &value));
}

TEST_F(RegistryBackupTest, RestoresOnlyOnce) {
    CRegistryBackup backup(HKEY_CURRENT_USER, kKey, {L"Debug"});
    ASSERT_TRUE(WriteDword(kKey, L"Debug", 1));
    EXPECT_TRUE(backup.Restore());
    ASSERT_TRUE(WriteDword(kKey, L"Debug", 2));
    EXPECT_TRUE(backup.Restore());
    uint32_t value = 0;
    ASSERT_TRUE(ReadDword(kKey, L"Debug", &value));
    EXPECT_EQ(value, 2u);
}

TEST(DeveloperSettingsGuard, SwitchesTheBoxOnAndPutsTheSettingsBack) {
    const std::wstring key = DeveloperSettingsKey();
    EXPECT_EQ(key, L"Software\\Corvinex\\DeveloperSettings");
    const SavedValue debugBefore = Saved(key, Corvinex::kDebugSwitch);
    const SavedValue boxBefore = Saved(key, Corvinex::kMessageBoxSwitch);
    {
        CDeveloperSettingsGuard guard;
        ASSERT_TRUE(guard.EnableMessageBox(true));
        uint32_t debug = 0, box = 0;
        ASSERT_TRUE(ReadDword(key, Corvinex::kDebugSwitch, &debug));
        ASSERT_TRUE(ReadDword(key, Corvinex::kMessageBoxSwitch, &box));
        EXPECT_EQ(debug, 1u);
        EXPECT_EQ(box, 1u);
        ASSERT_TRUE(guard.EnableMessageBox(false));
        ASSERT_TRUE(ReadDword(key, Corvinex::kMessageBoxSwitch, &box));
        EXPECT_EQ(box, 0u);
    }
    const SavedValue debugAfter = Saved(key, Corvinex::kDebugSwitch);
    const SavedValue boxAfter = Saved(key, Corvinex::kMessageBoxSwitch);
    EXPECT_EQ(debugAfter.existed, debugBefore.existed);
    EXPECT_EQ(debugAfter.data, debugBefore.data);
    EXPECT_EQ(boxAfter.existed, boxBefore.existed);
    EXPECT_EQ(boxAfter.data, boxBefore.data);
}
