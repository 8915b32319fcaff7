#include "tools/driver/registry_backup.h"

#include "config/developer_settings.h"

namespace Corvinex {
namespace Driver {

namespace {

bool KeyExists(HKEY root, const std::wstring& path) {
    CRegistryKey key;
    return OpenRegistryKey(root, path.c_str(), KEY_READ, &key) == kRegistryDone;
}

bool KeyIsEmpty(HKEY root, const std::wstring& path) {
    CRegistryKey key;
    if (OpenRegistryKey(root, path.c_str(), KEY_READ, &key) != kRegistryDone)
        return false;
    DWORD subKeys = 0, values = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subKeys == 0 && values == 0;
}

} // namespace

std::wstring DeveloperSettingsKey() {
    return NormalizeKeyPath(kDeveloperSettingsPath).c_str();
}

int ReadSavedValue(HKEY root, const std::wstring& subKey, const std::wstring& name,
                   SavedValue* saved) {
    *saved = SavedValue();
    saved->name = name;
    CRegistryKey key;
    if (OpenRegistryKey(root, subKey.c_str(), KEY_READ, &key) != kRegistryDone)
        return kRegistryNotDone;
    DWORD type = REG_NONE, size = 0;
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return kRegistryNotDone;
    saved->data.resize(size);
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type,
                         saved->data.empty() ? nullptr : saved->data.data(),
                         &size) != ERROR_SUCCESS) {
        saved->data.clear();
        return kRegistryNotDone;
    }
    saved->data.resize(size);
    saved->type = type;
    saved->existed = true;
    return kRegistryDone;
}

CRegistryBackup::CRegistryBackup(HKEY root, const std::wstring& subKey,
                                 const std::vector<std::wstring>& names)
    : m_root(root), m_subKey(subKey) {
    // Every level of the path that is missing now, deepest first.
    std::wstring path = subKey;
    while (!path.empty() && !KeyExists(root, path)) {
        m_missingKeys.push_back(path);
        size_t slash = path.find_last_of(L'\\');
        path = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    }
    for (const std::wstring& name : names) {
        m_saved.emplace_back();
        ReadSavedValue(root, subKey, name, &m_saved.back());
    }
}

CRegistryBackup::~CRegistryBackup() {
    Restore();
}

bool CRegistryBackup::Restore() {
    if (m_restored.exchange(true))
        return m_restoreResult;
    bool ok = true;
    for (const SavedValue& saved : m_saved) {
        if (!saved.existed) {
            ok = DeleteRegistryValue(m_root, m_subKey.c_str(), saved.name.c_str()) ==
                     kRegistryDone &&
                 ok;
            continue;
        }
        CRegistryKey key;
        ok = CreateRegistryKey(m_root, m_subKey.c_str(), &key) == kRegistryDone &&
             RegSetValueExW(key.Get(), saved.name.c_str(), 0, saved.type,
                            saved.data.empty() ? nullptr : saved.data.data(),
                            static_cast<DWORD>(saved.data.size())) == ERROR_SUCCESS &&
             ok;
    }
    for (const std::wstring& path : m_missingKeys) {
        if (KeyIsEmpty(m_root, path))
            ok = RegDeleteKeyW(m_root, path.c_str()) == ERROR_SUCCESS && ok;
    }
    RegFlushKey(m_root);
    m_restoreResult = ok;
    return ok;
}

CDeveloperSettingsGuard::CDeveloperSettingsGuard()
    : m_backup(HKEY_CURRENT_USER, DeveloperSettingsKey(),
               std::vector<std::wstring>(kDeveloperSwitches,
                                         kDeveloperSwitches + kDeveloperSwitchCount)) {}

bool CDeveloperSettingsGuard::EnableMessageBox(bool on) {
    if (!on)
        return WriteDwordValue(HKEY_CURRENT_USER, kDeveloperSettingsPath, kMessageBoxSwitch, 0) ==
               kRegistryDone;
    return WriteDwordValue(HKEY_CURRENT_USER, kDeveloperSettingsPath, kDebugSwitch, 1) ==
               kRegistryDone &&
           WriteDwordValue(HKEY_CURRENT_USER, kDeveloperSettingsPath, kMessageBoxSwitch, 1) ==
               kRegistryDone;
}

} // namespace Driver
} // namespace Corvinex
