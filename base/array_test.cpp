#include "base/array.h"

#include "base/global_heap.h"
#include "base/wide_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using Corvinex::CompareWideStrings;
using Corvinex::CWideString;
using Corvinex::FormatString;
using Corvinex::TArray;

namespace {

typedef TArray<CWideString, CWideString> StringArray;
typedef TArray<int32_t, int32_t> IntArray;

int32_t CompareInts(const int32_t* a, const int32_t* b) {
    return *a < *b ? -1 : (*a > *b ? 1 : 0);
}

int32_t CompareTexts(const CWideString* a, const CWideString* b) {
    return a->Compare(b->GetBufferPointer());
}

void FillInts(IntArray& array, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        array.Add(i);
    }
}

bool g_refuse = false;
bool RefuseWhenAsked(size_t, void*) {
    return !g_refuse;
}

} // namespace

TEST(ArrayGrowth, FirstSizeIsExactThenStepsOfAtLeastFour) {
    IntArray array;
    array.SetSize(5, -1);
    EXPECT_EQ(5, array.GetCapacity());
    EXPECT_EQ(5, array.GetCount());
    for (int32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(0, array.GetAt(i));
    }
    array.SetSize(6, -1);
    EXPECT_EQ(9, array.GetCapacity());
}

TEST(ArrayGrowth, StepIsAnEighthOfTheCountUpTo1024) {
    IntArray eighty;
    eighty.SetSize(80, -1);
    EXPECT_EQ(80, eighty.GetCapacity());
    eighty.Add(1);
    EXPECT_EQ(90, eighty.GetCapacity());

    IntArray large;
    large.SetSize(16000, -1);
    large.Add(1);
    EXPECT_EQ(16000 + 1024, large.GetCapacity());
}

TEST(ArrayGrowth, LargeRequestsAndExplicitSteps) {
    IntArray array;
    array.SetSize(10, -1);
    array.SetSize(100, -1);
    EXPECT_EQ(100, array.GetCapacity());

    IntArray stepped;
    stepped.SetSize(3, 7);
    EXPECT_EQ(7, stepped.GetGrowBy());
    stepped.SetSize(4, -1);
    EXPECT_EQ(10, stepped.GetCapacity());
    stepped.SetSize(11, -1);
    EXPECT_EQ(17, stepped.GetCapacity());
}

TEST(ArrayGrowth, ElementsSurviveReallocation) {
    StringArray array;
    for (int i = 0; i < 100; ++i) {
        array.Add(FormatString(L"item %i", i));
    }
    EXPECT_EQ(100, array.GetCount());
    EXPECT_EQ(L"item 0", std::wstring(array.GetAt(0).c_str()));
    EXPECT_EQ(L"item 99", std::wstring(array.GetAt(99).c_str()));
}

TEST(ArrayShrink, SmallerSizeDestroysTailAndKeepsCapacity) {
    StringArray array;
    array.SetSize(5, -1);
    for (int i = 0; i < 5; ++i) {
        array.SetAtGrow(i, FormatString(L"s%i", i));
    }
    array.SetSize(3, -1);
    EXPECT_EQ(3, array.GetCount());
    EXPECT_EQ(5, array.GetCapacity());
    array.SetSize(5, -1);
    EXPECT_EQ(0, array.ElementAt(4).GetLength());
    EXPECT_EQ(2u, array.ElementAt(4).GetCapacity());
    array.SetSize(0, -1);
    EXPECT_EQ(nullptr, array.GetData());
    EXPECT_EQ(0, array.GetCapacity());
}

TEST(ArrayEdit, SetAtGrowFillsTheGapWithNewElements) {
    StringArray array;
    array.SetAtGrow(3, CWideString(L"d"));
    EXPECT_EQ(4, array.GetCount());
    EXPECT_EQ(L"", std::wstring(array.GetAt(1).c_str()));
    EXPECT_EQ(L"d", std::wstring(array.GetAt(3).c_str()));
    EXPECT_FALSE(array.SetAtGrow(-1, CWideString(L"x")));
}

