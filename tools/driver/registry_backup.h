// Saving and restoring registry values exactly, and the developer settings switch of the
// harness's message box built on it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace Corvinex {
namespace Driver {

// The developer settings key under HKEY_CURRENT_USER, and its two values that gate the
// harness's "Internal Error" boxes (both REG_DWORD, on when non-zero).
extern const wchar_t kDeveloperSettingsKey[];
extern const wchar_t kDebugValue[];
extern const wchar_t kShowInternalMessageBoxValue[];

// One registry value as it was: whether it existed, its type and its bytes.
struct SavedValue {
    std::wstring name;
    bool existed = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Reads the value `name` of root\subKey; existed is false when key or value is missing.
SavedValue ReadSavedValue(HKEY root, const std::wstring& subKey, const std::wstring& name);

// Reads a REG_DWORD value; false when it is missing or of another type.
bool ReadDwordValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD* value);
// Writes a REG_DWORD value, creating the key when needed; false on failure.
bool WriteDwordValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD value);
// Reads a REG_SZ value (the unnamed default value when `name` is empty); false when it is
// missing or of another type.
bool ReadStringValue(HKEY root, const std::wstring& subKey, const std::wstring& name,
                     std::wstring* value);
// Writes a REG_SZ value, creating the key when needed; false on failure.
bool WriteStringValue(HKEY root, const std::wstring& subKey, const std::wstring& name,
                      const std::wstring& value);
// Deletes the value; true when it is gone afterwards (also when it never existed).
bool DeleteRegistryValue(HKEY root, const std::wstring& subKey, const std::wstring& name);

// Remembers the named values of root\subKey (and which parts of the key path existed) when it
// is built, and puts them back when Restore runs or the object is destroyed: a value that did
// not exist is deleted, the others are rewritten with their old type and bytes, and key levels
// that it finds missing at the start are removed again when they are empty.
class CRegistryBackup {
public:
    CRegistryBackup(HKEY root, const std::wstring& subKey, const std::vector<std::wstring>& names);
    ~CRegistryBackup();
    CRegistryBackup(const CRegistryBackup&) = delete;
    CRegistryBackup& operator=(const CRegistryBackup&) = delete;

    // Puts everything back; runs once, later calls (from a destructor or another thread, such
    // as a console control handler) return at once. True when every step succeeded.
    bool Restore();

    const std::vector<SavedValue>& Saved() const { return m_saved; }

private:
    HKEY m_root;
    std::wstring m_subKey;
    std::vector<SavedValue> m_saved;
    // Key paths that did not exist at the start, deepest first.
    std::vector<std::wstring> m_missingKeys;
    volatile LONG m_restored = 0;
    bool m_restoreResult = true;
};

// The developer settings of the current user: "Debug" and "ShowInternalMessageBox" plus the
// other switches of the key, saved on construction and restored on destruction.
class CDeveloperSettingsGuard {
public:
    CDeveloperSettingsGuard();
    CDeveloperSettingsGuard(const CDeveloperSettingsGuard&) = delete;
    CDeveloperSettingsGuard& operator=(const CDeveloperSettingsGuard&) = delete;

    // Switches the "Internal Error" box on (both values 1) or off ("ShowInternalMessageBox" 0).
    bool EnableMessageBox(bool on);
    // Restores the saved values now (see CRegistryBackup::Restore).
    bool Restore() { return m_backup.Restore(); }

private:
    CRegistryBackup m_backup;
};

} // namespace Driver
} // namespace Corvinex
