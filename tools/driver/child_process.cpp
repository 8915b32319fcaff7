#include "tools/driver/child_process.h"

#include "base/file_handle.h"

#include <cwchar>
#include <vector>

namespace Corvinex {
namespace Driver {

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t ch : argument) {
        if (ch == L'\\') {
            ++backslashes;
            continue;
        }
        if (ch == L'"') {
            // Backslashes before a quote are doubled, and the quote itself is escaped.
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted += ch;
    }
    // Backslashes before the closing quote are doubled so it stays a closing quote.
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

namespace {

// The variable name of an environment entry "NAME=value"; entries of the hidden per-drive
// current folders ("=C:=C:\\...") have a name beginning with "=".
std::wstring EntryName(const std::wstring& entry) {
    size_t equals = entry.find(L'=', 1);
    return entry.substr(0, equals == std::wstring::npos ? entry.size() : equals);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

void CChildProcess::SetEnvironment(const std::wstring& name, const std::wstring& value) {
    for (auto& entry : m_environment) {
        if (SameName(entry.first, name)) {
            entry.second = value;
            return;
        }
    }
    m_environment.emplace_back(name, value);
}

std::vector<wchar_t> CChildProcess::BuildEnvironmentBlock() const {
    std::vector<wchar_t> block;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* entry = own; entry != nullptr && *entry != L'\0';
         entry += wcslen(entry) + 1) {
        std::wstring text(entry);
        bool replaced = false;
        for (const auto& item : m_environment)
            replaced = replaced || SameName(EntryName(text), item.first);
        if (!replaced)
            block.insert(block.end(), text.c_str(), text.c_str() + text.size() + 1);
    }
    if (own != nullptr)
        FreeEnvironmentStringsW(own);
    for (const auto& item : m_environment) {
        std::wstring text = item.first + L"=" + item.second;
        block.insert(block.end(), text.c_str(), text.c_str() + text.size() + 1);
    }
    block.push_back(L'\0');
    return block;
}

CChildProcess::~CChildProcess() {
    if (!m_process.IsOpen())
        return;
    Kill(255);
}

bool CChildProcess::Start(const std::wstring& program, const std::wstring& arguments,
                          const std::wstring& folder) {
    if (m_process.IsOpen()) {
        m_lastError = ERROR_ALREADY_EXISTS;
        return false;
    }
    std::wstring line = QuoteArgument(program);
    if (!arguments.empty())
        line += L" " + arguments;
    // CreateProcessW may write into the command line, so it gets a private copy.
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    // Closed when Start returns: the started program holds its own inherited copy.
    CFileHandle outputFile;
    if (!m_outputFile.empty()) {
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        outputFile.Attach(CreateFileW(m_outputFile.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!outputFile.IsOpen()) {
            m_lastError = GetLastError();
            return false;
        }
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = outputFile.Get();
        startup.hStdError = outputFile.Get();
    }
    PROCESS_INFORMATION info = {};
    std::vector<wchar_t> environment;
    if (!m_environment.empty())
        environment = BuildEnvironmentBlock();
    BOOL started = CreateProcessW(program.c_str(), buffer.data(), nullptr, nullptr,
                                  outputFile.IsOpen(), m_creationFlags | CREATE_UNICODE_ENVIRONMENT,
                                  environment.empty() ? nullptr : environment.data(),
                                  folder.empty() ? nullptr : folder.c_str(), &startup, &info);
    DWORD error = GetLastError();
    if (!started) {
        m_lastError = error;
        return false;
    }
    CFileHandle(info.hThread).Close();
    m_process.Attach(info.hProcess);
    m_id = info.dwProcessId;
    m_lastError = 0;
    return true;
}

bool CChildProcess::IsRunning() const {
    return m_process.IsOpen() && WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT;
}

bool CChildProcess::WaitForExit(DWORD timeoutMs) const {
    return m_process.IsOpen() && WaitForSingleObject(m_process.Get(), timeoutMs) == WAIT_OBJECT_0;
}

bool CChildProcess::GetExitCode(DWORD* code) const {
    if (!WaitForExit(0))
        return false;
    return GetExitCodeProcess(m_process.Get(), code) != FALSE;
}

bool CChildProcess::Kill(UINT exitCode) {
    if (!m_process.IsOpen())
        return false;
    if (WaitForExit(0))
        return true;
    TerminateProcess(m_process.Get(), exitCode);
    // Termination is asynchronous; the handle is signalled once the process is really gone.
    return WaitForExit(10000);
}

bool CChildProcess::WaitForInputIdle(DWORD timeoutMs) const {
    return m_process.IsOpen() && ::WaitForInputIdle(m_process.Get(), timeoutMs) == 0;
}

} // namespace Driver
} // namespace Corvinex
