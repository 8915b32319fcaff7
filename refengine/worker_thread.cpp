#include "refengine/worker_thread.h"

namespace Corvinex {
namespace VeilpathEngine {

CWorkerThread::CWorkerThread() : m_hModule(nullptr), m_work(nullptr), m_context(nullptr) {}

CWorkerThread::~CWorkerThread() {
    CloseHandles();
}

void CWorkerThread::CloseHandles() {
    m_hThread.Close();
    m_hStop.Close();
}

bool CWorkerThread::Start(WorkFunc work, void* context) {
    if (IsRunning()) {
        return false;
    }
    CloseHandles();
    m_hStop.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_hStop.IsOpen()) {
        return false;
    }
    // One more reference to the module that holds this code (the engine library, or the test
    // program when the class is linked into one); the thread returns it as it ends.
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&CWorkerThread::ThreadMain), &module)) {
        CloseHandles();
        return false;
    }
    m_hModule = module;
    m_work = work;
    m_context = context;
    m_hThread.Attach(CreateThread(nullptr, 0, &CWorkerThread::ThreadMain, this, 0, nullptr));
    if (!m_hThread.IsOpen()) {
        FreeLibrary(module);
        m_hModule = nullptr;
        CloseHandles();
        return false;
    }
    return true;
}

DWORD WINAPI CWorkerThread::ThreadMain(LPVOID parameter) {
    CWorkerThread* self = static_cast<CWorkerThread*>(parameter);
    HMODULE module = self->m_hModule;
    self->m_work(self->m_context, self->m_hStop.Get());
    // Nothing of this module may run after this call: it may unload the library, and with it
    // the object `self` lives in.
    FreeLibraryAndExitThread(module, 0);
    return 0;
}

bool CWorkerThread::IsRunning() const {
    return !Wait(0);
}

bool CWorkerThread::Wait(DWORD waitMs) const {
    return !m_hThread.IsOpen() || WaitForSingleObject(m_hThread.Get(), waitMs) != WAIT_TIMEOUT;
}

bool CWorkerThread::Stop(DWORD waitMs) {
    if (!m_hThread.IsOpen()) {
        return true;
    }
    SetEvent(m_hStop.Get());
    return Wait(waitMs);
}

} // namespace VeilpathEngine
} // namespace Corvinex
