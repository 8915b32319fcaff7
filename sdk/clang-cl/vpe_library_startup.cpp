// The entry point of a library of the MSVC-ABI build: its static constructors before its DllMain
// sees the attach, its destructors after DllMain saw the detach (or refused the attach).
#include "vpe_module_startup.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE module, DWORD reason, void* reserved);

extern "C" BOOL WINAPI VpeLibraryStartup(HINSTANCE module, DWORD reason, void* reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        VpeRunStaticConstructors();
    }
    BOOL ok = DllMainCRTStartup(module, reason, reserved);
    if (reason == DLL_PROCESS_DETACH || (reason == DLL_PROCESS_ATTACH && !ok)) {
        VpeRunStaticDestructors();
    }
    return ok;
}
