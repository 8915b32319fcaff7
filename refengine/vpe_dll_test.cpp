// The reference engine as the harness sees it: vpe.dll loaded by the system loader, the
// factory resolved by name and the object checked with dynamic_cast.
#include "base/file_system.h"
#include "engine/engine_interface.h"
#include "refengine/check_log_reader.h"
#include "refengine/log_file.h"
#include "refengine/log_lines.h"
#include "refengine/test_folder.h"
#include "testsupport/module_imports.h"
#include "testsupport/test_paths.h"

#include "refengine/test_std_text.h"

#include <gtest/gtest.h>

#include <string>

using Corvinex::CWideString;
using Corvinex::VeilpathEngine::IVeilpathEngine;
using namespace Corvinex::VeilpathEngine;

namespace {

// The result codes the engine documents.
const int kOk = 0;
const int kNotInstalled = 1;
const int kNotRunning = 2;
const int kAlreadyRunning = 3;
const int kBusy = 4;
const int kNoLog = 6;
const int kBadArgument = 7;
const int kStopped = 10;

std::wstring EnginePath() {
    return VpeTest::ProgramFolder() + L"..\\bin\\vpe.dll";
}

// Polls until the condition holds or about ten seconds have passed.
template <class F> bool WaitFor(F condition) {
    for (int i = 0; i < 200; ++i) {
        if (condition()) {
            return true;
        }
        Sleep(50);
    }
    return condition();
}

std::wstring Text(CWideString text) {
    return text.c_str();
}

class ReferenceEngine : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorMode(SEM_FAILCRITICALERRORS);
        SetEnvironmentVariableW(L"VPE_ENGINE_HOME", (m_folder.Path() + L"home").c_str());
        Load();
    }

    void TearDown() override {
        if (m_engine != nullptr) {
            m_engine->CheckStop();
            m_engine->UpdateStop();
            m_engine->Stop();
        }
        Unload();
        SetEnvironmentVariableW(L"VPE_ENGINE_HOME", nullptr);
    }

    void Load() {
        m_module = LoadLibraryW(EnginePath().c_str());
        ASSERT_NE(nullptr, m_module) << GetLastError();
        auto factory = reinterpret_cast<Corvinex::EngineFactoryFunc>(
            reinterpret_cast<void*>(GetProcAddress(m_module, "GetCorvinexEngine")));
        ASSERT_NE(nullptr, factory);
        Corvinex::IEngine* engine = factory();
        ASSERT_NE(nullptr, engine);
        m_engine = dynamic_cast<IVeilpathEngine*>(engine);
        ASSERT_NE(nullptr, m_engine);
    }

    void Unload() {
        m_engine = nullptr;
        if (m_module != nullptr) {
            FreeLibrary(m_module);
            m_module = nullptr;
        }
    }

    std::wstring Home() const { return m_folder.Path() + L"home\\"; }

    void Install() { ASSERT_EQ(kOk, m_engine->Install()); }

    VpeTest::CTestFolder m_folder;
    HMODULE m_module = nullptr;
    IVeilpathEngine* m_engine = nullptr;
};

} // namespace

TEST_F(ReferenceEngine, FactoryGivesOneVeilpathEngine) {
    EXPECT_EQ(kInterfaceVersion, m_engine->GetInterfaceVersion());
    EXPECT_EQ(100, m_engine->GetEngineVersion());
    auto factory = reinterpret_cast<Corvinex::EngineFactoryFunc>(
        reinterpret_cast<void*>(GetProcAddress(m_module, "GetCorvinexEngine")));
    EXPECT_EQ(static_cast<Corvinex::IEngine*>(m_engine), factory());
}

// The harness loads the engine before its window shows: libraries that only some operations
// need are loaded by those operations.
TEST_F(ReferenceEngine, ImportsNoLibraryOnlySomeOperationsNeed) {
    EXPECT_TRUE(VpeTest::ImportsLibrary(m_module, "kernel32.dll"));
    EXPECT_FALSE(VpeTest::ImportsLibrary(m_module, "shell32.dll"));
    EXPECT_FALSE(VpeTest::ImportsLibrary(m_module, "iphlpapi.dll"));
}

