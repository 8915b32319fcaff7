// A library an engine depends on. It records the current directory at the moment the system
// loads it, so a test can see where the loader stood.
#include <windows.h>

namespace {
wchar_t g_loadFolder[32768];
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        GetCurrentDirectoryW(32768, g_loadFolder);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) const wchar_t* DepHelperLoadFolder() {
    return g_loadFolder;
}
