// CHarnessRun: one run of vpetest.exe from a scratch folder of its own, with the scripted test
// engine (or another library) as its vpe.dll, driven from outside.
#pragma once

#include "tools/driver/child_process.h"
#include "tools/driver/gui_session.h"
#include "tools/driver/scratch_folder.h"

#include <windows.h>

#include <string>
#include <vector>

namespace Corvinex {
namespace E2e {

// The harness's main window class and its title until the first status refresh.
extern const wchar_t kMainWindowClass[];
extern const wchar_t kInitialTitle[];
// The caption of every message of the harness.
extern const wchar_t kInternalErrorCaption[];
// How long a run waits for a window, a command or the end of the program: generous, because
// waits end as soon as the awaited thing happens and i386 code may run emulated (10x slower).
const DWORD kWaitMs = 60000;

// The folders of the harness and of the test engines a run uses (CTest sets them for the run
// against the MSVC-ABI build); unset: build/bin and build/tests/engines, the GCC-ABI build.
extern const wchar_t kHarnessDirVariable[];
extern const wchar_t kEngineDirVariable[];

// The harness as CMake built it, and the engine libraries built for the tests.
std::wstring HarnessProgramPath();
std::wstring ScriptedEnginePath();
std::wstring TestEngine(const wchar_t* name);

// The texts of the boxes, in order.
std::vector<std::wstring> BoxTexts(const std::vector<Driver::SeenBox>& boxes);

class CHarnessRun {
public:
    CHarnessRun() = default;
    CHarnessRun(const CHarnessRun&) = delete;
    CHarnessRun& operator=(const CHarnessRun&) = delete;

    // Lays out a fresh scratch folder with the harness and `engine` as vpe.dll (none when
    // empty), and points the scripted engine's record and state files into it. False, with
    // the reason in Error(), when a copy fails.
    bool Prepare(const std::wstring& engine);
    // The scripted engine answers `operation` with `answer` (VPE_SCRIPT_<operation>); takes
    // effect for the next Start.
    void Script(const std::wstring& operation, const std::wstring& answer);
    // Gives the started harness one more environment variable.
    void SetEnvironment(const std::wstring& name, const std::wstring& value);
    // Replaces the state file: lines "Operation=answer" that override the script while the
    // harness runs; an empty text removes the file. False when it cannot be written.
    bool SetState(const std::wstring& lines);

    // Starts the harness copy with `arguments` as its command line tail.
    bool Start(const std::wstring& arguments);
    // Starts it and waits for the main window; false when none came.
    bool StartWindow();

    // Every engine call the scripted engine recorded so far, in order.
    std::vector<std::wstring> Calls() const;
    // The same without the five queries of the status refresh, which come once a second.
    std::vector<std::wstring> CommandCalls() const;
    // The exit code after waiting up to kWaitMs for the end; 0xFFFFFFFF when it did not end.
    DWORD ExitCode();

    Driver::CGuiSession& Session() { return m_session; }
    Driver::CChildProcess& Process() { return m_process; }
    const std::wstring& Folder() const { return m_folder.Path(); }
    const std::wstring& Error() const { return m_error; }

private:
    Driver::CScratchFolder m_folder;
    Driver::CChildProcess m_process;
    Driver::CGuiSession m_session{m_process};
    std::wstring m_harness;
    std::wstring m_statePath;
    std::wstring m_recordPath;
    std::wstring m_error;
};

// Reads a UTF-8 text file as lines (without their line ends); empty when it is missing.
std::vector<std::wstring> ReadLines(const std::wstring& path);

// Waits up to timeoutMs for a box of the process and returns it (null when none came).
HWND WaitForBox(DWORD processId, DWORD timeoutMs);

} // namespace E2e
} // namespace Corvinex
