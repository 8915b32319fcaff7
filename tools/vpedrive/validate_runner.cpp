#include "tools/vpedrive/validate_runner.h"

#include "tools/driver/child_process.h"
#include "tools/driver/cxx_exception.h"
#include "tools/driver/scratch_folder.h"
#include "tools/driver/text_file.h"
#include "check/helper_arguments.h"
#include "check/report_line.h"
#include "tools/vpedrive/check_helper.h"
#include "tools/vpedrive/doctor.h"
#include "tools/vpedrive/file_version.h"
#include "tools/vpedrive/harness_choice.h"
#include "tools/vpedrive/json_text.h"
#include "tools/vpedrive/validate_report.h"

#include <cstdio>
#include <memory>
#include <regex>

namespace Corvinex {
namespace Vpedrive {

namespace {

// A small generator with the same sequence everywhere (xorshift32).
class CSequence {
public:
    explicit CSequence(uint32_t seed) : m_state(seed != 0 ? seed : 0x9E3779B9u) {}
    uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }

private:
    uint32_t m_state;
};

// An exit code as people read it: exception codes in hex, the rest in decimal.
std::wstring HexOrDecimal(DWORD code) {
    if (code < 0xC0000000u)
        return std::to_wstring(code);
    wchar_t hex[16];
    swprintf(hex, 16, L"0x%08lX", static_cast<unsigned long>(code));
    return hex;
}

// Runs one check in a helper process of its own and returns what it reported.
CheckResult RunChild(const ValidateOptions& options, const PlannedCheck& planned,
                     uint32_t checkSeed, const std::wstring& helper,
                     Driver::CScratchFolder& scratch, int index, COutput& err) {
    CheckResult result;
    result.name = planned.info->name;
    result.level = planned.info->level;
    result.round = planned.round;
    const std::wstring reportFile = scratch.Path() + L"check-" + std::to_wstring(index) + L".txt";
    const std::wstring arguments = HelperCheckArguments(options, result.name, checkSeed);
    Driver::CChildProcess child;
    child.RedirectOutputTo(reportFile);
    // Without a console of its own: Wine otherwise drops the standard handles passed in.
    child.SetCreationFlags(DETACHED_PROCESS);
    // Engines that keep their installation where VPE_ENGINE_HOME says (the reference engine
    // does) stay inside the run's scratch folder, unless the user chose a place.
    if (GetEnvironmentVariableW(L"VPE_ENGINE_HOME", nullptr, 0) == 0)
        child.SetEnvironment(L"VPE_ENGINE_HOME", scratch.Path() + L"engine-home");
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!child.Start(helper, arguments, L"")) {
        result.status = CheckStatus::Failed;
        result.helperFailed = true;
        result.details.push_back(L"vpedrive could not start its check process (Windows error " +
                                 std::to_wstring(child.LastError()) + L")");
        return result;
    }
    const DWORD limitMs = options.timeoutSeconds * 1000;
    DWORD waited = 0;
    bool ended = false;
    while (!(ended = child.WaitForExit(1000)) && waited + 1000 < limitMs) {
        waited += 1000;
        if (waited % 5000 == 0)
            err.Line(L"  ... " + result.name + L" still running (" +
                     std::to_wstring(waited / 1000) + L" s)");
    }
    DWORD code = 0;
    if (!ended) {
        child.Kill(static_cast<UINT>(CheckStatus::TimedOut));
    } else {
        child.GetExitCode(&code);
    }
    QueryPerformanceCounter(&end);
    result.seconds = static_cast<double>(end.QuadPart - start.QuadPart) /
                     static_cast<double>(frequency.QuadPart);
    const std::string output = Driver::ReadFileBytes(reportFile, static_cast<size_t>(-1));
    ReadChildReport(output, ended, code, &result);
    if (!ended) {
        result.status = CheckStatus::TimedOut;
        result.details.insert(result.details.begin(),
                              L"the check did not end within " +
                                  std::to_wstring(options.timeoutSeconds) +
                                  L" s and was killed (--timeout S sets the limit)");
    }
    return result;
}

// The sentence for a run stopped by a helper that could not run a check.
std::wstring HelperFailure(const std::wstring& helper, const CheckResult& result) {
    return L"the check helper \"" + helper + L"\" cannot run checks: " + result.details[0] +
           L". This is the set-up (Wine, the helper), not the engine.";
}

} // namespace

