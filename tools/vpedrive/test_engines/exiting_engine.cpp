// An engine that ends the whole process with exit code 0 when it is started.
#include "testsupport/quiet_engine.h"

namespace {

class CExitingEngine : public VpeTest::CQuietEngine {
public:
    int Start() override {
        ExitProcess(0);
        return 0;
    }
};

CExitingEngine g_engine;

} // namespace

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    return &g_engine;
}
