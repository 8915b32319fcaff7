// The entry of vpe.dll: the one engine object and the factory the harness resolves.
#include "refengine/veilpath_engine.h"

namespace {

// Lives as long as the library is mapped; the harness never deletes it.
Corvinex::VeilpathEngine::CVeilpathEngine g_engine;

} // namespace

// Every caller, also a second binding of the same process, gets the same object.
VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    return &g_engine;
}
