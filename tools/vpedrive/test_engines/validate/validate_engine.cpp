// A small, well-behaved engine for the validator's tests, built once per fault: each build
// defines one VPE_FAULT_* macro and so breaks the contract in exactly one way that one check
// must catch. Without a macro (validate_good) it keeps the whole contract.
//
// Updates and checks run on worker threads for about 300 ms; a worker holds a reference to
// the library and leaves through FreeLibraryAndExitThread, so unloading during a run is safe.
#include "base/fault_guard.h"
#include "engine/engine_interface.h"

#include <windows.h>

#include <stdint.h>
#include <string.h>

using Corvinex::CWideString;

namespace {

struct Worker {
    volatile LONG running = 0;
    HANDLE stop = nullptr;
    HMODULE library = nullptr; // the worker's reference, taken before the thread starts
};

Worker g_update;
Worker g_check;

DWORD WINAPI WorkerMain(void* context) {
    Worker* worker = static_cast<Worker*>(context);
    HMODULE self = worker->library;
#if defined(VPE_FAULT_ENDLESS_STOP)
    // The fault: the update worker never looks at the stop request.
    const DWORD length = worker == &g_update ? 60000 : 300;
    for (DWORD waited = 0; waited < length; waited += 10) {
        if (worker != &g_update && WaitForSingleObject(worker->stop, 10) == WAIT_OBJECT_0)
            break;
        if (worker == &g_update)
            Sleep(10);
    }
#else
    WaitForSingleObject(worker->stop, 300);
#endif
    InterlockedExchange(&worker->running, 0);
    FreeLibraryAndExitThread(self, 0);
    return 0;
}

int StartWorker(Worker& worker) {
    if (InterlockedCompareExchange(&worker.running, 1, 0) != 0)
        return 4; // busy
    if (worker.stop == nullptr)
        worker.stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(worker.stop);
    // The reference is taken here, not in the thread: a thread that has not yet run when the
    // library is released would start in unmapped code.
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&WorkerMain), &worker.library);
    HANDLE thread = CreateThread(nullptr, 0, WorkerMain, &worker, 0, nullptr);
    if (thread == nullptr) {
        FreeLibrary(worker.library);
        InterlockedExchange(&worker.running, 0);
        return 8;
    }
    CloseHandle(thread);
    return 0;
}

int StopWorker(Worker& worker) {
    if (worker.stop != nullptr)
        SetEvent(worker.stop);
    return 0;
}

// An address no process maps; read through a volatile so the compiler emits a real store
// (a store through a literal null pointer becomes an illegal instruction under GCC).
#if defined(VPE_FAULT_SWALLOWED_AV) || defined(VPE_FAULT_CRASH_START)
volatile uintptr_t g_unmapped = 0x10;
#endif

#if defined(VPE_FAULT_SWALLOWED_AV)
void TouchNothing(void*) {
    *reinterpret_cast<volatile int*>(g_unmapped) = 1;
}
#endif

#if defined(VPE_FAULT_ABORT_START) || defined(VPE_FAULT_ABORT_THREAD)
// What abort() of a runtime linked into the library (a /MT build) does: its own message on the
// standard error, then the end of the process with exit code 3, past the caller's runtime.
void AbortThroughOwnRuntime() {
    const char kMessage[] = "\r\nThis application has requested the Runtime to terminate it in an "
                            "unusual way.\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), kMessage, sizeof(kMessage) - 1, &written, nullptr);
    ExitProcess(3);
}
#endif

#if defined(VPE_FAULT_ABORT_THREAD)
DWORD WINAPI AbortingThread(void*) {
    AbortThroughOwnRuntime();
    return 0;
}

// A worker of the engine aborts while the caller's thread waits in Start for it.
void AbortOnAWorker() {
    HANDLE thread = CreateThread(nullptr, 0, AbortingThread, nullptr, 0, nullptr);
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
}
#endif

#if defined(VPE_FAULT_LEFT_THREAD)
// Started by the factory; waits for an event nobody sets and holds no library reference.
DWORD WINAPI Lingerer(void* started) {
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetEvent(static_cast<HANDLE>(started));
    WaitForSingleObject(never, INFINITE);
    return 0;
}

// Starts the lingering thread and waits until it runs (a thread that had not yet started
// when the library is unmapped would crash at once instead of lingering).
void StartLingerer() {
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, Lingerer, started, 0, nullptr);
    WaitForSingleObject(started, INFINITE);
    CloseHandle(thread);
    CloseHandle(started);
}
#endif

