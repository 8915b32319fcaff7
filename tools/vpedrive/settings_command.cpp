#include "tools/vpedrive/settings_command.h"

#include "tools/driver/registry_backup.h"

#include <string>

namespace Corvinex {
namespace Vpedrive {

namespace {

const wchar_t* const kNames[] = {
    L"Debug",      L"ShowInternalMessageBox", L"DrawTFormBaseRect",       L"UseLargerFonts",
    L"ShowCoords", L"CopyControlToClipboard", L"UseFlickerFreeRendering", L"DebugWindowCreation"};

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
    DWORD value = 0;
    return Driver::ReadDwordValue(HKEY_CURRENT_USER, Driver::kDeveloperSettingsKey, name, &value) &&
           value != 0;
}

} // namespace

int RunSettings(int debug, int messageBox, COutput& out, COutput& err) {
    int status = 0;
    if (debug >= 0 && !Driver::WriteDwordValue(HKEY_CURRENT_USER, Driver::kDeveloperSettingsKey,
                                               Driver::kDebugValue, static_cast<DWORD>(debug))) {
        err.Line(std::wstring(L"vpedrive: cannot write the value Debug"));
        status = 1;
    }
    if (messageBox >= 0 &&
        !Driver::WriteDwordValue(HKEY_CURRENT_USER, Driver::kDeveloperSettingsKey,
                                 Driver::kShowInternalMessageBoxValue,
                                 static_cast<DWORD>(messageBox))) {
        err.Line(std::wstring(L"vpedrive: cannot write the value ShowInternalMessageBox"));
        status = 1;
    }
    out.Line(L"HKEY_CURRENT_USER\\" + std::wstring(Driver::kDeveloperSettingsKey));
    for (const wchar_t* name : kNames) {
        Driver::SavedValue value =
            Driver::ReadSavedValue(HKEY_CURRENT_USER, Driver::kDeveloperSettingsKey, name);
        out.Line(L"  " + std::wstring(name) + L" = " + Describe(value));
    }
    const bool shown = IsOn(Driver::kDebugValue) && IsOn(Driver::kShowInternalMessageBoxValue);
    out.Line(std::wstring(shown ? L"The harness shows its \"Internal Error\" boxes."
                                : L"The harness shows no \"Internal Error\" boxes."));
    return status;
}

} // namespace Vpedrive
} // namespace Corvinex
