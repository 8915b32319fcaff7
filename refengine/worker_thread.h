// A worker thread of the engine library that keeps the library loaded while it runs.
//
// The harness may free the library while an update or a check is still running. The worker
// therefore takes its own reference to the library when it starts and gives it back as the
// very last thing it does (FreeLibraryAndExitThread), so the code it runs is never unmapped
// under it; the library goes away once the harness and every worker have let it go.
#pragma once

#include "base/scoped_handle.h"

#include <windows.h>

namespace Corvinex {
namespace VeilpathEngine {

class CWorkerThread {
public:
    // The work; it should return soon after hStop is signalled.
    typedef void (*WorkFunc)(void* context, HANDLE hStop);

    CWorkerThread();
    // Closes the handles without waiting: at library unload no worker can be running any more
    // (each holds a reference), or the process is ending and its threads are already gone.
    ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Starts the work on a new thread. False when a worker is still running or the thread,
    // its stop event or its library reference cannot be had; nothing runs then.
    bool Start(WorkFunc work, void* context);
    // True from Start until the thread has ended.
    bool IsRunning() const;
    // Asks the work to stop and waits up to waitMs for the thread to end; true when it ended.
    bool Stop(DWORD waitMs);
    // Waits up to waitMs for the thread to end on its own; true when it is not running.
    bool Wait(DWORD waitMs) const;

private:
    static DWORD WINAPI ThreadMain(LPVOID parameter);
    void CloseHandles();

    CKernelHandle m_hThread;
    CKernelHandle m_hStop;
    HMODULE m_hModule;
    WorkFunc m_work;
    void* m_context;
};

} // namespace VeilpathEngine
} // namespace Corvinex
