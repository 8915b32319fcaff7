// A helper library that the missing-dependency engine imports; it is built into a folder of
// its own, so it is not found beside that engine.
#include <windows.h>

extern "C" __declspec(dllexport) int VpeAbsentHelper() {
    return 7;
}
