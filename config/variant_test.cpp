#include "config/variant.h"

#include "base/global_heap.h"
#include "config/file_object.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

using namespace Corvinex;

namespace {

class HeapWatch;
const HeapWatch* g_activeWatch = nullptr;

// Records every global-heap block released while installed, with whether it was all zero, and
// counts allocations; can refuse allocations.
class HeapWatch {
public:
    HeapWatch() {
        GlobalHeapHooks hooks = {&OnRelease, &AllowAlloc, this};
        SetGlobalHeapHooks(&hooks);
        g_activeWatch = this;
    }
    ~HeapWatch() {
        SetGlobalHeapHooks(nullptr);
        g_activeWatch = nullptr;
    }
    HeapWatch(const HeapWatch&) = delete;
    HeapWatch& operator=(const HeapWatch&) = delete;

    struct Release {
        const void* block;
        size_t bytes;
        bool allZero;
        bool holdsSecret;
    };
    std::vector<Release> releases;
    int allocations = 0;
    bool refuse = false;

    const Release* Find(const void* block) const {
        for (const Release& r : releases) {
            if (r.block == block) {
                return &r;
            }
        }
        return nullptr;
    }

private:
    static void OnRelease(const void* block, size_t bytes, void* context) {
        const uint8_t* p = static_cast<const uint8_t*>(block);
        bool zero = std::all_of(p, p + bytes, [](uint8_t b) { return b == 0; });
        static const char narrow[] = "secret";
        static const wchar_t wide[] = L"secret";
        const uint8_t* wideBytes = reinterpret_cast<const uint8_t*>(wide);
        bool secret = std::search(p, p + bytes, narrow, narrow + 6) != p + bytes ||
                      std::search(p, p + bytes, wideBytes, wideBytes + 12) != p + bytes;
        static_cast<HeapWatch*>(context)->releases.push_back({block, bytes, zero, secret});
    }
    static bool AllowAlloc(size_t, void* context) {
        HeapWatch* self = static_cast<HeapWatch*>(context);
        if (self->refuse) {
            return false;
        }
        ++self->allocations;
        return true;
    }
};

struct WipePass {
    const void* block;
    int32_t size;
    int pass;
    std::vector<uint8_t> bytes;
    size_t releasesBefore; // releases the active HeapWatch had seen at this pass
};

void RecordPass(const void* block, int32_t size, int pass, void* context) {
    const uint8_t* p = static_cast<const uint8_t*>(block);
    static_cast<std::vector<WipePass>*>(context)->push_back(
        {block, size, pass, std::vector<uint8_t>(p, p + size),
         g_activeWatch != nullptr ? g_activeWatch->releases.size() : 0});
}

std::vector<uint8_t> BytesOf(const CVariant& v) {
    const uint8_t* p = static_cast<const uint8_t*>(v.GetPointer());
    return p == nullptr ? std::vector<uint8_t>() : std::vector<uint8_t>(p, p + v.GetSize());
}

CVariant Long(int32_t n) {
    CVariant v;
    v.SetLong(n);
    return v;
}

CVariant ListOf(std::initializer_list<int32_t> numbers) {
    CVariant v;
    v.SetType(vtList);
    for (int32_t n : numbers) {
        v.GetList()->Add(Long(n));
    }
    return v;
}

std::vector<int32_t> LongsOf(const CVariant& list) {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < list.GetList()->GetCount(); ++i) {
        out.push_back(list.GetList()->ElementAt(i).GetLong());
    }
    return out;
}

// A vtObject payload that counts what the value does with it.
class CountedObject final : public IVariantObject {
public:
    explicit CountedObject(int32_t key, int* alive) : m_key(key), m_alive(alive) { ++*m_alive; }
    void Release() override {
        --*m_alive;
        delete this;
    }
    int32_t GetStreamSize(CDataContainer&) override { return 0; }
    int32_t Serialize(CDataContainer&) override { return 0; }
    bool BeginLoad(int32_t) override { return true; }
    IVariantObject* Clone() override { return new CountedObject(m_key, m_alive); }
    CWideString* GetClassName(CWideString& name) override {
        name = L"CountedObject";
        return &name;
    }
    int32_t Compare(IVariantObject* other) override {
        return m_key - static_cast<CountedObject*>(other)->m_key;
    }
    int32_t Key() const { return m_key; }

private:
    ~CountedObject() = default;
    int32_t m_key;
    int* m_alive;
};

} // namespace

TEST(VariantBasics, TypeCodesKeepTheirStoredValues) {
    EXPECT_EQ(0, vtEmpty);
    EXPECT_EQ(1, vtBinary);
    EXPECT_EQ(2, vtList);
    EXPECT_EQ(10, vtByte);
    EXPECT_EQ(20, vtWord);
    EXPECT_EQ(40, vtLong);
    EXPECT_EQ(41, vtDword);
    EXPECT_EQ(80, vtDouble);
    EXPECT_EQ(100, vtPointer);
    EXPECT_EQ(110, vtUtf8Text);
    EXPECT_EQ(115, vtAnsiText);
    EXPECT_EQ(116, vtWideText);
    EXPECT_EQ(3030, vtObject);
    EXPECT_EQ(3100, vtFileObject);
}

