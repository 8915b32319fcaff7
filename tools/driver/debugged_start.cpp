#include "tools/driver/debugged_start.h"

#include "tools/driver/text_file.h"

#include "base/file_handle.h"
#include "tools/driver/cxx_exception.h"

namespace Corvinex {
namespace Driver {

namespace {

const DWORD kEventWaitMs = 200;
// A debug string longer than this is cut (the harness sends short lines).
const DWORD kLongestLine = 1024;

} // namespace

CDebugOutputReader::~CDebugOutputReader() {
    if (m_thread.IsOpen()) {
        // The loop ends with the program; a program still running is ended so the loop can.
        if (m_process != nullptr)
            m_process->Kill(255);
        WaitForSingleObject(m_thread.Get(), INFINITE);
    }
    if (m_lockMade)
        DeleteCriticalSection(&m_lock);
}

bool CDebugOutputReader::Start(CChildProcess& process, const std::wstring& program,
                               const std::wstring& arguments, const std::wstring& folder) {
    if (m_thread.IsOpen())
        return false;
    if (!m_lockMade) {
        InitializeCriticalSection(&m_lock);
        m_lockMade = true;
    }
    m_process = &process;
    m_program = program;
    m_arguments = arguments;
    m_folder = folder;
    m_started.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_started.IsOpen())
        return false;
    m_thread.Attach(CreateThread(nullptr, 0, &ThreadMain, this, 0, nullptr));
    if (!m_thread.IsOpen())
        return false;
    WaitForSingleObject(m_started.Get(), INFINITE);
    if (!m_startOk) {
        WaitForSingleObject(m_thread.Get(), INFINITE);
        m_thread.Close();
    }
    return m_startOk;
}

std::vector<std::wstring> CDebugOutputReader::TakeLines() {
    std::vector<std::wstring> lines;
    if (!m_lockMade)
        return lines;
    EnterCriticalSection(&m_lock);
    lines.swap(m_lines);
    LeaveCriticalSection(&m_lock);
    return lines;
}

bool CDebugOutputReader::CxxExceptionSeen(std::wstring* type) {
    type->clear();
    if (!m_lockMade)
        return false;
    EnterCriticalSection(&m_lock);
    const bool seen = m_cxxSeen;
    *type = m_cxxType;
    LeaveCriticalSection(&m_lock);
    return seen;
}

DWORD WINAPI CDebugOutputReader::ThreadMain(void* self) {
    static_cast<CDebugOutputReader*>(self)->DebugLoop();
    return 0;
}

void CDebugOutputReader::DebugLoop() {
    // Only this program, not the ones it starts (a browser for the surf check).
    m_process->SetCreationFlags(DEBUG_ONLY_THIS_PROCESS);
    // Windows gives a program started under a debugger a slower checking heap unless told not to.
    m_process->SetEnvironment(L"_NO_DEBUG_HEAP", L"1");
    m_startOk = m_process->Start(m_program, m_arguments, m_folder);
    m_process->SetCreationFlags(0);
    SetEvent(m_started.Get());
    if (!m_startOk)
        return;
    bool loaderBreakpointSeen = false;
    for (;;) {
        DEBUG_EVENT event = {};
        if (!WaitForDebugEvent(&event, kEventWaitMs)) {
            if (!m_process->IsRunning())
                return;
            continue;
        }
        DWORD continueStatus = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            // The image file handles given to a debugger are the debugger's to close.
            CFileHandle(event.u.CreateProcessInfo.hFile).Close();
            break;
        case LOAD_DLL_DEBUG_EVENT:
            CFileHandle(event.u.LoadDll.hFile).Close();
            break;
        case OUTPUT_DEBUG_STRING_EVENT:
            ReadDebugString(event.u.DebugString);
            break;
        case EXCEPTION_DEBUG_EVENT: {
            const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
            if (record.ExceptionCode == EXCEPTION_BREAKPOINT && !loaderBreakpointSeen) {
                // The loader stops once for a debugger at the start; that one is ours.
                loaderBreakpointSeen = true;
                break;
            }
            std::wstring thrown;
            // Read while the program stands still: the record points into its memory.
            if (event.u.Exception.dwFirstChance != 0 &&
                ReadMsvcThrownType(m_process->Handle(), record, &thrown)) {
                EnterCriticalSection(&m_lock);
                m_cxxSeen = true;
                m_cxxType = thrown;
                LeaveCriticalSection(&m_lock);
            }
            continueStatus = DBG_EXCEPTION_NOT_HANDLED;
            if (event.u.Exception.dwFirstChance == 0)
                TerminateProcess(m_process->Handle(), record.ExceptionCode);
            break;
        }
        case EXIT_PROCESS_DEBUG_EVENT:
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
            return;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
    }
}

void CDebugOutputReader::ReadDebugString(const OUTPUT_DEBUG_STRING_INFO& info) {
    // The length counts the terminating zero. Wine hands wide strings over as ANSI text.
    DWORD length = info.nDebugStringLength < kLongestLine ? info.nDebugStringLength : kLongestLine;
    std::wstring line;
    SIZE_T read = 0;
    if (info.fUnicode) {
        line.resize(length);
        if (length > 0 && !ReadProcessMemory(m_process->Handle(), info.lpDebugStringData, &line[0],
                                             length * sizeof(wchar_t), &read))
            return;
        line.resize(read / sizeof(wchar_t));
    } else {
        std::string bytes(length, '\0');
        if (length > 0 && !ReadProcessMemory(m_process->Handle(), info.lpDebugStringData, &bytes[0],
                                             length, &read))
            return;
        bytes.resize(read);
        line = FromCodePage(bytes, CP_ACP);
    }
    while (!line.empty() && (line.back() == L'\0' || line.back() == L'\n' || line.back() == L'\r'))
        line.pop_back();
    EnterCriticalSection(&m_lock);
    m_lines.push_back(line);
    LeaveCriticalSection(&m_lock);
}

} // namespace Driver
} // namespace Corvinex
