// An engine library that faults in its own initialisation (DllMain, process attach).
#include "engine/engine_interface.h"

namespace {

int* volatile g_nowhere = nullptr;

} // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        *g_nowhere = 1;
    }
    return TRUE;
}

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    return nullptr;
}
