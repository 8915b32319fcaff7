// The layout check before the binding's dynamic_cast, on objects and tables made in memory:
// each shape of the other ABI, a missing slot and unreadable memory is refused without a fault.
#include "engine/type_info_layout.h"

#include "engine/engine_interface.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <stdint.h>
#include <string.h>

#include <new>

using namespace Corvinex;

namespace {

// A virtual table with one slot, the word before it free for the test to fill, and the object
// that points to it.
struct FakeObject {
    uintptr_t table[2] = {0, 0};
    const void* vptr = &table[1];
    void SetMeta(const void* meta) { table[0] = reinterpret_cast<uintptr_t>(meta); }
    const void* Object() const { return &vptr; }
};

// A type_info as GCC lays it out: its own table, then the name.
struct ItaniumShape {
    uintptr_t vtable = reinterpret_cast<uintptr_t>(&slot);
    const char* name;
    uintptr_t slot = 0;
    explicit ItaniumShape(const char* text) : name(text) {}
};

// The signature of the complete object locator of this machine type, and of the other one.
#if defined(_WIN64)
const uint32_t kMsvcSignature = 1;
const uint32_t kOtherMachineSignature = 0;
#else
const uint32_t kMsvcSignature = 0;
const uint32_t kOtherMachineSignature = 1;
#endif

// A complete object locator as the MSVC ABI lays it out on this machine type, with its type
// descriptor and class hierarchy: addresses on x86; on x64 offsets from an image base (here
// 4 KiB below the shape), the locator's own offset last.
struct MsvcShape {
    uint32_t locator[6];
    struct {
        uintptr_t vftable;
        uintptr_t spare;
        char name[64];
    } type;
    uint32_t hierarchy[4];
    uint32_t bases[1];
    explicit MsvcShape(const char* name, uint32_t signature = kMsvcSignature) {
        type.vftable = reinterpret_cast<uintptr_t>(&bases[0]);
        type.spare = 0;
        strcpy(type.name, name);
        hierarchy[0] = 0;
        hierarchy[1] = 0;
        hierarchy[2] = 1;
        hierarchy[3] = Word(&bases[0]);
        bases[0] = 0;
        locator[0] = signature;
        locator[1] = 0;
        locator[2] = 0;
        locator[3] = Word(&type);
        locator[4] = Word(hierarchy);
        locator[5] = Word(locator);
    }
    MsvcShape(const MsvcShape&) = delete;
    MsvcShape& operator=(const MsvcShape&) = delete;
    // An address as the locator holds it.
    uint32_t Word(const void* address) const {
#if defined(_WIN64)
        const uintptr_t base = reinterpret_cast<uintptr_t>(this) - 0x1000;
#else
        const uintptr_t base = 0;
#endif
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address) - base);
    }
};

const char kGccName[] = "N8Corvinex14VeilpathEngine15IVeilpathEngineE";
const char kMsvcName[] = ".?AVIVeilpathEngine@VeilpathEngine@Corvinex@@";

// One page of memory nobody may read, released afterwards.
class NoAccessPage {
public:
    NoAccessPage() : m_p(VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS)) {}
    ~NoAccessPage() { VirtualFree(m_p, 0, MEM_RELEASE); }
    void* Get() const { return m_p; }

private:
    void* m_p;
};

// An engine object as this module's compiler lays it out.
class LocalEngine : public IEngine {
public:
    int GetInterfaceVersion() override { return 1; }
    BOOL IsInstalled() override { return FALSE; }
    int Install() override { return 0; }
    int Uninstall() override { return 0; }
    int Update() override { return 0; }
    int GetEngineVersion() override { return 0; }
};

} // namespace

TEST(TypeInfoLayout, AnObjectOfThisModuleIsAccepted) {
    LocalEngine engine;
    EXPECT_TRUE(HasTypeInfoOfThisAbi(static_cast<IEngine*>(&engine)));
}