class ValidateEngine : public Corvinex::VeilpathEngine::IVeilpathEngine {
public:
    int GetInterfaceVersion() override { return Corvinex::VeilpathEngine::kInterfaceVersion; }
    BOOL IsInstalled() override { return m_installed; }
    int Install() override {
#if defined(VPE_FAULT_HANG_INSTALL)
        Sleep(INFINITE);
#endif
        m_installed = TRUE;
        return 0;
    }
    int Uninstall() override {
        if (m_running)
            return 4;
        m_installed = FALSE;
        return 0;
    }
    int Update() override {
        return m_installed ? 0 : 1;
    }
    int GetEngineVersion() override {
        return 1;
    }
    int Start() override {
#if defined(VPE_FAULT_CRASH_START)
        *reinterpret_cast<volatile int*>(g_unmapped) = 6;
#endif
#if defined(VPE_FAULT_SWALLOWED_AV)
        Corvinex::RunGuarded(TouchNothing, nullptr);
#endif
#if defined(VPE_FAULT_ABORT_START)
        if (m_installed)
            AbortThroughOwnRuntime();
#endif
#if defined(VPE_FAULT_ABORT_THREAD)
        if (m_installed)
            AbortOnAWorker();
#endif
        if (!m_installed)
            return 1;
        m_running = TRUE;
        return 0;
    }
    int Stop() override {
        m_running = FALSE;
        m_anonymity = FALSE;
        return 0;
    }
    BOOL IsEngineRunning() override {
#if defined(VPE_FAULT_DROP_MESSAGES)
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
#endif
        return m_running;
    }
    int UpdateStart() override {
        return StartWorker(g_update);
    }
    int UpdateStop() override {
#if defined(VPE_FAULT_ENDLESS_STOP)
        return 0;
#else
        return StopWorker(g_update);
#endif
    }
    BOOL IsUpdateRunning() override {
        return g_update.running != 0;
    }
    int GetUpdateProgress() override {
        return 0;
    }
    int GetLastUpdateResult() override {
        return 0;
    }
    int AnalyseUpdateLog(int* bSuccess, CWideString* message, int* nServerCountHTTP) override {
        *bSuccess = 1;
        message->Assign(L"Update completed.");
#if defined(VPE_FAULT_OVERRUN)
        // The fault: a 64-bit count written into the caller's 32-bit output.
        const int64_t count = 3;
        memcpy(nServerCountHTTP, &count, sizeof(count));
#else
        *nServerCountHTTP = 3;
#endif
        return 0;
    }
    int CheckStart(int) override {
        return StartWorker(g_check);
    }
    int CheckStop() override {
        return StopWorker(g_check);
    }
    BOOL IsCheckRunning() override {
        return g_check.running != 0;
    }
    int GetCheckProgress() override {
        return 0;
    }
    CWideString AnalyseCheckLog() override {
        CWideString text(L"2 endpoints checked, 2 passed.");
#if defined(VPE_FAULT_HEAP_STRING)
        // The fault: the text's block comes from a heap of the library's own (as a statically
        // linked C runtime's malloc does), which the harness's GlobalFree cannot release.
        text.Empty();
        const wchar_t kText[] = L"2 endpoints checked, 2 passed.";
        static HANDLE heap = HeapCreate(0, 0, 0);
        wchar_t* block = static_cast<wchar_t*>(HeapAlloc(heap, 0, sizeof(kText)));
        memcpy(block, kText, sizeof(kText));
        struct Raw {
            wchar_t* buffer;
            int32_t length;
            uint32_t capacity;
        } raw = {block, static_cast<int32_t>(sizeof(kText) / sizeof(wchar_t) - 1),
                 static_cast<uint32_t>(sizeof(kText) / sizeof(wchar_t))};
        memcpy(static_cast<void*>(&text), &raw, sizeof(raw));
#endif
        return text;
    }
    int GetCheckedEndpointCount() override {
        return 2;
    }
    int GetWorkingEndpointCount() override {
        return 2;
    }
    int ClearCheckLog() override {
        return 0;
    }
    int SetAnonymity(BOOL bOn) override {
        m_anonymity = bOn && m_running;
        return m_anonymity == bOn ? 0 : 2;
    }
    BOOL IsAnonymityActive() override {
#if defined(VPE_FAULT_SLOW_STATUS)
        Sleep(400);
#endif
        return m_anonymity;
    }
    CWideString GetAnonymousIP() override {
        return CWideString(L"");
    }
    int GetActiveEndpointIndex() override {
        return 0;
    }
    int SelectEndpoint(int) override {
        return 0;
    }
    int GetLastResult() override {
        return 0;
    }
    CWideString GetRealIP() override {
        return CWideString(L"192.0.2.7");
    }

private:
    BOOL m_installed = FALSE;
    BOOL m_running = FALSE;
    BOOL m_anonymity = FALSE;
};

ValidateEngine g_engine;

#if defined(VPE_FAULT_OUTSIDE_SLOT)
// The object's virtual table copied with slot 12 pointing into another module. The two words
// before the slots (offset to top, type information) are copied, so the type check passes.
void* g_table[32];
#endif

#if defined(VPE_FAULT_DEAD_SECOND)
// What a destroyed object looks like: its memory wiped, no virtual table.
alignas(8) unsigned char g_dead[sizeof(ValidateEngine)] = {0};
int g_calls = 0;
#endif

} // namespace

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
#if defined(VPE_FAULT_OUTSIDE_SLOT)
    void** original = *reinterpret_cast<void***>(&g_engine);
    memcpy(g_table, original - 2, sizeof(g_table));
    g_table[2 + 12] = reinterpret_cast<void*>(&GetTickCount);
    void** table = g_table + 2;
    memcpy(static_cast<void*>(&g_engine), &table, sizeof(table));
#endif
#if defined(VPE_FAULT_DEAD_SECOND)
    if (++g_calls > 1)
        return reinterpret_cast<Corvinex::IEngine*>(g_dead);
#endif
#if defined(VPE_FAULT_LEFT_THREAD)
    static bool lingering = false;
    if (!lingering) {
        lingering = true;
        StartLingerer();
    }
#endif
    return &g_engine;
}
