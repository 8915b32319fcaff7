// A library whose factory raises a C++ exception the way an MSVC-ABI runtime throws one
// (_CxxThrowException): code 0xE06D7363 and the 32-bit throw information that names the type
// Test::engine_error. Nothing in the harness catches it.
#include "engine/engine_interface.h"

#include <stdint.h>

namespace {

struct TypeDescriptor {
    const void* vftable;
    void* spare;
    char name[32];
};
struct CatchableType {
    uint32_t properties;
    const TypeDescriptor* type;
    int32_t displacement[3];
    int32_t size;
    const void* copy;
};
struct CatchableTypeArray {
    int32_t count;
    const CatchableType* types[1];
};
struct ThrowInfo {
    uint32_t attributes;
    const void* unwind;
    const void* forwardCompat;
    const CatchableTypeArray* catchable;
};

const TypeDescriptor kType = {nullptr, nullptr, ".?AVengine_error@Test@@"};
const CatchableType kCatchable = {0, &kType, {0, -1, 0}, 4, nullptr};
const CatchableTypeArray kCatchableArray = {1, {&kCatchable}};
const ThrowInfo kThrowInfo = {0, nullptr, nullptr, &kCatchableArray};
int g_thrown = 7;

} // namespace

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    const ULONG_PTR arguments[3] = {0x19930520u, reinterpret_cast<ULONG_PTR>(&g_thrown),
                                    reinterpret_cast<ULONG_PTR>(&kThrowInfo)};
    RaiseException(0xE06D7363u, EXCEPTION_NONCONTINUABLE, 3, arguments);
    return nullptr;
}