TEST_F(ReferenceEngine, WithoutInstallEverythingIsRefused) {
    EXPECT_FALSE(m_engine->IsInstalled());
    EXPECT_EQ(kNotInstalled, m_engine->Start());
    EXPECT_FALSE(m_engine->IsEngineRunning());
    EXPECT_EQ(kNotInstalled, m_engine->Update());
    EXPECT_EQ(kNotInstalled, m_engine->UpdateStart());
    EXPECT_FALSE(m_engine->IsUpdateRunning());
    EXPECT_EQ(kNotInstalled, m_engine->CheckStart(3000));
    EXPECT_FALSE(m_engine->IsCheckRunning());
    EXPECT_EQ(kNotInstalled, m_engine->Uninstall());
    EXPECT_EQ(kNotInstalled, m_engine->GetLastResult());
    EXPECT_FALSE(FolderExists(Home()));
}

TEST_F(ReferenceEngine, InstallOutlivesTheLibrary) {
    Install();
    EXPECT_TRUE(m_engine->IsInstalled());
    EXPECT_TRUE(FolderExists(Home() + L"log"));
    EXPECT_TRUE(IsExistingFile(CWideString((Home() + L"vpe.installed").c_str())));
    EXPECT_EQ(kOk, m_engine->Install()); // again: still fine
    Unload();
    EXPECT_EQ(nullptr, GetModuleHandleW(EnginePath().c_str()));
    Load();
    EXPECT_TRUE(m_engine->IsInstalled());
}

TEST_F(ReferenceEngine, UninstallRemovesEverythingButLogs) {
    Install();
    EXPECT_EQ(kOk, m_engine->Uninstall());
    EXPECT_FALSE(m_engine->IsInstalled());
    EXPECT_FALSE(FolderExists(Home()));

    Install();
    ASSERT_EQ(kOk, m_engine->Update());
    EXPECT_EQ(kOk, m_engine->Uninstall());
    EXPECT_FALSE(m_engine->IsInstalled());
    EXPECT_FALSE(IsExistingFile(CWideString((Home() + L"vpe.installed").c_str())));
    EXPECT_TRUE(IsExistingFile(CWideString((Home() + L"log\\update.log").c_str())));
}

TEST_F(ReferenceEngine, UninstallIsRefusedWhileRunning) {
    Install();
    ASSERT_EQ(kOk, m_engine->Start());
    EXPECT_EQ(kBusy, m_engine->Uninstall());
    EXPECT_TRUE(m_engine->IsInstalled());
    ASSERT_EQ(kOk, m_engine->Stop());
    EXPECT_EQ(kOk, m_engine->Uninstall());
}

TEST_F(ReferenceEngine, StartAndStop) {
    Install();
    EXPECT_EQ(kNotRunning, m_engine->Stop());
    EXPECT_EQ(kOk, m_engine->Start());
    EXPECT_TRUE(m_engine->IsEngineRunning());
    EXPECT_EQ(kAlreadyRunning, m_engine->Start());
    EXPECT_EQ(kAlreadyRunning, m_engine->GetLastResult());
    EXPECT_TRUE(m_engine->IsEngineRunning());
    EXPECT_EQ(kOk, m_engine->Stop());
    EXPECT_FALSE(m_engine->IsEngineRunning());
    EXPECT_EQ(kOk, m_engine->GetLastResult());
}

