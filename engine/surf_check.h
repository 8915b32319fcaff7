// The surf check: the maker's surf-check page opened in the default browser with the engine's
// real IP address in its query.
#pragma once

#include "base/wide_string.h"
#include "engine/engine_interface.h"

namespace Corvinex {

// The page's address; "%s" takes the real IP address, inserted unchanged.
extern const wchar_t kSurfCheckUrlTemplate[];

// The surf-check address for the engine's GetRealIP answer, whatever it is.
CWideString BuildSurfCheckUrl(VeilpathEngine::IVeilpathEngine* engine);

// Opens the surf-check page for the engine's real IP address. Returns 0.
int LaunchSurfCheck(VeilpathEngine::IVeilpathEngine* engine);

// The address with "http://" in front unless it holds a colon anywhere (it then carries its
// own scheme, or is a host with a port and is left as it is).
CWideString CompleteUrl(const wchar_t* url);

// Hands the completed address to the shell ("open", normal window) and returns 0 at once;
// whether a program took it is not examined.
int OpenURL(const wchar_t* url);

} // namespace Corvinex