TEST(VariantBasics, NewValueIsEmptyAndEqualToAnother) {
    CVariant a;
    CVariant b;
    EXPECT_EQ(vtEmpty, a.GetType());
    EXPECT_EQ(0, a.GetId());
    EXPECT_EQ(0, a.GetSize());
    const uint8_t zeros[8] = {};
    EXPECT_EQ(0, memcmp(zeros, a.GetData(), 8));
    EXPECT_EQ(0, Compare(&a, &b));
}

// Where the type field lies: right after the table pointer (4 bytes on x86, 8 on x64).
const size_t kTypeOffset = sizeof(void*);

TEST(VariantBasics, FieldsFollowTheTablePointerWithoutPadding) {
    // After the table pointer: type, id at +2, size at +4, data at +8: the layout other modules
    // of the same machine type see (20 bytes on x86, 24 on x64).
    EXPECT_EQ(kTypeOffset + 16, sizeof(CVariant));
    CVariant v;
    v.SetLong(0x11223344);
    v.SetId(0x5566);
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&v);
    uint16_t type;
    uint16_t id;
    int32_t value;
    memcpy(&type, raw + kTypeOffset, 2);
    memcpy(&id, raw + kTypeOffset + 2, 2);
    memcpy(&value, raw + kTypeOffset + 8, 4);
    EXPECT_EQ(vtLong, type);
    EXPECT_EQ(0x5566, id);
    EXPECT_EQ(0x11223344, value);
}

TEST(VariantBasics, SetTypeKeepsIdAndReleasesEvenForTheSameType) {
    CVariant v;
    v.SetAnsiText("abc");
    v.SetId(9);
    v.SetType(vtAnsiText);
    EXPECT_EQ(vtAnsiText, v.GetType());
    EXPECT_EQ(nullptr, v.GetNarrowText());
    EXPECT_EQ(0, v.GetSize());
    EXPECT_EQ(9, v.GetId());
    CVariant w;
    w.SetType(vtAnsiText);
    EXPECT_EQ(0, Compare(&v, &w));
}

TEST(VariantBasics, ClearEmptiesButKeepsId) {
    CVariant v;
    v.SetDouble(2.5);
    v.SetId(3);
    v.Clear();
    EXPECT_EQ(vtEmpty, v.GetType());
    EXPECT_EQ(3, v.GetId());
    EXPECT_EQ(0.0, v.GetDouble());
}

TEST(VariantBasics, NumbersRoundTripThroughTheirSetters) {
    CVariant v;
    EXPECT_EQ(0xAB, v.SetByte(0xAB).GetByte());
    EXPECT_EQ(vtByte, v.GetType());
    EXPECT_EQ(0xBEEF, v.SetWord(0xBEEF).GetWord());
    EXPECT_EQ(-7, v.SetLong(-7).GetLong());
    EXPECT_EQ(0xFFFFFFF0u, v.SetDword(0xFFFFFFF0u).GetDword());
    EXPECT_EQ(vtDword, v.GetType());
    EXPECT_EQ(-1.25, v.SetDouble(-1.25).GetDouble());
    EXPECT_EQ(0, v.GetSize());
}

TEST(VariantSetters, TextsGetExactSizes) {
    CVariant v;
    v.SetAnsiText("abc");
    EXPECT_EQ(vtAnsiText, v.GetType());
    EXPECT_EQ(4, v.GetSize());
    EXPECT_STREQ("abc", v.GetNarrowText());
    v.SetWideText(L"xy");
    EXPECT_EQ(vtWideText, v.GetType());
    EXPECT_EQ(6, v.GetSize());
    EXPECT_STREQ(L"xy", v.GetWideText());
    v.SetUtf8Text(CAnsiString("\xC3\xA9"));
    EXPECT_EQ(vtUtf8Text, v.GetType());
    EXPECT_EQ(3, v.GetSize());
    v.SetAnsiText(static_cast<const char*>(nullptr));
    EXPECT_EQ(vtAnsiText, v.GetType());
    EXPECT_EQ(nullptr, v.GetNarrowText());
    EXPECT_EQ(0, v.GetSize());
}

TEST(VariantSetters, BinaryCopiesAndRejectsNullOrNonPositiveCounts) {
    const uint8_t bytes[] = {1, 2, 3, 0, 5};
    CVariant v;
    v.SetBinary(bytes, 5);
    EXPECT_EQ(vtBinary, v.GetType());
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 5), BytesOf(v));
    EXPECT_NE(static_cast<const void*>(bytes), v.GetBlock());
    v.SetBinary(bytes, -4);
    EXPECT_EQ(vtBinary, v.GetType());
    EXPECT_EQ(nullptr, v.GetBlock());
    EXPECT_EQ(0, v.GetSize());
    v.SetBinary(nullptr, 3);
    EXPECT_EQ(nullptr, v.GetBlock());
    EXPECT_EQ(0, v.GetSize());
    v.AllocateBinary(6);
    EXPECT_EQ(std::vector<uint8_t>(6, 0), BytesOf(v));
    v.AllocateBinary(-1);
    EXPECT_EQ(vtBinary, v.GetType());
    EXPECT_EQ(nullptr, v.GetBlock());
}

