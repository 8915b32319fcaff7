// A registry key of a test's own below HKCU\Software\Corvinex\Tests, deleted with everything in
// it when the test ends. Tests never touch real settings.
#pragma once

#include "base/scoped_handle.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace VpeTest {

class ScratchRegistryKey {
public:
    ScratchRegistryKey() {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info != nullptr ? info->name() : "test";
        m_path = L"Software\\Corvinex\\Tests\\" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::wstring(name.begin(), name.end());
        RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    }
    ~ScratchRegistryKey() { RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str()); }
    ScratchRegistryKey(const ScratchRegistryKey&) = delete;
    ScratchRegistryKey& operator=(const ScratchRegistryKey&) = delete;

    // Registry form (backslashes) and program form (forward slashes) of the key's path.
    const std::wstring& RegistryPath() const { return m_path; }
    std::wstring ForwardPath() const {
        std::wstring s = m_path;
        for (wchar_t& c : s) {
            if (c == L'\\') {
                c = L'/';
            }
        }
        return s;
    }

    // Raw access, independent of the code under test.
    void SetRaw(const std::wstring& sub, const wchar_t* name, DWORD type, const void* data,
                DWORD bytes) const {
        Corvinex::CKeyHandle key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, Full(sub).c_str(), 0, nullptr,
                                                 0, KEY_WRITE, nullptr, key.Receive(), nullptr));
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), bytes));
    }
    void SetDword(const std::wstring& sub, const wchar_t* name, DWORD value) const {
        SetRaw(sub, name, REG_DWORD, &value, sizeof(value));
    }
    void SetString(const std::wstring& sub, const wchar_t* name, const std::wstring& text) const {
        SetRaw(sub, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
    }
    // Type and size of a value; false when it cannot be read.
    bool Query(const std::wstring& sub, const wchar_t* name, DWORD* type, DWORD* bytes,
               std::wstring* data = nullptr) const {
        Corvinex::CKeyHandle key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, Full(sub).c_str(), 0, KEY_READ, key.Receive()) !=
            ERROR_SUCCESS) {
            return false;
        }
        wchar_t buffer[2048] = {0};
        *bytes = sizeof(buffer) - 2;
        LONG status = RegQueryValueExW(key.Get(), name, nullptr, type,
                                       reinterpret_cast<BYTE*>(buffer), bytes);
        if (data != nullptr) {
            *data = buffer;
        }
        return status == ERROR_SUCCESS;
    }
    bool KeyExists(const std::wstring& sub) const {
        Corvinex::CKeyHandle key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, Full(sub).c_str(), 0, KEY_READ, key.Receive()) !=
            ERROR_SUCCESS) {
            return false;
        }
        return true;
    }
    void DeleteValue(const std::wstring& sub, const wchar_t* name) const {
        Corvinex::CKeyHandle key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, Full(sub).c_str(), 0, KEY_WRITE, key.Receive()) ==
            ERROR_SUCCESS) {
            RegDeleteValueW(key.Get(), name);
        }
    }

private:
    std::wstring Full(const std::wstring& sub) const {
        return sub.empty() ? m_path : m_path + L"\\" + sub;
    }
    std::wstring m_path;
};

} // namespace VpeTest
