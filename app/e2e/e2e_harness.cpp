#include "app/e2e/e2e_harness.h"

#include "res/resource.h"
#include "testsupport/test_paths.h"
#include "tools/driver/message_box.h"

#include <fstream>

namespace Corvinex {
namespace E2e {

const wchar_t kMainWindowClass[] = VPETEST_WINDOW_CLASS;
const wchar_t kInitialTitle[] = VPETEST_WINDOW_TITLE;
const wchar_t kInternalErrorCaption[] = L"Internal Error";
const wchar_t kHarnessDirVariable[] = L"VPE_E2E_HARNESS_DIR";
const wchar_t kEngineDirVariable[] = L"VPE_E2E_ENGINE_DIR";

namespace {

// The operations the status refresh calls on every tick.
const wchar_t* const kStatusQueries[] = {L"IsCheckRunning", L"IsUpdateRunning",
                                         L"IsAnonymityActive", L"IsEngineRunning", L"IsInstalled"};

bool IsStatusQuery(const std::wstring& call) {
    for (const wchar_t* query : kStatusQueries) {
        if (call == query)
            return true;
    }
    return false;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], n,
                        nullptr, nullptr);
    return narrow;
}

// The folder named by the environment variable (relative to the test program's folder unless
// it names a drive or a share), with a trailing backslash; `fallback` when it is not set.
std::wstring FolderFromEnvironment(const wchar_t* variable, const std::wstring& fallback) {
    wchar_t value[MAX_PATH * 4];
    DWORD n = GetEnvironmentVariableW(variable, value, MAX_PATH * 4);
    if (n == 0 || n >= MAX_PATH * 4)
        return fallback;
    std::wstring folder(value, n);
    const bool absolute =
        (folder.size() > 1 && folder[1] == L':') || folder.compare(0, 2, L"\\\\") == 0;
    if (!absolute)
        folder = VpeTest::ProgramFolder() + folder;
    if (folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    return folder;
}

} // namespace

std::wstring HarnessProgramPath() {
    return FolderFromEnvironment(kHarnessDirVariable, VpeTest::ProgramFolder() + L"..\\bin\\") +
           L"vpetest.exe";
}

std::wstring ScriptedEnginePath() {
    return TestEngine(L"scripted_engine");
}

std::wstring TestEngine(const wchar_t* name) {
    return FolderFromEnvironment(kEngineDirVariable, VpeTest::ProgramFolder() + L"engines\\") +
           name + L"\\vpe.dll";
}

std::vector<std::wstring> BoxTexts(const std::vector<Driver::SeenBox>& boxes) {
    std::vector<std::wstring> texts;
    for (const Driver::SeenBox& box : boxes)
        texts.push_back(box.text);
    return texts;
}

std::vector<std::wstring> ReadLines(const std::wstring& path) {
    std::vector<std::wstring> lines;
    std::ifstream file(path.c_str(), std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(FromUtf8(line));
    }
    return lines;
}

HWND WaitForBox(DWORD processId, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        std::vector<HWND> boxes = Driver::FindMessageBoxes(processId);
        if (!boxes.empty())
            return boxes.front();
        if (GetTickCount64() >= deadline)
            return nullptr;
        Sleep(15);
    }
}

bool CHarnessRun::Prepare(const std::wstring& engine) {
    if (!m_folder.Create(L"vpe_e2e_")) {
        m_error = L"no scratch folder";
        return false;
    }
    if (!Driver::PrepareHarnessFolder(m_folder, HarnessProgramPath(), engine, &m_harness, &m_error))
        return false;
    m_recordPath = m_folder.Path() + L"engine_calls.txt";
    m_statePath = m_folder.Path() + L"engine_state.txt";
    m_process.SetEnvironment(L"VPE_SCRIPT_RECORD", m_recordPath);
    m_process.SetEnvironment(L"VPE_SCRIPT_STATE", m_statePath);
    return true;
}

void CHarnessRun::Script(const std::wstring& operation, const std::wstring& answer) {
    m_process.SetEnvironment(L"VPE_SCRIPT_" + operation, answer);
}

void CHarnessRun::SetEnvironment(const std::wstring& name, const std::wstring& value) {
    m_process.SetEnvironment(name, value);
}

bool CHarnessRun::SetState(const std::wstring& lines) {
    if (lines.empty())
        return DeleteFileW(m_statePath.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
    // Written beside and moved into place, so the engine never reads half a file.
    const std::wstring next = m_statePath + L".next";
    {
        std::ofstream file(next.c_str(), std::ios::binary | std::ios::trunc);
        file << ToUtf8(lines);
        if (!file)
            return false;
    }
    return MoveFileExW(next.c_str(), m_statePath.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool CHarnessRun::Start(const std::wstring& arguments) {
    if (m_harness.empty()) {
        m_error = L"not prepared";
        return false;
    }
    if (!m_process.Start(m_harness, arguments, m_folder.Path())) {
        m_error = L"CreateProcess failed with " + std::to_wstring(m_process.LastError());
        return false;
    }
    return true;
}

bool CHarnessRun::StartWindow() {
    if (!Start(L""))
        return false;
    Driver::CommandResult started = m_session.WaitForMainWindow(kMainWindowClass, L"", kWaitMs);
    if (started.outcome != Driver::WaitOutcome::Finished) {
        m_error = std::wstring(L"no main window: ") + Driver::WaitOutcomeName(started.outcome);
        return false;
    }
    return true;
}

std::vector<std::wstring> CHarnessRun::Calls() const {
    return ReadLines(m_recordPath);
}

std::vector<std::wstring> CHarnessRun::CommandCalls() const {
    std::vector<std::wstring> calls;
    for (const std::wstring& call : Calls()) {
        if (!IsStatusQuery(call))
            calls.push_back(call);
    }
    return calls;
}

DWORD CHarnessRun::ExitCode() {
    DWORD code = 0xFFFFFFFF;
    if (m_process.WaitForExit(kWaitMs))
        m_process.GetExitCode(&code);
    return code;
}

} // namespace E2e
} // namespace Corvinex