TEST(VariantSetters, TextTakenFromTheValueItselfSurvives) {
    CVariant v;
    v.SetAnsiText("keep me");
    v.SetAnsiText(v.GetNarrowText() + 5);
    EXPECT_STREQ("me", v.GetNarrowText());
    v.SetWideText(L"wide text");
    v.SetWideText(v.GetWideText());
    EXPECT_STREQ(L"wide text", v.GetWideText());
    v.SetBinary("12345", 5);
    v.SetBinary(v.GetBlock(), 3);
    EXPECT_EQ(std::vector<uint8_t>({'1', '2', '3'}), BytesOf(v));
}

TEST(VariantSetters, FailedAllocationLeavesTheValueEmpty) {
    CVariant v;
    v.SetLong(4);
    {
        HeapWatch watch;
        watch.refuse = true;
        v.SetAnsiText("text");
        EXPECT_EQ(vtEmpty, v.GetType());
        v.SetWideText(L"text");
        EXPECT_EQ(vtEmpty, v.GetType());
        v.SetUtf8Text(CAnsiString("abc"));
        EXPECT_EQ(vtEmpty, v.GetType());
        v.SetBinary("abc", 3);
        EXPECT_EQ(vtEmpty, v.GetType());
        v.AllocateBinary(10);
        EXPECT_EQ(vtEmpty, v.GetType());
        EXPECT_EQ(0, v.GetSize());
        EXPECT_EQ(nullptr, v.AllocateUnfilledBlock(vtAnsiText, 10));
        EXPECT_EQ(vtEmpty, v.GetType());
    }
}

TEST(VariantSetters, UnfilledBlockIsTheWholeBlockOfATextOrBinary) {
    CVariant v;
    v.SetId(5);
    void* block = v.AllocateUnfilledBlock(vtWideText, 6);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(block, v.GetPointer());
    EXPECT_EQ(vtWideText, v.GetType());
    EXPECT_EQ(6, v.GetSize());
    EXPECT_EQ(5, v.GetId());
    EXPECT_NE(nullptr, v.AllocateUnfilledBlock(vtList, 3));
    EXPECT_EQ(vtBinary, v.GetType()); // not a text: a byte block
    EXPECT_EQ(nullptr, v.AllocateUnfilledBlock(vtBinary, 0));
    EXPECT_EQ(vtEmpty, v.GetType());
}

TEST(VariantSetters, RecordedSizeNeverDisagreesWithAnOwnedBlock) {
    CVariant v;
    v.SetType(vtList);
    v.SetRecordedSize(13);
    EXPECT_EQ(13, v.GetSize());
    v.SetBinary("ab", 2);
    v.SetRecordedSize(5000);
    EXPECT_EQ(2, v.GetSize());
    v.SetType(7);
    v.SetRecordedSize(3);
    EXPECT_EQ(3, v.GetSize());
}

TEST(VariantUtf8, AnsiCodePageIsPinnedTo1252) {
    EXPECT_EQ(1252u, GetACP());
}

TEST(VariantUtf8, IsUtf8FollowsLeadAndContinuationBytes) {
    EXPECT_FALSE(IsUtf8(""));
    EXPECT_FALSE(IsUtf8(nullptr));
    EXPECT_FALSE(IsUtf8("plain ascii"));
    EXPECT_FALSE(IsUtf8("\xC3"));
    EXPECT_FALSE(IsUtf8("\xA9"));
    EXPECT_FALSE(IsUtf8("\xC3\x41"));
    EXPECT_FALSE(IsUtf8("\xC3\xA9\xFF"));
    EXPECT_FALSE(IsUtf8("\xE2\x82"));
    EXPECT_TRUE(IsUtf8("\xC3\xA9"));
    EXPECT_TRUE(IsUtf8("\xE2\x82\xAC"));
    EXPECT_TRUE(IsUtf8("caf\xC3\xA9!"));
    EXPECT_TRUE(IsUtf8("\xFE\x80\x80\x80\x80\x80\x80"));
    EXPECT_FALSE(IsUtf8("\xFE\x80\x80\x80\x80\x80"));
}

TEST(VariantUtf8, NormalizeConvertsAnsiAndKeepsUtf8) {
    EXPECT_STREQ("Hi", NormalizeToUtf8("Hi").c_str());
    EXPECT_STREQ("\xC3\xA9", NormalizeToUtf8("\xE9").c_str());
    EXPECT_STREQ("\xC3\xA9", NormalizeToUtf8("\xC3\xA9").c_str());
    EXPECT_STREQ("\xE2\x82\xAC", NormalizeToUtf8("\x80").c_str());
    EXPECT_STREQ("", NormalizeToUtf8(nullptr).c_str());
}

