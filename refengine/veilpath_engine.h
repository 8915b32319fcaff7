// CVeilpathEngine: the reference engine of vpe.dll, written to be read as a template for real
// engines. Everything it does is simulated and stays on this computer: no network traffic.
//
// State. Whether the engine is installed lives on disk and outlives the process: Install
// creates the engine's folder ("<Program Files>\Veilpath Engine\", or %VPE_ENGINE_HOME%), its
// "log\" folder and the marker file "vpe.installed"; Uninstall removes the marker and the
// folders as far as they are empty, so existing logs stay. Everything else belongs to the
// loaded library:
//
//   stopped --Start--> running --Stop--> stopped
//   running: SetAnonymity(TRUE) --> anonymous (through the selected endpoint)
//   anonymous: SetAnonymity(FALSE) or Stop --> not anonymous
//
// Anonymity exists only while the engine runs. The update (Update at once, or UpdateStart for
// about two seconds, both on a worker thread) writes "log\update.log"; the check
// (CheckStart, on a worker thread for about one and a half seconds) appends to "log\check.log"
// in the format of vpetest.exe's fake-check mode. Both are independent of running.
//
// Result codes of the operations that return one (GetLastResult repeats the latest):
//    0 kOk            done
//    1 kNotInstalled  Start, Update, UpdateStart, CheckStart and Uninstall need an install
//    2 kNotRunning    Stop and SetAnonymity(TRUE) need a running engine
//    3 kAlreadyRunning Start on a running engine
//    4 kBusy          an update or a check is running (a second one, Uninstall,
//                     ClearCheckLog, AnalyseUpdateLog), or Uninstall while the engine runs
//    5 kFileError     a folder or file could not be created, written or deleted
//    6 kNoLog         AnalyseUpdateLog found no update log or no update in it
//    7 kBadArgument   CheckStart with a timeout <= 0, SelectEndpoint out of range, null
//                     pointers to AnalyseUpdateLog
//    8 kThreadError   the worker thread could not be started
//    9 kLogIncomplete AnalyseUpdateLog: the last update in the log never ended
//   10 kStopped       GetLastUpdateResult: the last update was stopped before its end
//
// Threads: the harness calls from its UI thread, so every operation returns quickly and file
// work runs on the workers; they share only the progress counters and the last update result
// (atomics) with it. UpdateStop and CheckStop wait for the worker.
#pragma once

#include "engine/engine_interface.h"
#include "refengine/lock.h"
#include "refengine/simulation.h"
#include "refengine/worker_thread.h"

#include "base/wide_string.h"

namespace Corvinex {
namespace VeilpathEngine {

enum ResultCode {
    kOk = 0,
    kNotInstalled = 1,
    kNotRunning = 2,
    kAlreadyRunning = 3,
    kBusy = 4,
    kFileError = 5,
    kNoLog = 6,
    kBadArgument = 7,
    kThreadError = 8,
    kLogIncomplete = 9,
    kStopped = 10,
};

// What GetEngineVersion reports: major * 100 + minor.
const int kEngineVersion = 100;
// What GetLastUpdateResult reports before any update has finished in this process.
const int kNoUpdateYet = -1;

class CVeilpathEngine : public IVeilpathEngine {
public:
    CVeilpathEngine();
    CVeilpathEngine(const CVeilpathEngine&) = delete;
    CVeilpathEngine& operator=(const CVeilpathEngine&) = delete;

    int GetInterfaceVersion() override;
    // TRUE when the install marker exists.
    BOOL IsInstalled() override;
    // Creates the folders and the marker; installing again refreshes the marker (kOk).
    int Install() override;
    // Removes the marker and the empty folders; refused while running, updating or checking.
    int Uninstall() override;
    // Runs the whole update at once (no pauses) on the update worker and returns without
    // waiting: kOk once it is handed over. Every later call about the update or its log waits
    // for it first, so to callers it has finished; a failed log write then shows as kFileError
    // in GetLastUpdateResult. Refused (kBusy) while UpdateStart's update runs.
    int Update() override;
    int GetEngineVersion() override;

