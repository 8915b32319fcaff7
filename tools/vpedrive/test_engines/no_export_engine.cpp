// A library without the factory export: it exports something else.
#include <windows.h>

extern "C" __declspec(dllexport) int GetSomethingElse() {
    return 1;
}