TEST(VariantUtf8, AssignNormalisesUtf8Texts) {
    struct Case {
        const char* in;
        std::vector<uint8_t> out;
    } cases[] = {{"Hi", {'H', 'i', 0}}, {"\xE9", {0xC3, 0xA9, 0}}, {"\xC3\xA9", {0xC3, 0xA9, 0}}};
    for (const Case& c : cases) {
        CVariant source;
        source.SetUtf8Text(CAnsiString(c.in));
        CVariant copy;
        copy.Assign(source);
        EXPECT_EQ(vtUtf8Text, copy.GetType());
        EXPECT_EQ(3, copy.GetSize());
        EXPECT_EQ(c.out, BytesOf(copy)) << c.in;
    }
}

TEST(VariantAssign, CopiesAreDeepAndCarryTheId) {
    CVariant source;
    source.SetAnsiText("abc");
    source.SetId(42);
    CVariant copy(source);
    EXPECT_EQ(42, copy.GetId());
    EXPECT_STREQ("abc", copy.GetNarrowText());
    EXPECT_NE(source.GetNarrowText(), copy.GetNarrowText());
    CVariant w;
    w.SetWideText(L"wide");
    copy = w;
    EXPECT_STREQ(L"wide", copy.GetWideText());
    EXPECT_NE(w.GetWideText(), copy.GetWideText());
    const CVariant& same = copy;
    copy = same;
    EXPECT_STREQ(L"wide", copy.GetWideText());
    CVariant nullText;
    nullText.SetType(vtAnsiText);
    copy = nullText;
    EXPECT_EQ(vtAnsiText, copy.GetType());
    EXPECT_EQ(nullptr, copy.GetNarrowText());
}

TEST(VariantAssign, NumbersAndPointersCopyTheirBytes) {
    CVariant d;
    d.SetDouble(3.75);
    EXPECT_EQ(3.75, CVariant(d).GetDouble());
    int target = 0;
    CVariant p;
    p.SetPointer(&target, 17);
    CVariant q(p);
    EXPECT_EQ(vtPointer, q.GetType());
    EXPECT_EQ(&target, q.GetPointer());
    EXPECT_EQ(17, q.GetSize());
}

TEST(VariantAssign, UnknownCodeCopiesAsBinary) {
    // No setter makes a block of an unknown code; write the code into the type field (proven
    // above) of a value that holds three bytes.
    CVariant code7;
    code7.SetBinary("xyz", 3);
    const uint16_t seven = 7;
    memcpy(reinterpret_cast<uint8_t*>(&code7) + kTypeOffset, &seven, 2);
    ASSERT_EQ(7, code7.GetType());
    EXPECT_EQ(code7.GetPointer(), code7.GetBlock());
    CVariant copy(code7);
    EXPECT_EQ(vtBinary, copy.GetType());
    EXPECT_EQ(3, copy.GetSize());
    EXPECT_EQ(std::vector<uint8_t>({'x', 'y', 'z'}), BytesOf(copy));
    EXPECT_NE(code7.GetPointer(), copy.GetPointer());
    CVariant other7(code7);
    memcpy(reinterpret_cast<uint8_t*>(&other7) + kTypeOffset, &seven, 2);
    EXPECT_EQ(0, Compare(&code7, &other7));
}

TEST(VariantAssign, ListCopiesElementsAndFunctions) {
    CVariant source = ListOf({4, 5, 6});
    source.GetList()->ElementAt(1).SetId(77);
    source.GetList()->SetSortFunc(nullptr);
    CVariant copy(source);
    ASSERT_NE(source.GetList(), copy.GetList());
    EXPECT_EQ(std::vector<int32_t>({4, 5, 6}), LongsOf(copy));
    EXPECT_EQ(77, copy.GetList()->ElementAt(1).GetId());
    EXPECT_EQ(nullptr, copy.GetList()->GetSortFunc());
    EXPECT_EQ(&Compare, copy.GetList()->GetCompareFunc());
    CVariant fresh;
    fresh.SetType(vtList);
    EXPECT_EQ(&SortList, fresh.GetList()->GetSortFunc());
    EXPECT_EQ(0, fresh.GetList()->GetCount());
    EXPECT_EQ(0, fresh.GetList()->GetGrowBy());
}

TEST(VariantAssign, FromAnElementOfItsOwnList) {
    CVariant outer;
    outer.SetType(vtList);
    outer.GetList()->Add(ListOf({1, 2}));
    CVariant text;
    text.SetAnsiText("inner");
    outer.GetList()->Add(text);
    outer.Assign(outer.GetList()->ElementAt(1));
    EXPECT_EQ(vtAnsiText, outer.GetType());
    EXPECT_STREQ("inner", outer.GetNarrowText());

    CVariant nested;
    nested.SetType(vtList);
    nested.GetList()->Add(ListOf({7, 8, 9}));
    nested = nested.GetList()->ElementAt(0);
    EXPECT_EQ(std::vector<int32_t>({7, 8, 9}), LongsOf(nested));
}

