// A good engine that leaves the process a fault for after its unload: its factory registers a
// function of its own with msvcrt.dll's process-wide exit table, so the process's exit calls
// into the library after it is gone.
#include "testsupport/quiet_engine.h"

namespace {

VpeTest::CQuietEngine g_engine;

void __cdecl AfterTheLibraryIsGone() {}

} // namespace

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    typedef int(__cdecl * AtExitFunc)(void(__cdecl*)(void));
    HMODULE msvcrt = GetModuleHandleW(L"msvcrt.dll");
    AtExitFunc atExit = msvcrt != nullptr ? reinterpret_cast<AtExitFunc>(reinterpret_cast<void*>(
                                                GetProcAddress(msvcrt, "atexit")))
                                          : nullptr;
    if (atExit != nullptr) {
        atExit(&AfterTheLibraryIsGone);
    }
    return &g_engine;
}
