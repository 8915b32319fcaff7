#include "refengine/update_log_reader.h"

#include "refengine/test_std_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Corvinex::VeilpathEngine;

namespace {

std::string Lines(const std::vector<std::string>& records, const std::string& lineEnd = "\r\n") {
    std::string text;
    for (const std::string& record : records) {
        text += "2026-03-04 10:11:12 " + record + lineEnd;
    }
    return text;
}

const std::vector<std::string> kCompleteRun = {
    "VPE UPDATE BEGIN",
    "VPE UPDATE SERVER HTTP 192.0.2.80:80 OK",
    "VPE UPDATE SERVER HTTP 198.51.100.12:80 OK",
    "VPE UPDATE SERVER HTTP 203.0.113.40:8080 FAILED",
    "VPE UPDATE END OK",
};

} // namespace

TEST(UpdateLogReader, CompleteRunIsASuccess) {
    UpdateLogSummary s = AnalyseUpdateLogText(Lines(kCompleteRun));
    EXPECT_EQ(1, s.nRuns);
    EXPECT_EQ(kUpdateEndedOk, s.ending);
    EXPECT_EQ(2, s.nServersOk);
    EXPECT_EQ(1, s.nServersFailed);
    EXPECT_EQ(0, s.nBadLines);
    EXPECT_STREQ("2026-03-04 10:11:12", s.runStarted);
    EXPECT_TRUE(IsUpdateSuccessful(s));
    EXPECT_EQ(L"Update completed: 2 of 3 HTTP servers reached.", Wide(DescribeUpdateLog(s)));
}

TEST(UpdateLogReader, CrCrLfAndLastLineWithoutEnd) {
    std::string text = Lines(kCompleteRun, "\r\r\n");
    text.erase(text.size() - 3);
    UpdateLogSummary s = AnalyseUpdateLogText(text);
    EXPECT_TRUE(IsUpdateSuccessful(s));
    EXPECT_EQ(2, s.nServersOk);
    EXPECT_EQ(0, s.nBadLines);
}

TEST(UpdateLogReader, EmptyLogHoldsNoUpdate) {
    UpdateLogSummary s = AnalyseUpdateLogText("");
    EXPECT_EQ(0, s.nRuns);
    EXPECT_FALSE(IsUpdateSuccessful(s));
    EXPECT_EQ(L"The update log holds no update.", Wide(DescribeUpdateLog(s)));
}

TEST(UpdateLogReader, CancelledAndFailedRunsAreNoSuccess) {
    UpdateLogSummary cancelled =
        AnalyseUpdateLogText(Lines({"VPE UPDATE BEGIN", "VPE UPDATE SERVER HTTP 192.0.2.80:80 OK",
                                    "VPE UPDATE END CANCELLED"}));
    EXPECT_EQ(kUpdateCancelled, cancelled.ending);
    EXPECT_EQ(1, cancelled.nServersOk);
    EXPECT_FALSE(IsUpdateSuccessful(cancelled));
    EXPECT_NE(std::wstring::npos, Wide(DescribeUpdateLog(cancelled)).find(L"cancelled"));

    UpdateLogSummary failed = AnalyseUpdateLogText(
        Lines({"VPE UPDATE BEGIN", "VPE UPDATE SERVER HTTP 192.0.2.80:80 FAILED",
               "VPE UPDATE END FAILED"}));
    EXPECT_EQ(kUpdateEndedFailed, failed.ending);
    EXPECT_FALSE(IsUpdateSuccessful(failed));
    EXPECT_EQ(L"Update failed: 0 of 1 HTTP servers reached.", Wide(DescribeUpdateLog(failed)));
}

TEST(UpdateLogReader, SuccessWithoutAnyServerIsNotBelieved) {
    UpdateLogSummary s = AnalyseUpdateLogText(Lines({"VPE UPDATE BEGIN", "VPE UPDATE END OK"}));
    EXPECT_EQ(kUpdateEndedOk, s.ending);
    EXPECT_FALSE(IsUpdateSuccessful(s));
}

TEST(UpdateLogReader, RunWithoutEndIsNotFinished) {
    std::vector<std::string> records(kCompleteRun.begin(), kCompleteRun.end() - 1);
    UpdateLogSummary s = AnalyseUpdateLogText(Lines(records));
    EXPECT_EQ(kUpdateNotEnded, s.ending);
    EXPECT_FALSE(IsUpdateSuccessful(s));
    EXPECT_EQ(L"Update not finished: 2 of 3 HTTP servers reached so far.",
              Wide(DescribeUpdateLog(s)));
}

TEST(UpdateLogReader, LastRunCounts) {
    std::string text = Lines(kCompleteRun) +
                       Lines({"VPE UPDATE BEGIN", "VPE UPDATE SERVER HTTP 192.0.2.80:80 FAILED",
                              "VPE UPDATE END FAILED"});
    UpdateLogSummary s = AnalyseUpdateLogText(text);
    EXPECT_EQ(2, s.nRuns);
    EXPECT_EQ(0, s.nServersOk);
    EXPECT_EQ(1, s.nServersFailed);
    EXPECT_FALSE(IsUpdateSuccessful(s));
}

TEST(UpdateLogReader, MalformedLinesAreCounted) {
    std::string text = "no timestamp here\r\n" +
                       Lines({"VPE UPDATE SERVER HTTP 192.0.2.80:80 OK", // before any run
                              "VPE UPDATE BEGIN",
                              "VPE UPDATE SERVER HTTP 192.0.2.80 OK", // no port
                              "VPE UPDATE SERVER HTTP 192.0.2.81:80 MAYBE",
                              "VPE UPDATE SERVER HTTP 192.0.2.82:80 OK", "VPE UPDATE END OK",
                              "VPE UPDATE SERVER HTTP 192.0.2.83:80 OK", // after the end
                              "VPE UPDATE END OK"});
    UpdateLogSummary s = AnalyseUpdateLogText(text);
    EXPECT_EQ(1, s.nRuns);
    EXPECT_EQ(1, s.nServersOk);
    EXPECT_EQ(4, s.nBadLines); // the lines before the run start are forgotten with it
    EXPECT_TRUE(IsUpdateSuccessful(s));
    EXPECT_NE(std::wstring::npos, Wide(DescribeUpdateLog(s)).find(L"4 lines could not be read"));
}
