#include "refengine/check_log_reader.h"

#include "refengine/log_lines.h"

#include "refengine/test_std_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Corvinex::VeilpathEngine;

namespace {

// The 24 records of one fake-check run, without timestamps.
std::vector<std::string> FakeRunRecords() {
    const char* e[] = {"192.0.2.1:80", "192.0.2.2:80", "198.51.100.3:80", "203.0.113.4:8080"};
    std::vector<std::string> r;
    auto add = [&r](const std::string& endpoint, const char* word) {
        r.push_back("VPE CHECK HTTP " + endpoint + " " + word);
    };
    r.push_back("VPE CHECK BEGIN");
    for (const char* w :
         {"BEGIN", "PING 499", "ANONYMITY PASSED", "AUTHENTICITY PASSED", "PASSED", "END"}) {
        add(e[0], w);
    }
    for (const char* w : {"BEGIN", "TIMEOUT 3000", "FAILED", "END"}) {
        add(e[1], w);
    }
    for (const char* w :
         {"BEGIN", "PING 120", "ANONYMITY PASSED", "AUTHENTICITY FAILED", "FAILED", "END"}) {
        add(e[2], w);
    }
    for (const char* w :
         {"BEGIN", "PING 220", "ANONYMITY PASSED", "AUTHENTICITY PASSED", "PASSED", "END"}) {
        add(e[3], w);
    }
    r.push_back("VPE CHECK END");
    return r;
}

std::string Join(const std::vector<std::string>& records, const std::string& lineEnd,
                 const std::string& stamp = "2026-12-08 05:55:20") {
    std::string text;
    for (const std::string& record : records) {
        text += stamp + " " + record + lineEnd;
    }
    return text;
}

void ExpectFakeRun(const CheckLogSummary& s) {
    EXPECT_EQ(1, s.nRuns);
    EXPECT_TRUE(s.bRunFinished);
    EXPECT_STREQ("2026-12-08 05:55:20", s.runStarted);
    EXPECT_EQ(4, s.nChecked);
    EXPECT_EQ(2, s.nPassed);
    EXPECT_EQ(2, s.nFailed);
    EXPECT_EQ(1, s.nTimedOut);
    EXPECT_EQ(0, s.nUnfinished);
    EXPECT_EQ(0, s.nBadLines);
}

} // namespace

TEST(LogLines, EveryLineEndFormEndsALine) {
    std::vector<std::string> lines = SplitLogLines("a\r\r\nb\r\nc\nd");
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("a", lines[0]);
    EXPECT_EQ("b", lines[1]);
    EXPECT_EQ("c", lines[2]);
    EXPECT_EQ("d", lines[3]);
    EXPECT_TRUE(SplitLogLines("").empty());
    EXPECT_EQ(1u, SplitLogLines("\n").size());
}

TEST(LogLines, TimestampOrEmptyTimestampThenRecord) {
    std::string stamp;
    std::string record;
    ASSERT_TRUE(SplitLogLine("2026-12-08 05:55:20 VPE CHECK BEGIN", &stamp, &record));
    EXPECT_EQ("2026-12-08 05:55:20", stamp);
    EXPECT_EQ("VPE CHECK BEGIN", record);
    ASSERT_TRUE(SplitLogLine(" VPE CHECK END", &stamp, &record));
    EXPECT_EQ("", stamp);
    EXPECT_EQ("VPE CHECK END", record);
    EXPECT_FALSE(SplitLogLine("VPE CHECK BEGIN", &stamp, &record));
    EXPECT_FALSE(SplitLogLine("2026-12-8 05:55:20 VPE CHECK BEGIN", &stamp, &record));
    EXPECT_FALSE(SplitLogLine("2026-12-08 05:55:20", &stamp, &record));
}

TEST(LogLines, EndpointTexts) {
    EXPECT_TRUE(IsEndpointText("192.0.2.1:80"));
    EXPECT_TRUE(IsEndpointText("203.0.113.255:65535"));
    EXPECT_FALSE(IsEndpointText("192.0.2.1"));
    EXPECT_FALSE(IsEndpointText("192.0.2:80"));
    EXPECT_FALSE(IsEndpointText("192.0.2.256:80"));
    EXPECT_FALSE(IsEndpointText("192.0.2.1:0"));
    EXPECT_FALSE(IsEndpointText("192.0.2.1:70000"));
    EXPECT_FALSE(IsEndpointText("192.0..1:80"));
    EXPECT_FALSE(IsEndpointText("host:80"));
}

TEST(CheckLogReader, FakeCheckRunWithCrCrLf) {
    ExpectFakeRun(AnalyseCheckLogText(Join(FakeRunRecords(), "\r\r\n")));
}

TEST(CheckLogReader, FakeCheckRunWithCrLfAndWithLf) {
    ExpectFakeRun(AnalyseCheckLogText(Join(FakeRunRecords(), "\r\n")));
    ExpectFakeRun(AnalyseCheckLogText(Join(FakeRunRecords(), "\n")));
}

TEST(CheckLogReader, LastLineWithoutLineEnd) {
    std::string text = Join(FakeRunRecords(), "\r\n");
    text.erase(text.size() - 2);
    ExpectFakeRun(AnalyseCheckLogText(text));
}

TEST(CheckLogReader, EmptyTimestampsAreAccepted) {
    CheckLogSummary s = AnalyseCheckLogText(Join(FakeRunRecords(), "\r\n", ""));
    EXPECT_EQ(4, s.nChecked);
    EXPECT_EQ(0, s.nBadLines);
    EXPECT_STREQ("", s.runStarted);
}

