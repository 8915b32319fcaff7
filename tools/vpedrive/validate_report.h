// The reports of vpedrive validate: text for people, JSON lines, TAP version 13 and JUnit XML
// for CI. Each function only formats; the runner decides where the text goes.
#pragma once

#include "tools/vpedrive/validate_checks.h"
#include "tools/vpedrive/validate_result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

// What a run states about itself before its first check.
struct RunHeader {
    std::wstring engine;     // full path
    std::wstring engineFile; // "file version 1.0.0.0, built 2026-12-09 00:21:46 UTC"
    std::wstring helper;     // "<path of vpecheck.exe> (MSVC ABI (Visual Studio))"; empty: none
    int strictness = 5;
    uint32_t seed = 0;
    int repeat = 1;
    bool shuffle = false;
    bool strict = false;
    std::vector<std::wstring> order; // check names in the order they run (one repetition each)
};

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

// A JUnit XML document (UTF-8): one testsuite, one testcase per check; failed as <failure>,
// crashed and timed out as <error>, skipped as <skipped>, the child's output in <system-out>.
std::string JunitDocument(const RunHeader& header, const std::vector<CheckResult>& results);
// The JUnit document of a run that ended before its first check because the library cannot be
// bound: one testcase "binding" with an <error> carrying doctor's sentence.
std::string JunitBindingFailure(const RunHeader& header, const std::wstring& sentence);

// Escapes text for XML character data and attribute values, as UTF-8; characters XML 1.0
// cannot carry become U+FFFD.
std::string XmlText(const std::wstring& text);

} // namespace Vpedrive
} // namespace Corvinex
