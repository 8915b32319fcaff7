#include "tools/vpedrive/run_command.h"

#include "res/resource.h"
#include "tools/driver/cxx_exception.h"
#include "tools/driver/debugged_start.h"
#include "tools/driver/gui_session.h"
#include "tools/driver/harness_commands.h"
#include "tools/driver/registry_backup.h"
#include "tools/driver/scratch_folder.h"
#include "tools/driver/text_file.h"
#include "tools/vpedrive/check_log_lines.h"
#include "tools/vpedrive/engine_dependencies.h"
#include "tools/vpedrive/harness_activity.h"
#include "tools/vpedrive/harness_choice.h"
#include "tools/vpedrive/run_interrupt.h"
#include "tools/vpedrive/run_transcript.h"
#include "tools/vpedrive/vpedrive_options.h"

namespace Corvinex {
namespace Vpedrive {

namespace {

// How long a run waits for the title after a command: a little more than one status tick.
const DWORD kTickWaitMs = 1200;
const UINT kKilledExitCode = 255;
const DWORD kExceptionCodeFloor = 0xC0000000u;

bool FolderExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Seconds(DWORD ms) {
    return std::to_wstring(ms / 1000) + L" s";
}

// What a run needs to report how the harness ended.
struct RunContext {
    Driver::CChildProcess& harness;
    CTranscript& transcript;
    COutput& err;
    const CInterruptScope& interrupt;
    Driver::CDebugOutputReader& trace;
    std::wstring outputFile; // where the harness's standard output and error go
    bool boxesOn;            // the developer settings show the harness's boxes
    bool outputPassedOn = false;
    std::string output; // what the harness wrote there, once it was passed on
};

// Reads what the harness wrote to its standard output and error (at most 64 KB) and passes it
// on to vpedrive's standard error, once per run.
const std::string& HarnessOutput(RunContext& run) {
    if (run.outputPassedOn)
        return run.output;
    run.outputPassedOn = true;
    // Shared for writing: a program the harness started may still hold the file.
    run.output = Driver::ReadFileBytes(run.outputFile, 65536);
    for (const std::string& line : Driver::SplitLines(run.output))
        run.err.Line(Driver::FromCodePage(line, CP_ACP));
    return run.output;
}

// True when a C++ exception nobody caught ended the harness: exit code 3 (abort()) with a GCC-ABI
// runtime's terminate line or an MSVC-ABI throw seen, or the MSVC-ABI exception's own code (also
// when no throw was seen: a harness the debugger could not start). *type is the thrown type where
// the runtime named it.
bool EndedByCxxException(RunContext& run, DWORD code, std::wstring* type) {
    std::string gccType;
    const bool terminateLine = Driver::FindTerminateLine(HarnessOutput(run), &gccType);
    std::wstring msvcType;
    const bool msvcThrow = run.trace.CxxExceptionSeen(&msvcType);
    const bool aborted = code == Driver::kAbortExitCode && (terminateLine || msvcThrow);
    if (!aborted && code != Driver::kMsvcCxxExceptionCode)
        return false;
    *type =
        terminateLine && !gccType.empty() ? std::wstring(gccType.begin(), gccType.end()) : msvcType;
    return true;
}

// The once-a-second status update that the harness is stuck in, from its trace lines: "status
// update: <query>" (the query left out when unknown); empty when it is not stuck there.
std::wstring StatusUpdateStuckIn(const CHarnessActivity& activity) {
    if (!activity.InStatusUpdate())
        return std::wstring();
    const std::wstring query = activity.StatusQuery();
    return query.empty() ? L"status update" : L"status update: " + query;
}

// Ends a harness that did not answer in time and reports it hung; `problem` says what it did
// not do ("did not end after Exit"), `command` names the command in progress, if any.
// When the harness's trace shows it stuck in its status update, that is what is reported: a
// status query that never returns blocks every command that happens to be running.
int ReportHung(RunContext& run, const std::wstring& problem, const std::wstring& command) {
    CHarnessActivity activity;
    activity.Feed(run.trace.TakeLines());
    run.harness.Kill(kKilledExitCode);
    HarnessOutput(run);
    RunEnd end;
    end.how = L"hung";
    end.command = command;
    end.stuckIn = StatusUpdateStuckIn(activity);
    if (end.stuckIn.empty()) {
        run.err.Line(L"vpedrive: " + problem + L"; vpetest.exe was killed");
    } else {
        const std::wstring query = activity.StatusQuery();
        std::wstring text = L"vpedrive: vpetest.exe is stuck in its once-a-second status update";
        if (!query.empty())
            text += L", in the engine's " + query + L", which has not returned";
        if (!command.empty())
            text += activity.OpenCommand() >= 0 ? L" (\"" + command + L"\" was running)"
                                                : L" (\"" + command + L"\" was not running)";
        run.err.Line(text + L"; vpetest.exe was killed");
    }
    run.transcript.Ended(end);
    return kStatusHung;
}

// What a run had not yet seen when the harness ended at its start: `what` ("the main window"),
// and whether it had seen a box by then (the harness reports a failed binding in one).
struct StartUnseen {
    std::wstring what;
    bool sawBox = false;
};

// Turns how the harness ended into vpedrive's status, telling the user when it was not normal.
// `command` names the command that was still running when it ended (empty: the harness ended
// on its own terms, at start-up, after Exit or after the fake check). `unseen` is given when it
// ended before the run saw its start: exit code 0, or no box where boxes are on, is then a
// failed start (kStatusEndedAtStart), never the harness's verdict (a code that is one of
// vpedrive's own statuses stays kStatusOwnStatusCode).
int FinalStatus(RunContext& run, const std::wstring& during, const std::wstring& command,
                const StartUnseen* unseen = nullptr) {
    RunEnd end;
    end.command = command;
    if (run.interrupt.Interrupted()) {
        HarnessOutput(run);
        end.how = L"interrupted";
        run.transcript.Ended(end);
        run.err.Line(L"vpedrive: interrupted; vpetest.exe was ended and the developer settings "
                     L"were put back");
        return kStatusInterrupted;
    }
    DWORD code = 0;
    if (!run.harness.GetExitCode(&code))
        return ReportHung(run, L"vpetest.exe did not end", command);
    end.exitCodeKnown = true;
    end.exitCode = code;
    if (EndedByCxxException(run, code, &end.exception)) {
        end.how = L"aborted";
        run.transcript.Ended(end);
        const std::wstring thrown = end.exception.empty()
                                        ? L"a C++ exception"
                                        : L"a C++ exception (" + end.exception + L")";
        run.err.Line(L"vpedrive: vpetest.exe aborted" + during + L": " + thrown +
                     L" was not caught (exit code " +
                     (code == Driver::kAbortExitCode ? std::to_wstring(code) : HexCode(code)) +
                     L")");
        return kStatusAborted;
    }
    if (code >= kExceptionCodeFloor) {
        end.how = L"crashed";
        run.transcript.Ended(end);
        run.err.Line(L"vpedrive: vpetest.exe crashed" + during + L" (exception " + HexCode(code) +
                     L")");
        return kStatusCrashed;
    }
    if (unseen != nullptr &&
        (code == 0 || (run.boxesOn && !unseen->sawBox && !IsOwnStatus(code)))) {
        end.how = L"ended at start";
        end.notSeen = unseen->what;
        run.transcript.Ended(end);
        run.err.Line(L"vpedrive: vpetest.exe ended" + during + L" before " + unseen->what +
                     L" appeared (exit code " + std::to_wstring(code) +
                     L"): its start failed; what it printed, if anything, is above");
        return kStatusEndedAtStart;
    }
    if (!command.empty()) {
        // Whatever code it chose (0 included), a harness that ends inside a command was ended by
        // the engine or its runtime, not closed: the code must not pass for the run's verdict.
        end.how = L"ended during";
        run.transcript.Ended(end);
        run.err.Line(L"vpedrive: vpetest.exe ended while \"" + command + L"\" was running (exit " +
                     L"code " + std::to_wstring(code) + L"); the engine ended the process");
        return kStatusEndedDuringCommand;
    }
    end.how = L"exited";
    run.transcript.Ended(end);
    if (IsOwnStatus(code)) {
        // Only vpedrive's own verdicts end vpedrive with these codes (3 says it killed a hung
        // harness); an engine's ExitProcess(3) at start-up must not read as one.
        run.err.Line(L"vpedrive: vpetest.exe ended by itself with exit code " +
                     std::to_wstring(code) + L", a code vpedrive keeps for its own statuses (" +
                     std::to_wstring(kStatusOwnStatusCode) + L" instead)");
        return kStatusOwnStatusCode;
    }
    return static_cast<int>(code);
}

int RunFakeCheck(RunContext& run, Driver::CGuiSession& session, DWORD timeoutMs,
                 const std::wstring& logPath, LONGLONG logSize) {
    Driver::CommandResult result = session.WaitForExit(timeoutMs);
    run.transcript.Step(L"fakecheck", L"fakecheck", -1, result, L"", false);
    if (result.outcome == Driver::WaitOutcome::TimedOut)
        return ReportHung(run, L"the fake check did not end within " + Seconds(timeoutMs), L"");
    const std::vector<std::wstring> lines = ReadAppendedLines(logPath, logSize);
    run.transcript.LogLines(logPath, lines, FolderExists(Driver::FolderOf(logPath)));
    // Its "Fakecheck" box comes first, before any line; without it the fake check never began.
    if (run.boxesOn && result.boxes.empty() && lines.empty()) {
        StartUnseen unseen;
        unseen.what = L"its \"Fakecheck\" box or a check log line";
        return FinalStatus(run, L" during the fake check", L"", &unseen);
    }
    return FinalStatus(run, L" during the fake check", L"");
}

int RunCommands(RunContext& run, Driver::CGuiSession& session, const RunRequest& request) {
    Driver::CommandResult startup =
        session.WaitForMainWindow(Driver::kHarnessWindowClass, L"", request.timeoutMs);
    run.transcript.Step(L"startup", L"startup", -1, startup, session.Title(), true);
    if (startup.outcome == Driver::WaitOutcome::TimedOut)
        return ReportHung(run, L"vpetest.exe showed no window within " + Seconds(request.timeoutMs),
                          L"");
    if (startup.outcome != Driver::WaitOutcome::Finished) {
        StartUnseen unseen;
        unseen.what = L"its main window";
        unseen.sawBox = !startup.boxes.empty();
        return FinalStatus(run, L" while starting", L"", &unseen);
    }

    std::vector<WORD> commands = request.commands;
    if (commands.empty() || commands.back() != IDM_EXIT)
        commands.push_back(IDM_EXIT);
    for (size_t i = 0; i < commands.size(); ++i) {
        const WORD id = commands[i];
        const std::wstring name = Driver::HarnessCommandName(id);
        Driver::CommandResult result = session.SendCommand(id, request.timeoutMs);
        const bool finished = result.outcome == Driver::WaitOutcome::Finished;
        std::wstring title;
        if (finished)
            title = session.WaitForTitleChange(session.Title(), kTickWaitMs);
        run.transcript.Step(L"command", name, id, result, title, finished);
        if (result.outcome == Driver::WaitOutcome::TimedOut)
            return ReportHung(
                run, L"\"" + name + L"\" did not finish within " + Seconds(request.timeoutMs),
                name);
        if (!finished) {
            if (i + 1 < request.commands.size())
                run.err.Line(L"vpedrive: vpetest.exe ended during \"" + name +
                             L"\"; the remaining commands were not sent");
            // Exit is the one command whose end is the harness's own.
            return FinalStatus(run, L" during \"" + name + L"\"", id == IDM_EXIT ? L"" : name);
        }
    }
    // Exit finished without the process ending: give it the timeout to go.
    Driver::CommandResult last = session.WaitForExit(request.timeoutMs);
    if (last.outcome != Driver::WaitOutcome::ProcessEnded)
        return ReportHung(run, L"vpetest.exe did not end after Exit", L"");
    return FinalStatus(run, L"", L"");
}

} // namespace

int RunHarness(const RunRequest& request, COutput& out, COutput& err) {
    // An x64 harness cannot start on a system that runs x86 programs only: said as such, not as
    // a bare Windows error.
    WORD machine = 0;
    std::wstring cannotRun;
    if (!ProgramRunsHere(request.harness, &machine, &cannotRun)) {
        err.Line(L"vpedrive: cannot start the harness: " + cannotRun);
        return kStatusCannotStart;
    }
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
        for (const std::wstring& dependency : LocalDependencies(request.engine)) {
            if (!scratch.CopyIn(dependency, Driver::FileNameOf(dependency))) {
                err.Line(L"vpedrive: cannot copy \"" + dependency +
                         L"\", a library the engine "
                         L"imports from its folder, to " +
                         scratch.Path());
                return kStatusCannotStart;
            }
        }
    }

