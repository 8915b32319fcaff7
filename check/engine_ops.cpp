#include "check/engine_ops.h"

#include <string.h>

namespace Corvinex {
namespace Check {

namespace {

const unsigned char kGuardByte = 0xA5;

// Stops any update or check; gives up on one that does not end within the stop budget.
void StopWorkers(CCheckSession& session, IVeilpathEngine* engine) {
    if (session.Call(11, [&] { return engine->IsUpdateRunning(); })) {
        session.Call(10, [&] { return engine->UpdateStop(); });
        WaitUntilIdle(session, engine, 11, session.budgets().stopSettleMs);
    }
    if (session.Call(17, [&] { return engine->IsCheckRunning(); })) {
        session.Call(16, [&] { return engine->CheckStop(); });
        WaitUntilIdle(session, engine, 17, session.budgets().stopSettleMs);
    }
}

} // namespace

void Reach(CCheckSession& session, IVeilpathEngine* engine, EngineState state) {
    StopWorkers(session, engine);
    switch (state) {
    case EngineState::Fresh:
    case EngineState::Unloaded:
        break;
    case EngineState::NotInstalled:
        session.Call(7, [&] { return engine->Stop(); });
        session.Call(3, [&] { return engine->Uninstall(); });
        break;
    case EngineState::Installed:
        session.Call(7, [&] { return engine->Stop(); });
        session.Call(2, [&] { return engine->Install(); });
        break;
    case EngineState::Running:
        session.Call(2, [&] { return engine->Install(); });
        session.Call(6, [&] { return engine->Start(); });
        break;
    case EngineState::Updating:
        session.Call(2, [&] { return engine->Install(); });
        session.Call(9, [&] { return engine->UpdateStart(); });
        break;
    case EngineState::Checking:
        session.Call(2, [&] { return engine->Install(); });
        session.Call(6, [&] { return engine->Start(); });
        session.Call(15, [&] { return engine->CheckStart(3000); });
        break;
    case EngineState::Stopped:
        session.Call(2, [&] { return engine->Install(); });
        session.Call(6, [&] { return engine->Start(); });
        session.Call(7, [&] { return engine->Stop(); });
        break;
    }
    session.SetState(state);
}

double WaitUntilIdle(CCheckSession& session, IVeilpathEngine* engine, int slot, DWORD limitMs) {
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (;;) {
        const BOOL running = session.Call(slot, [&] {
            return slot == 11 ? engine->IsUpdateRunning() : engine->IsCheckRunning();
        });
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

void CallSlot(CCheckSession& session, IVeilpathEngine* engine, int slot) {
    switch (slot) {
    case 1:
        session.Call(1, [&] { return engine->IsInstalled(); });
        break;
    case 2:
        session.Call(2, [&] { return engine->Install(); });
        break;
    case 3:
        session.Call(3, [&] { return engine->Uninstall(); });
        break;
    case 4:
        session.Call(4, [&] { return engine->Update(); });
        break;
    case 6:
        session.Call(6, [&] { return engine->Start(); });
        break;
    case 7:
        session.Call(7, [&] { return engine->Stop(); });
        break;
    case 8:
        session.Call(8, [&] { return engine->IsEngineRunning(); });
        break;
    case 9:
        session.Call(9, [&] { return engine->UpdateStart(); });
        break;
    case 10:
        session.Call(10, [&] { return engine->UpdateStop(); });
        break;
    case 11:
        session.Call(11, [&] { return engine->IsUpdateRunning(); });
        break;
    case 14: {
        CGuardedUpdateOutputs outputs;
        outputs.Call(session, engine);
        break;
    }
    case 15:
        session.Call(15, [&] { return engine->CheckStart(3000); });
        break;
    case 16:
        session.Call(16, [&] { return engine->CheckStop(); });
        break;
    case 17:
        session.Call(17, [&] { return engine->IsCheckRunning(); });
        break;
    case 19: {
        CWideString text = session.Call(19, [&] { return engine->AnalyseCheckLog(); });
        DisposeString(text);
        break;
    }
    case 23:
        session.Call(23, [&] { return engine->SetAnonymity(TRUE); });
        break;
    case 24:
        session.Call(24, [&] { return engine->IsAnonymityActive(); });
        break;
    case 29: {
        CWideString text = session.Call(29, [&] { return engine->GetRealIP(); });
        DisposeString(text);
        break;
    }
    default:
        break;
    }
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
    int* success = reinterpret_cast<int*>(m_bytes + kGuard);
    int* count = reinterpret_cast<int*>(m_bytes + 3 * kGuard + sizeof(int) + sizeof(CWideString));
    CWideString* message = &Message();
    return session.Call(14, [&] { return engine->AnalyseUpdateLog(success, message, count); });
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
