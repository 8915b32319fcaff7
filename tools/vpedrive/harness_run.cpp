#include "tools/vpedrive/harness_run.h"

#include "tools/driver/gui_session.h"
#include "tools/driver/harness_commands.h"
#include "tools/driver/registry_backup.h"
#include "tools/driver/scratch_folder.h"
#include "tools/vpedrive/json_text.h"
#include "tools/vpedrive/pe_image.h"
#include "tools/vpedrive/vpedrive_options.h"

#include <shlobj.h>

#include <set>

namespace Corvinex {
namespace Drive {

namespace {

const DWORD kTickWaitMs = 1200;
const DWORD kExitCodeCrashFloor = 0xC0000000u;

// What the console control handler must undo when the run is interrupted.
Driver::CDeveloperSettingsGuard* volatile g_settings = nullptr;
HANDLE volatile g_harness = nullptr;
volatile LONG g_interrupted = 0;

// Runs on a thread of its own while the main thread waits for the harness. It puts the settings
// back and ends the harness at once (closing the console leaves only a few seconds); the main
// thread then sees the harness gone, reports the interruption and cleans up the rest.
BOOL WINAPI OnConsoleControl(DWORD) {
    InterlockedExchange(&g_interrupted, 1);
    if (g_settings != nullptr)
        g_settings->Restore();
    if (g_harness != nullptr) {
        TerminateProcess(g_harness, 255);
        WaitForSingleObject(g_harness, 5000);
    }
    return TRUE;
}

// Registers the handler for the life of the run.
class CInterruptScope {
public:
    explicit CInterruptScope(Driver::CDeveloperSettingsGuard* settings) {
        g_settings = settings;
        SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    }
    ~CInterruptScope() {
        SetConsoleCtrlHandler(OnConsoleControl, FALSE);
        g_harness = nullptr;
        g_settings = nullptr;
    }
    CInterruptScope(const CInterruptScope&) = delete;
    CInterruptScope& operator=(const CInterruptScope&) = delete;
    void SetHarness(HANDLE process) { g_harness = process; }
};

std::wstring Hex(DWORD value) {
    wchar_t text[16];
    wsprintfW(text, L"0x%08lX", value);
    return text;
}

std::string BoxesJson(const std::vector<Driver::SeenBox>& boxes) {
    std::string json = "[";
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (i > 0)
            json += ",";
        json += CJsonObject().Add("caption", boxes[i].caption).Add("text", boxes[i].text).Text();
    }
    return json + "]";
}

// Prints the run as readable text or as JSON lines.
class CTranscript {
public:
    CTranscript(COutput& out, bool json) : m_out(out), m_json(json) {}

    void Started(const std::wstring& harness, const std::wstring& engine,
                 const std::wstring& arguments) {
        if (m_json) {
            m_out.Line(CJsonObject()
                           .Add("event", std::wstring(L"start"))
                           .Add("harness", harness)
                           .Add("engine", engine)
                           .Add("arguments", arguments)
                           .Text());
            return;
        }
        m_out.Line(L"harness: " + harness);
        m_out.Line(L"engine:  " + (engine.empty() ? std::wstring(L"(none)") : engine));
        if (!arguments.empty())
            m_out.Line(L"command line: " + arguments);
    }

    void Step(const wchar_t* event, const std::wstring& name, int id,
              const Driver::CommandResult& result, const std::wstring& title, bool withTitle) {
        if (m_json) {
            CJsonObject line;
            line.Add("event", std::wstring(event));
            if (id >= 0)
                line.Add("command", name).Add("id", static_cast<long long>(id));
            line.Add("outcome", std::wstring(Driver::WaitOutcomeName(result.outcome)))
                .AddRaw("boxes", BoxesJson(result.boxes));
            if (withTitle)
                line.Add("title", title);
            m_out.Line(line.Text());
            return;
        }
        if (id >= 0)
            m_out.Line(L"> " + name + L" (" + std::to_wstring(id) + L")");
        else
            m_out.Line(L"> " + name);
        for (const Driver::SeenBox& box : result.boxes)
            m_out.Line(L"  box \"" + box.caption + L"\": " + Indent(box.text));
        if (result.outcome != Driver::WaitOutcome::Finished)
            m_out.Line(L"  (" + std::wstring(Driver::WaitOutcomeName(result.outcome)) + L")");
        if (withTitle)
            m_out.Line(L"  title: " + title);
    }