TEST(VariantAssign, ElementTakingTheListThatHoldsItGetsTheListAsItWas) {
    CVariant list = ListOf({1, 2});
    list.GetList()->ElementAt(0).Assign(list);
    ASSERT_EQ(2, list.GetList()->GetCount());
    EXPECT_EQ(std::vector<int32_t>({1, 2}), LongsOf(list.GetList()->ElementAt(0)));
    EXPECT_EQ(2, list.GetList()->ElementAt(1).GetLong());

    // Two levels down, and with a target that already is a list.
    CVariant outer;
    outer.SetType(vtList);
    outer.GetList()->Add(ListOf({5}));
    CVariant& deepest = outer.GetList()->ElementAt(0).GetList()->ElementAt(0);
    deepest.Assign(outer);
    const CVariant& inner = outer.GetList()->ElementAt(0).GetList()->ElementAt(0);
    ASSERT_EQ(vtList, inner.GetType());
    EXPECT_EQ(std::vector<int32_t>({5}), LongsOf(inner.GetList()->ElementAt(0)));
    CVariant& middle = outer.GetList()->ElementAt(0);
    middle.GetList()->ElementAt(0).Assign(outer);
    EXPECT_EQ(vtList, middle.GetList()->ElementAt(0).GetType());
}

TEST(VariantAssign, ElementOfAFileObjectTakingTheValueThatHoldsIt) {
    CVariant holder;
    holder.SetType(vtFileObject);
    CVariantList* list = holder.GetFileObject()->GetList();
    list->Add(Long(9));
    list->ElementAt(0).Assign(holder);
    ASSERT_EQ(1, list->GetCount());
    const CVariant& copy = list->ElementAt(0);
    ASSERT_EQ(vtFileObject, copy.GetType());
    ASSERT_EQ(1, copy.GetFileObject()->GetList()->GetCount());
    EXPECT_EQ(9, copy.GetFileObject()->GetList()->ElementAt(0).GetLong());
}

TEST(VariantAssign, AddingAnElementOfTheFullListItselfCopiesIt) {
    CVariant list;
    list.SetType(vtList);
    CVariantList& elements = *list.GetList();
    elements.SetSize(4);
    elements.ElementAt(0).SetAnsiText("first");
    ASSERT_EQ(elements.GetCount(), elements.GetCapacity());
    elements.Add(elements.ElementAt(0));
    ASSERT_EQ(5, elements.GetCount());
    EXPECT_STREQ("first", elements.ElementAt(4).GetNarrowText());
    EXPECT_STREQ("first", elements.ElementAt(0).GetNarrowText());
}

// Levels of file objects, each the first element of the one above.
int FileObjectDepth(const CVariant& top) {
    int depth = 0;
    const CVariant* v = &top;
    while (v != nullptr && v->GetType() == vtFileObject) {
        ++depth;
        const CVariantList* inner = v->GetFileObject()->GetList();
        v = inner->GetCount() > 0 ? &inner->ElementAt(0) : nullptr;
    }
    return depth;
}

TEST(VariantAssign, CopyingNestedFileObjectsCopiesEachLevelOnce) {
    const int kLevels = 30;
    CVariant chain;
    chain.SetType(vtFileObject);
    CVariant* level = &chain;
    for (int i = 1; i < kLevels; ++i) {
        CVariantList* list = level->GetFileObject()->GetList();
        list->Add(CVariant());
        level = &list->ElementAt(0);
        level->SetType(vtFileObject);
    }
    ASSERT_EQ(kLevels, FileObjectDepth(chain));
    HeapWatch watch;
    CVariant copy(chain);
    CVariant assigned = Long(1);
    assigned = chain;
    // A few blocks per level and copy (list storage, the root text), nothing that doubles.
    EXPECT_LE(watch.allocations, 10 * kLevels);
    EXPECT_EQ(kLevels, FileObjectDepth(copy));
    EXPECT_EQ(kLevels, FileObjectDepth(assigned));
}

TEST(VariantObjects, ValueOwnsClonesAndReleasesItsObject) {
    int alive = 0;
    {
        CVariant v;
        v.AttachObject(new CountedObject(5, &alive));
        EXPECT_EQ(1, alive);
        CVariant copy(v);
        EXPECT_EQ(2, alive);
        EXPECT_NE(v.GetVariantObject(), copy.GetVariantObject());
        EXPECT_EQ(0, Compare(&v, &copy));
        copy.AttachObject(new CountedObject(9, &alive));
        EXPECT_EQ(2, alive);
        EXPECT_EQ(-4, Compare(&v, &copy));
        CVariant none;
        none.SetType(vtObject);
        EXPECT_EQ(1, Compare(&v, &none));
        EXPECT_EQ(-1, Compare(&none, &v));
        CVariant copyOfNone(none);
        EXPECT_EQ(nullptr, copyOfNone.GetVariantObject());
        v.Clear();
        EXPECT_EQ(1, alive);
    }
    EXPECT_EQ(0, alive);
}

