#include "refengine/check_log_reader.h"
#include "refengine/check_simulation.h"
#include "refengine/engine_home.h"
#include "refengine/log_file.h"
#include "refengine/log_lines.h"
#include "refengine/real_ip.h"
#include "refengine/update_log_reader.h"
#include "refengine/update_simulation.h"
#include "refengine/worker_thread.h"
#include "refengine/test_folder.h"

#include "refengine/test_std_text.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

using namespace Corvinex::VeilpathEngine;

namespace {

std::string ReadFile(const std::wstring& path) {
    std::string text;
    EXPECT_TRUE(ReadWholeFile(path, &text));
    return text;
}

// A manual-reset event, set or not from the start.
Corvinex::CKernelHandle MakeEvent(bool set) {
    return Corvinex::CKernelHandle(CreateEventW(nullptr, TRUE, set ? TRUE : FALSE, nullptr));
}

} // namespace

TEST(CheckSimulation, WritesARunTheReaderUnderstands) {
    VpeTest::CTestFolder folder;
    std::wstring log = folder.Path() + L"check.log";
    SimulationProgress progress;
    Corvinex::CKernelHandle stop = MakeEvent(false);
    EXPECT_EQ(kSimulationFinished, RunSimulatedCheck(log, 3000, 1000, stop.Get(), &progress));
    EXPECT_EQ(100, progress.Percent());
    EXPECT_EQ(GetSimulatedEndpointCount(), progress.Done());
    EXPECT_EQ(2, progress.Good());

    std::string text = ReadFile(log);
    CheckLogSummary s = AnalyseCheckLogText(text);
    EXPECT_EQ(1, s.nRuns);
    EXPECT_TRUE(s.bRunFinished);
    EXPECT_EQ(5, s.nChecked);
    EXPECT_EQ(2, s.nPassed);
    EXPECT_EQ(3, s.nFailed);
    EXPECT_EQ(1, s.nTimedOut);
    EXPECT_EQ(0, s.nBadLines);
    EXPECT_NE(std::string::npos, text.find(" VPE CHECK HTTP 192.0.2.57:3128 TIMEOUT 3000\r\n"));
    EXPECT_NE(std::string::npos, text.find(" VPE CHECK HTTP 192.0.2.11:80 PING 180\r\n"));
    // Every line carries a timestamp the reader accepts.
    for (const std::string& line : SplitLogLines(text)) {
        std::string stamp;
        std::string record;
        ASSERT_TRUE(SplitLogLine(line, &stamp, &record)) << line;
        EXPECT_EQ(19u, stamp.size());
    }
}

TEST(CheckSimulation, LongerTimeoutLetsTheSlowEndpointAnswer) {
    VpeTest::CTestFolder folder;
    std::wstring log = folder.Path() + L"check.log";
    SimulationProgress progress;
    EXPECT_EQ(kSimulationFinished, RunSimulatedCheck(log, 5000, 1000, nullptr, &progress));
    CheckLogSummary s = AnalyseCheckLogText(ReadFile(log));
    EXPECT_EQ(0, s.nTimedOut);
    EXPECT_EQ(3, s.nPassed);
}

TEST(CheckSimulation, RunsAppendToTheLog) {
    VpeTest::CTestFolder folder;
    std::wstring log = folder.Path() + L"check.log";
    SimulationProgress progress;
    RunSimulatedCheck(log, 3000, 1000, nullptr, &progress);
    RunSimulatedCheck(log, 3000, 1000, nullptr, &progress);
    EXPECT_EQ(2, AnalyseCheckLogText(ReadFile(log)).nRuns);
}

TEST(CheckSimulation, StopEndsTheRunWithItsEndRecord) {
    VpeTest::CTestFolder folder;
    std::wstring log = folder.Path() + L"check.log";
    SimulationProgress progress;
    Corvinex::CKernelHandle stop = MakeEvent(true);
    EXPECT_EQ(kSimulationStopped, RunSimulatedCheck(log, 3000, 1, stop.Get(), &progress));
    EXPECT_EQ(0, progress.Done());
    std::string text = ReadFile(log);
    CheckLogSummary s = AnalyseCheckLogText(text);
    EXPECT_TRUE(s.bRunFinished);
    EXPECT_EQ(0, s.nChecked);
    EXPECT_EQ(1, s.nUnfinished);
    EXPECT_EQ(3u, SplitLogLines(text).size());
}

TEST(CheckSimulation, MissingFolderFailsWithoutCreatingIt) {
    VpeTest::CTestFolder folder;
    std::wstring missing = folder.Path() + L"nothere\\";
    SimulationProgress progress;
    EXPECT_EQ(kSimulationWriteFailed,
              RunSimulatedCheck(missing + L"check.log", 3000, 1000, nullptr, &progress));
    EXPECT_FALSE(FolderExists(missing));
}