TEST(ArrayEdit, RemoveAtMovesTheRestDown) {
    int a = 1, b = 2, c = 3;
    TArray<int*, int*> pointers(&Corvinex::ComparePointers<int>);
    pointers.Add(&a);
    pointers.Add(&b);
    pointers.Add(&c);
    pointers.RemoveAt(0, 1);
    ASSERT_EQ(2, pointers.GetCount());
    EXPECT_EQ(&b, pointers.GetAt(0));
    EXPECT_EQ(&c, pointers.GetAt(1));
    EXPECT_EQ(5, pointers.GetCapacity());
    EXPECT_EQ(1, pointers.IndexOf(&c));
    EXPECT_EQ(-1, pointers.IndexOf(&a));
    pointers.RemoveAt(1, 5);
    EXPECT_EQ(2, pointers.GetCount());
}

TEST(ArraySearch, IndexOfNeedsAMatchFunctionAndFindsTheFirst) {
    StringArray without;
    without.Add(CWideString(L"x"));
    EXPECT_EQ(-1, without.IndexOf(CWideString(L"x")));

    StringArray strings(&CompareWideStrings);
    strings.Add(CWideString(L"a"));
    strings.Add(CWideString(L"b"));
    strings.Add(CWideString(L"b"));
    EXPECT_EQ(1, strings.IndexOf(CWideString(L"b")));
    EXPECT_EQ(-1, strings.IndexOf(CWideString(L"B")));
}

TEST(ArraySearch, AppendAllCopiesInOrder) {
    StringArray first(&CompareWideStrings);
    StringArray second(&CompareWideStrings);
    first.Add(CWideString(L"1"));
    second.Add(CWideString(L"2"));
    second.Add(CWideString(L"3"));
    first.AppendAll(second);
    ASSERT_EQ(3, first.GetCount());
    EXPECT_EQ(L"3", std::wstring(first.GetAt(2).c_str()));
    EXPECT_EQ(2, second.GetCount());
}

TEST(ArraySearch, AppendAllOfItselfDoublesOnce) {
    StringArray strings(&CompareWideStrings);
    strings.Add(CWideString(L"x"));
    strings.Add(CWideString(L"y"));
    strings.AppendAll(strings);
    ASSERT_EQ(4, strings.GetCount());
    EXPECT_EQ(L"x", std::wstring(strings.GetAt(2).c_str()));
    EXPECT_EQ(L"y", std::wstring(strings.GetAt(3).c_str()));
}

// Elements passed by reference may be elements of the array itself, whose block moves when the
// array grows.
TEST(ArrayEdit, AddingOwnElementWhileGrowingCopiesIt) {
    typedef TArray<CWideString, const CWideString&> StringRefArray;
    StringRefArray strings;
    strings.SetSize(4);
    for (int32_t i = 0; i < 4; ++i) {
        strings.ElementAt(i) = FormatString(L"text %i", i);
    }
    ASSERT_EQ(strings.GetCount(), strings.GetCapacity());
    strings.Add(strings.ElementAt(0));
    strings.SetAtGrow(7, strings.ElementAt(3));
    ASSERT_EQ(8, strings.GetCount());
    EXPECT_EQ(L"text 0", std::wstring(strings.GetAt(4).c_str()));
    EXPECT_EQ(L"text 3", std::wstring(strings.GetAt(7).c_str()));

    typedef TArray<int32_t, const int32_t&> IntRefArray;
    IntRefArray numbers;
    numbers.SetSize(40000);
    for (int32_t i = 0; i < 40000; ++i) {
        numbers.ElementAt(i) = 1000 + i;
    }
    numbers.Add(numbers.ElementAt(0));
    numbers.Add(numbers.ElementAt(39999));
    ASSERT_EQ(40002, numbers.GetCount());
    EXPECT_EQ(1000, numbers.GetAt(40000));
    EXPECT_EQ(40999, numbers.GetAt(40001));
}

TEST(ArraySort, QuicksortOrdersAnyInput) {
    IntArray array(&CompareInts);
    const int32_t values[] = {5, 3, 9, 1, 1, 8, -4, 7, 3, 0, 12, 6};
    for (int32_t v : values) {
        array.Add(v);
    }
    array.SortRange(0, array.GetCount() - 1);
    for (int32_t i = 1; i < array.GetCount(); ++i) {
        EXPECT_LE(array.GetAt(i - 1), array.GetAt(i));
    }

    IntArray two(&CompareInts);
    two.Add(2);
    two.Add(1);
    two.SortRange(0, 1);
    EXPECT_EQ(1, two.GetAt(0));

    IntArray big(&CompareInts);
    for (int32_t i = 0; i < 2000; ++i) {
        big.Add((i * 7919) % 1000);
    }
    big.SortRange(0, big.GetCount() - 1);
    for (int32_t i = 1; i < big.GetCount(); ++i) {
        ASSERT_LE(big.GetAt(i - 1), big.GetAt(i));
    }
}

