// An engine library that imports a helper library (dep_helper.cpp). Built twice: once with the
// helper beside it, once with the helper nowhere the system looks.
#include "engine/engine_interface.h"

extern "C" __declspec(dllimport) const wchar_t* DepHelperLoadFolder();

extern "C" __declspec(dllexport) const wchar_t* DepEngineHelperFolder() {
    return DepHelperLoadFolder();
}

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    return nullptr;
}
