// A critical section and its scope guard: the engine's operations and its reading of shared
// state are serialised with it.
#pragma once

#include <windows.h>

namespace Corvinex {
namespace VeilpathEngine {

// Owns one CRITICAL_SECTION for its whole life.
class CCriticalSection {
public:
    CCriticalSection() { InitializeCriticalSection(&m_section); }
    ~CCriticalSection() { DeleteCriticalSection(&m_section); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Enter() { EnterCriticalSection(&m_section); }
    void Leave() { LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

// Holds the section from construction to destruction.
class CLockGuard {
public:
    explicit CLockGuard(CCriticalSection& section) : m_section(section) { m_section.Enter(); }
    ~CLockGuard() { m_section.Leave(); }
    CLockGuard(const CLockGuard&) = delete;
    CLockGuard& operator=(const CLockGuard&) = delete;

private:
    CCriticalSection& m_section;
};

} // namespace VeilpathEngine
} // namespace Corvinex
