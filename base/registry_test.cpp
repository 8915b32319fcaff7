#include "base/registry.h"

#include "testsupport/scratch_registry_key.h"

#include <gtest/gtest.h>

#include <string>

using namespace Corvinex;
using VpeTest::ScratchRegistryKey;

namespace {

std::wstring Text(const CWideString& s) {
    return s.c_str();
}

CWideString Wide(const std::wstring& s) {
    return CWideString(s.c_str());
}

} // namespace

TEST(RegistryKeyPath, NormalizedToOneBackslashBetweenParts) {
    EXPECT_EQ(L"a\\b", Text(NormalizeKeyPath(L"a/b/")));
    EXPECT_EQ(L"a\\b", Text(NormalizeKeyPath(L"a//b")));
    EXPECT_EQ(L"a\\b", Text(NormalizeKeyPath(L"a/b")));
    EXPECT_EQ(L"a\\b", Text(NormalizeKeyPath(L"a\\\\b")));
    EXPECT_EQ(L"a\\b", Text(NormalizeKeyPath(L"a////b")));
    EXPECT_EQ(L"a\\b\\c", Text(NormalizeKeyPath(L"a\\/b//\\c")));
    EXPECT_EQ(L"Software\\Corvinex\\DeveloperSettings",
              Text(NormalizeKeyPath(L"Software/Corvinex/DeveloperSettings")));
    EXPECT_EQ(L"", Text(NormalizeKeyPath(L"")));
}

TEST(RegistryKeyPath, AllSpellingsOpenTheSameKey) {
    ScratchRegistryKey scratch;
    scratch.SetDword(L"a\\b", L"Mark", 77);
    std::wstring base = scratch.ForwardPath();
    for (const wchar_t* tail : {L"/a/b/", L"/a//b", L"/a/b", L"/a\\\\b"}) {
        uint32_t value = 0;
        EXPECT_EQ(0, ReadDwordValue(HKEY_CURRENT_USER, Wide(base + tail), L"Mark", &value))
            << "tail " << tail;
        EXPECT_EQ(77u, value);
    }
}

TEST(RegistryDword, ReadGivesTheStoredNumber) {
    ScratchRegistryKey scratch;
    scratch.SetDword(L"", L"Debug", 0xFFFFFFFEu);
    uint32_t value = 0;
    EXPECT_EQ(0, ReadDwordValue(HKEY_CURRENT_USER, Wide(scratch.ForwardPath()), L"Debug", &value));
    EXPECT_EQ(0xFFFFFFFEu, value);
}

TEST(RegistryDword, AbsentOrMistypedValueAnswersOneAndLeavesOutputAlone) {
    ScratchRegistryKey scratch;
    scratch.SetString(L"", L"Text", L"1");
    uint32_t value = 1234;
    CWideString path = Wide(scratch.ForwardPath());
    EXPECT_EQ(1, ReadDwordValue(HKEY_CURRENT_USER, path, L"Text", &value)) << "REG_SZ";
    EXPECT_EQ(1, ReadDwordValue(HKEY_CURRENT_USER, path, L"Missing", &value));
    EXPECT_EQ(1, ReadDwordValue(HKEY_CURRENT_USER, Wide(scratch.ForwardPath() + L"/none"), L"Debug",
                                &value));
    EXPECT_EQ(1234u, value);
}

