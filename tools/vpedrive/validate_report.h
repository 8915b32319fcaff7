// The reports of vpedrive validate: text for people, JSON lines, TAP version 13 and JUnit XML
// for CI, each a CReporter that the runner tells what happens; the functions below format.
#pragma once

#include "tools/vpedrive/console_output.h"
#include "tools/vpedrive/validate_checks.h"
#include "tools/vpedrive/validate_result.h"
#include "tools/vpedrive/vpedrive_options.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

// What a run states about itself before its first check.
struct RunHeader {
    std::wstring engine;     // full path
    std::wstring engineFile; // "file version 1.0.0.0, built 2026-12-09 00:21:46 UTC"
    std::wstring helper; // "<path of vpecheck.exe> (x64, MSVC ABI (Visual Studio))"; empty: none
    int strictness = 5;
    uint32_t seed = 0;
    int repeat = 1;
    bool shuffle = false;
    bool strict = false;
    std::vector<std::wstring> order; // check names in the order they run (one repetition each)
};

// One report of a validate run, told what happens in order: Begin, then Checked per check, then
// End; or Stop when the run cannot go on (before Begin, or after some checks).
class CReporter {
public:
    virtual ~CReporter() = default;
    // The run starts `count` checks.
    virtual void Begin(const RunHeader& header, int count) = 0;
    // The check is about to run (a progress line for people).
    virtual void Starting(const std::wstring& name) { (void)name; }
    // A check ended; `number` counts from 1 in run order.
    virtual void Checked(int number, const CheckResult& result) = 0;
    // The run ended with these results. False when the report could not be written (said on
    // the standard error).
    virtual bool End(const RunHeader& header, const std::vector<CheckResult>& results,
                     const RunSummary& summary) = 0;
    // The run stops: `sentence` says why (doctor's verdict `doctorStatus` on the library, or
    // kDoctorBindable for a set-up that failed); `begun` when Begin was told. False as End.
    virtual bool Stop(const RunHeader& header, const std::wstring& sentence, int doctorStatus,
                      bool begun) = 0;
};

// The reports the options ask for: text, JSON (--json) or TAP (--tap) on `out`, progress lines
// of the text report on `err`, and the JUnit file (--junit, a full path) when asked for.
std::vector<std::unique_ptr<CReporter>> ReportersFor(const ValidateOptions& options, COutput& out,
                                                     COutput& err);

// Text: the header lines, one line per check (status, name, duration and, when it did not
// pass, the sentence that says why), and the tally with SUCCESS or FAILURE as the last line.
std::vector<std::wstring> TextHeader(const RunHeader& header);
std::wstring TextLine(const CheckResult& result);
std::vector<std::wstring> TextSummary(const RunSummary& summary);

// JSON: one object per check, one summary object; --list as one array of objects.
std::string JsonCheck(const CheckResult& result);
std::string JsonSummary(const RunHeader& header, const RunSummary& summary);
std::string JsonCatalogue(const std::vector<CheckInfo>& checks);

// TAP version 13: the version and plan lines, then one test line per check with a YAML block
// of its details; warnings are "ok" with a comment unless strict, skips "ok # SKIP" unless
// strict. TapBailOut gives the line for an engine that cannot be bound.
std::vector<std::wstring> TapStart(int count);
std::vector<std::wstring> TapLine(int number, const CheckResult& result, bool strict);
std::wstring TapBailOut(const std::wstring& sentence);

// How a check shows in JUnit: a status that fails the run (FailsRun) as <error> when it crashed
// or timed out, else as <failure>; a skip that does not fail it as <skipped>; else nothing.
enum class JunitKind { None, Failure, Error, Skipped };
JunitKind JunitKindOf(CheckStatus status, bool strict);

// A JUnit XML document (UTF-8): one testsuite, one testcase per check as JunitKindOf says, the
// child's output in <system-out>.
std::string JunitDocument(const RunHeader& header, const std::vector<CheckResult>& results);
// The JUnit document of a run that ended before its first check because the library cannot be
// bound: one testcase "binding" with an <error> carrying doctor's sentence.
std::string JunitBindingFailure(const RunHeader& header, const std::wstring& sentence);

// Escapes text for XML character data and attribute values, as UTF-8; characters XML 1.0
// cannot carry become U+FFFD.
std::string XmlText(const std::wstring& text);

} // namespace Vpedrive
} // namespace Corvinex
