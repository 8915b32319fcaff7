// Fixed blocks of the Windows global heap, the memory behind strings, values and arrays.
#pragma once

#include <stddef.h>

namespace Corvinex {

// Allocates a zero-filled fixed global-heap block of `bytes` bytes and returns the address that
// GlobalLock gives for it, or null when the block cannot be had (or `bytes` is 0).
void* AllocGlobalBlock(size_t bytes);

// The same without the zero fill, for a block the caller overwrites in full at once (a copy):
// its bytes are undefined until then. Refused and observed by the hooks like any block.
void* AllocGlobalBlockForCopy(size_t bytes);

// Releases a block by the address AllocGlobalBlock (or GlobalLock) gave. Returns what GlobalFree
// returned (null on success), or null when the address belongs to no block; then nothing is freed.
void* FreeGlobalBlock(void* address);

// Seam for tests: observes every block just before it is released and can refuse allocations.
// Production code never installs hooks; with none installed the heap behaves as plain Win32.
struct GlobalHeapHooks {
    // Called with the block and its size before GlobalFree; may be null.
    void (*onRelease)(const void* block, size_t bytes, void* context);
    // Returns false to make an allocation of `bytes` fail; may be null.
    bool (*allowAlloc)(size_t bytes, void* context);
    void* context;
};

// Installs `hooks` (copied) for this module, or removes them when `hooks` is null.
void SetGlobalHeapHooks(const GlobalHeapHooks* hooks);

} // namespace Corvinex