TEST(RegistryDword, WriteCreatesTheWholeKeyPath) {
    ScratchRegistryKey scratch;
    ASSERT_FALSE(scratch.KeyExists(L""));
    EXPECT_EQ(
        0, WriteDwordValue(HKEY_CURRENT_USER, Wide(scratch.ForwardPath() + L"/x/y/"), L"Count", 5));
    DWORD type = 0;
    DWORD bytes = 0;
    std::wstring data;
    ASSERT_TRUE(scratch.Query(L"x\\y", L"Count", &type, &bytes, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(4u, bytes);
    uint32_t value = 0;
    EXPECT_EQ(0, ReadDwordValue(HKEY_CURRENT_USER, Wide(scratch.ForwardPath() + L"/x/y"), L"Count",
                                &value));
    EXPECT_EQ(5u, value);
}

TEST(RegistryString, ReadsUpTo129CharactersAndTreatsLongerAsAbsent) {
    ScratchRegistryKey scratch;
    std::wstring fits(129, L'a');
    std::wstring tooLong(130, L'b');
    scratch.SetString(L"", L"Fits", fits);
    scratch.SetString(L"", L"TooLong", tooLong);
    CWideString path = Wide(scratch.ForwardPath());
    CWideString text(L"unchanged");
    EXPECT_EQ(0, ReadStringValue(HKEY_CURRENT_USER, path, L"Fits", &text));
    EXPECT_EQ(fits, Text(text));
    CWideString other(L"unchanged");
    EXPECT_EQ(1, ReadStringValue(HKEY_CURRENT_USER, path, L"TooLong", &other));
    EXPECT_EQ(L"unchanged", Text(other));
}

TEST(RegistryString, MistypedOrMissingValueAnswersOne) {
    ScratchRegistryKey scratch;
    scratch.SetDword(L"", L"Number", 1);
    CWideString path = Wide(scratch.ForwardPath());
    CWideString text(L"unchanged");
    EXPECT_EQ(1, ReadStringValue(HKEY_CURRENT_USER, path, L"Number", &text));
    EXPECT_EQ(1, ReadStringValue(HKEY_CURRENT_USER, path, L"Missing", &text));
    EXPECT_EQ(1, ReadStringValue(HKEY_CURRENT_USER, Wide(scratch.ForwardPath() + L"/no"),
                                 L"Missing", &text));
    EXPECT_EQ(L"unchanged", Text(text));
}

TEST(RegistryString, UnterminatedValueIsReadWithoutOverrun) {
    ScratchRegistryKey scratch;
    // Three characters stored without a terminator, followed in memory by more text.
    const wchar_t raw[] = L"xyzTRAILING";
    scratch.SetRaw(L"", L"Raw", REG_SZ, raw, 6);
    CWideString text;
    EXPECT_EQ(0, ReadStringValue(HKEY_CURRENT_USER, Wide(scratch.ForwardPath()), L"Raw", &text));
    EXPECT_EQ(L"xyz", Text(text));
}

TEST(RegistryString, WriteStoresTextWithTerminatorAndEmptyTextAsTwoBytes) {
    ScratchRegistryKey scratch;
    CWideString path = Wide(scratch.ForwardPath() + L"/s");
    std::wstring greek = L"\x0394\x03B9\x03B1 text";
    EXPECT_EQ(0, WriteStringValue(HKEY_CURRENT_USER, path, L"Name", greek.c_str()));
    EXPECT_EQ(0, WriteStringValue(HKEY_CURRENT_USER, path, L"Empty", L""));
    DWORD type = 0;
    DWORD bytes = 0;
    std::wstring data;
    ASSERT_TRUE(scratch.Query(L"s", L"Name", &type, &bytes, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ((greek.size() + 1) * 2, bytes);
    EXPECT_EQ(greek, data);
    ASSERT_TRUE(scratch.Query(L"s", L"Empty", &type, &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(2u, bytes);
    CWideString back(L"unchanged");
    EXPECT_EQ(0, ReadStringValue(HKEY_CURRENT_USER, path, L"Name", &back));
    EXPECT_EQ(greek, Text(back));
}

TEST(RegistryKeys, CreateWithoutHandleLeavesKeyAndOpenHandsOneOver) {
    ScratchRegistryKey scratch;
    CWideString path = Wide(scratch.ForwardPath() + L"/made/here");
    EXPECT_EQ(0, CreateRegistryKey(HKEY_CURRENT_USER, path, nullptr));
    EXPECT_TRUE(scratch.KeyExists(L"made\\here"));
    CRegistryKey key;
    EXPECT_EQ(0, OpenRegistryKey(HKEY_CURRENT_USER, path, KEY_READ, &key));
    EXPECT_TRUE(key.IsOpen());
    EXPECT_EQ(0, key.Close());
    EXPECT_FALSE(key.IsOpen());
    CRegistryKey missing;
    EXPECT_EQ(1, OpenRegistryKey(HKEY_CURRENT_USER, Wide(scratch.ForwardPath() + L"/nope"),
                                 KEY_READ, &missing));
    EXPECT_FALSE(missing.IsOpen());
}

TEST(RegistryKeys, ClosingAHandleTwiceReportsTheFailure) {
    ScratchRegistryKey scratch;
    HKEY raw = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, scratch.RegistryPath().c_str(), 0,
                                             nullptr, 0, KEY_WRITE, nullptr, &raw, nullptr));
    EXPECT_EQ(0, CloseRegistryKey(raw));
    EXPECT_NE(0, CloseRegistryKey(raw));
}

TEST(RegistryValues, DeletedValueIsGoneAndDeletingItAgainOrInAMissingKeyIsDone) {
    ScratchRegistryKey scratch;
    CWideString path = Wide(scratch.ForwardPath());
    ASSERT_EQ(kRegistryDone, WriteDwordValue(HKEY_CURRENT_USER, path, L"Debug", 1));
    EXPECT_EQ(kRegistryDone, DeleteRegistryValue(HKEY_CURRENT_USER, path, L"Debug"));
    uint32_t value = 0;
    EXPECT_EQ(kRegistryNotDone, ReadDwordValue(HKEY_CURRENT_USER, path, L"Debug", &value));
    EXPECT_EQ(kRegistryDone, DeleteRegistryValue(HKEY_CURRENT_USER, path, L"Debug"));
    EXPECT_EQ(kRegistryDone,
              DeleteRegistryValue(HKEY_CURRENT_USER, Wide(scratch.ForwardPath() + L"/no"), L"X"));
    EXPECT_FALSE(scratch.KeyExists(L"no"));
}
