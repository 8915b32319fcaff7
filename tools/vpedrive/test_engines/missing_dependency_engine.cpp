// A library that needs vpe_absent_helper.dll, which is not beside it.
#include "engine/engine_interface.h"

extern "C" __declspec(dllimport) int VpeAbsentHelper();

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    // Never reached: the loader refuses the library before, for want of the helper.
    VpeAbsentHelper();
    return nullptr;
}
