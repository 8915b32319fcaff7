// A library whose factory ends the process: by default with exit code 3, the code abort() ends
// with; built a second time with VPE_FACTORY_EXIT_CODE=0, a start that ends without a word.
#include "engine/engine_interface.h"

#ifndef VPE_FACTORY_EXIT_CODE
#define VPE_FACTORY_EXIT_CODE 3
#endif

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    ExitProcess(VPE_FACTORY_EXIT_CODE);
    return nullptr;
}