    void LogLines(const std::wstring& path, const std::vector<std::wstring>& lines,
                  bool folderExists) {
        if (m_json) {
            std::string array = "[";
            for (size_t i = 0; i < lines.size(); ++i)
                array += (i > 0 ? "," : "") + JsonString(lines[i]);
            m_out.Line(CJsonObject()
                           .Add("event", std::wstring(L"checklog"))
                           .Add("path", path)
                           .Add("folder_exists", folderExists)
                           .AddRaw("lines", array + "]")
                           .Text());
            return;
        }
        m_out.Line(L"check log: " + path);
        if (!folderExists)
            m_out.Line(L"  (its folder does not exist, so the harness could write nothing)");
        else if (lines.empty())
            m_out.Line(L"  (no lines were added)");
        for (const std::wstring& line : lines)
            m_out.Line(L"  " + line);
    }

    void Ended(const std::wstring& how, DWORD exitCode, bool known) {
        if (m_json) {
            CJsonObject line;
            line.Add("event", std::wstring(L"end")).Add("how", how);
            if (known)
                line.Add("exit_code", static_cast<long long>(exitCode));
            m_out.Line(line.Text());
            return;
        }
        m_out.Line(known
                       ? L"end: " + how + L", exit code " + std::to_wstring(exitCode) +
                             (exitCode >= kExitCodeCrashFloor ? L" (" + Hex(exitCode) + L")" : L"")
                       : L"end: " + how);
    }

private:
    static std::wstring Indent(const std::wstring& text) {
        std::wstring indented;
        for (wchar_t ch : text) {
            indented += ch;
            if (ch == L'\n')
                indented += L"    ";
        }
        return indented;
    }

    COutput& m_out;
    bool m_json;
};

bool FolderExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Turns how the harness ended into vpedrive's status, telling the user when it was not normal.
int FinalStatus(const Driver::CChildProcess& harness, CTranscript& transcript, COutput& err,
                const std::wstring& during) {
    DWORD code = 0;
    if (g_interrupted != 0) {
        transcript.Ended(L"interrupted", 0, false);
        err.Line(L"vpedrive: interrupted; vpetest.exe was ended and the developer settings "
                 L"were put back");
        return kStatusInterrupted;
    }
    if (!harness.GetExitCode(&code)) {
        transcript.Ended(L"hung", 0, false);
        return kStatusHung;
    }
    if (code >= kExitCodeCrashFloor) {
        transcript.Ended(L"crashed", code, true);
        err.Line(L"vpedrive: vpetest.exe crashed" + during + L" (exception " + Hex(code) + L")");
        return kStatusCrashed;
    }
    transcript.Ended(L"exited", code, true);
    return static_cast<int>(code);
}

} // namespace

std::wstring CheckLogPath() {
    wchar_t folder[MAX_PATH] = {0};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder)))
        return L"Veilpath Engine\\log\\check.log";
    return std::wstring(folder) + L"\\Veilpath Engine\\log\\check.log";
}

LONGLONG FileSizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::wstring> ReadAppendedLines(const std::wstring& path, LONGLONG previousSize) {
    std::vector<std::wstring> lines;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lines;
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    LARGE_INTEGER start = {};
    start.QuadPart = size.QuadPart >= previousSize ? previousSize : 0;
    std::string bytes;
    if (size.QuadPart - start.QuadPart < 64 * 1024 * 1024 &&
        SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        bytes.resize(static_cast<size_t>(size.QuadPart - start.QuadPart));
        DWORD read = 0;
        if (!bytes.empty() &&
            !ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
            read = 0;
        bytes.resize(read);
    }
    CloseHandle(file);
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        int n =
            MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
        if (n > 0)
            MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), &wide[0], n);
        lines.push_back(wide);
        at = end + 1;
    }
    return lines;
}