std::vector<PlannedCheck> PlanRun(const ValidateOptions& options, uint32_t seed) {
    std::vector<const CheckInfo*> selected;
    const std::wregex only(options.only.empty() ? L"." : options.only);
    const std::wregex skip(options.skip.empty() ? L"$^" : options.skip);
    for (const CheckInfo& info : CheckCatalogue()) {
        const std::wstring name = info.name;
        if (info.level > options.strictness)
            continue;
        if (!options.only.empty() && !std::regex_search(name, only))
            continue;
        if (!options.skip.empty() && std::regex_search(name, skip))
            continue;
        selected.push_back(&info);
    }
    std::vector<PlannedCheck> plan;
    CSequence sequence(seed);
    for (int round = 1; round <= options.repeat; ++round) {
        std::vector<const CheckInfo*> order = selected;
        if (options.shuffle) {
            for (size_t i = order.size(); i > 1; --i)
                std::swap(order[i - 1], order[sequence.Next() % i]);
        }
        for (const CheckInfo* info : order)
            plan.push_back({info, round});
    }
    return plan;
}

void ReadChildReport(const std::string& output, bool ended, DWORD exitCode, CheckResult* result) {
    result->output = FromUtf8(output);
    bool haveStatus = false, began = false;
    std::wstring firstOther; // the first line that is none of the report's own
    std::vector<std::wstring> crash;
    for (const std::string& bytes : Driver::SplitLines(output)) {
        const std::wstring line = FromUtf8(bytes);
        if (line.compare(0, 7, L"status ") == 0)
            haveStatus = ParseStatusWord(line.substr(7).c_str(), &result->status);
        else if (line.compare(0, 7, L"detail ") == 0)
            result->details.push_back(line.substr(7));
        else if (line.compare(0, 6, L"crash ") == 0 || line.compare(0, 5, L"dump ") == 0)
            crash.push_back(line);
        else if (line == Check::kCheckBeganLine)
            began = true;
        else if (firstOther.empty())
            firstOther = line;
    }
    if (!began && !haveStatus && ended) {
        result->status = CheckStatus::Failed;
        result->helperFailed = true;
        std::wstring sentence = L"the check helper ended before the check began (exit code " +
                                HexOrDecimal(exitCode) + L")";
        if (!firstOther.empty())
            sentence += L"; it printed: " + firstOther;
        result->details.insert(result->details.begin(), sentence);
        return;
    }
    // The crash report leads: it names the exception, the address, the slot and the state.
    result->details.insert(result->details.begin(), crash.begin(), crash.end());
    if (haveStatus || !ended)
        return;
    wchar_t hex[16];
    swprintf(hex, 16, L"0x%08lX", static_cast<unsigned long>(exitCode));
    if (exitCode >= 0xC0000000u) {
        result->status = CheckStatus::Crashed;
        result->details.insert(result->details.begin(),
                               std::wstring(L"the check's process ended with exception ") + hex +
                                   L" before it could report");
    } else if (exitCode == Driver::kAbortExitCode) {
        // The helper reports an abort() inside a call itself; one from a thread the engine
        // started ends the process without a word.
        result->status = CheckStatus::Crashed;
        result->details.insert(result->details.begin(),
                               L"the check's process ended with code 3 before it could report, "
                               L"as abort() ends a process (an engine thread may have called it)");
    } else {
        result->status = CheckStatus::Failed;
        result->details.insert(result->details.begin(), L"the check's process ended with code " +
                                                            std::to_wstring(exitCode) +
                                                            L" without a report");
    }
}

// The helper's command line for one check (check/helper_arguments.h).
std::wstring HelperCheckArguments(const ValidateOptions& options, const std::wstring& check,
                                  uint32_t checkSeed) {
    std::wstring arguments =
        std::wstring(Check::kCheckVerb) + L" --check " + Driver::QuoteArgument(check) +
        L" --engine " + Driver::QuoteArgument(options.engine) + L" --strictness " +
        std::to_wstring(options.strictness) + L" --seed " + std::to_wstring(checkSeed) +
        L" --timeout " + std::to_wstring(options.timeoutSeconds);
    if (!options.dumpFolder.empty())
        arguments += L" --dump-folder " + Driver::QuoteArgument(options.dumpFolder);
    return arguments;
}

