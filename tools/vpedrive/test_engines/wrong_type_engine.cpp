// A library whose factory returns an engine object of the base type only, not a Veilpath one.
#include "engine/engine_interface.h"

namespace {

class PlainEngine : public Corvinex::IEngine {
public:
    int GetInterfaceVersion() override { return 1; }
    BOOL IsInstalled() override { return FALSE; }
    int Install() override { return 0; }
    int Uninstall() override { return 0; }
    int Update() override { return 0; }
    int GetEngineVersion() override { return 1; }
};

PlainEngine g_engine;

} // namespace

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    return &g_engine;
}
