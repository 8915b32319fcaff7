// The reports of vpedrive validate: the child's report read back, the tally, and the JUnit,
// TAP and JSON forms checked by parsing them.
#include "tools/vpedrive/validate_report.h"
#include "tools/vpedrive/validate_runner.h"

#include <gtest/gtest.h>

#include <regex>

using namespace Corvinex::Vpedrive;

namespace {

CheckResult Result(const wchar_t* name, CheckStatus status, const wchar_t* detail = nullptr) {
    CheckResult result;
    result.name = name;
    result.status = status;
    result.seconds = 1.5;
    if (detail != nullptr)
        result.details.push_back(detail);
    result.output = L"status x\n<&>";
    return result;
}

// Checks that every tag is closed in order and returns the element names in document order.
bool WellFormed(const std::string& xml, std::vector<std::string>* elements) {
    std::vector<std::string> open;
    const std::regex tag("<(/?)([A-Za-z_][-A-Za-z0-9_.]*)([^<>]*?)(/?)>");
    std::string rest = xml.substr(xml.find("?>") + 2);
    for (std::sregex_iterator it(rest.begin(), rest.end(), tag), end; it != end; ++it) {
        const std::string name = (*it)[2];
        if ((*it)[1] == "/") {
            if (open.empty() || open.back() != name)
                return false;
            open.pop_back();
        } else {
            elements->push_back(name);
            if ((*it)[4] != "/")
                open.push_back(name);
        }
    }
    // No stray markup characters outside tags.
    const std::string text = std::regex_replace(rest, tag, "");
    return open.empty() && text.find('<') == std::string::npos &&
           text.find('>') == std::string::npos;
}

} // namespace

TEST(ValidateChildReport, StatusAndDetailsAreRead) {
    CheckResult result;
    ReadChildReport("detail slot 24 took 400 ms\r\ndetail second\nstatus failed\n", true, 1,
                    &result);
    EXPECT_EQ(result.status, CheckStatus::Failed);
    ASSERT_EQ(result.details.size(), 2u);
    EXPECT_EQ(result.details[0], L"slot 24 took 400 ms");
}

TEST(ValidateChildReport, TheCrashLineLeads) {
    CheckResult result;
    ReadChildReport("detail earlier\ncrash exception 0xC0000005 at vpe.dll+0x10\nstatus crashed\n",
                    true, 6, &result);
    EXPECT_EQ(result.status, CheckStatus::Crashed);
    ASSERT_FALSE(result.details.empty());
    EXPECT_EQ(result.details[0].find(L"crash exception 0xC0000005"), 0u);
}

TEST(ValidateChildReport, AnExitWithoutAReportIsJudgedByItsCode) {
    CheckResult crashed;
    ReadChildReport("stage begin\n", true, 0xC0000005, &crashed);
    EXPECT_EQ(crashed.status, CheckStatus::Crashed);
    EXPECT_NE(crashed.details[0].find(L"0xC0000005"), std::wstring::npos);
    EXPECT_FALSE(crashed.helperFailed);
    CheckResult aborted;
    ReadChildReport("stage begin\ndetail slot 6 (Start)\n", true, 3, &aborted);
    EXPECT_EQ(aborted.status, CheckStatus::Crashed);
    EXPECT_NE(aborted.details[0].find(L"abort()"), std::wstring::npos);
    EXPECT_EQ(aborted.details[1], L"slot 6 (Start)");
    CheckResult silent;
    ReadChildReport("stage begin\n", true, 0, &silent); // exit 0 without a report is no pass
    EXPECT_EQ(silent.status, CheckStatus::Failed);
    EXPECT_FALSE(silent.helperFailed);
    CheckResult other;
    ReadChildReport("stage begin\n", true, 5, &other);
    EXPECT_EQ(other.status, CheckStatus::Failed);
    EXPECT_NE(other.details[0].find(L"code 5 without a report"), std::wstring::npos);
    CheckResult killed; // the runner judges a killed child itself
    ReadChildReport("detail slot 2 (Install)\n", false, 5, &killed);
    EXPECT_EQ(killed.details, std::vector<std::wstring>{L"slot 2 (Install)"});
}

// A helper that dies at its own start (Wine's server refusing it under qemu) says nothing about
// the engine, whatever code it ends with.
TEST(ValidateChildReport, AHelperThatEndsBeforeTheCheckBeginsIsTheSetUpsFault) {
    for (DWORD code : {0ul, 0xC000001Dul}) {
        CheckResult result;
        ReadChildReport("vpecheck.exe: dlls/ntdll/unix/server.c:1723: server_init_process_done: "
                        "Assertion `!status' failed.\n",
                        true, code, &result);
        EXPECT_TRUE(result.helperFailed) << code;
        EXPECT_EQ(result.status, CheckStatus::Failed);
        ASSERT_EQ(result.details.size(), 1u);
        EXPECT_NE(result.details[0].find(L"ended before the check began"), std::wstring::npos);
        EXPECT_NE(result.details[0].find(L"Assertion `!status' failed."), std::wstring::npos);
    }
    CheckResult reported; // a status line is the helper's own verdict, begun or not
    ReadChildReport("detail no check is named \"x\"\nstatus failed\n", true, 1, &reported);
    EXPECT_FALSE(reported.helperFailed);
}