TEST(UpdateSimulation, WritesASuccessfulRun) {
    VpeTest::CTestFolder folder;
    std::wstring log = folder.Path() + L"update.log";
    SimulationProgress progress;
    EXPECT_EQ(kSimulationFinished, RunSimulatedUpdate(log, 0, nullptr, &progress));
    EXPECT_EQ(100, progress.Percent());
    EXPECT_EQ(GetUpdateServerCount(), progress.Done());
    UpdateLogSummary s = AnalyseUpdateLogText(ReadFile(log));
    EXPECT_TRUE(IsUpdateSuccessful(s));
    EXPECT_EQ(3, s.nServersOk);
    EXPECT_EQ(1, s.nServersFailed);
    EXPECT_EQ(0, s.nBadLines);
}

TEST(UpdateSimulation, EachRunReplacesTheLog) {
    VpeTest::CTestFolder folder;
    std::wstring log = folder.Path() + L"update.log";
    SimulationProgress progress;
    RunSimulatedUpdate(log, 0, nullptr, &progress);
    RunSimulatedUpdate(log, 0, nullptr, &progress);
    EXPECT_EQ(1, AnalyseUpdateLogText(ReadFile(log)).nRuns);
}

TEST(UpdateSimulation, StopCancelsTheRun) {
    VpeTest::CTestFolder folder;
    std::wstring log = folder.Path() + L"update.log";
    SimulationProgress progress;
    Corvinex::CKernelHandle stop = MakeEvent(true);
    EXPECT_EQ(kSimulationStopped, RunSimulatedUpdate(log, 10000, stop.Get(), &progress));
    UpdateLogSummary s = AnalyseUpdateLogText(ReadFile(log));
    EXPECT_EQ(kUpdateCancelled, s.ending);
    EXPECT_FALSE(IsUpdateSuccessful(s));
}

TEST(WorkerThread, RunsUntilStoppedAndRefusesASecondStart) {
    static LONG s_ran = 0;
    struct Work {
        static void Run(void*, HANDLE hStop) {
            InterlockedIncrement(&s_ran);
            WaitForSingleObject(hStop, 10000);
        }
    };
    CWorkerThread worker;
    EXPECT_FALSE(worker.IsRunning());
    ASSERT_TRUE(worker.Start(&Work::Run, nullptr));
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_FALSE(worker.Start(&Work::Run, nullptr));
    EXPECT_TRUE(worker.Stop(5000));
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(1, s_ran);
    ASSERT_TRUE(worker.Start(&Work::Run, nullptr));
    EXPECT_TRUE(worker.Stop(5000));
    EXPECT_EQ(2, s_ran);
}

TEST(EngineHome, EnvironmentVariableOverridesProgramFiles) {
    SetEnvironmentVariableW(L"VPE_ENGINE_HOME", L"C:\\somewhere\\engine");
    EXPECT_EQ(L"C:\\somewhere\\engine\\", Wide(GetEngineHome()));
    EXPECT_EQ(L"C:\\somewhere\\engine\\log\\check.log", Wide(GetCheckLogPath()));
    EXPECT_EQ(L"C:\\somewhere\\engine\\log\\update.log", Wide(GetUpdateLogPath()));
    EXPECT_EQ(L"C:\\somewhere\\engine\\vpe.installed", Wide(GetInstallMarkerPath()));
    SetEnvironmentVariableW(L"VPE_ENGINE_HOME", L"");
    std::wstring programFiles = Wide(GetProgramFilesFolder());
    ASSERT_FALSE(programFiles.empty());
    EXPECT_TRUE(FolderExists(programFiles));
    EXPECT_EQ(programFiles + L"Veilpath Engine\\", Wide(GetEngineHome()));
    SetEnvironmentVariableW(L"VPE_ENGINE_HOME", nullptr);
    EXPECT_EQ(programFiles + L"Veilpath Engine\\log\\", Wide(GetLogFolder()));
}

// The engine reads the folder from the registry (no shell32 at start-up); it must be the folder
// the shell names, where vpetest.exe's fake-check mode writes.
TEST(EngineHome, ProgramFilesIsTheShellsFolder) {
    wchar_t path[MAX_PATH] = {0};
    ASSERT_TRUE(SUCCEEDED(
        SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path)));
    EXPECT_EQ(std::wstring(path) + L"\\", Wide(GetProgramFilesFolder()));
}

TEST(RealIP, IsADottedIPv4Address) {
    std::wstring address = Wide(FindRealIPv4Address());
    std::string ascii(address.begin(), address.end());
    EXPECT_TRUE(IsEndpointText(ascii + ":1")) << ascii;
}
