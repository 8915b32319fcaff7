#include "base/global_heap.h"

#include <windows.h>

namespace Corvinex {

namespace {
GlobalHeapHooks g_hooks = {nullptr, nullptr, nullptr};
}

void* AllocGlobalBlockForCopy(size_t bytes) {
    if (bytes == 0) {
        return nullptr;
    }
    if (g_hooks.allowAlloc != nullptr && !g_hooks.allowAlloc(bytes, g_hooks.context)) {
        return nullptr;
    }
    HGLOBAL handle = GlobalAlloc(GMEM_FIXED, bytes);
    if (handle == nullptr) {
        return nullptr;
    }
    void* address = GlobalLock(handle);
    if (address == nullptr) {
        GlobalFree(handle);
        return nullptr;
    }
    return address;
}

void* AllocGlobalBlock(size_t bytes) {
    void* address = AllocGlobalBlockForCopy(bytes);
    if (address != nullptr) {
        ZeroMemory(address, bytes);
    }
    return address;
}

void* FreeGlobalBlock(void* address) {
    if (address == nullptr) {
        return nullptr;
    }
    HGLOBAL handle = GlobalHandle(address);
    if (handle == nullptr) {
        return nullptr;
    }
    if (g_hooks.onRelease != nullptr) {
        g_hooks.onRelease(address, GlobalSize(handle), g_hooks.context);
    }
    return GlobalFree(handle);
}

void SetGlobalHeapHooks(const GlobalHeapHooks* hooks) {
    if (hooks == nullptr) {
        g_hooks = GlobalHeapHooks{nullptr, nullptr, nullptr};
    } else {
        g_hooks = *hooks;
    }
}

} // namespace Corvinex