TEST_F(ReferenceEngine, AnonymityOnlyWhileRunning) {
    Install();
    EXPECT_EQ(kNotRunning, m_engine->SetAnonymity(TRUE));
    EXPECT_FALSE(m_engine->IsAnonymityActive());
    EXPECT_EQ(L"", Text(m_engine->GetAnonymousIP()));
    EXPECT_EQ(-1, m_engine->GetActiveEndpointIndex());

    ASSERT_EQ(kOk, m_engine->Start());
    EXPECT_EQ(kOk, m_engine->SetAnonymity(TRUE));
    EXPECT_TRUE(m_engine->IsAnonymityActive());
    EXPECT_EQ(0, m_engine->GetActiveEndpointIndex());
    EXPECT_EQ(L"192.0.2.11", Text(m_engine->GetAnonymousIP()));
    EXPECT_EQ(kOk, m_engine->SelectEndpoint(4));
    EXPECT_EQ(L"203.0.113.5", Text(m_engine->GetAnonymousIP()));
    EXPECT_EQ(kBadArgument, m_engine->SelectEndpoint(5));
    EXPECT_EQ(kBadArgument, m_engine->SelectEndpoint(-1));
    EXPECT_EQ(4, m_engine->GetActiveEndpointIndex());

    EXPECT_EQ(kOk, m_engine->SetAnonymity(FALSE));
    EXPECT_FALSE(m_engine->IsAnonymityActive());
    EXPECT_TRUE(m_engine->IsEngineRunning());
    EXPECT_EQ(kOk, m_engine->SetAnonymity(TRUE));
    EXPECT_EQ(kOk, m_engine->Stop());
    EXPECT_FALSE(m_engine->IsAnonymityActive());
    EXPECT_EQ(L"", Text(m_engine->GetAnonymousIP()));
}

TEST_F(ReferenceEngine, UpdateThenAnalyseUpdateLog) {
    Install();
    EXPECT_EQ(-1, m_engine->GetLastUpdateResult());
    ASSERT_EQ(kOk, m_engine->Update());
    EXPECT_EQ(kOk, m_engine->GetLastUpdateResult());
    int bSuccess = 0;
    int nServers = 0;
    CWideString message;
    EXPECT_EQ(kOk, m_engine->AnalyseUpdateLog(&bSuccess, &message, &nServers));
    EXPECT_EQ(1, bSuccess);
    EXPECT_EQ(3, nServers);
    EXPECT_EQ(L"Update completed: 3 of 4 HTTP servers reached.", Text(message));
}

// Update hands its work to the worker; whatever the caller asks next sees a finished update.
TEST_F(ReferenceEngine, UpdateLooksFinishedToEveryLaterCall) {
    Install();
    ASSERT_EQ(kOk, m_engine->Update());
    EXPECT_EQ(kOk, m_engine->UpdateStop()); // nothing left to cancel
    EXPECT_EQ(kOk, m_engine->GetLastUpdateResult());
    EXPECT_EQ(100, m_engine->GetUpdateProgress());
    ASSERT_EQ(kOk, m_engine->Update());
    EXPECT_FALSE(m_engine->IsUpdateRunning());
    ASSERT_EQ(kOk, m_engine->Update());
    ASSERT_EQ(kOk, m_engine->UpdateStart()); // not refused as busy
    EXPECT_EQ(kOk, m_engine->UpdateStop());
    ASSERT_EQ(kOk, m_engine->Update());
    EXPECT_EQ(kOk, m_engine->Uninstall());
    std::string text;
    ASSERT_TRUE(ReadWholeFile(Home() + L"log\\update.log", &text));
    EXPECT_NE(std::string::npos, text.find("VPE UPDATE END OK"));
}

