#include "tools/driver/registry_backup.h"

#include "base/scoped_handle.h"

namespace Corvinex {
namespace Driver {

const wchar_t kDeveloperSettingsKey[] = L"Software\\Corvinex\\DeveloperSettings";
const wchar_t kDebugValue[] = L"Debug";
const wchar_t kShowInternalMessageBoxValue[] = L"ShowInternalMessageBox";

namespace {

// An open registry key, closed when it goes out of scope.
class CKey {
public:
    bool Open(HKEY root, const std::wstring& path, REGSAM access) {
        return RegOpenKeyExW(root, path.c_str(), 0, access, m_key.Receive()) == ERROR_SUCCESS;
    }
    bool Create(HKEY root, const std::wstring& path) {
        return RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                               m_key.Receive(), nullptr) == ERROR_SUCCESS;
    }
    HKEY Get() const { return m_key.Get(); }

private:
    CKeyHandle m_key;
};

bool KeyExists(HKEY root, const std::wstring& path) {
    CKey key;
    return key.Open(root, path, KEY_READ);
}

bool KeyIsEmpty(HKEY root, const std::wstring& path) {
    CKey key;
    if (!key.Open(root, path, KEY_READ))
        return false;
    DWORD subKeys = 0, values = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subKeys == 0 && values == 0;
}

} // namespace

SavedValue ReadSavedValue(HKEY root, const std::wstring& subKey, const std::wstring& name) {
    SavedValue saved;
    saved.name = name;
    CKey key;
    if (!key.Open(root, subKey, KEY_READ))
        return saved;
    DWORD type = REG_NONE, size = 0;
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return saved;
    saved.data.resize(size);
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type,
                         saved.data.empty() ? nullptr : saved.data.data(), &size) != ERROR_SUCCESS)
        return saved;
    saved.data.resize(size);
    saved.type = type;
    saved.existed = true;
    return saved;
}

bool ReadDwordValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD* value) {
    SavedValue saved = ReadSavedValue(root, subKey, name);
    if (!saved.existed || saved.type != REG_DWORD || saved.data.size() != sizeof(DWORD))
        return false;
    CopyMemory(value, saved.data.data(), sizeof(DWORD));
    return true;
}

bool WriteDwordValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD value) {
    CKey key;
    if (!key.Create(root, subKey))
        return false;
    return RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&value), sizeof(value)) == ERROR_SUCCESS;
}

bool ReadStringValue(HKEY root, const std::wstring& subKey, const std::wstring& name,
                     std::wstring* value) {
    SavedValue saved = ReadSavedValue(root, subKey, name);
    if (!saved.existed || saved.type != REG_SZ)
        return false;
    // The stored bytes may or may not carry the terminator; the text ends at the first null.
    std::wstring text(reinterpret_cast<const wchar_t*>(saved.data.data()),
                      saved.data.size() / sizeof(wchar_t));
    *value = text.substr(0, text.find(L'\0'));
    return true;
}

bool WriteStringValue(HKEY root, const std::wstring& subKey, const std::wstring& name,
                      const std::wstring& value) {
    CKey key;
    if (!key.Create(root, subKey))
        return false;
    return RegSetValueExW(
               key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool DeleteRegistryValue(HKEY root, const std::wstring& subKey, const std::wstring& name) {
    CKey key;
    if (!key.Open(root, subKey, KEY_READ | KEY_WRITE))
        return !KeyExists(root, subKey);
    LONG status = RegDeleteValueW(key.Get(), name.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
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
    for (const std::wstring& name : names)
        m_saved.push_back(ReadSavedValue(root, subKey, name));
}

CRegistryBackup::~CRegistryBackup() {
    Restore();
}

bool CRegistryBackup::Restore() {
    if (InterlockedExchange(&m_restored, 1) != 0)
        return m_restoreResult;
    bool ok = true;
    for (const SavedValue& saved : m_saved) {
        if (!saved.existed) {
            ok = DeleteRegistryValue(m_root, m_subKey, saved.name) && ok;
            continue;
        }
        CKey key;
        ok = key.Create(m_root, m_subKey) &&
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

namespace {

std::vector<std::wstring> DeveloperSettingNames() {
    return {kDebugValue,
            kShowInternalMessageBoxValue,
            L"DrawTFormBaseRect",
            L"UseLargerFonts",
            L"ShowCoords",
            L"CopyControlToClipboard",
            L"UseFlickerFreeRendering",
            L"DebugWindowCreation"};
}

} // namespace

CDeveloperSettingsGuard::CDeveloperSettingsGuard()
    : m_backup(HKEY_CURRENT_USER, kDeveloperSettingsKey, DeveloperSettingNames()) {}

bool CDeveloperSettingsGuard::EnableMessageBox(bool on) {
    if (!on)
        return WriteDwordValue(HKEY_CURRENT_USER, kDeveloperSettingsKey,
                               kShowInternalMessageBoxValue, 0);
    return WriteDwordValue(HKEY_CURRENT_USER, kDeveloperSettingsKey, kDebugValue, 1) &&
           WriteDwordValue(HKEY_CURRENT_USER, kDeveloperSettingsKey, kShowInternalMessageBoxValue,
                           1);
}

} // namespace Driver
} // namespace Corvinex
