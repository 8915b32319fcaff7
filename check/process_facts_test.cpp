// What the checks judge by, tested in this process: strings' blocks, virtual tables, threads
// and swallowed faults, and the budgets by strictness.
#include "check/engine_ops.h"
#include "check/process_facts.h"
#include "engine/engine_slots.h"
#include "engine/type_info_layout.h"

#include "base/fault_guard.h"
#include "base/global_heap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace Corvinex;
using namespace Corvinex::Check;

namespace {

// Puts a raw layout into a string for one test and takes it out again before destruction.
class CRawString {
public:
    explicit CRawString(RawWideString raw) {
        memcpy(static_cast<void*>(&m_text), &raw, sizeof(raw));
    }
    ~CRawString() {
        RawWideString none = {nullptr, 0, 0};
        memcpy(static_cast<void*>(&m_text), &none, sizeof(none));
    }
    const CWideString& Text() const { return m_text; }

private:
    CWideString m_text;
};

// The fault text as a standard string, for the matchers.
std::wstring FaultOf(const CWideString& text) {
    return StringFault(text).c_str();
}

class Polymorphic {
public:
    virtual ~Polymorphic() = default;
    virtual int Value() { return 1; }
};

volatile uintptr_t g_unmapped = 0x10;

void Fault(void*) {
    *reinterpret_cast<volatile int*>(g_unmapped) = 1;
}

DWORD WINAPI WaitForEvent(void* event) {
    WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

} // namespace

TEST(ValidateStrings, ASoundStringAndTheNullStringPass) {
    CWideString text(L"192.0.2.7");
    EXPECT_EQ(FaultOf(text), L"");
    CRawString null({nullptr, 0, 0});
    EXPECT_EQ(FaultOf(null.Text()), L"");
}

TEST(ValidateStrings, ABlockOfAnotherHeapIsFound) {
    HANDLE heap = HeapCreate(0, 0, 0);
    wchar_t* block = static_cast<wchar_t*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 16));
    wcscpy(block, L"abc");
    {
        CRawString text({block, 3, 8});
        EXPECT_NE(FaultOf(text.Text()).find(L"global heap"), std::wstring::npos);
    }
    HeapDestroy(heap);
}

TEST(ValidateStrings, NoTerminatorAWrongLengthAndAnOversizedCapacityAreFound) {
    wchar_t* block = static_cast<wchar_t*>(AllocGlobalBlock(8 * sizeof(wchar_t)));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 8; ++i)
        block[i] = L'x';
    {
        CRawString text({block, 0, 8});
        EXPECT_NE(FaultOf(text.Text()).find(L"no terminating zero"), std::wstring::npos);
    }
    block[3] = 0;
    {
        CRawString text({block, 5, 8});
        EXPECT_NE(FaultOf(text.Text()).find(L"cached length is 5"), std::wstring::npos);
    }
    {
        CRawString text({block, 3, 4096});
        EXPECT_NE(FaultOf(text.Text()).find(L"capacity"), std::wstring::npos);
    }
    {
        CRawString text({block, 0, 8}); // 0 asks for a recount: no fault
        EXPECT_EQ(FaultOf(text.Text()), L"");
    }
    FreeGlobalBlock(block);
}

TEST(ValidateSystem, VirtualTablesAndExecutableCode) {
    Polymorphic object;
    const int slots = Corvinex::VeilpathEngine::kSlotCount;
    const void* const* table = ReadableVirtualTable(&object, slots);
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(IsExecutable(table[2])); // Value()
    EXPECT_FALSE(IsExecutable(&object)); // stack data
    unsigned char wiped[16] = {0};
    EXPECT_EQ(ReadableVirtualTable(wiped, slots), nullptr);
    EXPECT_EQ(ReadableVirtualTable(nullptr, slots), nullptr);
}

TEST(ValidateSystem, AModulesRangeHoldsItsCodeAndNoOtherModules) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    uintptr_t base = 0, size = 0;
    ASSERT_TRUE(ModuleRange(kernel, &base, &size));
    const uintptr_t sleep = reinterpret_cast<uintptr_t>(GetProcAddress(kernel, "Sleep"));
    EXPECT_EQ(base, reinterpret_cast<uintptr_t>(kernel));
    EXPECT_TRUE(sleep >= base && sleep < base + size);
    const uintptr_t own = reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));
    EXPECT_FALSE(own >= base && own < base + size);
    unsigned char notAnImage[64] = {0};
    EXPECT_FALSE(ModuleRange(reinterpret_cast<HMODULE>(notAnImage), &base, &size));
    EXPECT_FALSE(ModuleRange(nullptr, &base, &size));
}

TEST(ValidateSystem, NewThreadsAreFoundByTheirStartAddress) {
    HMODULE self = GetModuleHandleW(nullptr);
    uintptr_t base = 0, size = 0;
    ASSERT_TRUE(ModuleRange(self, &base, &size));
    EXPECT_TRUE(IsMapped(base));
    CThreadSet before, after;
    before.Snapshot();
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WaitForEvent, event, 0, nullptr);
    Sleep(50);
    after.Snapshot();
    TArray<ThreadStart> found;
    after.StartedWithin(base, size, before, &found);
    ASSERT_EQ(found.GetCount(), 1);
    EXPECT_EQ(found.ElementAt(0).id, GetThreadId(thread));
    after.StartedWithin(0, 1, before, &found);
    EXPECT_EQ(found.GetCount(), 0);
    SetEvent(event);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(event);
}

TEST(ValidateSystem, AFaultHandledInsideTheModuleIsCounted) {
    CFaultCounter counter(GetModuleHandleW(nullptr));
    EXPECT_EQ(counter.Count(), 0);
    EXPECT_FALSE(RunGuarded(Fault, nullptr));
    EXPECT_EQ(counter.Count(), 1);
    const std::wstring first = counter.First().c_str();
    EXPECT_EQ(first.find(L"exception 0x"), 0u) << first;
}

TEST(ValidateBudgets, HigherLevelsDoMoreAndAllowLess) {
    const Budgets five = BudgetsFor(5), ten = BudgetsFor(10);
    EXPECT_EQ(five.latencyFailMs, 250);
    EXPECT_EQ(five.latencyWarnMs, 50);
    EXPECT_LT(ten.latencyFailMs, five.latencyFailMs);
    EXPECT_LT(ten.latencyWarnMs, five.latencyWarnMs);
    EXPECT_GT(ten.lifecycleCycles, five.lifecycleCycles);
    EXPECT_GT(ten.latencyRounds, five.latencyRounds);
    EXPECT_FALSE(five.swallowedFaultFails);
    EXPECT_TRUE(BudgetsFor(7).swallowedFaultFails);
}
