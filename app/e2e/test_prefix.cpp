#include "app/e2e/test_prefix.h"

#include "app/e2e/e2e_harness.h"
#include "testsupport/test_paths.h"

#include <shlobj.h>

namespace Corvinex {
namespace E2e {

namespace {

const wchar_t kX11DriverKey[] = L"Software\\Wine\\AppDefaults\\vpetest.exe\\X11 Driver";
// Wine 8 reads the classes of HKEY_CLASSES_ROOT from the machine's key only: a per-user http
// handler under HKCU\Software\Classes is not seen.
const wchar_t kHttpCommandKey[] = L"Software\\Classes\\http\\shell\\open\\command";

bool FolderExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

CUnmanagedHarnessWindows::CUnmanagedHarnessWindows()
    : m_backup(HKEY_CURRENT_USER, kX11DriverKey, {L"Managed"}),
      m_active(WriteStringValue(HKEY_CURRENT_USER, kX11DriverKey, L"Managed", L"N") ==
               kRegistryDone) {}

CUrlRecorderHandler::CUrlRecorderHandler(const std::wstring& recordPath)
    : m_backup(HKEY_LOCAL_MACHINE, kHttpCommandKey, {L""}), m_recordPath(recordPath) {
    const std::wstring command = L"\"" + VpeTest::ProgramFolder() + L"url_recorder.exe\" \"%1\"";
    m_active = WriteStringValue(HKEY_LOCAL_MACHINE, kHttpCommandKey, L"", command.c_str()) ==
               kRegistryDone;
}

std::vector<std::wstring> CUrlRecorderHandler::Recorded(size_t count, DWORD timeoutMs) const {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        std::vector<std::wstring> lines = ReadLines(m_recordPath);
        if (lines.size() >= count || GetTickCount64() >= deadline)
            return lines;
        Sleep(50);
    }
}

CCheckLogFolder::CCheckLogFolder() {
    wchar_t programFiles[MAX_PATH] = {0};
    SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE);
    m_engineFolder = std::wstring(programFiles) + L"\\Veilpath Engine";
    m_saved = m_engineFolder + L".e2e_saved_" + std::to_wstring(GetCurrentProcessId());
    if (FolderExists(m_engineFolder)) {
        m_moved = MoveFileW(m_engineFolder.c_str(), m_saved.c_str()) != FALSE;
        if (!m_moved)
            return;
    }
    m_active = CreateDirectoryW(m_engineFolder.c_str(), nullptr) &&
               CreateDirectoryW((m_engineFolder + L"\\log").c_str(), nullptr);
}

CCheckLogFolder::~CCheckLogFolder() {
    DeleteFileW(LogFile().c_str());
    RemoveDirectoryW((m_engineFolder + L"\\log").c_str());
    RemoveDirectoryW(m_engineFolder.c_str());
    if (m_moved)
        MoveFileW(m_saved.c_str(), m_engineFolder.c_str());
}

} // namespace E2e
} // namespace Corvinex
