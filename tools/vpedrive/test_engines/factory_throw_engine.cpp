// A library whose factory lets a C++ exception escape.
#include "engine/engine_interface.h"

#include <stdexcept>

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    throw std::runtime_error("no engine today");
}
