// Calls every slot the harness uses by its index in the virtual table, across the boundary of
// a real engine library loaded by the system loader.
#include "engine/engine_interface.h"
#include "engine/engine_slots.h"

#include "testsupport/test_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Corvinex::CWideString;
namespace VE = Corvinex::VeilpathEngine;

namespace {

// Raw calls through a virtual-table slot, in the member-function calling convention.
#if defined(_MSC_VER)
// MSVC allows __thiscall only on members; __fastcall with an unused EDX argument is equivalent.
typedef int(__fastcall* IntSlot)(void* self, void* edx);
typedef int(__fastcall* IntArgSlot)(void* self, void* edx, int arg);
typedef int(__fastcall* AnalyseSlot)(void* self, void* edx, int*, CWideString*, int*);
typedef CWideString*(__fastcall* StringSlot)(void* self, void* edx, CWideString* result);
#define VPE_SLOT_THIS(p) (p), nullptr
#else
typedef int(__attribute__((thiscall)) * IntSlot)(void* self);
typedef int(__attribute__((thiscall)) * IntArgSlot)(void* self, int arg);
typedef int(__attribute__((thiscall)) * AnalyseSlot)(void* self, int*, CWideString*, int*);
typedef CWideString(__attribute__((thiscall)) * StringSlot)(void* self);
#define VPE_SLOT_THIS(p) (p)
#endif

template <class F> F Export(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void* Slot(void* object, int index) {
    return (*static_cast<void***>(object))[index];
}

CWideString CallStringSlot(void* object, int index) {
#if defined(_MSC_VER)
    CWideString result;
    result.Empty();
    reinterpret_cast<StringSlot>(Slot(object, index))(VPE_SLOT_THIS(object), &result);
    return result;
#else
    return reinterpret_cast<StringSlot>(Slot(object, index))(VPE_SLOT_THIS(object));
#endif
}

class EngineSlots : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorMode(SEM_FAILCRITICALERRORS);
        m_module = LoadLibraryW(VpeTest::TestEnginePath(L"slot_engine").c_str());
        ASSERT_NE(nullptr, m_module) << GetLastError();
        auto factory = Export<Corvinex::EngineFactoryFunc>(m_module, "GetCorvinexEngine");
        ASSERT_NE(nullptr, factory);
        m_engine = factory();
        ASSERT_NE(nullptr, m_engine);
        m_lastSlot = Export<int (*)()>(m_module, "SlotEngineLastSlot");
        m_lastArgument = Export<int (*)()>(m_module, "SlotEngineLastArgument");
        ASSERT_NE(nullptr, m_lastSlot);
        ASSERT_NE(nullptr, m_lastArgument);
    }
    void TearDown() override {
        if (m_module != nullptr) {
            FreeLibrary(m_module);
        }
    }

    HMODULE m_module = nullptr;
    void* m_engine = nullptr;
    int (*m_lastSlot)() = nullptr;
    int (*m_lastArgument)() = nullptr;
};

} // namespace

TEST_F(EngineSlots, EveryIntegerSlotTheHarnessCallsIsReachedByIndex) {
    const int slots[] = {1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 16, 17, 24};
    for (int slot : slots) {
        int result = reinterpret_cast<IntSlot>(Slot(m_engine, slot))(VPE_SLOT_THIS(m_engine));
        EXPECT_EQ(100 + slot, result) << "slot " << slot;
        EXPECT_EQ(slot, m_lastSlot()) << "slot " << slot;
    }
}

TEST_F(EngineSlots, SlotsWithAnArgumentReceiveIt) {
    int r = reinterpret_cast<IntArgSlot>(Slot(m_engine, 15))(VPE_SLOT_THIS(m_engine), 3000);
    EXPECT_EQ(115, r);
    EXPECT_EQ(3000, m_lastArgument());
    r = reinterpret_cast<IntArgSlot>(Slot(m_engine, 23))(VPE_SLOT_THIS(m_engine), TRUE);
    EXPECT_EQ(123, r);
    EXPECT_EQ(TRUE, m_lastArgument());
}

TEST_F(EngineSlots, AnalyseUpdateLogFillsWhatTheHarnessReleases) {
    int bSuccess = 0;
    int nServerCountHTTP = 0;
    CWideString message;
    int r = reinterpret_cast<AnalyseSlot>(Slot(m_engine, 14))(VPE_SLOT_THIS(m_engine), &bSuccess,
                                                              &message, &nServerCountHTTP);
    EXPECT_EQ(114, r);
    EXPECT_EQ(1, bSuccess);
    EXPECT_EQ(42, nServerCountHTTP);
    EXPECT_EQ(std::wstring(L"update log analysed in the engine"), message.c_str());
    // The block was allocated inside the engine library; releasing it here must work.
    message.Empty();
    EXPECT_TRUE(message.IsNull());
}

