// Where the developer settings live in the registry and what their values are called: the one
// place for the harness's CDeveloperConfig, vpedrive settings and the driver's guard.
#pragma once

namespace Corvinex {

// The key path under HKEY_CURRENT_USER, in the framework's form (forward slashes; registry
// functions turn it into registry form with NormalizeKeyPath).
constexpr wchar_t kDeveloperSettingsPath[] = L"Software/Corvinex/DeveloperSettings";

// The master switch: every other switch is off while it is.
constexpr wchar_t kDebugSwitch[] = L"Debug";
// Together with Debug, shows the harness's "Internal Error" boxes.
constexpr wchar_t kMessageBoxSwitch[] = L"ShowInternalMessageBox";
// The six switches read once, when the harness starts.
constexpr wchar_t kDrawFormRectSwitch[] = L"DrawTFormBaseRect";
constexpr wchar_t kLargerFontsSwitch[] = L"UseLargerFonts";
constexpr wchar_t kShowCoordsSwitch[] = L"ShowCoords";
constexpr wchar_t kCopyControlSwitch[] = L"CopyControlToClipboard";
constexpr wchar_t kFlickerFreeSwitch[] = L"UseFlickerFreeRendering";
constexpr wchar_t kWindowCreationSwitch[] = L"DebugWindowCreation";

// Every switch of the key (REG_DWORD values, on when non-zero), in the order they are listed.
constexpr int kDeveloperSwitchCount = 8;
constexpr const wchar_t* kDeveloperSwitches[kDeveloperSwitchCount] = {
    kDebugSwitch,      kMessageBoxSwitch,  kDrawFormRectSwitch, kLargerFontsSwitch,
    kShowCoordsSwitch, kCopyControlSwitch, kFlickerFreeSwitch,  kWindowCreationSwitch};

} // namespace Corvinex
