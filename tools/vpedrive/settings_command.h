// vpedrive settings: shows and sets the developer settings of the current user.
#pragma once

#include "tools/vpedrive/console_output.h"

namespace Corvinex {
namespace Vpedrive {

// Sets "Debug" and "ShowInternalMessageBox" when asked (-1 leaves a value alone, 0 off, 1 on),
// then prints every developer setting and whether the harness will show its boxes. Returns 0,
// or 1 when a value could not be written.
int RunSettings(int debug, int messageBox, COutput& out, COutput& err);

} // namespace Vpedrive
} // namespace Corvinex