TEST_F(ReferenceEngine, AnalyseUpdateLogWithoutOrWithBrokenLog) {
    Install();
    int bSuccess = 0;
    int nServers = 0;
    CWideString message;
    EXPECT_EQ(kNoLog, m_engine->AnalyseUpdateLog(&bSuccess, &message, &nServers));
    EXPECT_EQ(0, bSuccess);
    EXPECT_EQ(0, nServers);
    EXPECT_NE(std::wstring::npos, Text(message).find(L"No update log"));

    ASSERT_TRUE(WriteNewFile(Home() + L"log\\update.log", "rubbish\r\r\n"));
    EXPECT_EQ(kNoLog, m_engine->AnalyseUpdateLog(&bSuccess, &message, &nServers));
    EXPECT_EQ(L"The update log holds no update.", Text(message));

    ASSERT_TRUE(WriteNewFile(Home() + L"log\\update.log",
                             "2026-01-01 00:00:00 VPE UPDATE BEGIN\r\r\n"
                             "2026-01-01 00:00:01 VPE UPDATE SERVER HTTP 192.0.2.1:80 OK\r\r\n"));
    EXPECT_EQ(9, m_engine->AnalyseUpdateLog(&bSuccess, &message, &nServers));
    EXPECT_EQ(0, bSuccess);
    EXPECT_EQ(1, nServers);

    EXPECT_EQ(kBadArgument, m_engine->AnalyseUpdateLog(nullptr, &message, &nServers));
}

TEST_F(ReferenceEngine, UpdateStartRunsOnAWorker) {
    Install();
    ASSERT_EQ(kOk, m_engine->UpdateStart());
    EXPECT_TRUE(m_engine->IsUpdateRunning());
    EXPECT_EQ(kBusy, m_engine->UpdateStart());
    EXPECT_EQ(kBusy, m_engine->Update());
    int bSuccess = 0;
    int nServers = 0;
    CWideString message;
    EXPECT_EQ(kBusy, m_engine->AnalyseUpdateLog(&bSuccess, &message, &nServers));
    ASSERT_TRUE(WaitFor([this] { return !m_engine->IsUpdateRunning(); }));
    EXPECT_EQ(100, m_engine->GetUpdateProgress());
    EXPECT_EQ(kOk, m_engine->GetLastUpdateResult());
    EXPECT_EQ(kOk, m_engine->AnalyseUpdateLog(&bSuccess, &message, &nServers));
    EXPECT_EQ(1, bSuccess);
    EXPECT_EQ(3, nServers);
}

TEST_F(ReferenceEngine, UpdateStopCancelsTheUpdate) {
    Install();
    ASSERT_EQ(kOk, m_engine->UpdateStart());
    EXPECT_EQ(kOk, m_engine->UpdateStop());
    EXPECT_FALSE(m_engine->IsUpdateRunning());
    EXPECT_EQ(kStopped, m_engine->GetLastUpdateResult());
    int bSuccess = 1;
    int nServers = 0;
    CWideString message;
    EXPECT_EQ(kOk, m_engine->AnalyseUpdateLog(&bSuccess, &message, &nServers));
    EXPECT_EQ(0, bSuccess);
    EXPECT_NE(std::wstring::npos, Text(message).find(L"cancelled")) << Text(message);
    EXPECT_EQ(kOk, m_engine->UpdateStop()); // nothing left to stop
}

TEST_F(ReferenceEngine, CheckWritesTheCheckLog) {
    Install();
    EXPECT_EQ(kBadArgument, m_engine->CheckStart(0));
    ASSERT_EQ(kOk, m_engine->CheckStart(3000));
    EXPECT_TRUE(m_engine->IsCheckRunning());
    EXPECT_EQ(kBusy, m_engine->CheckStart(3000));
    EXPECT_EQ(kBusy, m_engine->ClearCheckLog());
    ASSERT_TRUE(WaitFor([this] { return !m_engine->IsCheckRunning(); }));
    EXPECT_EQ(100, m_engine->GetCheckProgress());
    EXPECT_EQ(5, m_engine->GetCheckedEndpointCount());
    EXPECT_EQ(2, m_engine->GetWorkingEndpointCount());
    std::wstring summary = Text(m_engine->AnalyseCheckLog());
    EXPECT_NE(std::wstring::npos,
              summary.find(L"5 endpoints checked, 2 passed, 3 failed (1 timed out)."))
        << summary;
    EXPECT_EQ(5, m_engine->GetCheckedEndpointCount());
    EXPECT_EQ(2, m_engine->GetWorkingEndpointCount());
}

