// An engine library whose object has every slot of IVeilpathEngine in the same order, but through
// an interface of another name: the run-time type check must refuse it.
#include "engine/engine_interface.h"

using Corvinex::CWideString;

namespace Corvinex {
namespace VeilpathEngine {

class ILookalikeEngine : public IEngine {
public:
    virtual int Start() = 0;               // slot 6
    virtual int Stop() = 0;                // slot 7
    virtual BOOL IsEngineRunning() = 0;    // slot 8
    virtual int UpdateStart() = 0;         // slot 9
    virtual int UpdateStop() = 0;          // slot 10
    virtual BOOL IsUpdateRunning() = 0;    // slot 11
    virtual int GetUpdateProgress() = 0;   // slot 12: percent of the running update
    virtual int GetLastUpdateResult() = 0; // slot 13
    // Slot 14. The caller passes *bSuccess and *nServerCountHTTP as 0 and an empty message;
    // the engine fills all three and returns a code.
    virtual int AnalyseUpdateLog(int* bSuccess, CWideString* message, int* nServerCountHTTP) = 0;
    virtual int CheckStart(int nTimeoutMs) = 0; // slot 15
    virtual int CheckStop() = 0;                // slot 16
    virtual BOOL IsCheckRunning() = 0;          // slot 17
    virtual int GetCheckProgress() = 0;         // slot 18: percent of the running check
    virtual CWideString AnalyseCheckLog() = 0;  // slot 19
    virtual int GetCheckedEndpointCount() = 0;  // slot 20
    virtual int GetWorkingEndpointCount() = 0;  // slot 21
    virtual int ClearCheckLog() = 0;            // slot 22
    virtual int SetAnonymity(BOOL bOn) = 0;     // slot 23
    virtual BOOL IsAnonymityActive() = 0;       // slot 24
    virtual CWideString GetAnonymousIP() = 0;   // slot 25
    virtual int GetActiveEndpointIndex() = 0;   // slot 26
    virtual int SelectEndpoint(int nIndex) = 0; // slot 27
    virtual int GetLastResult() = 0;            // slot 28
    virtual CWideString GetRealIP() = 0;        // slot 29

protected:
    ~ILookalikeEngine() {}
};

} // namespace VeilpathEngine
} // namespace Corvinex

namespace {

int Called(int slot) {
    return 100 + slot;
}

class LookalikeEngine : public Corvinex::VeilpathEngine::ILookalikeEngine {
public:
    int GetInterfaceVersion() override { return Called(0); }
    BOOL IsInstalled() override { return Called(1); }
    int Install() override { return Called(2); }
    int Uninstall() override { return Called(3); }
    int Update() override { return Called(4); }
    int GetEngineVersion() override { return Called(5); }
    int Start() override { return Called(6); }
    int Stop() override { return Called(7); }
    BOOL IsEngineRunning() override { return Called(8); }
    int UpdateStart() override { return Called(9); }
    int UpdateStop() override { return Called(10); }
    BOOL IsUpdateRunning() override { return Called(11); }
    int GetUpdateProgress() override { return Called(12); }
    int GetLastUpdateResult() override { return Called(13); }
    int AnalyseUpdateLog(int* bSuccess, CWideString* message, int* nServerCountHTTP) override {
        *bSuccess = 1;
        message->Assign(L"update log analysed in the engine");
        *nServerCountHTTP = 42;
        return Called(14);
    }
    int CheckStart(int) override { return Called(15); }
    int CheckStop() override { return Called(16); }
    BOOL IsCheckRunning() override { return Called(17); }
    int GetCheckProgress() override { return Called(18); }
    CWideString AnalyseCheckLog() override {
        Called(19);
        return CWideString(L"check summary from the engine");
    }
    int GetCheckedEndpointCount() override { return Called(20); }
    int GetWorkingEndpointCount() override { return Called(21); }
    int ClearCheckLog() override { return Called(22); }
    int SetAnonymity(BOOL) override { return Called(23); }
    BOOL IsAnonymityActive() override { return Called(24); }
    CWideString GetAnonymousIP() override {
        Called(25);
        return CWideString(L"198.51.100.25");
    }
    int GetActiveEndpointIndex() override { return Called(26); }
    int SelectEndpoint(int) override { return Called(27); }
    int GetLastResult() override { return Called(28); }
    CWideString GetRealIP() override {
        Called(29);
        return CWideString(L"192.0.2.29");
    }
};

LookalikeEngine g_engine;

} // namespace

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    return &g_engine;
}
