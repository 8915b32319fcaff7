// A library whose factory faults.
#include "engine/engine_interface.h"

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    *static_cast<volatile int*>(nullptr) = 1;
    return nullptr;
}