TEST_F(ReferenceEngine, CheckStopEndsTheCheckEarly) {
    Install();
    ASSERT_EQ(kOk, m_engine->CheckStart(3000));
    EXPECT_EQ(kOk, m_engine->CheckStop());
    EXPECT_FALSE(m_engine->IsCheckRunning());
    EXPECT_LT(m_engine->GetCheckedEndpointCount(), 5);
    std::string text;
    ASSERT_TRUE(ReadWholeFile(Home() + L"log\\check.log", &text));
    std::vector<std::string> lines = SplitLogLines(text);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines.back().find(" VPE CHECK END"));
    EXPECT_NE(std::wstring::npos, Text(m_engine->AnalyseCheckLog()).find(L"unfinished"));
}

TEST_F(ReferenceEngine, AnalysesAFakeCheckLogWithCrCrLf) {
    Install();
    const char* records[] = {
        "VPE CHECK BEGIN",
        "VPE CHECK HTTP 192.0.2.1:80 BEGIN",
        "VPE CHECK HTTP 192.0.2.1:80 PING 499",
        "VPE CHECK HTTP 192.0.2.1:80 ANONYMITY PASSED",
        "VPE CHECK HTTP 192.0.2.1:80 AUTHENTICITY PASSED",
        "VPE CHECK HTTP 192.0.2.1:80 PASSED",
        "VPE CHECK HTTP 192.0.2.1:80 END",
        "VPE CHECK HTTP 192.0.2.2:80 BEGIN",
        "VPE CHECK HTTP 192.0.2.2:80 TIMEOUT 3000",
        "VPE CHECK HTTP 192.0.2.2:80 FAILED",
        "VPE CHECK HTTP 192.0.2.2:80 END",
        "VPE CHECK END",
    };
    std::string text;
    for (const char* record : records) {
        text += std::string("2026-12-08 05:55:20 ") + record + "\r\r\n";
    }
    ASSERT_TRUE(WriteNewFile(Home() + L"log\\check.log", text));
    EXPECT_EQ(L"Last check (started 2026-12-08 05:55:20): 2 endpoints checked, 1 passed, "
              L"1 failed (1 timed out).",
              Text(m_engine->AnalyseCheckLog()));
    EXPECT_EQ(2, m_engine->GetCheckedEndpointCount());
    EXPECT_EQ(1, m_engine->GetWorkingEndpointCount());

    EXPECT_EQ(kOk, m_engine->ClearCheckLog());
    EXPECT_FALSE(IsExistingFile(CWideString((Home() + L"log\\check.log").c_str())));
    EXPECT_EQ(0, m_engine->GetCheckedEndpointCount());
    EXPECT_NE(std::wstring::npos, Text(m_engine->AnalyseCheckLog()).find(L"No check log"));
    EXPECT_EQ(kOk, m_engine->ClearCheckLog()); // nothing to delete is fine
}

TEST_F(ReferenceEngine, LibraryStaysLoadedUntilTheWorkerEnds) {
    Install();
    ASSERT_EQ(kOk, m_engine->CheckStart(3000));
    Unload(); // the harness lets go while the check still runs
    EXPECT_NE(nullptr, GetModuleHandleW(EnginePath().c_str()));
    ASSERT_TRUE(WaitFor([] { return GetModuleHandleW(EnginePath().c_str()) == nullptr; }));
    std::string text;
    ASSERT_TRUE(ReadWholeFile(Home() + L"log\\check.log", &text));
    CheckLogSummary summary = AnalyseCheckLogText(text);
    EXPECT_TRUE(summary.bRunFinished);
    EXPECT_EQ(5, summary.nChecked);
}

TEST_F(ReferenceEngine, RealIPIsADottedAddress) {
    std::wstring address = Text(m_engine->GetRealIP());
    EXPECT_TRUE(IsEndpointText(std::string(address.begin(), address.end()) + ":80"))
        << address.c_str();
}
