// Ctrl+C or closing the console while vpedrive run waits for the harness.
#pragma once

#include "base/scoped_handle.h"
#include "tools/driver/registry_backup.h"

#include <windows.h>

namespace Corvinex {
namespace Vpedrive {

// Registers a console control handler for its own life. When the console is interrupted the
// handler, on a thread of its own, puts the developer settings back and ends the harness at once
// (closing the console leaves only a few seconds); the run then sees the harness gone. One scope
// at a time per process. The settings guard must outlive the scope.
class CInterruptScope {
public:
    explicit CInterruptScope(Driver::CDeveloperSettingsGuard* settings);
    // Unregisters the handler and waits for one that is running to return; only then is the
    // scope's own handle of the harness closed, so the handler never ends a recycled handle.
    ~CInterruptScope();
    CInterruptScope(const CInterruptScope&) = delete;
    CInterruptScope& operator=(const CInterruptScope&) = delete;

    // The harness to end on an interrupt; the scope keeps a handle of its own to it (the
    // caller's may be closed first). False when that handle cannot be had.
    bool SetHarness(HANDLE process);
    // True once the console was interrupted during this scope.
    bool Interrupted() const;

private:
    CKernelHandle m_harness;
};

} // namespace Vpedrive
} // namespace Corvinex
