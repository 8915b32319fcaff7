// A library whose factory raises a C++ exception the way an MSVC-ABI runtime throws one
// (_CxxThrowException): code 0xE06D7363 and the throw information that names the type
// Test::engine_error, laid out as the runtime of the library's machine type lays it out (x86:
// pointers; x64: offsets from the library's image base, which the fourth parameter carries).
// Nothing in the harness catches it.
#include "engine/engine_interface.h"

#include <stdint.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

const ULONG_PTR kThrowMagic = 0x19930520u;
int g_thrown = 7;

struct TypeDescriptor {
    const void* vftable;
    void* spare;
    char name[32];
};

#if defined(_WIN64)

struct CatchableType {
    uint32_t properties;
    int32_t type; // offsets from the image base
    int32_t displacement[3];
    int32_t size;
    int32_t copy;
};
struct CatchableTypeArray {
    int32_t count;
    int32_t types[1];
};
struct ThrowInfo {
    uint32_t attributes;
    int32_t unwind;
    int32_t forwardCompat;
    int32_t catchable;
};

TypeDescriptor g_type = {nullptr, nullptr, ".?AVengine_error@Test@@"};
CatchableType g_catchable = {0, 0, {0, -1, 0}, 4, 0};
CatchableTypeArray g_catchableArray = {1, {0}};
ThrowInfo g_throwInfo = {0, 0, 0, 0};

// The offset of `object` from the library's image base.
int32_t Offset(const void* object) {
    return static_cast<int32_t>(reinterpret_cast<const char*>(object) -
                                reinterpret_cast<const char*>(&__ImageBase));
}

#else

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

#endif

} // namespace

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
#if defined(_WIN64)
    g_catchable.type = Offset(&g_type);
    g_catchableArray.types[0] = Offset(&g_catchable);
    g_throwInfo.catchable = Offset(&g_catchableArray);
    const ULONG_PTR arguments[4] = {kThrowMagic, reinterpret_cast<ULONG_PTR>(&g_thrown),
                                    reinterpret_cast<ULONG_PTR>(&g_throwInfo),
                                    reinterpret_cast<ULONG_PTR>(&__ImageBase)};
#else
    const ULONG_PTR arguments[3] = {kThrowMagic, reinterpret_cast<ULONG_PTR>(&g_thrown),
                                    reinterpret_cast<ULONG_PTR>(&kThrowInfo)};
#endif
    RaiseException(0xE06D7363u, EXCEPTION_NONCONTINUABLE, sizeof(arguments) / sizeof(arguments[0]),
                   arguments);
    return nullptr;
}
