// Whole fake check runs into the check log below the prefix's Program Files folder. The tests
// make the log folder they need and leave the folder as they found it.
#include "engine/check_log.h"

#include "engine/check_log_test_support.h"
#include "engine/endpoint_check.h"
#include "testsupport/test_paths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <string>
#include <vector>

using namespace Corvinex;
using namespace CheckLogTest;

namespace {

std::wstring ProgramFiles() {
    wchar_t folder[MAX_PATH] = {0};
    SHGetSpecialFolderPathW(nullptr, folder, 38, FALSE);
    return std::wstring(folder) + L"\\";
}

// Takes an existing "Veilpath Engine" folder out of the way for the test and brings it back.
class ProgramFilesLog {
public:
    ProgramFilesLog()
        : m_engineFolder(ProgramFiles() + L"Veilpath Engine"),
          m_saved(m_engineFolder + L".saved_" + std::to_wstring(GetCurrentProcessId())) {
        m_moved =
            FolderIsThere(m_engineFolder) && MoveFileW(m_engineFolder.c_str(), m_saved.c_str());
    }
    ~ProgramFilesLog() {
        DeleteFileW(LogFile().c_str());
        RemoveDirectoryW((m_engineFolder + L"\\log").c_str());
        RemoveDirectoryW(m_engineFolder.c_str());
        if (m_moved) {
            MoveFileW(m_saved.c_str(), m_engineFolder.c_str());
        }
    }
    ProgramFilesLog(const ProgramFilesLog&) = delete;
    ProgramFilesLog& operator=(const ProgramFilesLog&) = delete;

    bool MakeLogFolder() const {
        return CreateDirectoryW(m_engineFolder.c_str(), nullptr) &&
               CreateDirectoryW((m_engineFolder + L"\\log").c_str(), nullptr);
    }
    bool EngineFolderIsThere() const { return FolderIsThere(m_engineFolder); }
    std::wstring LogFile() const { return m_engineFolder + L"\\log\\check.log"; }

private:
    std::wstring m_engineFolder;
    std::wstring m_saved;
    bool m_moved;
};

class FakeCheckRun : public ::testing::Test {
protected:
    FakeCheckRun() {
        PauseRecorder::Pauses().clear();
        PauseRecorder::WatchedFile() = m_log.LogFile();
        SetEndpointCheckPauseForTests(PauseRecorder::Record);
    }
    ~FakeCheckRun() override {
        SetEndpointCheckPauseForTests(nullptr);
        PauseRecorder::WatchedFile().clear();
    }

    ProgramFilesLog m_log;
};

// The pauses of one run, with the lines on disk when each began (counted from the run's start).
std::vector<RecordedPause> ExpectedPauses(size_t linesBefore) {
    std::vector<RecordedPause> pauses = {{499, 2},  {499, 3},  {499, 4},  {3000, 8}, {120, 12},
                                         {120, 13}, {120, 14}, {220, 18}, {220, 19}, {220, 20}};
    for (RecordedPause& p : pauses) {
        p.linesOnDisk += linesBefore;
    }
    return pauses;
}

// Runs check_log_probe.exe with its standard output on a file and returns what it printed. Each
// run has a file of its own, so no run depends on the last run's file being gone (a file the
// ended probe held open may still be on its way out: seen under Wine, where creating the same
// name again then failed).
std::string RunProbeAndReadItsOutput(DWORD* exitCode) {
    static int runs = 0;
    std::wstring output = VpeTest::ProgramFolder() + L"check_log_probe_" +
                          std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++runs) +
                          L".out";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE file = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "(no output file)";
    }
    std::wstring program = VpeTest::ProgramFolder() + L"check_log_probe.exe";
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION process = {};
    *exitCode = 0xFFFFFFFF;
    if (CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, nullptr, &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.hProcess, exitCode);
        } else {
            TerminateProcess(process.hProcess, 99);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(file);
    std::string printed = ReadBytes(output);
    DeleteFileW(output.c_str());
    return printed;
}

