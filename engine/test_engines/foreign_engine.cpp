// An engine library of another kind: its object is an IEngine but no IVeilpathEngine.
#include "engine/engine_interface.h"

namespace {

class ForeignEngine : public Corvinex::IEngine {
public:
    int GetInterfaceVersion() override { return 900; }
    BOOL IsInstalled() override { return FALSE; }
    int Install() override { return 902; }
    int Uninstall() override { return 903; }
    int Update() override { return 904; }
    int GetEngineVersion() override { return 905; }
};

ForeignEngine g_engine;

} // namespace

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    return &g_engine;
}
