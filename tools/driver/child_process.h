// CChildProcess: a program started by the driver, owned through its process handle.
#pragma once

#include "base/file_handle.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace Corvinex {
namespace Driver {

// Quotes one argument so that the C runtime of the started program reads it back unchanged
// (spaces, tabs, quotes and backslashes before quotes are handled).
std::wstring QuoteArgument(const std::wstring& argument);

class CChildProcess {
public:
    CChildProcess() = default;
    // Ends a program that is still running (TerminateProcess with 255) and closes the handle,
    // so no started program outlives its owner.
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Starts `program` with the command line `"program" arguments` in `folder` (empty: the
    // driver's current folder). False when a program is already owned or CreateProcessW fails;
    // LastError() then tells why and nothing is left running.
    bool Start(const std::wstring& program, const std::wstring& arguments,
               const std::wstring& folder);
    bool Start(const wchar_t*, const wchar_t*, std::nullptr_t) = delete;

    // Makes the next Start send the program's standard output and error to `file` (created or
    // overwritten); an empty path switches this off.
    void RedirectOutputTo(const std::wstring& file) { m_outputFile = file; }

    // Process creation flags for the next Start (CreateProcessW's dwCreationFlags), for
    // example CREATE_NO_WINDOW for a console program that should get no console window.
    void SetCreationFlags(DWORD flags) { m_creationFlags = flags; }

    // Gives the next started program the variable `name` with `value` on top of the driver's
    // own environment (a later call for the same name, compared without case, replaces the
    // value). The driver's own environment is not changed.
    void SetEnvironment(const std::wstring& name, const std::wstring& value);
    // Drops every variable given by SetEnvironment.
    void ClearEnvironment() { m_environment.clear(); }

    // The Windows error of the last failed Start, 0 after a successful one.
    DWORD LastError() const { return m_lastError; }
    // The process id; 0 before Start.
    DWORD Id() const { return m_id; }
    // The owned handle (null before Start); the caller must not close it.
    HANDLE Handle() const {
        return m_process.Get() == INVALID_HANDLE_VALUE ? nullptr : m_process.Get();
    }
    // True while the program has not ended.
    bool IsRunning() const;
    // Waits up to timeoutMs (INFINITE allowed) for the program to end; true when it has ended.
    bool WaitForExit(DWORD timeoutMs) const;
    // The exit code once the program has ended; false while it runs or before Start.
    bool GetExitCode(DWORD* code) const;
    // Ends the program with `exitCode` and waits until it is gone; true when it has ended
    // (also when it had ended already).
    bool Kill(UINT exitCode);
    // Waits up to timeoutMs until the program waits for input with nothing queued; true then.
    bool WaitForInputIdle(DWORD timeoutMs) const;

private:
    // The environment block for CreateProcessW: the driver's variables with the overrides.
    std::vector<wchar_t> BuildEnvironmentBlock() const;

    std::vector<std::pair<std::wstring, std::wstring>> m_environment;
    CFileHandle m_process;
    DWORD m_id = 0;
    DWORD m_lastError = 0;
    std::wstring m_outputFile;
    DWORD m_creationFlags = 0;
};

} // namespace Driver
} // namespace Corvinex
