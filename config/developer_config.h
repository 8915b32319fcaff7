// CDeveloperConfig: the developer switches kept by hand in the registry under
// HKEY_CURRENT_USER\Software\Corvinex\DeveloperSettings (REG_DWORD values, non-zero is on).
// The master switch "Debug" gates every other one; "Debug" and "ShowInternalMessageBox" are
// read afresh on every query, the six other switches once, when the object is made.
#pragma once

#include "config/config.h"
#include "config/developer_settings.h"
#include "config/property_container.h"

#include <stdint.h>

namespace Corvinex {

class CDeveloperConfig : public CConfig, public TPropertyContainerImpl<IPropertyContainer> {
public:
    // Reads the six switches below, each only when "Debug" is on at that moment.
    CDeveloperConfig();
    // The property part goes first (its handlers are told), then the key path is emptied.
    ~CDeveloperConfig() override;

    // True when "Debug" is a non-zero REG_DWORD now.
    bool IsDebugEnabled();
    // True when "Debug" and "ShowInternalMessageBox" are both non-zero now; "Debug" is read
    // first and "ShowInternalMessageBox" only when it is on.
    bool IsInternalMessageBoxEnabled();

    // The value operations go straight to the registry; the lists are ignored and the defaults
    // are not consulted (a missing value reads as 0 or the empty text). The property array
    // stays empty.
    void SetInt(const wchar_t* name, int32_t value, const CIntArray& list) override;
    int32_t GetInt(const wchar_t* name, int32_t defaultValue) override;
    void SetString(const wchar_t* name, const wchar_t* text, const CWideStringArray& list) override;
    CWideString GetString(const wchar_t* name, const wchar_t* defaultValue) override;

    // The switches as read at construction: 1 on, 0 off. Nothing in the harness consults them.
    int32_t DrawTFormBaseRect;
    int32_t UseLargerFonts;
    int32_t ShowCoords;
    int32_t CopyControlToClipboard;
    int32_t UseFlickerFreeRendering;
    int32_t DebugWindowCreation;

private:
    int32_t ReadSwitch(const wchar_t* name);
};

// The process-wide developer settings made at start-up, or null when there are none (for
// example while another program has loaded the executable as a module).
CDeveloperConfig* GetProcessDeveloperConfig();
// Called by the start-up code with the process-wide instance, and with null when it goes.
void SetProcessDeveloperConfig(CDeveloperConfig* settings);

} // namespace Corvinex
