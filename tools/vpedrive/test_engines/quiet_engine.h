// An engine whose every operation answers 0 or the empty text at once; the test engines of
// vpedrive derive from it and change the one operation whose fault they carry.
#pragma once

#include "engine/engine_interface.h"

class CQuietEngine : public Corvinex::VeilpathEngine::IVeilpathEngine {
public:
    int GetInterfaceVersion() override { return 0; }
    BOOL IsInstalled() override { return 0; }
    int Install() override { return 0; }
    int Uninstall() override { return 0; }
    int Update() override { return 0; }
    int GetEngineVersion() override { return 0; }
    int Start() override { return 0; }
    int Stop() override { return 0; }
    BOOL IsEngineRunning() override { return 0; }
    int UpdateStart() override { return 0; }
    int UpdateStop() override { return 0; }
    BOOL IsUpdateRunning() override { return 0; }
    int GetUpdateProgress() override { return 0; }
    int GetLastUpdateResult() override { return 0; }
    int AnalyseUpdateLog(int*, Corvinex::CWideString*, int*) override { return 0; }
    int CheckStart(int) override { return 0; }
    int CheckStop() override { return 0; }
    BOOL IsCheckRunning() override { return 0; }
    int GetCheckProgress() override { return 0; }
    Corvinex::CWideString AnalyseCheckLog() override { return Corvinex::CWideString(); }
    int GetCheckedEndpointCount() override { return 0; }
    int GetWorkingEndpointCount() override { return 0; }
    int ClearCheckLog() override { return 0; }
    int SetAnonymity(BOOL) override { return 0; }
    BOOL IsAnonymityActive() override { return 0; }
    Corvinex::CWideString GetAnonymousIP() override { return Corvinex::CWideString(); }
    int GetActiveEndpointIndex() override { return 0; }
    int SelectEndpoint(int) override { return 0; }
    int GetLastResult() override { return 0; }
    Corvinex::CWideString GetRealIP() override { return Corvinex::CWideString(); }
};
