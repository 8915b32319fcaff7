// Ctrl+C or closing the console while vpedrive run waits for the harness.
#pragma once

#include "tools/driver/registry_backup.h"

#include <windows.h>

namespace Corvinex {
namespace Vpedrive {

// Registers a console control handler for its own life. When the console is interrupted the
// handler, on a thread of its own, puts the developer settings back and ends the harness at once
// (closing the console leaves only a few seconds); the run then sees the harness gone. One scope
// at a time per process.
class CInterruptScope {
public:
    explicit CInterruptScope(Driver::CDeveloperSettingsGuard* settings);
    ~CInterruptScope();
    CInterruptScope(const CInterruptScope&) = delete;
    CInterruptScope& operator=(const CInterruptScope&) = delete;

    // The harness to end on an interrupt; the caller keeps owning the handle.
    void SetHarness(HANDLE process);
    // True once the console was interrupted during this scope.
    bool Interrupted() const;
};

} // namespace Vpedrive
} // namespace Corvinex