TEST(ValidateSummary, StrictMakesWarningsAndSkipsFail) {
    const std::vector<CheckResult> results = {Result(L"a", CheckStatus::Passed),
                                              Result(L"b", CheckStatus::Warning),
                                              Result(L"c", CheckStatus::Skipped)};
    EXPECT_TRUE(Summarize(results, false).success);
    EXPECT_FALSE(Summarize(results, true).success);
    EXPECT_EQ(Summarize(results, false).counts[static_cast<int>(CheckStatus::Warning)], 1);
    for (CheckStatus bad : {CheckStatus::Failed, CheckStatus::Crashed, CheckStatus::TimedOut})
        EXPECT_FALSE(Summarize({Result(L"x", bad)}, false).success);
}

TEST(ValidateText, TheLastLineIsTheVerdictAndFailuresSayWhy) {
    EXPECT_EQ(TextSummary(Summarize({Result(L"a", CheckStatus::Passed)}, false)).back(),
              L"SUCCESS");
    EXPECT_EQ(TextSummary(Summarize({Result(L"a", CheckStatus::TimedOut)}, false)).back(),
              L"FAILURE");
    const std::wstring line = TextLine(Result(L"strings", CheckStatus::Failed, L"why"));
    EXPECT_NE(line.find(L"failed"), std::wstring::npos);
    EXPECT_NE(line.find(L"1.50 s"), std::wstring::npos);
    EXPECT_EQ(line.substr(line.size() - 3), L"why");
}

TEST(ValidateJunit, WellFormedWithFailuresErrorsAndSkips) {
    RunHeader header;
    header.engine = L"C:\\a & b\\vpe.dll";
    const std::vector<CheckResult> results = {
        Result(L"binding", CheckStatus::Passed),
        Result(L"strings", CheckStatus::Failed, L"not a <global> block"),
        Result(L"lifecycle", CheckStatus::Crashed, L"crash \x0001 \xD800"),
        Result(L"unload-hygiene", CheckStatus::TimedOut, L"hang"),
        Result(L"message-loop", CheckStatus::Skipped, L"not here"),
        Result(L"out-of-order", CheckStatus::Warning, L"slow")};
    const std::string xml = JunitDocument(header, results);
    std::vector<std::string> elements;
    ASSERT_TRUE(WellFormed(xml, &elements)) << xml;
    EXPECT_EQ(std::count(elements.begin(), elements.end(), "testcase"), 6);
    EXPECT_EQ(std::count(elements.begin(), elements.end(), "failure"), 1);
    EXPECT_EQ(std::count(elements.begin(), elements.end(), "error"), 2);
    EXPECT_EQ(std::count(elements.begin(), elements.end(), "skipped"), 1);
    EXPECT_EQ(std::count(elements.begin(), elements.end(), "system-out"), 6);
    EXPECT_NE(xml.find("tests=\"6\" failures=\"1\" errors=\"2\" skipped=\"1\""), std::string::npos);
    EXPECT_EQ(xml.find('\x01'), std::string::npos); // XML 1.0 cannot carry it
    header.strict = true;                           // the warning and the skip become failures
    EXPECT_NE(JunitDocument(header, results).find("failures=\"3\" errors=\"2\" skipped=\"0\""),
              std::string::npos);
}

TEST(ValidateTap, PlanNumbersAndDirectivesFollowVersion13) {
    std::vector<std::wstring> lines = TapStart(3);
    const std::vector<CheckResult> results = {Result(L"a", CheckStatus::Passed),
                                              Result(L"b", CheckStatus::Skipped, L"why"),
                                              Result(L"c", CheckStatus::Crashed, L"boom \"x\"")};
    for (size_t i = 0; i < results.size(); ++i) {
        auto more = TapLine(static_cast<int>(i) + 1, results[i], false);
        lines.insert(lines.end(), more.begin(), more.end());
    }
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], L"TAP version 13");
    EXPECT_EQ(lines[1], L"1..3");
    const std::wregex test(L"^(not )?ok (\\d+) - [^#]+( # SKIP .*)?$");
    int number = 0, failed = 0;
    bool inYaml = false;
    for (size_t i = 2; i < lines.size(); ++i) {
        if (lines[i] == L"  ---") {
            EXPECT_FALSE(inYaml);
            inYaml = true;
            continue;
        }
        if (lines[i] == L"  ...") {
            EXPECT_TRUE(inYaml);
            inYaml = false;
            continue;
        }
        if (inYaml) {
            EXPECT_EQ(lines[i].compare(0, 2, L"  "), 0) << "YAML must be indented";
            continue;
        }
        std::wsmatch match;
        ASSERT_TRUE(std::regex_match(lines[i], match, test)) << lines[i].c_str();
        EXPECT_EQ(std::stoi(match[2].str()), ++number);
        failed += match[1].matched ? 1 : 0;
    }
    EXPECT_EQ(number, 3);
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(TapLine(2, results[1], true)[0].compare(0, 6, L"not ok"), 0); // --strict
    EXPECT_EQ(TapBailOut(L"No library.").compare(0, 10, L"Bail out! "), 0);
}

TEST(ValidateJson, ObjectsCarryNameLevelStatusDurationDetails) {
    CheckResult result = Result(L"strings", CheckStatus::TimedOut, L"a \"quoted\" word");
    result.level = 2;
    const std::string json = JsonCheck(result);
    EXPECT_EQ(json, "{\"name\":\"strings\",\"level\":2,\"round\":1,\"status\":\"timed out\","
                    "\"duration\":1.500,\"details\":[\"a \\\"quoted\\\" word\"]}");
    RunHeader header;
    header.seed = 99;
    const std::string summary = JsonSummary(header, Summarize({result}, false));
    EXPECT_NE(summary.find("\"seed\":99"), std::string::npos);
    EXPECT_NE(summary.find("\"timed_out\":1"), std::string::npos);
    EXPECT_NE(summary.find("\"success\":false"), std::string::npos);
}
