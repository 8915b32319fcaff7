#include "check/engine_ops.h"

#include <string.h>

namespace Corvinex {
namespace Check {

namespace {

const unsigned char kGuardByte = 0xA5;

// Stops any update or check; gives up on one that does not end within the stop budget.
void StopWorkers(CCheckSession& session, IVeilpathEngine* engine) {
    const struct {
        Slot query;
        Slot stop;
    } workers[] = {{Slot::IsUpdateRunning, Slot::UpdateStop},
                   {Slot::IsCheckRunning, Slot::CheckStop}};
    for (const auto& worker : workers) {
        if (session.Call(worker.query, engine).number) {
            session.Call(worker.stop, engine);
            WaitUntilIdle(session, engine, worker.query, session.budgets().stopSettleMs);
        }
    }
}

// The calls that lead from any state into each state, in order (after StopWorkers).
struct Route {
    EngineState state;
    Slot steps[3];
    int count;
};
const Route kRoutes[] = {
    {EngineState::NotInstalled, {Slot::Stop, Slot::Uninstall}, 2},
    {EngineState::Installed, {Slot::Stop, Slot::Install}, 2},
    {EngineState::Running, {Slot::Install, Slot::Start}, 2},
    {EngineState::Updating, {Slot::Install, Slot::UpdateStart}, 2},
    {EngineState::Checking, {Slot::Install, Slot::Start, Slot::CheckStart}, 3},
    {EngineState::Stopped, {Slot::Install, Slot::Start, Slot::Stop}, 3},
};

} // namespace

void Reach(CCheckSession& session, IVeilpathEngine* engine, EngineState state) {
    StopWorkers(session, engine);
    for (const Route& route : kRoutes) {
        if (route.state != state)
            continue;
        for (int i = 0; i < route.count; ++i)
            session.Call(route.steps[i], engine);
    }
    session.SetState(state);
}

double WaitUntilIdle(CCheckSession& session, IVeilpathEngine* engine, Slot query, DWORD limitMs) {
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (;;) {
        const BOOL running = session.Call(query, engine).number;
        QueryPerformanceCounter(&now);
        const double ms = static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
                          static_cast<double>(frequency.QuadPart);
        if (!running)
            return ms;
        if (ms >= limitMs)
            return -1;
        session.Pump(10);
    }
}

void CallAsHarness(CCheckSession& session, IVeilpathEngine* engine, Slot slot) {
    if (slot == Slot::AnalyseUpdateLog) {
        CGuardedUpdateOutputs outputs;
        outputs.Call(session, engine);
        return;
    }
    SlotAnswer answer = session.Call(slot, engine);
    DisposeString(answer.text);
}

CGuardedUpdateOutputs::CGuardedUpdateOutputs() {
    memset(m_bytes, kGuardByte, sizeof(m_bytes));
    memset(m_bytes + kGuard, 0, sizeof(int));
    // The empty message the harness passes, moved into place by its bytes (a string's layout
    // is ABI and relocatable); the local keeps the null string and releases nothing.
    CWideString empty;
    memcpy(m_bytes + 2 * kGuard + sizeof(int), static_cast<const void*>(&empty), sizeof(empty));
    const RawWideString none = {nullptr, 0, 0};
    memcpy(static_cast<void*>(&empty), &none, sizeof(none));
    memset(m_bytes + 3 * kGuard + sizeof(int) + sizeof(CWideString), 0, sizeof(int));
}

CGuardedUpdateOutputs::~CGuardedUpdateOutputs() {
    DisposeString(Message());
    Message().~CWideString();
}

CWideString& CGuardedUpdateOutputs::Message() {
    return *reinterpret_cast<CWideString*>(m_bytes + 2 * kGuard + sizeof(int));
}

int CGuardedUpdateOutputs::Success() const {
    int value;
    memcpy(&value, m_bytes + kGuard, sizeof(int));
    return value;
}

int CGuardedUpdateOutputs::ServerCount() const {
    int value;
    memcpy(&value, m_bytes + 3 * kGuard + sizeof(int) + sizeof(CWideString), sizeof(int));
    return value;
}

int CGuardedUpdateOutputs::Call(CCheckSession& session, IVeilpathEngine* engine) {
    SlotArguments arguments;
    arguments.success = reinterpret_cast<int*>(m_bytes + kGuard);
    arguments.serverCount =
        reinterpret_cast<int*>(m_bytes + 3 * kGuard + sizeof(int) + sizeof(CWideString));
    arguments.message = &Message();
    return session.Call(Slot::AnalyseUpdateLog, engine, arguments).number;
}

CWideString CGuardedUpdateOutputs::DamagedGuard() const {
    // Each guard is named by the output before it (the first by the one after it).
    struct Guard {
        size_t offset;
        const wchar_t* where;
    };
    const size_t message = 2 * kGuard + sizeof(int);
    const size_t count = 3 * kGuard + sizeof(int) + sizeof(CWideString);
    const Guard guards[] = {
        {0, L"before bSuccess"},
        {kGuard + sizeof(int), L"after bSuccess"},
        {message + sizeof(CWideString), L"after message"},
        {count + sizeof(int), L"after nServerCountHTTP"},
    };
    for (const Guard& guard : guards) {
        for (size_t i = 0; i < kGuard; ++i) {
            if (m_bytes[guard.offset + i] == kGuardByte)
                continue;
            size_t last = i;
            for (size_t j = i; j < kGuard; ++j) {
                if (m_bytes[guard.offset + j] != kGuardByte)
                    last = j;
            }
            return FormatString(L"bytes %i to %i %s were overwritten", static_cast<int>(i),
                                static_cast<int>(last), guard.where);
        }
    }
    return CWideString();
}

size_t GlobalBlockBytes(const void* p) {
    if (p == nullptr)
        return 0;
    HGLOBAL handle = GlobalHandle(p);
    if (handle == nullptr)
        return 0;
    // A fixed block's handle is its address; anything else is not a block the harness's
    // release (GlobalHandle, then GlobalFree) frees whole.
    if (GlobalLock(handle) != p) {
        GlobalUnlock(handle);
        return 0;
    }
    GlobalUnlock(handle);
    return GlobalSize(handle);
}

CWideString StringFault(const CWideString& text) {
    RawWideString raw;
    memcpy(&raw, &text, sizeof(raw));
    if (raw.buffer == nullptr)
        return CWideString();
    MEMORY_BASIC_INFORMATION info = {};
    if (VirtualQuery(raw.buffer, &info, sizeof(info)) == 0 || info.State != MEM_COMMIT)
        return CWideString(L"its buffer points to memory that is not there");
    const size_t bytes = GlobalBlockBytes(raw.buffer);
    if (bytes == 0)
        return CWideString(L"its buffer is not a block of the process-wide global heap "
                           L"(GlobalAlloc), so the harness's release cannot free it");
    const size_t chars = bytes / sizeof(wchar_t);
    size_t length = 0;
    while (length < chars && raw.buffer[length] != 0)
        ++length;
    if (length == chars)
        return FormatString(L"its text has no terminating zero inside its block of %lu bytes",
                            static_cast<unsigned long>(bytes));
    if (raw.capacity > chars)
        return FormatString(L"its capacity of %lu characters is larger than its block (%lu)",
                            static_cast<unsigned long>(raw.capacity),
                            static_cast<unsigned long>(chars));
    if (raw.length != 0 && static_cast<size_t>(raw.length) != length)
        return FormatString(L"its cached length is %i but the text has %lu characters",
                            static_cast<int>(raw.length), static_cast<unsigned long>(length));
    return CWideString();
}

void DisposeString(CWideString& text) {
    if (StringFault(text).GetLength() == 0)
        return; // the destructor releases it as the harness would
    RawWideString empty = {nullptr, 0, 0};
    memcpy(static_cast<void*>(&text), &empty, sizeof(empty));
}

} // namespace Check
} // namespace Corvinex
