#include "refengine/worker_thread.h"

namespace Corvinex {
namespace VeilpathEngine {

CWorkerThread::CWorkerThread()
    : m_hThread(nullptr), m_hStop(nullptr), m_hModule(nullptr), m_work(nullptr),
      m_context(nullptr) {}

CWorkerThread::~CWorkerThread() {
    CloseHandles();
}

void CWorkerThread::CloseHandles() {
    if (m_hThread != nullptr) {
        CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    if (m_hStop != nullptr) {
        CloseHandle(m_hStop);
        m_hStop = nullptr;
    }
}

bool CWorkerThread::Start(WorkFunc work, void* context) {
    if (IsRunning()) {
        return false;
    }
    CloseHandles();
    m_hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_hStop == nullptr) {
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
    m_hThread = CreateThread(nullptr, 0, &CWorkerThread::ThreadMain, this, 0, nullptr);
    if (m_hThread == nullptr) {
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
    self->m_work(self->m_context, self->m_hStop);
    // Nothing of this module may run after this call: it may unload the library, and with it
    // the object `self` lives in.
    FreeLibraryAndExitThread(module, 0);
    return 0;
}

bool CWorkerThread::IsRunning() const {
    return !Wait(0);
}

bool CWorkerThread::Wait(DWORD waitMs) const {
    return m_hThread == nullptr || WaitForSingleObject(m_hThread, waitMs) != WAIT_TIMEOUT;
}

bool CWorkerThread::Stop(DWORD waitMs) {
    if (m_hThread == nullptr) {
        return true;
    }
    SetEvent(m_hStop);
    return Wait(waitMs);
}

} // namespace VeilpathEngine
} // namespace Corvinex