    int Start() override;
    // Stops the engine; anonymity ends with it.
    int Stop() override;
    BOOL IsEngineRunning() override;
    // Starts the update on a worker thread; kBusy while one runs.
    int UpdateStart() override;
    // Stops a running update and waits for its worker; kOk also when none runs.
    int UpdateStop() override;
    BOOL IsUpdateRunning() override;
    int GetUpdateProgress() override;
    // The code of the last finished update (kOk, kStopped, kFileError) or kNoUpdateYet.
    int GetLastUpdateResult() override;
    // Reads the last update of the update log: success flag, a text and the HTTP servers
    // reached. Leaves *bSuccess and *nServerCountHTTP 0 unless a finished update says more.
    int AnalyseUpdateLog(int* bSuccess, CWideString* message, int* nServerCountHTTP) override;
    // Starts the check of the endpoints on a worker thread; nTimeoutMs is the longest
    // response time an endpoint may take.
    int CheckStart(int nTimeoutMs) override;
    // Stops a running check and waits for its worker; kOk also when none runs.
    int CheckStop() override;
    BOOL IsCheckRunning() override;
    int GetCheckProgress() override;
    // A summary of the last run in the check log (the engine's or a fake-check run); also
    // sets the endpoint counts.
    CWideString AnalyseCheckLog() override;
    // Endpoints checked and passed: of the running or last check started, or of the last
    // AnalyseCheckLog, whichever came later.
    int GetCheckedEndpointCount() override;
    int GetWorkingEndpointCount() override;
    // Deletes the check log; refused while a check runs.
    int ClearCheckLog() override;
    int SetAnonymity(BOOL bOn) override;
    BOOL IsAnonymityActive() override;
    // The address of the endpoint anonymity goes through, or the empty text when it is off.
    CWideString GetAnonymousIP() override;
    // The selected endpoint's index while anonymity is on, else -1.
    int GetActiveEndpointIndex() override;
    // Selects the endpoint (0 to 4) that anonymity uses, now or when it is next switched on.
    int SelectEndpoint(int nIndex) override;
    int GetLastResult() override;
    // The computer's primary IPv4 address from the local configuration.
    CWideString GetRealIP() override;

private:
    static void UpdateWork(void* context, HANDLE hStop);
    // Hands the simulated update, with pauseMs between servers, to the update worker and
    // answers the operation's code (kOk once it runs); the caller holds m_lock.
    int StartUpdateWorker(int pauseMs);
    // Waits (up to the stop timeout) for an update that Update handed to the worker; the
    // caller holds m_lock.
    void FinishQuickUpdate();
    static void CheckWork(void* context, HANDLE hStop);
    int Result(int code);
    bool IsInstalledNow() const;

    CCriticalSection m_lock;
    bool m_bRunning;
    bool m_bAnonymous;
    int m_nSelectedEndpoint;
    int m_nLastResult;

    CWorkerThread m_updateWorker;
    CWideString m_updateLogPath; // set before the update worker starts, read by it
    int m_nUpdatePauseMs;        // likewise: 0 for Update, a pause per server for UpdateStart
    bool m_bQuickUpdate;         // the worker runs (or ran) Update's update, not yet awaited
    SimulationProgress m_updateProgress;
    volatile LONG m_nLastUpdateResult; // written by the worker, read with interlocked calls

    CWorkerThread m_checkWorker;
    CWideString m_checkLogPath; // set before the check worker starts, read by it
    int m_nCheckTimeoutMs;
    SimulationProgress m_checkProgress;
    bool m_bCountsFromCheck;
    int m_nAnalysedChecked;
    int m_nAnalysedWorking;
};

} // namespace VeilpathEngine
} // namespace Corvinex
