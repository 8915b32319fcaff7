// The process-wide objects that exist before wWinMain runs and until the process ends.
#pragma once

namespace Corvinex {

// The start-up objects, in the order they are constructed (and destroyed in reverse).
enum StartupObject {
    kStartupClassRegistry = 1,
    kStartupDeveloperSettings = 2,
    kStartupConsole = 3
};

// The start-up objects constructed so far, in order; `count` receives how many.
const int* GetStartupOrder(int* count);

} // namespace Corvinex
