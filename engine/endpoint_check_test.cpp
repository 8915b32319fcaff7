// One endpoint's block: its records in order for every form, and its pauses, seen through a
// pause recorder that takes no time and notes how many lines were on disk when each began.
#include "engine/endpoint_check.h"

#include "engine/check_log.h"
#include "engine/check_log_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Corvinex;
using namespace CheckLogTest;

namespace {

class EndpointCheck : public ::testing::Test {
protected:
    EndpointCheck() : m_folder(L"vpe_endpoint_check") {
        m_path = m_folder.File(L"check.log");
        PauseRecorder::Pauses().clear();
        PauseRecorder::WatchedFile() = m_path;
        SetEndpointCheckPauseForTests(PauseRecorder::Record);
    }
    ~EndpointCheck() override {
        SetEndpointCheckPauseForTests(nullptr);
        PauseRecorder::WatchedFile().clear();
    }

    // Runs one block into the scratch file and returns its records.
    std::vector<std::string> Run(const wchar_t* endpoint, int ping, int anonymity,
                                 int authenticity) {
        WriteFakeEndpointCheck(Forward(m_path).c_str(), endpoint, ping, anonymity, authenticity);
        std::vector<std::string> records;
        for (const std::string& line : SplitLines(ReadBytes(m_path))) {
            EXPECT_TRUE(HasTimestampShape(line)) << line;
            records.push_back(RecordOf(line));
        }
        return records;
    }

    ScratchFolder m_folder;
    std::wstring m_path;
};

const std::string kPrefix = "VPE CHECK HTTP 192.0.2.7:3128 ";

std::vector<std::string> Prefixed(const std::vector<std::string>& words) {
    std::vector<std::string> records;
    for (const std::string& w : words) {
        records.push_back(kPrefix + w);
    }
    return records;
}

} // namespace

TEST(EndpointPrefix, IsTheCheckWordsTheEndpointAndASpace) {
    EXPECT_STREQ(L"VPE CHECK HTTP 192.0.2.7:3128 ", BuildEndpointPrefix(L"192.0.2.7:3128").c_str());
}

TEST_F(EndpointCheck, PassedEndpointHasSixRecordsAndThreePingPauses) {
    EXPECT_EQ(
        Prefixed({"BEGIN", "PING 499", "ANONYMITY PASSED", "AUTHENTICITY PASSED", "PASSED", "END"}),
        Run(L"192.0.2.7:3128", 499, 1, 1));
    // Each pause begins after the record before it is on disk.
    std::vector<RecordedPause> expected = {{499, 1}, {499, 2}, {499, 3}};
    EXPECT_EQ(expected, PauseRecorder::Pauses());
}

TEST_F(EndpointCheck, FailedAuthenticityHasSixRecordsAndTheSamePauses) {
    EXPECT_EQ(
        Prefixed({"BEGIN", "PING 120", "ANONYMITY PASSED", "AUTHENTICITY FAILED", "FAILED", "END"}),
        Run(L"192.0.2.7:3128", 120, 1, 0));
    std::vector<RecordedPause> expected = {{120, 1}, {120, 2}, {120, 3}};
    EXPECT_EQ(expected, PauseRecorder::Pauses());
}

TEST_F(EndpointCheck, FailedAnonymityIgnoresAuthenticityAndPausesTwice) {
    std::vector<std::string> expected =
        Prefixed({"BEGIN", "PING 220", "ANONYMITY FAILED", "FAILED", "END"});
    EXPECT_EQ(expected, Run(L"192.0.2.7:3128", 220, 0, 1));
    std::vector<RecordedPause> pauses = {{220, 1}, {220, 2}};
    EXPECT_EQ(pauses, PauseRecorder::Pauses());
}

TEST_F(EndpointCheck, NoPingTimeIsATimeoutOfThreeSecondsWhateverTheFlags) {
    EXPECT_EQ(Prefixed({"BEGIN", "TIMEOUT 3000", "FAILED", "END"}),
              Run(L"192.0.2.7:3128", -1, 1, 1));
    std::vector<RecordedPause> expected = {{3000, 1}};
    EXPECT_EQ(expected, PauseRecorder::Pauses());
}

TEST_F(EndpointCheck, AnyNegativePingTimeIsATimeout) {
    EXPECT_EQ(Prefixed({"BEGIN", "TIMEOUT 3000", "FAILED", "END"}),
              Run(L"192.0.2.7:3128", -250, 0, 0));
    std::vector<RecordedPause> expected = {{3000, 1}};
    EXPECT_EQ(expected, PauseRecorder::Pauses());
}

TEST_F(EndpointCheck, PingTimeZeroIsAnAnswerWithoutPause) {
    EXPECT_EQ(
        Prefixed({"BEGIN", "PING 0", "ANONYMITY PASSED", "AUTHENTICITY FAILED", "FAILED", "END"}),
        Run(L"192.0.2.7:3128", 0, 7, 0));
    std::vector<RecordedPause> expected = {{0, 1}, {0, 2}, {0, 3}};
    EXPECT_EQ(expected, PauseRecorder::Pauses());
}

TEST_F(EndpointCheck, PercentSignsOfTheEndpointAreWrittenAsTheyAre) {
    std::vector<std::string> records = Run(L"%s%i%n:80", 5, 1, 1);
    ASSERT_EQ(6u, records.size());
    EXPECT_EQ("VPE CHECK HTTP %s%i%n:80 BEGIN", records[0]);
    EXPECT_EQ("VPE CHECK HTTP %s%i%n:80 PING 5", records[1]);
    EXPECT_EQ("VPE CHECK HTTP %s%i%n:80 END", records[5]);
}

TEST_F(EndpointCheck, AMissingLogFolderStillTakesEveryPause) {
    std::wstring missing = m_folder.Path() + L"missing\\check.log";
    PauseRecorder::WatchedFile().clear();

    WriteFakeEndpointCheck(Forward(missing).c_str(), L"192.0.2.7:3128", 30, 1, 1);

    EXPECT_FALSE(FileIsThere(missing));
    EXPECT_EQ(90, PauseRecorder::Total());
    EXPECT_EQ(3u, PauseRecorder::Pauses().size());
}