TEST(VariantObjects, FileObjectValuesHoldTheirOwnFileObject) {
    CVariant v;
    v.SetType(vtFileObject);
    EXPECT_EQ(vtFileObject, v.GetType());
    ASSERT_NE(nullptr, v.GetFileObject());
    CVariant copy(v);
    EXPECT_EQ(vtFileObject, copy.GetType());
    ASSERT_NE(nullptr, copy.GetFileObject());
    EXPECT_NE(v.GetFileObject(), copy.GetFileObject());
    EXPECT_EQ(0, Compare(&v, &copy));
}

TEST(VariantCompare, DifferentTypesOrderByCode) {
    CVariant l = Long(1);
    CVariant d;
    d.SetDword(1);
    EXPECT_EQ(-1, Compare(&l, &d));
    EXPECT_EQ(1, Compare(&d, &l));
    CVariant e;
    EXPECT_EQ(-40, Compare(&e, &l));
}

TEST(VariantCompare, NumbersByDifference) {
    CVariant a = Long(5);
    CVariant b = Long(3);
    EXPECT_EQ(2, Compare(&a, &b));
    EXPECT_EQ(-2, Compare(&b, &a));
    CVariant w1;
    CVariant w2;
    w1.SetWord(3);
    w2.SetWord(5);
    EXPECT_EQ(-2, Compare(&w1, &w2));
    CVariant b1;
    CVariant b2;
    b1.SetByte(0xFF);
    b2.SetByte(1);
    EXPECT_EQ(254, Compare(&b1, &b2));
    CVariant d1;
    CVariant d2;
    d1.SetDouble(0.5);
    d2.SetDouble(0.25);
    EXPECT_EQ(1, Compare(&d1, &d2));
    EXPECT_EQ(-1, Compare(&d2, &d1));
    EXPECT_EQ(0, Compare(&d1, &d1));
}

TEST(VariantCompare, ExtremeIntegersKeepTheirOrder) {
    CVariant low = Long(INT32_MIN);
    CVariant one = Long(1);
    EXPECT_LT(Compare(&low, &one), 0);
    EXPECT_GT(Compare(&one, &low), 0);
    CVariant high = Long(INT32_MAX);
    CVariant minusOne = Long(-1);
    EXPECT_GT(Compare(&high, &minusOne), 0);
}

TEST(VariantCompare, ListsCountFirstInReverseThenElements) {
    CVariant two = ListOf({1, 2});
    CVariant three = ListOf({1, 2, 3});
    EXPECT_EQ(1, Compare(&two, &three));
    EXPECT_EQ(-1, Compare(&three, &two));
    CVariant same = ListOf({1, 2});
    EXPECT_EQ(0, Compare(&two, &same));
    CVariant other = ListOf({1, 0});
    EXPECT_EQ(-1, Compare(&two, &other));
    EXPECT_EQ(-1, Compare(&other, &two));
}

TEST(VariantCompare, BlocksBySizeThenUnsignedBytes) {
    CVariant a;
    CVariant b;
    a.SetBinary("\x01\x02", 2);
    b.SetBinary("\x01\x02\x03", 3);
    EXPECT_EQ(-1, Compare(&a, &b));
    b.SetBinary("\x01\x82", 2);
    EXPECT_EQ(-1, Compare(&a, &b));
    EXPECT_EQ(1, Compare(&b, &a));
    b.SetBinary("\x01\x02", 2);
    EXPECT_EQ(0, Compare(&a, &b));
}

TEST(VariantCompare, TextsOrdinallyWithNullAsEmpty) {
    CVariant a;
    CVariant b;
    a.SetAnsiText("abc");
    b.SetAnsiText("abd");
    EXPECT_LT(Compare(&a, &b), 0);
    b.SetType(vtAnsiText);
    EXPECT_GT(Compare(&a, &b), 0);
    a.SetAnsiText("");
    EXPECT_EQ(0, Compare(&a, &b));
    a.SetWideText(L"B");
    b.SetWideText(L"a");
    EXPECT_LT(Compare(&a, &b), 0);
    a.SetUtf8Text(CAnsiString("x"));
    b.SetUtf8Text(CAnsiString("x"));
    EXPECT_EQ(0, Compare(&a, &b));
}

TEST(VariantCompare, PointersEqualOnlyWhenSame) {
    int x = 0;
    int y = 0;
    CVariant a;
    CVariant b;
    a.SetPointer(&x);
    b.SetPointer(&x);
    EXPECT_EQ(0, Compare(&a, &b));
    b.SetPointer(&y);
    EXPECT_EQ(1, Compare(&a, &b));
    EXPECT_EQ(1, Compare(&b, &a));
}

TEST(VariantSwap, ExchangesEverythingIncludingId) {
    CVariant d;
    d.SetDouble(1.5);
    d.SetId(1);
    CVariant t;
    t.SetAnsiText("x");
    t.SetId(2);
    const void* block = t.GetPointer();
    d.Swap(t);
    EXPECT_EQ(vtAnsiText, d.GetType());
    EXPECT_EQ(2, d.GetId());
    EXPECT_EQ(2, d.GetSize());
    EXPECT_EQ(block, d.GetPointer());
    EXPECT_EQ(vtDouble, t.GetType());
    EXPECT_EQ(1, t.GetId());
    EXPECT_EQ(0, t.GetSize());
    EXPECT_EQ(1.5, t.GetDouble());
}

