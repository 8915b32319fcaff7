// Engine operations the checks share: driving the engine into a state, waiting for a worker
// to end, AnalyseUpdateLog with guarded outputs, and looking at strings the engine returned.
#pragma once

#include "check/check_session.h"

#include <stddef.h>
#include <stdint.h>

namespace Corvinex {
namespace Check {

// Moves the engine into `state` through the slots the harness calls (any update or check is
// stopped first); results are not judged. Records the state in the session.
void Reach(CCheckSession& session, IVeilpathEngine* engine, EngineState state);

// Polls a query (IsUpdateRunning or IsCheckRunning) every 10 ms, pumping messages, until it
// answers FALSE or limitMs pass. The milliseconds it took, or -1 when it stayed TRUE.
double WaitUntilIdle(CCheckSession& session, IVeilpathEngine* engine, Slot query, DWORD limitMs);

// Calls `slot` with the arguments the harness passes (the slot table's, AnalyseUpdateLog through
// guarded outputs) and disposes of returned strings safely.
void CallAsHarness(CCheckSession& session, IVeilpathEngine* engine, Slot slot);

// The outputs of AnalyseUpdateLog with guard bytes around each, as the harness passes them
// (bSuccess and nServerCountHTTP 0, message empty).
class CGuardedUpdateOutputs {
public:
    CGuardedUpdateOutputs();
    ~CGuardedUpdateOutputs();
    CGuardedUpdateOutputs(const CGuardedUpdateOutputs&) = delete;
    CGuardedUpdateOutputs& operator=(const CGuardedUpdateOutputs&) = delete;

    // Calls AnalyseUpdateLog through the session and returns its code.
    int Call(CCheckSession& session, IVeilpathEngine* engine);
    // Empty when every guard byte is intact, else which output was overrun and how far.
    CWideString DamagedGuard() const;
    CWideString& Message();
    int Success() const;
    int ServerCount() const;

private:
    static const size_t kGuard = 64;
    // guard | bSuccess | guard | message | guard | nServerCountHTTP | guard
    alignas(8) unsigned char m_bytes[4 * kGuard + 2 * sizeof(int) + sizeof(CWideString)];
};

// A CWideString as it lies in memory (buffer, length, capacity): the layout is ABI.
struct RawWideString {
    wchar_t* buffer;
    int32_t length;
    uint32_t capacity;
};

// The size of the global-heap block whose address `p` is, or 0 when it is none.
size_t GlobalBlockBytes(const void* p);

// Empty when the string is a sound global-heap text (or the null string), else what is wrong:
// not a global-heap block, no terminator inside its block, a wrong cached length, a capacity
// larger than the block.
CWideString StringFault(const CWideString& text);

// Releases a string the engine returned the way the harness does when it is sound; an unsound
// one is forgotten (leaked) so that no other check crashes on it.
void DisposeString(CWideString& text);

} // namespace Check
} // namespace Corvinex
