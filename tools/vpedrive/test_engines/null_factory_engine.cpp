// A library whose factory has no engine to give.
#include "engine/engine_interface.h"

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    return nullptr;
}