TEST(VariantSwap, RefusedWithAnElementOfItsOwnList) {
    CVariant outer;
    outer.SetType(vtList);
    outer.GetList()->Add(ListOf({1}));
    CVariant& inner = outer.GetList()->ElementAt(0);
    CVariant& deepest = inner.GetList()->ElementAt(0);
    outer.Swap(deepest);
    EXPECT_EQ(vtList, outer.GetType());
    EXPECT_EQ(1, deepest.GetLong());
    deepest.Swap(outer);
    EXPECT_EQ(vtList, outer.GetType());
}

TEST(VariantSort, SortsSmallListsAndLeavesSingleElements) {
    CVariant list = ListOf({3, 1, 2});
    SortList(list.GetList(), Compare, 0, 2);
    EXPECT_EQ(std::vector<int32_t>({1, 2, 3}), LongsOf(list));
    CVariant one = ListOf({5});
    SortList(one.GetList(), Compare, 0, 0);
    EXPECT_EQ(std::vector<int32_t>({5}), LongsOf(one));
    CVariant pair = ListOf({9, 4});
    pair.GetList()->SortRange(0, 1);
    EXPECT_EQ(std::vector<int32_t>({4, 9}), LongsOf(pair));
}

TEST(VariantSort, SortsRangesAndManyElementsLikeTheStandardSort) {
    std::vector<int32_t> numbers;
    uint32_t seed = 12345;
    for (int i = 0; i < 500; ++i) {
        seed = seed * 1103515245u + 12345u;
        numbers.push_back(static_cast<int32_t>(seed >> 16) % 97 - 40);
    }
    CVariant list;
    list.SetType(vtList);
    for (int32_t n : numbers) {
        list.GetList()->Add(Long(n));
    }
    list.GetList()->SortRange(100, 399);
    std::sort(numbers.begin() + 100, numbers.begin() + 400);
    EXPECT_EQ(numbers, LongsOf(list));
    list.GetList()->SortRange(0, 499);
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, LongsOf(list));
}

TEST(VariantSort, SortsSortedReversedAndAllEqualLists) {
    for (int shape = 0; shape < 3; ++shape) {
        std::vector<int32_t> numbers;
        CVariant list;
        list.SetType(vtList);
        for (int32_t i = 0; i < 200; ++i) {
            numbers.push_back(shape == 0 ? i : (shape == 1 ? 200 - i : 7));
            list.GetList()->Add(Long(numbers.back()));
        }
        list.GetList()->SortRange(0, 199);
        std::sort(numbers.begin(), numbers.end());
        EXPECT_EQ(numbers, LongsOf(list)) << "shape " << shape;
    }
}

TEST(VariantSort, RejectsRangesOutsideTheList) {
    CVariant list = ListOf({3, 2, 1});
    SortList(list.GetList(), Compare, 0, 7);
    SortList(list.GetList(), Compare, -1, 2);
    SortList(list.GetList(), Compare, 2, 1);
    SortList(nullptr, Compare, 0, 2);
    EXPECT_EQ(std::vector<int32_t>({3, 2, 1}), LongsOf(list));
}

TEST(VariantSort, InconsistentOrderStaysInsideTheList) {
    // Lists of equal length compare -1 both ways; the sort must still end and keep every
    // element.
    CVariant list;
    list.SetType(vtList);
    for (int32_t i = 0; i < 40; ++i) {
        list.GetList()->Add(ListOf({i % 7, i}));
    }
    list.GetList()->SortRange(0, 39);
    std::vector<int32_t> seen;
    for (int32_t i = 0; i < 40; ++i) {
        seen.push_back(list.GetList()->ElementAt(i).GetList()->ElementAt(1).GetLong());
    }
    std::sort(seen.begin(), seen.end());
    for (int32_t i = 0; i < 40; ++i) {
        EXPECT_EQ(i, seen[i]);
    }
}

TEST(VariantRelease, BlocksAreWipedThreeTimesThenReleasedZero) {
    std::vector<WipePass> passes;
    SetValueWipeObserver(&RecordPass, &passes);
    HeapWatch watch;
    const void* block = nullptr;
    {
        CVariant v;
        std::vector<uint8_t> bytes(37, 0xAB);
        v.SetBinary(bytes.data(), 37);
        block = v.GetBlock();
    }
    SetValueWipeObserver(nullptr, nullptr);
    ASSERT_EQ(3u, passes.size());
    const uint8_t expected[3] = {0x00, 0xFF, 0x00};
    for (int pass = 0; pass < 3; ++pass) {
        EXPECT_EQ(block, passes[pass].block);
        EXPECT_EQ(37, passes[pass].size);
        EXPECT_EQ(pass, passes[pass].pass);
        EXPECT_EQ(std::vector<uint8_t>(37, expected[pass]), passes[pass].bytes);
    }
    const HeapWatch::Release* release = watch.Find(block);
    ASSERT_NE(nullptr, release);
    EXPECT_TRUE(release->allZero);
}

