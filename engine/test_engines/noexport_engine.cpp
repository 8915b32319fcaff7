// A library that has an engine but exports no GetCorvinexEngine: the binding must answer 1.
#include "engine/engine_interface.h"

extern "C" __declspec(dllexport) int NotTheFactory() {
    return 1;
}
