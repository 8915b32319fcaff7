// A library whose factory lets a C++ exception of a plain class escape: the throwing factory of
// the MSVC-ABI build, which has no standard library to take an exception class from.
#include "engine/engine_interface.h"

namespace Test {

struct engine_error {
    const char* what;
};

} // namespace Test

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    throw Test::engine_error{"no engine today"};
}
