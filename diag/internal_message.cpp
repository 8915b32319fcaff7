#include "diag/internal_message.h"

#include "config/developer_config.h"

#include <windows.h>

#include <stdarg.h>

namespace Corvinex {

bool IsInternalMessageBoxEnabledNow() {
    CDeveloperConfig* settings = GetProcessDeveloperConfig();
    if (settings != nullptr) {
        return settings->IsInternalMessageBoxEnabled();
    }
    CDeveloperConfig ownSettings;
    return ownSettings.IsInternalMessageBoxEnabled();
}

void ShowInternalMessage(CWideString format, ...) {
    if (!IsInternalMessageBoxEnabledNow()) {
        return;
    }
    CWideString text;
    va_list args;
    va_start(args, format);
    text.FormatV(format.c_str(), args);
    va_end(args);
    MessageBoxW(nullptr, text.c_str(), L"Internal Error", MB_TASKMODAL | MB_OK);
}

} // namespace Corvinex