namespace {

typedef std::vector<std::unique_ptr<CReporter>> Reporters;

int BadInput(COutput& err, const std::wstring& message) {
    err.Line(L"vpedrive: " + message);
    return kValidateBadInput;
}

// Ends a run whose checks cannot run (the library cannot be bound, or the helper cannot run
// them) with `sentence` in every report; a CI job then shows a failed test instead of a missing
// report. Returns kValidateBadInput.
int Stop(const Reporters& reporters, const RunHeader& header, const std::wstring& sentence,
         int doctorStatus, bool begun, COutput& err) {
    for (const auto& reporter : reporters)
        reporter->Stop(header, sentence, doctorStatus, begun);
    err.Line(L"vpedrive: " + sentence);
    return kValidateBadInput;
}

// --list: the catalogue, as text or JSON.
int ListChecks(bool json, COutput& out) {
    if (json) {
        out.Line(JsonCatalogue(CheckCatalogue()));
        return kValidateSuccess;
    }
    for (const CheckInfo& info : CheckCatalogue())
        out.Line(std::wstring(info.name) + L" (level " + std::to_wstring(info.level) + L"): " +
                 info.meaning);
    return kValidateSuccess;
}

// --in-process: the one planned check in one helper process, whose report is passed on instead
// of vpedrive's own reports; a debugger attaches to vpecheck.exe, or starts it with these
// arguments.
int RunInProcess(const ValidateOptions& options, const PlannedCheck& planned,
                 const std::wstring& helper, COutput& out, COutput& err) {
    Driver::CScratchFolder home;
    if (!home.Create(L"vpedrive-validate-"))
        return BadInput(err, L"no scratch folder can be made in the temporary folder");
    const CheckResult result = RunChild(options, planned, options.seed, helper, home, 0, err);
    if (result.helperFailed)
        return BadInput(err, HelperFailure(helper, result));
    const size_t last = result.output.find_last_not_of(L"\r\n");
    if (last != std::wstring::npos)
        out.Line(result.output.substr(0, last + 1));
    if (result.output.find(L"status ") == std::wstring::npos && !result.details.empty())
        err.Line(L"vpedrive: " + result.details[0]);
    return FailsRun(result.status, options.strict) ? kValidateFailure : kValidateSuccess;
}

} // namespace

int RunValidate(const ValidateOptions& given, const std::wstring& folder, COutput& out,
                COutput& err) {
    if (given.list)
        return ListChecks(given.json, out);
    // The plan: the options made whole, the library diagnosed before anything describes it,
    // and the checks to run. The checks run in the helper that bound it, of the engine's ABI
    // or of --abi.
    ValidateOptions options = given;
    options.engine = Driver::FullPath(options.engine);
    if (!options.dumpFolder.empty())
        options.dumpFolder = Driver::FullPath(options.dumpFolder);
    if (!options.seedGiven)
        options.seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    const Verdict verdict = DiagnoseEngine(options.engine, folder, options.abi, 30000);
    PeImage image;
    const PeReadResult read = ReadPeImage(options.engine, &image);
    RunHeader header;
    header.engine = options.engine;
    header.engineFile = DescribeLibraryFile(read, image);
    header.strictness = options.strictness;
    header.seed = options.seed;
    header.repeat = options.repeat;
    header.shuffle = options.shuffle;
    header.strict = options.strict;
    ModuleKind helperKind;
    if (!verdict.helper.empty() && ReadModuleKind(verdict.helper, &helperKind))
        header.helper = verdict.helper + L" (" + MachineName(helperKind.machine) + L", " +
                        AbiTitle(helperKind.abi) + L")";
    const Reporters reporters = ReportersFor(options, out, err);
    // An engine that cannot be bound at all is not a failed check: doctor says why.
    if (verdict.status != kDoctorBindable)
        return Stop(reporters, header, verdict.sentence, verdict.status, false, err);
    const std::wstring& helper = verdict.helper;
    const std::vector<PlannedCheck> plan = PlanRun(options, options.seed);
    if (plan.empty())
        return BadInput(err, L"no check at strictness " + std::to_wstring(options.strictness) +
                                 L" matches --only and --skip (vpedrive validate --list)");
    if (options.inProcess && plan.size() != static_cast<size_t>(options.repeat))
        return BadInput(err, L"--in-process needs --only to select exactly one check");
    if (options.inProcess)
        return RunInProcess(options, plan[0], helper, out, err);

    // The run: each check in a helper process of its own, each result handed to the reports.
    for (const PlannedCheck& planned : plan)
        header.order.push_back(planned.info->name);
    for (const auto& reporter : reporters)
        reporter->Begin(header, static_cast<int>(plan.size()));
    Driver::CScratchFolder scratch;
    if (!scratch.Create(L"vpedrive-validate-"))
        return BadInput(err, L"no scratch folder can be made in the temporary folder");
    std::vector<CheckResult> results;
    CSequence checkSeeds(options.seed ^ 0xA5A5A5A5u);
    for (size_t i = 0; i < plan.size(); ++i) {
        for (const auto& reporter : reporters)
            reporter->Starting(plan[i].info->name);
        CheckResult result = RunChild(options, plan[i], checkSeeds.Next(), helper, scratch,
                                      static_cast<int>(i), err);
        if (result.helperFailed)
            return Stop(reporters, header, HelperFailure(helper, result), kDoctorBindable, true,
                        err);
        for (const auto& reporter : reporters)
            reporter->Checked(static_cast<int>(i) + 1, result);
        results.push_back(result);
    }

    // The verdict: one rule (FailsRun) in every report and in the exit status.
    const RunSummary summary = Summarize(results, options.strict);
    bool written = true;
    for (const auto& reporter : reporters)
        written = reporter->End(header, results, summary) && written;
    if (!written)
        return kValidateBadInput;
    return summary.success ? kValidateSuccess : kValidateFailure;
}

} // namespace Vpedrive
} // namespace Corvinex
