// An engine whose IsEngineRunning (slot 8, one of the status queries) takes 10 s.
#include "testsupport/quiet_engine.h"

namespace {

class CSlowStatusEngine : public VpeTest::CQuietEngine {
public:
    BOOL IsEngineRunning() override {
        Sleep(10000);
        return 0;
    }
};

CSlowStatusEngine g_engine;

} // namespace

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    return &g_engine;
}