TEST(VariantRelease, SetTypeWipesAndReleasesTheText) {
    HeapWatch watch;
    CVariant v;
    v.SetAnsiText("secret");
    const void* block = v.GetPointer();
    v.SetType(vtAnsiText);
    const HeapWatch::Release* release = watch.Find(block);
    ASSERT_NE(nullptr, release);
    EXPECT_TRUE(release->allZero);
    EXPECT_EQ(nullptr, v.GetPointer());
}

TEST(VariantRelease, EveryOwnedBlockIsReleasedAndNoTextSurvives) {
    std::vector<WipePass> passes;
    SetValueWipeObserver(&RecordPass, &passes);
    HeapWatch watch;
    {
        CVariant list;
        list.SetType(vtList);
        for (int i = 0; i < 30; ++i) {
            CVariant element;
            if (i % 3 == 0) {
                element.SetAnsiText("ansi secret");
            } else if (i % 3 == 1) {
                element.SetWideText(L"wide secret");
            } else {
                element = ListOf({i, i + 1});
            }
            list.GetList()->Add(element);
        }
        CVariant copy(list);
        copy.GetList()->SetSize(10);
        list = copy;
        CVariant swapped;
        swapped.SetUtf8Text(CAnsiString("\xC3\xA9 secret"));
        swapped.Swap(copy);
    }
    SetValueWipeObserver(nullptr, nullptr);
    EXPECT_GT(watch.allocations, 30);
    EXPECT_EQ(static_cast<size_t>(watch.allocations), watch.releases.size());
    // Every block a value wiped is the very next block released, and it is all zero then.
    ASSERT_FALSE(passes.empty());
    for (const WipePass& p : passes) {
        ASSERT_LT(p.releasesBefore, watch.releases.size());
        const HeapWatch::Release& release = watch.releases[p.releasesBefore];
        EXPECT_EQ(p.block, release.block);
        EXPECT_TRUE(release.allZero);
    }
    // List element storage is not a value block and may keep stale fields, but no text: every
    // text lived in a block of its own.
    EXPECT_EQ(0u, passes.size() % 3);
    for (const HeapWatch::Release& r : watch.releases) {
        EXPECT_FALSE(r.holdsSecret) << r.block;
    }
}

TEST(VariantRelease, ValuesMoveByBlockCopyWhenTheListGrows) {
    CVariant list;
    list.SetType(vtList);
    for (int i = 0; i < 200; ++i) {
        CVariant element;
        element.SetWideText(i % 2 == 0 ? L"even" : L"odd");
        element.SetId(static_cast<uint16_t>(i));
        list.GetList()->Add(element);
    }
    EXPECT_GT(list.GetList()->GetCapacity(), 199);
    for (int i = 0; i < 200; ++i) {
        const CVariant& e = list.GetList()->ElementAt(i);
        EXPECT_EQ(i, e.GetId());
        EXPECT_STREQ(i % 2 == 0 ? L"even" : L"odd", e.GetWideText());
    }
}

namespace {
#if defined(_MSC_VER)
typedef void(__fastcall* SetTypeSlot)(void* self, void* edx, uint16_t type);
typedef void(__fastcall* VoidSlot)(void* self, void* edx);
#define VPE_SLOT_THIS(p) (p), nullptr
#else
typedef void(__attribute__((thiscall)) * SetTypeSlot)(void* self, uint16_t type);
typedef void(__attribute__((thiscall)) * VoidSlot)(void* self);
#define VPE_SLOT_THIS(p) (p)
#endif

void* VariantSlot(void* object, int index) {
    return (*static_cast<void***>(object))[index];
}

// Counts calls of slot 3, so the test can tell it from the others.
class PreparedVariant : public CVariant {
public:
    void PrepareContent() override { ++prepared; }
    int prepared = 0;
};
} // namespace

TEST(VariantSlots, SetTypeClearAndPrepareContentSitAtSlotsZeroOneThree) {
    PreparedVariant v;
    reinterpret_cast<SetTypeSlot>(VariantSlot(&v, 0))(VPE_SLOT_THIS(&v), vtList);
    EXPECT_EQ(vtList, v.GetType());
    ASSERT_NE(nullptr, v.GetList());
    v.SetLong(3);
    reinterpret_cast<VoidSlot>(VariantSlot(&v, 1))(VPE_SLOT_THIS(&v));
    EXPECT_EQ(vtEmpty, v.GetType());
    reinterpret_cast<VoidSlot>(VariantSlot(&v, 3))(VPE_SLOT_THIS(&v));
    EXPECT_EQ(1, v.prepared);
    // Assign asks a list source to prepare its content before reading its elements.
    v.SetType(vtList);
    CVariant copy;
    copy.Assign(v);
    EXPECT_EQ(2, v.prepared);
}