TEST(TypeInfoLayout, EachShapeIsToldFromTheOther) {
    ItaniumShape gcc(kGccName);
    MsvcShape msvc(kMsvcName);
    EXPECT_TRUE(IsItaniumTypeInfo(&gcc));
    EXPECT_TRUE(IsMsvcCompleteObjectLocator(&msvc));
    EXPECT_FALSE(IsItaniumTypeInfo(&msvc)) << "a locator's second word is its offset, 0";
    EXPECT_FALSE(IsMsvcCompleteObjectLocator(&gcc)) << "a type_info starts with its table";

    MsvcShape structType(".?AUIEngine@Corvinex@@");
    EXPECT_TRUE(IsMsvcCompleteObjectLocator(&structType));
    MsvcShape otherMachine(kMsvcName, kOtherMachineSignature);
    EXPECT_FALSE(IsMsvcCompleteObjectLocator(&otherMachine)) << "the other machine type's form";
    MsvcShape notAName("?AVIVeilpathEngine@@");
    EXPECT_FALSE(IsMsvcCompleteObjectLocator(&notAName));
    ItaniumShape msvcNameInGccShape(kMsvcName);
    EXPECT_FALSE(IsItaniumTypeInfo(&msvcNameInGccShape));
}

TEST(TypeInfoLayout, ObjectsOfTheOtherAbiOrWithoutTypeInformationAreRefused) {
    FakeObject object;
#ifdef _MSC_VER
    ItaniumShape other(kGccName);
#else
    MsvcShape other(kMsvcName);
#endif
    object.SetMeta(&other);
    EXPECT_FALSE(HasTypeInfoOfThisAbi(object.Object()));

    object.SetMeta(nullptr);
    EXPECT_FALSE(HasTypeInfoOfThisAbi(object.Object())) << "no type information (-fno-rtti)";

    const char garbage[] = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10"
                           "\x11\x12\x13\x14\x15\x16\x17\x18";
    object.SetMeta(garbage);
    EXPECT_FALSE(HasTypeInfoOfThisAbi(object.Object()));
    ItaniumShape badName("N8Corvinex\x7f");
    object.SetMeta(&badName);
    EXPECT_FALSE(HasTypeInfoOfThisAbi(object.Object()));

    ItaniumShape own(kGccName);
    MsvcShape ownMsvc(kMsvcName);
#ifdef _MSC_VER
    object.SetMeta(&ownMsvc);
#else
    object.SetMeta(&own);
#endif
    EXPECT_TRUE(HasTypeInfoOfThisAbi(object.Object())) << "the same table with this ABI's shape";
}

TEST(TypeInfoLayout, UnreadableMemoryAnywhereIsRefusedWithoutAFault) {
    NoAccessPage page;
    ASSERT_NE(nullptr, page.Get());
    EXPECT_FALSE(IsReadableMemory(page.Get(), 1));
    EXPECT_FALSE(HasTypeInfoOfThisAbi(nullptr));
    EXPECT_FALSE(HasTypeInfoOfThisAbi(page.Get())) << "the object itself";

    const void* tableInPage = static_cast<char*>(page.Get()) + 64;
    EXPECT_FALSE(HasTypeInfoOfThisAbi(&tableInPage)) << "its virtual table";

    FakeObject object;
    object.SetMeta(page.Get());
    EXPECT_FALSE(HasTypeInfoOfThisAbi(object.Object())) << "its type information";

    ItaniumShape nameInPage(static_cast<const char*>(page.Get()));
    object.SetMeta(&nameInPage);
    EXPECT_FALSE(IsItaniumTypeInfo(&nameInPage)) << "the type's name";

    // A locator whose type descriptor is the unreadable page right after the locator's own (so
    // it is within reach of an x64 locator's 32-bit offsets).
    char* pages =
        static_cast<char*>(VirtualAlloc(nullptr, 8192, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(nullptr, pages);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(pages + 4096, 4096, PAGE_NOACCESS, &old));
    MsvcShape* typeInPage = new (pages) MsvcShape(kMsvcName);
    EXPECT_TRUE(IsMsvcCompleteObjectLocator(typeInPage));
    typeInPage->locator[3] = typeInPage->Word(pages + 4096);
    EXPECT_FALSE(IsMsvcCompleteObjectLocator(typeInPage)) << "the type descriptor";
    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST(TypeInfoLayout, ATextRunningIntoUnreadableMemoryIsNoName) {
    // The last bytes of a readable page, then a page nobody may read.
    char* pages =
        static_cast<char*>(VirtualAlloc(nullptr, 8192, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(nullptr, pages);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(pages + 4096, 4096, PAGE_NOACCESS, &old));
    char* text = pages + 4096 - 4;
    memcpy(text, "N8Co", 4);
    ItaniumShape shape(text);
    EXPECT_FALSE(IsItaniumTypeInfo(&shape));
    EXPECT_TRUE(IsReadableMemory(pages, 4096));
    EXPECT_FALSE(IsReadableMemory(pages + 4090, 8)) << "a range reaching into the second page";
    VirtualFree(pages, 0, MEM_RELEASE);
}
