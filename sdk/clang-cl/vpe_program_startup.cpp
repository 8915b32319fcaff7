// The entry point of a program of the MSVC-ABI build (with wmain or wWinMain): its static
// constructors, then Wine's wmainCRTStartup, whose exit runs the destructors.
#include "vpe_module_startup.h"

extern "C" {
int __cdecl wmainCRTStartup();
int(__cdecl* __cdecl _onexit(int(__cdecl* function)()))();
}

extern "C" int __cdecl VpeProgramStartup() {
    VpeRunStaticConstructors();
    _onexit(&VpeRunStaticDestructors);
    return wmainCRTStartup();
}