std::vector<std::wstring> LocalDependencies(const std::wstring& engine) {
    std::vector<std::wstring> found;
    std::set<std::wstring> seen;
    std::vector<std::wstring> pending = {engine};
    const std::wstring folder = Driver::FolderOf(engine);
    while (!pending.empty()) {
        std::wstring library = pending.back();
        pending.pop_back();
        PeImage image;
        if (ReadPeImage(library, &image) != PeReadResult::Ok)
            continue;
        for (const std::string& import : image.imports) {
            std::wstring name(import.begin(), import.end());
            std::wstring key = name;
            CharLowerW(&key[0]);
            std::wstring path = folder + name;
            if (seen.count(key) != 0 || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
                continue;
            seen.insert(key);
            found.push_back(path);
            pending.push_back(path);
        }
    }
    return found;
}

int RunHarness(const RunRequest& request, COutput& out, COutput& err) {
    Driver::CScratchFolder scratch;
    if (!scratch.Create(L"vpedrive-")) {
        err.Line(std::wstring(L"vpedrive: no scratch folder could be made in the temporary "
                              L"folder"));
        return kStatusCannotStart;
    }
    std::wstring harnessCopy, failed;
    if (!Driver::PrepareHarnessFolder(scratch, request.harness, request.engine, &harnessCopy,
                                      &failed)) {
        err.Line(L"vpedrive: cannot copy \"" + failed + L"\" to " + scratch.Path());
        return kStatusCannotStart;
    }
    if (!request.engine.empty()) {
        for (const std::wstring& dependency : LocalDependencies(request.engine))
            scratch.CopyIn(dependency, Driver::FileNameOf(dependency));
    }

    Driver::CDeveloperSettingsGuard settings;
    CInterruptScope interrupt(&settings);
    if (!settings.EnableMessageBox(true))
        err.Line(std::wstring(L"vpedrive: the developer settings could not be written; the "
                              L"harness will show no boxes"));

    CTranscript transcript(out, request.json);
    const std::wstring arguments = request.fakeCheck ? L"fakecheck" : L"";
    const std::wstring logPath = CheckLogPath();
    const LONGLONG logSize = FileSizeOf(logPath);

    // A crash of the harness must end it, not wait in a crash dialog; the error mode is
    // inherited by the harness.
    UINT previousMode =
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    Driver::CChildProcess harness;
    bool started = harness.Start(harnessCopy, arguments, scratch.Path());
    SetErrorMode(previousMode);
    if (!started) {
        err.Line(L"vpedrive: cannot start \"" + harnessCopy + L"\" (Windows error " +
                 std::to_wstring(harness.LastError()) + L")");
        return kStatusCannotStart;
    }
    interrupt.SetHarness(harness.Handle());
    transcript.Started(request.harness, request.engine, arguments);
    Driver::CGuiSession session(harness);

    if (request.fakeCheck) {
        Driver::CommandResult result = session.WaitForExit(request.timeoutMs);
        transcript.Step(L"fakecheck", L"fakecheck", -1, result, L"", false);
        if (result.outcome == Driver::WaitOutcome::TimedOut) {
            harness.Kill(255);
            err.Line(L"vpedrive: the fake check did not end within " +
                     std::to_wstring(request.timeoutMs / 1000) + L" s; vpetest.exe was killed");
            transcript.Ended(L"hung", 0, false);
            return kStatusHung;
        }
        const std::wstring logFolder = Driver::FolderOf(logPath);
        transcript.LogLines(logPath, ReadAppendedLines(logPath, logSize), FolderExists(logFolder));
        return FinalStatus(harness, transcript, err, L" during the fake check");
    }

    Driver::CommandResult startup =
        session.WaitForMainWindow(Driver::kHarnessWindowClass, L"", request.timeoutMs);
    transcript.Step(L"startup", L"startup", -1, startup, session.Title(), true);
    if (startup.outcome == Driver::WaitOutcome::TimedOut) {
        harness.Kill(255);
        err.Line(L"vpedrive: vpetest.exe showed no window within " +
                 std::to_wstring(request.timeoutMs / 1000) + L" s; it was killed");
        transcript.Ended(L"hung", 0, false);
        return kStatusHung;
    }
    if (startup.outcome != Driver::WaitOutcome::Finished)
        return FinalStatus(harness, transcript, err, L" while starting");

    std::vector<WORD> commands = request.commands;
    const bool exitSent = !commands.empty() && commands.back() == 105;
    if (!exitSent)
        commands.push_back(105);
    for (size_t i = 0; i < commands.size(); ++i) {
        const WORD id = commands[i];
        const std::wstring name = Driver::HarnessCommandName(id);
        Driver::CommandResult result = session.SendCommand(id, request.timeoutMs);
        std::wstring title;
        if (result.outcome == Driver::WaitOutcome::Finished)
            title = session.WaitForTitleChange(session.Title(), kTickWaitMs);
        transcript.Step(L"command", name, id, result, title,
                        result.outcome == Driver::WaitOutcome::Finished);
        if (result.outcome == Driver::WaitOutcome::TimedOut) {
            harness.Kill(255);
            err.Line(L"vpedrive: \"" + name + L"\" did not finish within " +
                     std::to_wstring(request.timeoutMs / 1000) + L" s; vpetest.exe was killed");
            transcript.Ended(L"hung", 0, false);
            return kStatusHung;
        }
        if (result.outcome != Driver::WaitOutcome::Finished) {
            if (i + 1 < request.commands.size()) {
                err.Line(L"vpedrive: vpetest.exe ended during \"" + name +
                         L"\"; the remaining commands were not sent");
            }
            return FinalStatus(harness, transcript, err, L" during \"" + name + L"\"");
        }
    }
    // Exit finished without the process ending: give it the timeout to go.
    Driver::CommandResult last = session.WaitForExit(request.timeoutMs);
    if (last.outcome != Driver::WaitOutcome::ProcessEnded) {
        harness.Kill(255);
        err.Line(std::wstring(L"vpedrive: vpetest.exe did not end after Exit; it was killed"));
        transcript.Ended(L"hung", 0, false);
        return kStatusHung;
    }
    return FinalStatus(harness, transcript, err, L"");
}

} // namespace Drive
} // namespace Corvinex