TEST(ArraySort, SortsSortedReversedAndAllEqualInput) {
    for (int shape = 0; shape < 3; ++shape) {
        IntArray array(&CompareInts);
        for (int32_t i = 0; i < 300; ++i) {
            array.Add(shape == 0 ? i : (shape == 1 ? 300 - i : 7));
        }
        array.SortRange(0, 299);
        for (int32_t i = 1; i < 300; ++i) {
            ASSERT_LE(array.GetAt(i - 1), array.GetAt(i)) << "shape " << shape;
        }
        EXPECT_EQ(shape == 0 ? 0 : (shape == 1 ? 1 : 7), array.GetAt(0));
    }
}

// Lowest stack address any comparison ran at: how deep the sort went.
const volatile char* g_deepest;
int32_t MatchWhenEqualNotingDepth(const int32_t* a, const int32_t* b) {
    volatile char here = 0;
    if (g_deepest == nullptr || &here < g_deepest) {
        g_deepest = &here;
    }
    return *a == *b ? 0 : -1;
}

TEST(ArraySort, AMatchFunctionThatIsNoOrderKeepsTheRecursionShallow) {
    // Such a function (0 when equal, -1 otherwise, as pointer lists use) splits off one element
    // per partition; recursing into the large part would go one level per element.
    IntArray array(&MatchWhenEqualNotingDepth);
    FillInts(array, 2000);
    volatile char top = 0;
    g_deepest = nullptr;
    array.SortRange(0, 1999);
    ASSERT_NE(nullptr, g_deepest);
    EXPECT_LT(reinterpret_cast<uintptr_t>(&top) - reinterpret_cast<uintptr_t>(g_deepest), 4096u);
    int64_t sum = 0;
    for (int32_t i = 0; i < 2000; ++i) {
        sum += array.GetAt(i);
    }
    EXPECT_EQ(1999 * 2000 / 2, sum);
}

TEST(ArraySort, SortsStringsAndIgnoresEmptyOrInvalidRanges) {
    StringArray strings(&CompareTexts);
    strings.Add(CWideString(L"pear"));
    strings.Add(CWideString(L"apple"));
    strings.Add(CWideString(L"fig"));
    strings.SortRange(0, 0);
    EXPECT_EQ(L"pear", std::wstring(strings.GetAt(0).c_str()));
    strings.SortRange(0, 3);
    EXPECT_EQ(L"pear", std::wstring(strings.GetAt(0).c_str()));
    strings.SortRange(0, 2);
    EXPECT_EQ(L"apple", std::wstring(strings.GetAt(0).c_str()));
    EXPECT_EQ(L"pear", std::wstring(strings.GetAt(2).c_str()));

    StringArray empty(&CompareTexts);
    empty.SortRange(0, 0);
    EXPECT_EQ(0, empty.GetCount());
}

TEST(ArraySort, UsesItsOwnSortFunctionWhenGiven) {
    static int calls;
    calls = 0;
    IntArray array(&CompareInts,
                   [](IntArray*, IntArray::CompareFunc, int32_t, int32_t) { ++calls; });
    FillInts(array, 4);
    array.SortRange(0, 3);
    EXPECT_EQ(1, calls);
}

TEST(ArrayMemory, FailedGrowthLeavesTheArrayUnchanged) {
    IntArray array(&CompareInts);
    FillInts(array, 5);
    Corvinex::GlobalHeapHooks hooks = {nullptr, &RefuseWhenAsked, nullptr};
    Corvinex::SetGlobalHeapHooks(&hooks);
    g_refuse = true;
    EXPECT_EQ(-1, array.Add(99));
    EXPECT_FALSE(array.SetSize(1000, -1));
    g_refuse = false;
    Corvinex::SetGlobalHeapHooks(nullptr);
    EXPECT_EQ(5, array.GetCount());
    EXPECT_EQ(5, array.GetCapacity());
    EXPECT_EQ(4, array.GetAt(4));

    IntArray fresh;
    EXPECT_FALSE(fresh.SetSize(0x7FFFFFFF, -1));
    EXPECT_EQ(0, fresh.GetCount());
    EXPECT_EQ(nullptr, fresh.GetData());
}
