// What the checks ask the system about the process: readable and executable memory, the
// threads and their start addresses, handle counts, mapped images, and first-chance faults.
#pragma once

#include "base/array.h"
#include "base/wide_string.h"

#include <windows.h>

#include <stdint.h>

namespace Corvinex {
namespace Check {

// True when the address lies in committed memory that may be executed.
bool IsExecutable(const void* address);
// True while a module whose image begins at the address is loaded.
bool IsMapped(uintptr_t address);
// The image range [base, base + size) of a loaded module; false when it is not loaded.
bool ModuleRange(HMODULE module, uintptr_t* base, uintptr_t* size);
// The file name (without folder) of a loaded module.
CWideString ModuleFileName(HMODULE module);
// The number of handles the process holds; 0 where the system does not tell.
DWORD ProcessHandleCount();
// The number in hex, without prefix.
CWideString Hex(uintptr_t value);

struct ThreadStart {
    DWORD id;
    uintptr_t start;
};

// The threads of this process at one moment, with their start addresses.
class CThreadSet {
public:
    CThreadSet() = default;
    CThreadSet(const CThreadSet&) = delete;
    CThreadSet& operator=(const CThreadSet&) = delete;

    // Replaces the set with the threads running now.
    void Snapshot();
    // Fills *found with the threads of this set not in `earlier` whose start address lies in
    // [base, base + size); what *found held before is dropped.
    void StartedWithin(uintptr_t base, uintptr_t size, const CThreadSet& earlier,
                       TArray<ThreadStart>* found) const;

private:
    TArray<ThreadStart> m_threads;
};

// Counts first-chance processor faults (access violations, illegal instructions, ...) raised at
// addresses inside one module while it lives (a vectored handler that only looks and lets every
// handler run as before).
class CFaultCounter {
public:
    explicit CFaultCounter(HMODULE module);
    ~CFaultCounter();
    CFaultCounter(const CFaultCounter&) = delete;
    CFaultCounter& operator=(const CFaultCounter&) = delete;
    LONG Count() const;
    // "exception 0xC0000005 at vpe.dll+0x1234, slot 6 (Start), state running" for the first.
    CWideString First() const;

private:
    void* m_handler;
};

} // namespace Check
} // namespace Corvinex