TEST(CheckLogReader, TwoRunsReportTheLast) {
    std::vector<std::string> second = FakeRunRecords();
    second.erase(second.begin() + 7, second.begin() + 11); // without the timeout block
    std::string text = Join(FakeRunRecords(), "\r\r\n", "2026-01-01 00:00:00") +
                       Join(second, "\r\r\n", "2026-01-02 00:00:00");
    CheckLogSummary s = AnalyseCheckLogText(text);
    EXPECT_EQ(2, s.nRuns);
    EXPECT_STREQ("2026-01-02 00:00:00", s.runStarted);
    EXPECT_EQ(3, s.nChecked);
    EXPECT_EQ(2, s.nPassed);
    EXPECT_EQ(0, s.nTimedOut);
}

TEST(CheckLogReader, EmptyLogHoldsNoCheck) {
    CheckLogSummary s = AnalyseCheckLogText("");
    EXPECT_EQ(0, s.nRuns);
    EXPECT_EQ(0, s.nChecked);
    EXPECT_EQ(L"The check log holds no check.", Wide(DescribeCheckLog(s)));
    EXPECT_EQ(0, AnalyseCheckLogText("\r\n\r\n  \n").nBadLines);
}

TEST(CheckLogReader, GarbageIsCountedNotBelieved) {
    std::string text("\x01\x02garbage\r\nVPE CHECK BEGIN\r\n2026-12-08 05:55:20 hello\n");
    CheckLogSummary s = AnalyseCheckLogText(text);
    EXPECT_EQ(0, s.nRuns);
    EXPECT_EQ(3, s.nBadLines);
    EXPECT_NE(std::wstring::npos, Wide(DescribeCheckLog(s)).find(L"3 unreadable lines"));
}

TEST(CheckLogReader, RunCutShortLeavesUnfinishedEndpoints) {
    std::vector<std::string> records = FakeRunRecords();
    records.resize(9); // run start, block 1, BEGIN and TIMEOUT of block 2
    CheckLogSummary s = AnalyseCheckLogText(Join(records, "\r\n"));
    EXPECT_FALSE(s.bRunFinished);
    EXPECT_EQ(1, s.nChecked);
    EXPECT_EQ(1, s.nPassed);
    EXPECT_EQ(1, s.nUnfinished);
    std::wstring text = Wide(DescribeCheckLog(s));
    EXPECT_NE(std::wstring::npos, text.find(L"1 endpoints unfinished")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"has not finished")) << text;
}

TEST(CheckLogReader, PassedVerdictThatTheBlockDeniesCountsAsFailed) {
    std::vector<std::string> records = {
        "VPE CHECK BEGIN",
        "VPE CHECK HTTP 192.0.2.9:80 BEGIN",
        "VPE CHECK HTTP 192.0.2.9:80 PING 100",
        "VPE CHECK HTTP 192.0.2.9:80 ANONYMITY FAILED",
        "VPE CHECK HTTP 192.0.2.9:80 PASSED",
        "VPE CHECK HTTP 192.0.2.9:80 END",
        "VPE CHECK HTTP 192.0.2.8:80 BEGIN",
        "VPE CHECK HTTP 192.0.2.8:80 TIMEOUT 3000",
        "VPE CHECK HTTP 192.0.2.8:80 PASSED",
        "VPE CHECK HTTP 192.0.2.8:80 END",
        "VPE CHECK END",
    };
    CheckLogSummary s = AnalyseCheckLogText(Join(records, "\r\n"));
    EXPECT_EQ(2, s.nChecked);
    EXPECT_EQ(0, s.nPassed);
    EXPECT_EQ(2, s.nFailed);
    EXPECT_EQ(1, s.nTimedOut);
    EXPECT_EQ(2, s.nBadLines);
}

TEST(CheckLogReader, MalformedEndpointRecordsAreBadLines) {
    std::vector<std::string> records = {
        "VPE CHECK BEGIN",
        "VPE CHECK HTTP 192.0.2.9:80 PING 100", // no block begun
        "VPE CHECK HTTP example.org:80 BEGIN",  // not an endpoint
        "VPE CHECK HTTP 192.0.2.9:80 BEGIN",
        "VPE CHECK HTTP 192.0.2.9:80 PING fast", // no number
        "VPE CHECK HTTP 192.0.2.9:80 WHATEVER",  // unknown word
        "VPE CHECK HTTP 192.0.2.9:80",           // no word
        "VPE CHECK HTTP 192.0.2.9:80 TIMEOUT 3000",
        "VPE CHECK HTTP 192.0.2.9:80 FAILED",
        "VPE CHECK HTTP 192.0.2.9:80 FAILED", // second verdict
        "VPE CHECK HTTP 192.0.2.9:80 END",
        "VPE CHECK END",
    };
    CheckLogSummary s = AnalyseCheckLogText(Join(records, "\n"));
    EXPECT_EQ(6, s.nBadLines);
    EXPECT_EQ(1, s.nChecked);
    EXPECT_EQ(1, s.nFailed);
    EXPECT_EQ(1, s.nTimedOut);
}

TEST(CheckLogReader, RecordsBeforeAnyRunStartFormARun) {
    std::vector<std::string> records = FakeRunRecords();
    records.erase(records.begin());
    CheckLogSummary s = AnalyseCheckLogText(Join(records, "\r\n"));
    EXPECT_EQ(1, s.nRuns);
    EXPECT_EQ(4, s.nChecked);
}

TEST(CheckLogReader, DescriptionNamesTheCounts) {
    std::wstring text =
        Wide(DescribeCheckLog(AnalyseCheckLogText(Join(FakeRunRecords(), "\r\r\n"))));
    EXPECT_EQ(L"Last check (started 2026-12-08 05:55:20): 4 endpoints checked, 2 passed, "
              L"2 failed (1 timed out).",
              text);
}