TEST_F(EngineSlots, TextSlotsReturnStringsByValue) {
    CWideString summary = CallStringSlot(m_engine, 19);
    EXPECT_EQ(19, m_lastSlot());
    EXPECT_EQ(std::wstring(L"check summary from the engine"), summary.c_str());
    CWideString ip = CallStringSlot(m_engine, 29);
    EXPECT_EQ(29, m_lastSlot());
    EXPECT_EQ(std::wstring(L"192.0.2.29"), ip.c_str());
    EXPECT_EQ(10, ip.GetLength());
}

TEST_F(EngineSlots, InterfaceCallsMatchTheRawSlots) {
    auto* engine = static_cast<Corvinex::VeilpathEngine::IVeilpathEngine*>(
        static_cast<Corvinex::IEngine*>(m_engine));
    EXPECT_EQ(100, engine->GetInterfaceVersion());
    EXPECT_EQ(0, m_lastSlot());
    EXPECT_EQ(128, engine->GetLastResult());
    EXPECT_EQ(28, m_lastSlot());
    EXPECT_EQ(std::wstring(L"198.51.100.25"), engine->GetAnonymousIP().c_str());
    EXPECT_EQ(25, m_lastSlot());
}

// The slot table's numbers are the interface's places, and its callers pass the harness's
// arguments: every entry reaches its own slot of the test engine.
TEST_F(EngineSlots, TheSlotTableReachesEverySlotByItsNumber) {
    auto* engine = static_cast<VE::IVeilpathEngine*>(static_cast<Corvinex::IEngine*>(m_engine));
    int success = 0, servers = 0;
    CWideString message;
    VE::SlotArguments arguments;
    arguments.success = &success;
    arguments.message = &message;
    arguments.serverCount = &servers;
    for (int number = 0; number < VE::kSlotCount; ++number) {
        const VE::SlotInfo& info = VE::kSlots[number];
        SCOPED_TRACE(testing::Message() << "slot " << number);
        EXPECT_EQ(VE::SlotNumber(info.slot), number);
        EXPECT_EQ(&VE::SlotInfoOf(info.slot), &info);
        VE::SlotAnswer answer = info.call(engine, arguments);
        EXPECT_EQ(m_lastSlot(), number);
        if (answer.text.IsNull()) {
            EXPECT_EQ(answer.number, 100 + number);
        }
    }
    EXPECT_EQ(success, 1);
    EXPECT_EQ(std::wstring(VE::SlotName(VE::Slot::AnalyseUpdateLog)), L"AnalyseUpdateLog");
    EXPECT_EQ(std::wstring(VE::CallSlot(engine, VE::Slot::GetRealIP).text.c_str()), L"192.0.2.29");
    EXPECT_EQ(VE::CallSlot(engine, VE::Slot::CheckStart).number, 115);
    EXPECT_EQ(m_lastArgument(), 3000);
    VE::SlotArguments off;
    off.anonymity = FALSE;
    VE::CallSlot(engine, VE::Slot::SetAnonymity, off);
    EXPECT_EQ(m_lastArgument(), FALSE);
    // Without its outputs AnalyseUpdateLog is not called.
    EXPECT_EQ(VE::CallSlot(engine, VE::Slot::AnalyseUpdateLog).number, 0);
    EXPECT_EQ(m_lastSlot(), 23);
}

TEST(SlotTable, TheHarnessCallsTheStatusQueriesAndTheMenuOperations) {
    std::vector<int> called;
    for (VE::Slot slot : VE::SlotsCalledByHarness())
        called.push_back(VE::SlotNumber(slot));
    EXPECT_EQ(called,
              (std::vector<int>{1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 14, 15, 16, 17, 19, 23, 24, 29}));
    std::vector<int> status;
    for (VE::Slot slot : VE::kStatusQueries) {
        status.push_back(VE::SlotNumber(slot));
        EXPECT_NE(VE::SlotInfoOf(slot).calledBy & VE::kCalledByStatusLine, 0u)
            << VE::SlotName(slot);
    }
    EXPECT_EQ(status, (std::vector<int>{17, 11, 24, 8, 1}));
}
