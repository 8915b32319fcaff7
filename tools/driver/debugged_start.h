// Starting a program as its debugger, to read what it sends with OutputDebugString.
#pragma once

#include "base/file_handle.h"
#include "tools/driver/child_process.h"

#include <windows.h>

#include <string>
#include <vector>

namespace Corvinex {
namespace Driver {

// Debugs one program started through a CChildProcess, on a thread of its own (the debug events of
// a process go to the thread that created it). Collects the program's debug-output lines; lets
// every exception take its normal course, and ends the program with the exception code when one
// is not handled (as it would end without a debugger), so a crash still reads as a crash. Notes
// the C++ exceptions an MSVC-ABI runtime raises on the way.
class CDebugOutputReader {
public:
    CDebugOutputReader() = default;
    // Waits for the debugging thread to end; a program still running is ended first (255).
    ~CDebugOutputReader();
    CDebugOutputReader(const CDebugOutputReader&) = delete;
    CDebugOutputReader& operator=(const CDebugOutputReader&) = delete;

    // Starts `program` through `process` (as CChildProcess::Start does) under this reader as its
    // debugger. False when the reader is in use or the start failed; process.LastError() then
    // tells why and nothing is left running. `process` must outlive the reader's use.
    bool Start(CChildProcess& process, const std::wstring& program, const std::wstring& arguments,
               const std::wstring& folder);

    // The lines received since the last call, in order (line ends removed).
    std::vector<std::wstring> TakeLines();

    // True when the program raised an MSVC-ABI C++ exception (kMsvcCxxExceptionCode), caught
    // or not; *type is then the thrown type of the last one, empty when it could not be read.
    bool CxxExceptionSeen(std::wstring* type);

private:
    static DWORD WINAPI ThreadMain(void* self);
    void DebugLoop();
    void ReadDebugString(const OUTPUT_DEBUG_STRING_INFO& info);

    CChildProcess* m_process = nullptr;
    std::wstring m_program, m_arguments, m_folder;
    CFileHandle m_thread;
    CFileHandle m_started;
    bool m_startOk = false;
    CRITICAL_SECTION m_lock;
    bool m_lockMade = false;
    std::vector<std::wstring> m_lines;
    bool m_cxxSeen = false;
    std::wstring m_cxxType;
};

} // namespace Driver
} // namespace Corvinex
