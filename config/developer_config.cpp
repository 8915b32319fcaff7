#include "config/developer_config.h"

namespace Corvinex {

namespace {
// Constant-initialised, so it reads null even where start-up code never ran.
CDeveloperConfig* g_pProcessDeveloperConfig = nullptr;
} // namespace

CDeveloperConfig::CDeveloperConfig()
    : DrawTFormBaseRect(0), UseLargerFonts(0), ShowCoords(0), CopyControlToClipboard(0),
      UseFlickerFreeRendering(0), DebugWindowCreation(0) {
    SetKeyPath(kDeveloperSettingsPath);
    // Every switch is off while the master switch is: one registry look-up at start-up then.
    if (!IsDebugEnabled()) {
        return;
    }
    DrawTFormBaseRect = ReadSwitch(kDrawFormRectSwitch);
    UseLargerFonts = ReadSwitch(kLargerFontsSwitch);
    ShowCoords = ReadSwitch(kShowCoordsSwitch);
    CopyControlToClipboard = ReadSwitch(kCopyControlSwitch);
    UseFlickerFreeRendering = ReadSwitch(kFlickerFreeSwitch);
    DebugWindowCreation = ReadSwitch(kWindowCreationSwitch);
}

CDeveloperConfig::~CDeveloperConfig() {
    RemoveAll();
    DisconnectAllHandlers();
    SetKeyPath(L"");
}

int32_t CDeveloperConfig::ReadSwitch(const wchar_t* name) {
    if (!IsDebugEnabled()) {
        return 0;
    }
    return IsDwordValueSet(HKEY_CURRENT_USER, L"", name) ? 1 : 0;
}

bool CDeveloperConfig::IsDebugEnabled() {
    return IsDwordValueSet(HKEY_CURRENT_USER, L"", kDebugSwitch);
}

bool CDeveloperConfig::IsInternalMessageBoxEnabled() {
    return IsDebugEnabled() && IsDwordValueSet(HKEY_CURRENT_USER, L"", kMessageBoxSwitch);
}

void CDeveloperConfig::SetInt(const wchar_t* name, int32_t value, const CIntArray&) {
    SetDwordValue(HKEY_CURRENT_USER, L"", name, static_cast<uint32_t>(value));
}

int32_t CDeveloperConfig::GetInt(const wchar_t* name, int32_t) {
    return static_cast<int32_t>(GetDwordValue(HKEY_CURRENT_USER, L"", name));
}

void CDeveloperConfig::SetString(const wchar_t* name, const wchar_t* text,
                                 const CWideStringArray&) {
    SetStringValue(HKEY_CURRENT_USER, L"", name, text);
}

CWideString CDeveloperConfig::GetString(const wchar_t* name, const wchar_t*) {
    return GetStringValue(HKEY_CURRENT_USER, L"", name);
}

CDeveloperConfig* GetProcessDeveloperConfig() {
    return g_pProcessDeveloperConfig;
}

void SetProcessDeveloperConfig(CDeveloperConfig* settings) {
    g_pProcessDeveloperConfig = settings;
}

} // namespace Corvinex
