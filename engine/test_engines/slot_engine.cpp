// A test engine whose every slot answers 100 + its slot number and records the last call, so a
// test can prove that the harness reaches each operation through the right virtual slot.
#include "engine/engine_interface.h"

using Corvinex::CWideString;

namespace {

int g_lastSlot = -1;
int g_lastArgument = 0;

int Called(int slot) {
    g_lastSlot = slot;
    return 100 + slot;
}

class SlotEngine : public Corvinex::VeilpathEngine::IVeilpathEngine {
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
    int CheckStart(int nTimeoutMs) override {
        g_lastArgument = nTimeoutMs;
        return Called(15);
    }
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
    int SetAnonymity(BOOL bOn) override {
        g_lastArgument = bOn;
        return Called(23);
    }
    BOOL IsAnonymityActive() override { return Called(24); }
    CWideString GetAnonymousIP() override {
        Called(25);
        return CWideString(L"198.51.100.25");
    }
    int GetActiveEndpointIndex() override { return Called(26); }
    int SelectEndpoint(int nIndex) override {
        g_lastArgument = nIndex;
        return Called(27);
    }
    int GetLastResult() override { return Called(28); }
    CWideString GetRealIP() override {
        Called(29);
        return CWideString(L"192.0.2.29");
    }
};

SlotEngine g_engine;

} // namespace

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    return &g_engine;
}

// For the tests: the slot of the last call and the last argument an operation received.
extern "C" __declspec(dllexport) int SlotEngineLastSlot() {
    return g_lastSlot;
}
extern "C" __declspec(dllexport) int SlotEngineLastArgument() {
    return g_lastArgument;
}
