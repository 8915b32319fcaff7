// The menu commands of the driver's test window program (test_target.exe) and what each does.
// Its harness-like commands carry the harness's own ids (res/resource.h); the others exist only
// there, and the driver's and vpedrive's tests send them by these names.
#pragma once

#include "res/resource.h"

namespace Corvinex {
namespace Driver {

enum TestTargetCommand {
    kTargetExit = IDM_EXIT, // destroys the window; the process ends with --exit-code
    kTargetInstall = ID_INSTALLATION_INSTALL, // three boxes, as the harness's Install shows them
    kTargetStart = ID_ENGINE_START, // one box; the title says Running=TRUE from the next tick
    kTargetStop = ID_ENGINE_STOP,   // one box; Running=FALSE from the next tick
    kTargetAnalyse = ID_CHECK_ANALYSECHECKLOG, // one box with quotes, a line feed, a percent sign
                                               // and non-ASCII
    kTargetNoBox = ID_CHECK_CHECKTEST,         // does nothing, shows no box
    kTargetHang = 40001,                       // never returns
    kTargetCrash = 40002,                      // writes through a null pointer
    kTargetSlow = 40003,                       // works for 1.5 s, then one box
    kTargetOwnedBox = 40004,                   // a box owned by the main window (not task-modal)
};

} // namespace Driver
} // namespace Corvinex
