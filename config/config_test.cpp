#include "config/config.h"

#include "testsupport/scratch_registry_key.h"

#include <gtest/gtest.h>

#include <string>

using namespace Corvinex;
using VpeTest::ScratchRegistryKey;

namespace {

std::wstring Text(const CWideString& s) {
    return s.c_str();
}

// A configuration on the test's own key, as the developer settings use theirs.
class ConfigTest : public ::testing::Test {
protected:
    ConfigTest() { config.SetKeyPath(scratch.ForwardPath().c_str()); }
    ScratchRegistryKey scratch;
    CConfig config;
};

} // namespace

TEST(ConfigKeyPath, StartsEmptyAndKeepsWhatTheOwnerAssigns) {
    CConfig config;
    EXPECT_EQ(L"", Text(config.GetKeyPath()));
    config.SetKeyPath(L"Software/Corvinex/DeveloperSettings");
    EXPECT_EQ(L"Software/Corvinex/DeveloperSettings", Text(config.GetKeyPath()));
}

TEST_F(ConfigTest, DwordIsReadAfreshOnEveryCall) {
    scratch.SetDword(L"", L"Debug", 1);
    EXPECT_EQ(1u, config.GetDwordValue(HKEY_CURRENT_USER, L"", L"Debug"));
    EXPECT_TRUE(config.IsDwordValueSet(HKEY_CURRENT_USER, L"", L"Debug"));
    scratch.SetDword(L"", L"Debug", 7);
    EXPECT_EQ(7u, config.GetDwordValue(HKEY_CURRENT_USER, L"", L"Debug"));
    scratch.DeleteValue(L"", L"Debug");
    EXPECT_EQ(0u, config.GetDwordValue(HKEY_CURRENT_USER, L"", L"Debug"));
    EXPECT_FALSE(config.IsDwordValueSet(HKEY_CURRENT_USER, L"", L"Debug"));
}

TEST_F(ConfigTest, MissingKeyReadsAsZeroAndEmptyText) {
    ASSERT_FALSE(scratch.KeyExists(L""));
    EXPECT_EQ(0u, config.GetDwordValue(HKEY_CURRENT_USER, L"", L"Debug"));
    EXPECT_FALSE(config.IsDwordValueSet(HKEY_CURRENT_USER, L"", L"Debug"));
    EXPECT_EQ(L"", Text(config.GetStringValue(HKEY_CURRENT_USER, L"", L"Name")));
    EXPECT_FALSE(scratch.KeyExists(L"")) << "reading must not create the key";
}

TEST_F(ConfigTest, ValuesOfTheOtherTypeReadAsAbsent) {
    scratch.SetString(L"", L"Debug", L"1");
    scratch.SetDword(L"", L"Name", 5);
    EXPECT_EQ(0u, config.GetDwordValue(HKEY_CURRENT_USER, L"", L"Debug"));
    EXPECT_FALSE(config.IsDwordValueSet(HKEY_CURRENT_USER, L"", L"Debug"));
    EXPECT_EQ(L"", Text(config.GetStringValue(HKEY_CURRENT_USER, L"", L"Name")));
}

TEST_F(ConfigTest, StringOf129CharactersReadsWholeAnd130AsEmpty) {
    scratch.SetString(L"", L"Fits", std::wstring(129, L'f'));
    scratch.SetString(L"", L"TooLong", std::wstring(130, L't'));
    EXPECT_EQ(std::wstring(129, L'f'),
              Text(config.GetStringValue(HKEY_CURRENT_USER, L"", L"Fits")));
    EXPECT_EQ(L"", Text(config.GetStringValue(HKEY_CURRENT_USER, L"", L"TooLong")));
}

TEST_F(ConfigTest, SetDwordCreatesTheWholeKeyPathAndTheValue) {
    ASSERT_FALSE(scratch.KeyExists(L""));
    config.SetDwordValue(HKEY_CURRENT_USER, L"", L"Foo", 3);
    DWORD type = 0;
    DWORD bytes = 0;
    ASSERT_TRUE(scratch.Query(L"", L"Foo", &type, &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(3u, config.GetDwordValue(HKEY_CURRENT_USER, L"", L"Foo"));
}

TEST_F(ConfigTest, SubKeyIsAppendedBelowTheKeyPath) {
    config.SetDwordValue(HKEY_CURRENT_USER, L"Inner/Deeper", L"Level", 2);
    config.SetStringValue(HKEY_CURRENT_USER, L"Inner", L"Label", L"inner text");
    DWORD type = 0;
    DWORD bytes = 0;
    std::wstring data;
    EXPECT_TRUE(scratch.Query(L"Inner\\Deeper", L"Level", &type, &bytes));
    ASSERT_TRUE(scratch.Query(L"Inner", L"Label", &type, &bytes, &data));
    EXPECT_EQ(L"inner text", data);
    EXPECT_EQ(2u, config.GetDwordValue(HKEY_CURRENT_USER, L"Inner/Deeper", L"Level"));
    EXPECT_EQ(0u, config.GetDwordValue(HKEY_CURRENT_USER, L"", L"Level"));
}

TEST_F(ConfigTest, KeyPathWithTrailingSlashAddressesTheSameKey) {
    scratch.SetDword(L"", L"Mark", 9);
    CConfig slashed;
    slashed.SetKeyPath((scratch.ForwardPath() + L"/").c_str());
    EXPECT_EQ(9u, slashed.GetDwordValue(HKEY_CURRENT_USER, L"", L"Mark"));
}

TEST_F(ConfigTest, StringRoundTripsAndEmptyTextIsStoredAsTwoBytes) {
    std::wstring text = L"\x0394\x03B9\x03B1 \x8DEF";
    config.SetStringValue(HKEY_CURRENT_USER, L"", L"Name", text.c_str());
    EXPECT_EQ(text, Text(config.GetStringValue(HKEY_CURRENT_USER, L"", L"Name")));
    config.SetStringValue(HKEY_CURRENT_USER, L"", L"Empty", L"");
    DWORD type = 0;
    DWORD bytes = 0;
    ASSERT_TRUE(scratch.Query(L"", L"Empty", &type, &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(2u, bytes);
    EXPECT_EQ(L"", Text(config.GetStringValue(HKEY_CURRENT_USER, L"", L"Empty")));
}
