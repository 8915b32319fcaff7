// A library whose factory ends the process with exit code 3, the code abort() ends with.
#include "engine/engine_interface.h"

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    ExitProcess(3);
    return nullptr;
}
