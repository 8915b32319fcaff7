// Settings of the test prefix that the end-to-end runs change for their duration and put back:
// the X11 driver's window management for vpetest.exe, the http handler and the check log
// folder below Program Files.
#pragma once

#include "tools/driver/registry_backup.h"

#include <windows.h>

#include <string>
#include <vector>

namespace Corvinex {
namespace E2e {

// Makes Wine's X11 driver leave vpetest.exe's windows unmanaged (AppDefaults, so no other
// program is affected). Without a window manager every hidden box otherwise costs about 2 s.
class CUnmanagedHarnessWindows {
public:
    CUnmanagedHarnessWindows();
    bool Active() const { return m_active; }

private:
    Driver::CRegistryBackup m_backup;
    bool m_active;
};

// Registers the url_recorder test program as the handler of http addresses; every address the
// shell hands it is appended to RecordPath(). The previous handler comes back on destruction.
class CUrlRecorderHandler {
public:
    explicit CUrlRecorderHandler(const std::wstring& recordPath);
    bool Active() const { return m_active; }
    const std::wstring& RecordPath() const { return m_recordPath; }
    // The addresses recorded so far, waiting up to timeoutMs until there are `count` of them.
    std::vector<std::wstring> Recorded(size_t count, DWORD timeoutMs) const;

private:
    Driver::CRegistryBackup m_backup;
    std::wstring m_recordPath;
    bool m_active;
};

// Gives the check log of fake-check mode an empty folder "Veilpath Engine\log" below Program
// Files; a folder that was there is moved aside and brought back on destruction.
class CCheckLogFolder {
public:
    CCheckLogFolder();
    ~CCheckLogFolder();
    CCheckLogFolder(const CCheckLogFolder&) = delete;
    CCheckLogFolder& operator=(const CCheckLogFolder&) = delete;

    bool Active() const { return m_active; }
    std::wstring LogFile() const { return m_engineFolder + L"\\log\\check.log"; }

private:
    std::wstring m_engineFolder;
    std::wstring m_saved;
    bool m_moved = false;
    bool m_active = false;
};

} // namespace E2e
} // namespace Corvinex