    Driver::CDeveloperSettingsGuard settings;
    CInterruptScope interrupt(&settings);
    const bool boxesOn = settings.EnableMessageBox(true);
    if (!boxesOn)
        err.Line(std::wstring(L"vpedrive: the developer settings could not be written; the "
                              L"harness will show no boxes"));

    CTranscript transcript(out, request.json);
    const std::wstring arguments = request.fakeCheck ? L"fakecheck" : L"";
    // The harness writes the check log below the Program Files folder of its own machine type.
    const std::wstring logPath = CheckLogPath(machine != 0 ? machine : IMAGE_FILE_MACHINE_I386);
    const LONGLONG logSize = FileSizeOf(logPath);

    // A crash of the harness must end it, not wait in a crash dialog; the error mode is
    // inherited by the harness.
    UINT previousMode =
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    Driver::CChildProcess harness;
    // Read after the run: a GCC-ABI runtime names an exception that ends the harness there.
    const std::wstring outputFile = scratch.Path() + L"vpetest-output.txt";
    harness.RedirectOutputTo(outputFile);
    // Started as its debugger, vpedrive reads the lines the harness sends about its engine calls.
    Driver::CDebugOutputReader trace;
    bool started = trace.Start(harness, harnessCopy, arguments, scratch.Path());
    if (!started && !harness.IsRunning())
        started = harness.Start(harnessCopy, arguments, scratch.Path());
    SetErrorMode(previousMode);
    if (!started) {
        err.Line(L"vpedrive: cannot start \"" + harnessCopy + L"\" (Windows error " +
                 std::to_wstring(harness.LastError()) + L")");
        return kStatusCannotStart;
    }
    if (!interrupt.SetHarness(harness.Handle()))
        err.Line(std::wstring(L"vpedrive: Ctrl+C cannot end the harness (no handle of its own); "
                              L"the developer settings are still put back"));
    transcript.Started(request.harness, request.engine, arguments);
    Driver::CGuiSession session(harness);
    RunContext run = {harness,    transcript, err,   interrupt,    trace,
                      outputFile, boxesOn,    false, std::string()};
    if (request.fakeCheck)
        return RunFakeCheck(run, session, request.timeoutMs, logPath, logSize);
    return RunCommands(run, session, request);
}

} // namespace Vpedrive
} // namespace Corvinex
