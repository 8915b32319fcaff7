// Saving and restoring registry values exactly, and the developer settings switch of the
// harness's message box built on it.
#pragma once

#include "base/registry.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

namespace Corvinex {
namespace Driver {

// The developer settings key under HKEY_CURRENT_USER in registry form (backslashes), from
// config/developer_settings.h.
std::wstring DeveloperSettingsKey();

// One registry value as it was: whether it existed, its type and its bytes.
struct SavedValue {
    std::wstring name;
    bool existed = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Reads the value `name` of root\subKey, whatever its type, into *saved (name set, existed false
// when key or value is missing). kRegistryDone when it was read, else kRegistryNotDone, as the
// registry functions of base/registry.h answer (those read and write single values).
int ReadSavedValue(HKEY root, const std::wstring& subKey, const std::wstring& name,
                   SavedValue* saved);

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
    // Set by the first Restore (any thread); the result the later calls give back.
    std::atomic<bool> m_restored{false};
    std::atomic<bool> m_restoreResult{true};
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
