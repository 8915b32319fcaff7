#include "tools/vpedrive/settings_command.h"

#include "config/developer_settings.h"
#include "tools/driver/registry_backup.h"

#include <string>

namespace Corvinex {
namespace Vpedrive {

namespace {

// How the harness reads a value: only a non-zero REG_DWORD is on.
std::wstring Describe(const Driver::SavedValue& value) {
    if (!value.existed)
        return L"absent (off)";
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number = 0;
        CopyMemory(&number, value.data.data(), sizeof(number));
        return std::to_wstring(number) + (number != 0 ? L" (on)" : L" (off)");
    }
    return L"not a REG_DWORD value (type " + std::to_wstring(value.type) + L"; reads as off)";
}

bool IsOn(const wchar_t* name) {
    uint32_t value = 0;
    return ReadDwordValue(HKEY_CURRENT_USER, kDeveloperSettingsPath, name, &value) ==
               kRegistryDone &&
           value != 0;
}

// Writes the switch when `value` asks for it (-1 leaves it alone); false when it cannot.
bool WriteSwitch(const wchar_t* name, int value, COutput& err) {
    if (value < 0 || WriteDwordValue(HKEY_CURRENT_USER, kDeveloperSettingsPath, name,
                                     static_cast<uint32_t>(value)) == kRegistryDone)
        return true;
    err.Line(std::wstring(L"vpedrive: cannot write the value ") + name);
    return false;
}

} // namespace

int RunSettings(int debug, int messageBox, COutput& out, COutput& err) {
    bool written = WriteSwitch(kDebugSwitch, debug, err);
    written = WriteSwitch(kMessageBoxSwitch, messageBox, err) && written;
    const std::wstring key = Driver::DeveloperSettingsKey();
    out.Line(L"HKEY_CURRENT_USER\\" + key);
    for (const wchar_t* name : kDeveloperSwitches) {
        Driver::SavedValue value;
        Driver::ReadSavedValue(HKEY_CURRENT_USER, key, name, &value);
        out.Line(L"  " + std::wstring(name) + L" = " + Describe(value));
    }
    const bool shown = IsOn(kDebugSwitch) && IsOn(kMessageBoxSwitch);
    out.Line(std::wstring(shown ? L"The harness shows its \"Internal Error\" boxes."
                                : L"The harness shows no \"Internal Error\" boxes."));
    return written ? 0 : 1;
}

} // namespace Vpedrive
} // namespace Corvinex
