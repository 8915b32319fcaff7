// The status line: the engine's state in the main window's title, rewritten on every tick.
#pragma once

#include "base/wide_string.h"
#include "engine/engine_interface.h"

#include <windows.h>

namespace Corvinex {

// The title template; each tag is replaced by "TRUE" or "FALSE".
extern const wchar_t kStatusTemplate[];

// The status text for the engine: makes the status queries in the slot table's order
// (kStatusQueries of engine/engine_slots.h) and fills the template.
CWideString BuildStatusLine(VeilpathEngine::IVeilpathEngine* engine);

// Sets the window's title to the engine's status text (also when it is unchanged). Without an
// engine nothing is queried and the title stays as it is.
void UpdateStatusLine(HWND window, VeilpathEngine::IVeilpathEngine* engine);

} // namespace Corvinex
