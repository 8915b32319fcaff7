// The harness's one message channel: an "Internal Error" box, shown only while the developer
// settings "Debug" and "ShowInternalMessageBox" are both on.
#pragma once

#include "base/wide_string.h"

namespace Corvinex {

// Asks the developer settings on every call; when they allow it, formats the arguments ("%s" a
// wide text, "%i" a 32-bit int) and shows them in a task-modal "Internal Error" box with OK only,
// no owner and no icon, returning when it is closed. Otherwise nothing happens. Callers pass the
// format "%s" and one finished text, so percent signs in the text are shown unchanged.
void ShowInternalMessage(CWideString format, ...);

// The gate: true when the registry allows the box right now. Without the process-wide developer
// settings (the executable loaded as a module by another program) the registry is read directly.
bool IsInternalMessageBoxEnabledNow();

} // namespace Corvinex