std::string Concatenated(const std::vector<std::string>& records) {
    std::string text;
    for (const std::string& r : records) {
        text += r;
    }
    return text;
}

} // namespace

TEST_F(FakeCheckRun, WritesTheTwentyFourTimestampedRecordsInOrder) {
    ASSERT_TRUE(m_log.MakeLogFolder());

    WriteFakeCheckLog();

    std::vector<std::string> lines = SplitLines(ReadBytes(m_log.LogFile()));
    ASSERT_EQ(24u, lines.size());
    std::vector<std::string> records;
    for (const std::string& line : lines) {
        EXPECT_TRUE(HasTimestampShape(line)) << line;
        EXPECT_EQ(' ', line.size() > 19 ? line[19] : 0) << line;
        records.push_back(RecordOf(line));
    }
    EXPECT_EQ(ExpectedFakeRun(), records);
}

TEST_F(FakeCheckRun, PausesFiveAndAHalfSecondsWithEachLineOnDiskBeforeThePause) {
    ASSERT_TRUE(m_log.MakeLogFolder());

    WriteFakeCheckLog();

    EXPECT_EQ(ExpectedPauses(0), PauseRecorder::Pauses());
    EXPECT_EQ(5517, PauseRecorder::Total());
}

TEST_F(FakeCheckRun, TwoRunsAppendFortyEightLines) {
    ASSERT_TRUE(m_log.MakeLogFolder());

    WriteFakeCheckLog();
    WriteFakeCheckLog();

    std::vector<std::string> lines = SplitLines(ReadBytes(m_log.LogFile()));
    ASSERT_EQ(48u, lines.size());
    std::vector<std::string> expected = ExpectedFakeRun();
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(expected[i % 24], RecordOf(lines[i])) << "line " << i + 1;
    }
    std::vector<RecordedPause> pauses = ExpectedPauses(0);
    std::vector<RecordedPause> second = ExpectedPauses(24);
    pauses.insert(pauses.end(), second.begin(), second.end());
    EXPECT_EQ(pauses, PauseRecorder::Pauses());
}

TEST_F(FakeCheckRun, WithoutTheLogFolderCreatesNothingYetTakesEveryPause) {
    ASSERT_FALSE(m_log.EngineFolderIsThere());

    WriteFakeCheckLog();

    EXPECT_FALSE(m_log.EngineFolderIsThere());
    EXPECT_FALSE(FileIsThere(m_log.LogFile()));
    ASSERT_EQ(10u, PauseRecorder::Pauses().size());
    EXPECT_EQ(5517, PauseRecorder::Total());
}

TEST_F(FakeCheckRun, EchoesTheRecordsWithoutSeparatorsToStandardOutput) {
    ASSERT_TRUE(m_log.MakeLogFolder());

    DWORD exitCode = 0;
    std::string printed = RunProbeAndReadItsOutput(&exitCode);

    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(Concatenated(ExpectedFakeRun()), printed);
    EXPECT_EQ(24u, SplitLines(ReadBytes(m_log.LogFile())).size());
}

TEST_F(FakeCheckRun, EchoesEveryRecordEvenWithoutTheLogFolder) {
    ASSERT_FALSE(m_log.EngineFolderIsThere());

    DWORD exitCode = 0;
    std::string printed = RunProbeAndReadItsOutput(&exitCode);

    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(Concatenated(ExpectedFakeRun()), printed);
    EXPECT_FALSE(m_log.EngineFolderIsThere());
}

TEST(FakeCheckRunTimed, TakesAtLeastTheFiveAndAHalfSecondsOfItsPauses) {
    ProgramFilesLog log;
    ASSERT_TRUE(log.MakeLogFolder());
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);

    QueryPerformanceCounter(&start);
    WriteFakeCheckLog();
    QueryPerformanceCounter(&end);

    double milliseconds =
        1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    EXPECT_GE(milliseconds, 5500.0);
    EXPECT_EQ(24u, SplitLines(ReadBytes(log.LogFile())).size());
}
