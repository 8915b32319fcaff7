// A library that faults while it is being loaded.
#include "engine/engine_interface.h"

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    return nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        *static_cast<volatile int*>(nullptr) = 1;
    return TRUE;
}
