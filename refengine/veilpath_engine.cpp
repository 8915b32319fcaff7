#include "refengine/veilpath_engine.h"

#include "base/file_system.h"

#include "refengine/check_log_reader.h"
#include "refengine/check_simulation.h"
#include "refengine/engine_home.h"
#include "refengine/log_file.h"
#include "refengine/real_ip.h"
#include "refengine/update_log_reader.h"
#include "refengine/update_simulation.h"

namespace Corvinex {
namespace VeilpathEngine {

namespace {

// Pause before each update server: four servers make an update of about two seconds.
const int kUpdatePauseMs = 450;
// Check pauses last a quarter of the simulated response times (about 1.2 s at 3000 ms).
const int kCheckPauseDivisor = 4;
// How long UpdateStop and CheckStop wait for a worker; it answers a stop within milliseconds.
const DWORD kStopWaitMs = 5000;

int CodeOf(SimulationResult result) {
    switch (result) {
    case kSimulationFinished:
        return kOk;
    case kSimulationStopped:
        return kStopped;
    default:
        return kFileError;
    }
}

// The engine's folder and its log folder, created when missing.
bool EnsureEngineFolders() {
    CWideString home = GetEngineHome();
    const CWideString log = GetLogFolder();
    return home.GetLength() > 0 && (MakeFolder(home) || IsExistingFolder(home)) &&
           (MakeFolder(log) || IsExistingFolder(log));
}

CWideString AddressOf(const char* endpoint) {
    CWideString text(L"");
    for (const char* p = endpoint; *p != '\0' && *p != ':'; ++p) {
        text.Append(static_cast<wchar_t>(*p));
    }
    return text;
}

} // namespace

CVeilpathEngine::CVeilpathEngine()
    : m_bRunning(false), m_bAnonymous(false), m_nSelectedEndpoint(0), m_nLastResult(kOk),
      m_nUpdatePauseMs(0), m_bQuickUpdate(false), m_nLastUpdateResult(kNoUpdateYet),
      m_nCheckTimeoutMs(0), m_bCountsFromCheck(false), m_nAnalysedChecked(0),
      m_nAnalysedWorking(0) {}

int CVeilpathEngine::Result(int code) {
    m_nLastResult = code;
    return code;
}

bool CVeilpathEngine::IsInstalledNow() const {
    CWideString marker = GetInstallMarkerPath();
    return marker.GetLength() > 0 && IsExistingFile(marker);
}

int CVeilpathEngine::GetInterfaceVersion() {
    return kInterfaceVersion;
}

BOOL CVeilpathEngine::IsInstalled() {
    CLockGuard guard(m_lock);
    return IsInstalledNow() ? TRUE : FALSE;
}

int CVeilpathEngine::Install() {
    static const char kMarker[] = "Veilpath reference engine 1.00\r\n";
    CLockGuard guard(m_lock);
    if (!EnsureEngineFolders() ||
        !WriteNewFile(GetInstallMarkerPath().c_str(), kMarker, sizeof(kMarker) - 1)) {
        return Result(kFileError);
    }
    return Result(kOk);
}

int CVeilpathEngine::Uninstall() {
    CLockGuard guard(m_lock);
    FinishQuickUpdate();
    if (!IsInstalledNow()) {
        return Result(kNotInstalled);
    }
    if (m_bRunning || m_updateWorker.IsRunning() || m_checkWorker.IsRunning()) {
        return Result(kBusy);
    }
    if (!DeleteFileW(GetInstallMarkerPath().c_str())) {
        return Result(kFileError);
    }
    // Folders that still hold logs refuse to go; that is what keeps the logs.
    RemoveDirectoryW(GetLogFolder().c_str());
    RemoveDirectoryW(GetEngineHome().c_str());
    return Result(kOk);
}

int CVeilpathEngine::Update() {
    CLockGuard guard(m_lock);
    // The caller is usually a user-interface thread (the harness calls Update before its window
    // exists): the file work goes to the worker, and every later call that could tell the
    // difference waits for it first (FinishQuickUpdate), so the update still looks finished.
    int code = StartUpdateWorker(0);
    if (code == kOk) {
        m_bQuickUpdate = true;
    }
    return Result(code);
}

int CVeilpathEngine::StartUpdateWorker(int pauseMs) {
    FinishQuickUpdate();
    if (!IsInstalledNow()) {
        return kNotInstalled;
    }
    if (m_updateWorker.IsRunning()) {
        return kBusy;
    }
    if (!EnsureEngineFolders()) {
        return kFileError;
    }
    m_updateLogPath = GetUpdateLogPath();
    m_nUpdatePauseMs = pauseMs;
    m_updateProgress.Reset();
    return m_updateWorker.Start(&CVeilpathEngine::UpdateWork, this) ? kOk : kThreadError;
}

void CVeilpathEngine::FinishQuickUpdate() {
    if (m_bQuickUpdate && m_updateWorker.Wait(kStopWaitMs)) {
        m_bQuickUpdate = false;
    }
}

int CVeilpathEngine::GetEngineVersion() {
    return kEngineVersion;
}

int CVeilpathEngine::Start() {
    CLockGuard guard(m_lock);
    if (!IsInstalledNow()) {
        return Result(kNotInstalled);
    }
    if (m_bRunning) {
        return Result(kAlreadyRunning);
    }
    m_bRunning = true;
    return Result(kOk);
}

int CVeilpathEngine::Stop() {
    CLockGuard guard(m_lock);
    if (!m_bRunning) {
        return Result(kNotRunning);
    }
    m_bRunning = false;
    m_bAnonymous = false;
    return Result(kOk);
}

BOOL CVeilpathEngine::IsEngineRunning() {
    CLockGuard guard(m_lock);
    return m_bRunning ? TRUE : FALSE;
}

void CVeilpathEngine::UpdateWork(void* context, HANDLE hStop) {
    CVeilpathEngine* self = static_cast<CVeilpathEngine*>(context);
    SimulationResult result = RunSimulatedUpdate(
        self->m_updateLogPath.c_str(), self->m_nUpdatePauseMs, hStop, &self->m_updateProgress);
    InterlockedExchange(&self->m_nLastUpdateResult, CodeOf(result));
}

int CVeilpathEngine::UpdateStart() {
    CLockGuard guard(m_lock);
    return Result(StartUpdateWorker(kUpdatePauseMs));
}

int CVeilpathEngine::UpdateStop() {
    CLockGuard guard(m_lock);
    FinishQuickUpdate();
    return Result(m_updateWorker.Stop(kStopWaitMs) ? kOk : kBusy);
}

BOOL CVeilpathEngine::IsUpdateRunning() {
    CLockGuard guard(m_lock);
    FinishQuickUpdate();
    return m_updateWorker.IsRunning() ? TRUE : FALSE;
}

int CVeilpathEngine::GetUpdateProgress() {
    CLockGuard guard(m_lock);
    FinishQuickUpdate();
    return m_updateProgress.Percent();
}

int CVeilpathEngine::GetLastUpdateResult() {
    CLockGuard guard(m_lock);
    FinishQuickUpdate();
    return InterlockedCompareExchange(&m_nLastUpdateResult, 0, 0);
}

int CVeilpathEngine::AnalyseUpdateLog(int* bSuccess, CWideString* message, int* nServerCountHTTP) {
    CLockGuard guard(m_lock);
    if (bSuccess == nullptr || message == nullptr || nServerCountHTTP == nullptr) {
        return Result(kBadArgument);
    }
    *bSuccess = 0;
    *nServerCountHTTP = 0;
    FinishQuickUpdate();
    if (m_updateWorker.IsRunning()) {
        message->Assign(L"An update is running; analyse its log when it has finished.");
        return Result(kBusy);
    }
    CWideString path = GetUpdateLogPath();
    TArray<char> text;
    if (path.GetLength() == 0 || !ReadWholeFile(path.c_str(), &text)) {
        message->Assign(FormatString(L"No update log at %s", path.c_str()).c_str());
        return Result(kNoLog);
    }
    UpdateLogSummary summary = AnalyseUpdateLogText(text.GetData(), text.GetCount());
    message->Assign(DescribeUpdateLog(summary).c_str());
    if (summary.nRuns == 0) {
        return Result(kNoLog);
    }
    *bSuccess = IsUpdateSuccessful(summary) ? 1 : 0;
    *nServerCountHTTP = summary.nServersOk;
    return Result(summary.ending == kUpdateNotEnded ? kLogIncomplete : kOk);
}

void CVeilpathEngine::CheckWork(void* context, HANDLE hStop) {
    CVeilpathEngine* self = static_cast<CVeilpathEngine*>(context);
    RunSimulatedCheck(self->m_checkLogPath.c_str(), self->m_nCheckTimeoutMs, kCheckPauseDivisor,
                      hStop, &self->m_checkProgress);
}

int CVeilpathEngine::CheckStart(int nTimeoutMs) {
    CLockGuard guard(m_lock);
    if (nTimeoutMs <= 0) {
        return Result(kBadArgument);
    }
    if (!IsInstalledNow()) {
        return Result(kNotInstalled);
    }
    if (m_checkWorker.IsRunning()) {
        return Result(kBusy);
    }
    if (!EnsureEngineFolders()) {
        return Result(kFileError);
    }
    m_checkLogPath = GetCheckLogPath();
    m_nCheckTimeoutMs = nTimeoutMs;
    m_checkProgress.Reset();
    m_bCountsFromCheck = true;
    if (!m_checkWorker.Start(&CVeilpathEngine::CheckWork, this)) {
        return Result(kThreadError);
    }
    return Result(kOk);
}

int CVeilpathEngine::CheckStop() {
    CLockGuard guard(m_lock);
    return Result(m_checkWorker.Stop(kStopWaitMs) ? kOk : kBusy);
}

BOOL CVeilpathEngine::IsCheckRunning() {
    CLockGuard guard(m_lock);
    return m_checkWorker.IsRunning() ? TRUE : FALSE;
}

int CVeilpathEngine::GetCheckProgress() {
    return m_checkProgress.Percent();
}

CWideString CVeilpathEngine::AnalyseCheckLog() {
    CLockGuard guard(m_lock);
    CWideString path = GetCheckLogPath();
    TArray<char> text;
    if (path.GetLength() == 0 || !ReadWholeFile(path.c_str(), &text)) {
        return FormatString(L"No check log at %s", path.c_str());
    }
    CheckLogSummary summary = AnalyseCheckLogText(text.GetData(), text.GetCount());
    m_bCountsFromCheck = false;
    m_nAnalysedChecked = summary.nChecked;
    m_nAnalysedWorking = summary.nPassed;
    return DescribeCheckLog(summary);
}

int CVeilpathEngine::GetCheckedEndpointCount() {
    CLockGuard guard(m_lock);
    return m_bCountsFromCheck ? m_checkProgress.Done() : m_nAnalysedChecked;
}

int CVeilpathEngine::GetWorkingEndpointCount() {
    CLockGuard guard(m_lock);
    return m_bCountsFromCheck ? m_checkProgress.Good() : m_nAnalysedWorking;
}

int CVeilpathEngine::ClearCheckLog() {
    CLockGuard guard(m_lock);
    if (m_checkWorker.IsRunning()) {
        return Result(kBusy);
    }
    CWideString path = GetCheckLogPath();
    if (path.GetLength() > 0 && IsExistingFile(path) && !DeleteFileW(path.c_str())) {
        return Result(kFileError);
    }
    m_bCountsFromCheck = false;
    m_nAnalysedChecked = 0;
    m_nAnalysedWorking = 0;
    return Result(kOk);
}

int CVeilpathEngine::SetAnonymity(BOOL bOn) {
    CLockGuard guard(m_lock);
    if (!bOn) {
        m_bAnonymous = false;
        return Result(kOk);
    }
    if (!m_bRunning) {
        return Result(kNotRunning);
    }
    m_bAnonymous = true;
    return Result(kOk);
}

BOOL CVeilpathEngine::IsAnonymityActive() {
    CLockGuard guard(m_lock);
    return m_bAnonymous ? TRUE : FALSE;
}

CWideString CVeilpathEngine::GetAnonymousIP() {
    CLockGuard guard(m_lock);
    if (!m_bAnonymous) {
        return CWideString(L"");
    }
    return CWideString(AddressOf(GetSimulatedEndpoint(m_nSelectedEndpoint).endpoint).c_str());
}

int CVeilpathEngine::GetActiveEndpointIndex() {
    CLockGuard guard(m_lock);
    return m_bAnonymous ? m_nSelectedEndpoint : -1;
}

int CVeilpathEngine::SelectEndpoint(int nIndex) {
    CLockGuard guard(m_lock);
    if (nIndex < 0 || nIndex >= GetSimulatedEndpointCount()) {
        return Result(kBadArgument);
    }
    m_nSelectedEndpoint = nIndex;
    return Result(kOk);
}

int CVeilpathEngine::GetLastResult() {
    CLockGuard guard(m_lock);
    return m_nLastResult;
}

CWideString CVeilpathEngine::GetRealIP() {
    return FindRealIPv4Address();
}

} // namespace VeilpathEngine
} // namespace Corvinex
