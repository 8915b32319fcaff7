// CScopedHandle: owns one system handle and closes it with the closing function it is made with.
// Header only, so an engine built against the engine author's header set can use it too.
#pragma once

#include <windows.h>

#include <stdint.h>

namespace Corvinex {

// Owns at most one handle of pointer type Handle and closes it with CloseFunction (true when the
// system closed it). Null and the all-ones value (INVALID_HANDLE_VALUE) both mean "no handle", so
// either failure value of a system call can be stored as it is. Moves hand the handle over and
// leave the source empty; copies are not possible.
template <typename Handle, bool (*CloseFunction)(Handle)> class CScopedHandle {
public:
    CScopedHandle() noexcept : m_handle(nullptr) {}
    // Takes ownership of handle (a failure value holds none).
    explicit CScopedHandle(Handle handle) noexcept : m_handle(handle) {}
    ~CScopedHandle() { Close(); }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;
    CScopedHandle(CScopedHandle&& other) noexcept : m_handle(other.Release()) {}
    CScopedHandle& operator=(CScopedHandle&& other) noexcept {
        if (this != &other) {
            Attach(other.Release());
        }
        return *this;
    }

    // True when value is a handle rather than null or INVALID_HANDLE_VALUE.
    static bool IsHandle(Handle value) {
        return value != nullptr && value != reinterpret_cast<Handle>(static_cast<intptr_t>(-1));
    }
    bool IsOpen() const { return IsHandle(m_handle); }
    Handle Get() const { return m_handle; }

    // Closes the handle held, if any, and holds none; true when there was none or it closed.
    bool Close() {
        Handle held = m_handle;
        m_handle = nullptr;
        return !IsHandle(held) || CloseFunction(held);
    }
    // Closes the handle held, if any, and takes ownership of handle.
    void Attach(Handle handle) {
        Close();
        m_handle = handle;
    }
    // Gives up ownership: the caller closes the handle returned; this holds none.
    Handle Release() {
        Handle held = m_handle;
        m_handle = nullptr;
        return held;
    }
    // Closes the handle held and gives the slot that a system call fills with a new handle.
    Handle* Receive() {
        Close();
        return &m_handle;
    }

private:
    Handle m_handle;
};

// The closing functions of the kinds of handle the program owns.
inline bool CloseKernelHandle(HANDLE handle) {
    return CloseHandle(handle) != FALSE;
}
inline bool CloseFindHandle(HANDLE handle) {
    return FindClose(handle) != FALSE;
}
inline bool CloseKeyHandle(HKEY key) {
    return RegCloseKey(key) == ERROR_SUCCESS;
}

// A kernel object (file, process, thread, event) closed with CloseHandle.
typedef CScopedHandle<HANDLE, CloseKernelHandle> CKernelHandle;
// A directory search from FindFirstFileW, closed with FindClose.
typedef CScopedHandle<HANDLE, CloseFindHandle> CFindHandle;
// An open registry key closed with RegCloseKey (base/registry.h's CRegistryKey flushes first).
typedef CScopedHandle<HKEY, CloseKeyHandle> CKeyHandle;

} // namespace Corvinex
