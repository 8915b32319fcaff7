#include "base/file_data_container.h"
#include "base/global_heap.h"
#include "base/memory_data_container.h"
#include "config/class_registry.h"
#include "config/variant.h"
#include "testsupport/scratch_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace Corvinex;

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes Store(CVariant& value) {
    CMemoryDataContainer m;
    m.Open(kModeStoring, nullptr);
    EXPECT_EQ(0, value.Serialize(m));
    return Bytes(m.GetData(), m.GetData() + m.GetSize());
}

// Loads bytes into value; answers the container's error.
uint32_t Load(const Bytes& bytes, CVariant& value) {
    CMemoryDataContainer m;
    m.LoadFrom(bytes.data(), static_cast<uint32_t>(bytes.size()));
    m.Open(kModeLoading, nullptr);
    value.Serialize(m);
    return m.GetError();
}

Bytes Hex(std::initializer_list<int> list) {
    Bytes out;
    for (int b : list) {
        out.push_back(static_cast<uint8_t>(b));
    }
    return out;
}

void Append(Bytes& out, const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    out.insert(out.end(), b, b + n);
}

void AppendHead(Bytes& out, uint16_t type, uint16_t id, int32_t size) {
    Append(out, &type, 2);
    Append(out, &id, 2);
    Append(out, &size, 4);
}

// An object of a class the tests register: two numbers.
class CTestPoint final : public IVariantObject {
public:
    static int s_nAlive;
    static bool s_bAcceptLoad;
    int32_t x = 0;
    int32_t y = 0;
    CTestPoint() { ++s_nAlive; }
    void Release() override {
        --s_nAlive;
        delete this;
    }
    int32_t GetStreamSize(CDataContainer&) override { return 8; }
    int32_t Serialize(CDataContainer& c) override {
        c.Transfer(&x, 4);
        c.Transfer(&y, 4);
        return static_cast<int32_t>(c.GetError());
    }
    bool BeginLoad(int32_t size) override { return s_bAcceptLoad && size == 8; }
    IVariantObject* Clone() override {
        CTestPoint* p = new CTestPoint();
        p->x = x;
        p->y = y;
        return p;
    }
    CWideString* GetClassName(CWideString& name) override {
        name = L"TestPoint";
        return &name;
    }
    int32_t Compare(IVariantObject* other) override {
        CTestPoint* o = static_cast<CTestPoint*>(other);
        return (x - o->x) != 0 ? x - o->x : y - o->y;
    }
};
int CTestPoint::s_nAlive = 0;
bool CTestPoint::s_bAcceptLoad = true;

IVariantObject* MakeTestPoint() {
    return new CTestPoint();
}

// Registers the test class for the duration of a test.
class RegisteredPoint {
public:
    RegisteredPoint() { ClassRegistry().Register(CWideString(L"TestPoint"), MakeTestPoint); }
    ~RegisteredPoint() { ClassRegistry().Unregister(CWideString(L"TestPoint")); }
};

CVariant Long(int32_t v, uint16_t id = 0) {
    CVariant value;
    value.SetLong(v);
    value.SetId(id);
    return value;
}

} // namespace

// --- Byte layouts --------------------------------------------------------------------------

TEST(ValueStreamLayout, LongRecord) {
    CVariant v = Long(5, 7);
    EXPECT_EQ(Hex({0x28, 0, 7, 0, 4, 0, 0, 0, 5, 0, 0, 0}), Store(v));
}

TEST(ValueStreamLayout, AnsiTextRecord) {
    CVariant v;
    v.SetAnsiText("abc");
    EXPECT_EQ(Hex({0x73, 0, 0, 0, 4, 0, 0, 0, 3, 0x61, 0x62, 0x63}), Store(v));
}

TEST(ValueStreamLayout, TextOf255BytesTakesTheLongPrefix) {
    std::string text(255, 'q');
    CVariant v;
    v.SetAnsiText(text.c_str());
    Bytes b = Store(v);
    ASSERT_EQ(8u + 5u + 255u, b.size());
    int32_t size = 0;
    memcpy(&size, &b[4], 4);
    EXPECT_EQ(260, size);
    EXPECT_EQ(Hex({0xFF, 0xFF, 0, 0, 0}), Bytes(b.begin() + 8, b.begin() + 13));
    EXPECT_EQ('q', b[13]);

    std::string shorter(254, 'r');
    v.SetAnsiText(shorter.c_str());
    b = Store(v);
    ASSERT_EQ(8u + 1u + 254u, b.size());
    memcpy(&size, &b[4], 4);
    EXPECT_EQ(255, size);
    EXPECT_EQ(0xFE, b[8]);

    CVariant back;
    EXPECT_EQ(0u, Load(b, back));
    EXPECT_EQ(shorter, back.GetNarrowText());
}

TEST(ValueStreamLayout, WideTextGoesOutInTheAnsiCodePage) {
    CVariant v;
    v.SetWideText(L"xy");
    v.SetId(9);
    Bytes b = Store(v);
    EXPECT_EQ(Hex({0x74, 0, 9, 0, 3, 0, 0, 0, 2, 0x78, 0x79}), b);
    CVariant back;
    EXPECT_EQ(0u, Load(b, back));
    EXPECT_EQ(vtWideText, back.GetType());
    EXPECT_STREQ(L"xy", back.GetWideText());
    EXPECT_EQ(6, back.GetSize());
    EXPECT_EQ(9, back.GetId());
}

TEST(ValueStreamLayout, EmptyListAndListOfOneByte) {
    CVariant list;
    list.SetType(vtList);
    list.SetId(3);
    EXPECT_EQ(Hex({2, 0, 3, 0, 4, 0, 0, 0, 0, 0, 0, 0}), Store(list));
    CVariant one;
    one.SetByte(1);
    list.GetList()->Add(one);
    EXPECT_EQ(Hex({2, 0, 3, 0, 13, 0, 0, 0, 1, 0, 0, 0, 10, 0, 0, 0, 1, 0, 0, 0, 1}), Store(list));
}

TEST(ValueStreamLayout, PointerStoresNoPointer) {
    int target = 0;
    CVariant v;
    v.SetPointer(&target);
    v.SetId(2);
    Bytes b = Store(v);
    EXPECT_EQ(Hex({0x64, 0, 2, 0, 0, 0, 0, 0}), b);
    CVariant back;
    EXPECT_EQ(0u, Load(b, back));
    EXPECT_EQ(vtPointer, back.GetType());
    EXPECT_EQ(nullptr, back.GetPointer());
}

TEST(ValueStreamLayout, UnknownCodeLoadsAsBinaryAndEmptyBinaryAsEmpty) {
    Bytes b;
    AppendHead(b, 7, 4, 3);
    Append(b, "\x01\x02\x03", 3);
    CVariant back;
    EXPECT_EQ(0u, Load(b, back));
    EXPECT_EQ(vtBinary, back.GetType());
    EXPECT_EQ(3, back.GetSize());
    EXPECT_EQ(4, back.GetId());
    EXPECT_EQ(0, memcmp(back.GetBlock(), "\x01\x02\x03", 3));

    CVariant empty;
    empty.SetBinary(nullptr, 0);
    Bytes e = Store(empty);
    EXPECT_EQ(Hex({1, 0, 0, 0, 0, 0, 0, 0}), e);
    EXPECT_EQ(0u, Load(e, back));
    EXPECT_EQ(vtEmpty, back.GetType());
}

TEST(ValueStreamLayout, Utf8TextKeepsItsBytes) {
    for (const char* text : {"\xE9t\xE9", "\xC3\xA9", "plain"}) {
        CVariant v;
        v.SetUtf8Text(CAnsiString(text));
        CVariant back;
        ASSERT_EQ(0u, Load(Store(v), back));
        EXPECT_EQ(vtUtf8Text, back.GetType());
        EXPECT_STREQ(text, back.GetNarrowText());
    }
}

TEST(ValueStreamLayout, MeasuringMovesNoBytesAndCountsTheRecord) {
    CVariant list;
    list.SetType(vtList);
    list.GetList()->Add(Long(1));
    CVariant text;
    text.SetAnsiText("hello");
    list.GetList()->Add(text);
    CDataContainer measure;
    measure.SetMode(kModeStoring);
    EXPECT_EQ(0, list.Serialize(measure));
    EXPECT_EQ(static_cast<int32_t>(Store(list).size()), measure.GetTotal());
}

TEST(ValueStreamLayout, NestedListSizeFieldsAreTheirPayloads) {
    CVariant inner;
    inner.SetType(vtList);
    inner.GetList()->Add(Long(1));
    CVariant outer;
    outer.SetType(vtList);
    outer.GetList()->Add(inner);
    Bytes b = Store(outer);
    int32_t outerSize = 0, innerSize = 0;
    memcpy(&outerSize, &b[4], 4);
    memcpy(&innerSize, &b[16], 4);
    EXPECT_EQ(static_cast<int32_t>(b.size()) - 8, outerSize);
    EXPECT_EQ(4 + 12, innerSize);
}

// --- Every type through a memory stream -----------------------------------------------------

TEST(ValueStreamRoundTrip, EveryTypeComesBack) {
    RegisteredPoint registered;
    CVariant list;
    list.SetType(vtList);
    CVariantList* l = list.GetList();
    CVariant v;
    l->Add(v); // empty
    v.SetBinary("\x00\xFF\x10", 3);
    l->Add(v);
    v.SetByte(0xAB);
    l->Add(v);
    v.SetWord(0xBEEF);
    l->Add(v);
    v.SetLong(-123456);
    l->Add(v);
    v.SetDword(0xDEADBEEF);
    l->Add(v);
    v.SetDouble(-2.5e100);
    l->Add(v);
    v.SetUtf8Text(CAnsiString("\xE2\x82\xAC"));
    l->Add(v);
    v.SetAnsiText("ansi \xE9");
    l->Add(v);
    v.SetWideText(L"wide \u00e9");
    l->Add(v);
    CTestPoint* point = new CTestPoint();
    point->x = 17;
    point->y = -4;
    v.AttachObject(point);
    l->Add(v);
    CVariant inner;
    inner.SetType(vtList);
    inner.GetList()->Add(Long(42, 5));
    l->Add(inner);
    for (int32_t i = 0; i < l->GetCount(); ++i) {
        l->ElementAt(i).SetId(static_cast<uint16_t>(100 + i));
    }

    Bytes b = Store(list);
    CVariant back;
    ASSERT_EQ(0u, Load(b, back));
    ASSERT_EQ(vtList, back.GetType());
    ASSERT_EQ(l->GetCount(), back.GetList()->GetCount());
    for (int32_t i = 0; i < l->GetCount(); ++i) {
        const CVariant& a = l->ElementAt(i);
        const CVariant& c = back.GetList()->ElementAt(i);
        EXPECT_EQ(a.GetType(), c.GetType()) << i;
        EXPECT_EQ(a.GetId(), c.GetId()) << i;
        EXPECT_EQ(0, Compare(&a, &c)) << i;
    }
    CTestPoint* loaded = static_cast<CTestPoint*>(back.GetList()->ElementAt(10).GetVariantObject());
    ASSERT_NE(nullptr, loaded);
    EXPECT_EQ(17, loaded->x);
    EXPECT_EQ(-4, loaded->y);
    EXPECT_EQ(Store(back), b);
}

TEST(ValueStreamRoundTrip, ObjectOfUnregisteredClassIsSkippedInStep) {
    Bytes b;
    {
        RegisteredPoint registered;
        CVariant list;
        list.SetType(vtList);
        CVariant v;
        v.AttachObject(new CTestPoint());
        list.GetList()->Add(v);
        list.GetList()->Add(Long(99));
        b = Store(list);
    }
    CVariant back;
    ASSERT_EQ(0u, Load(b, back));
    ASSERT_EQ(2, back.GetList()->GetCount());
    EXPECT_EQ(vtObject, back.GetList()->ElementAt(0).GetType());
    EXPECT_EQ(nullptr, back.GetList()->ElementAt(0).GetVariantObject());
    EXPECT_EQ(99, back.GetList()->ElementAt(1).GetLong());
}

TEST(ValueStreamRoundTrip, DeclinedObjectDataIsSkipped) {
    RegisteredPoint registered;
    CVariant list;
    list.SetType(vtList);
    CVariant v;
    v.AttachObject(new CTestPoint());
    list.GetList()->Add(v);
    list.GetList()->Add(Long(7));
    Bytes b = Store(list);
    CTestPoint::s_bAcceptLoad = false;
    CVariant back;
    uint32_t error = Load(b, back);
    CTestPoint::s_bAcceptLoad = true;
    ASSERT_EQ(0u, error);
    EXPECT_NE(nullptr, back.GetList()->ElementAt(0).GetVariantObject());
    EXPECT_EQ(7, back.GetList()->ElementAt(1).GetLong());
}

TEST(ValueStreamRoundTrip, RunsOfNumbersAreTheRecordsOneByOne) {
    CVariant list;
    list.SetType(vtList);
    CVariantList* l = list.GetList();
    for (int32_t i = 0; i < 2000; ++i) {
        CVariant v;
        switch (i % 5) {
        case 0:
            v.SetByte(static_cast<uint8_t>(i));
            break;
        case 1:
            v.SetWord(static_cast<uint16_t>(i * 7));
            break;
        case 2:
            v.SetLong(-i);
            break;
        case 3:
            v.SetDword(0x80000000u + static_cast<uint32_t>(i));
            break;
        default:
            v.SetDouble(i / 3.0);
            break;
        }
        if (i == 700) {
            v.SetAnsiText("between the runs");
        } else if (i == 1500) {
            v.SetType(vtList);
            v.GetList()->Add(Long(i));
        }
        v.SetId(static_cast<uint16_t>(i));
        l->Add(v);
    }
    Bytes expected;
    int32_t count = l->GetCount();
    Append(expected, &count, 4);
    for (int32_t i = 0; i < count; ++i) {
        Bytes one = Store(l->ElementAt(i));
        expected.insert(expected.end(), one.begin(), one.end());
    }
    Bytes b = Store(list);
    ASSERT_EQ(expected.size() + 8, b.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), b.begin() + 8));
    CVariant back;
    ASSERT_EQ(0u, Load(b, back));
    EXPECT_EQ(0, Compare(&list, &back));
    EXPECT_EQ(1999, back.GetList()->ElementAt(1999).GetId());
}

TEST(ValueStreamRoundTrip, ListThroughAFileAcrossItsBuffer) {
    VpeTest::ScratchFolder folder(L"vs", L"file");
    CVariant list;
    list.SetType(vtList);
    ASSERT_TRUE(list.GetList()->SetSize(60000));
    for (int32_t i = 0; i < 60000; ++i) {
        CVariant& v = list.GetList()->ElementAt(i);
        if (i % 1000 == 999) {
            v.SetAnsiText("text among numbers");
        } else if (i % 2 != 0) {
            v.SetDouble(i * 0.5);
        } else {
            v.SetWord(static_cast<uint16_t>(i));
        }
        v.SetId(static_cast<uint16_t>(i));
    }
    CWideString path((folder.Path() + L"list.vps").c_str());
    CFileDataContainer f;
    ASSERT_EQ(0u, f.OpenFile(path, kModeStoring, nullptr));
    EXPECT_EQ(0, list.Serialize(f));
    ASSERT_EQ(0u, f.Close());
    ASSERT_EQ(0u, f.OpenFile(path, kModeLoading, nullptr));
    CVariant back;
    EXPECT_EQ(0, back.Serialize(f));
    EXPECT_EQ(0u, f.GetRemaining());
    EXPECT_EQ(0, Compare(&list, &back));
    EXPECT_EQ(59999, back.GetList()->ElementAt(59999).GetId());
    f.Close();
}

TEST(ValueStreamRoundTrip, NumberInAListKeepsTheSizeItsRecordCarried) {
    Bytes b;
    AppendHead(b, vtList, 0, 0);
    int32_t two = 2;
    Append(b, &two, 4);
    AppendHead(b, vtLong, 3, 99);
    Append(b, "\x05\0\0\0", 4);
    AppendHead(b, vtByte, 4, 1);
    Append(b, "\x09", 1);
    CVariant back;
    ASSERT_EQ(0u, Load(b, back));
    EXPECT_EQ(99, back.GetList()->ElementAt(0).GetSize());
    EXPECT_EQ(5, back.GetList()->ElementAt(0).GetLong());
    EXPECT_EQ(4, back.GetList()->ElementAt(1).GetId());
    EXPECT_EQ(9, back.GetList()->ElementAt(1).GetByte());
}

TEST(ValueStreamLayout, TextWithAZeroByteLoadsUpToIt) {
    for (uint16_t type : {vtAnsiText, vtUtf8Text, vtWideText}) {
        Bytes b;
        AppendHead(b, type, 0, 6);
        Append(b,
               "\x05"
               "ab\0cd",
               6);
        CVariant back;
        ASSERT_EQ(0u, Load(b, back)) << type;
        EXPECT_EQ(type, back.GetType());
        // The block holds the text and its terminator only, so the wipe covers all of it.
        if (type == vtWideText) {
            EXPECT_STREQ(L"ab", back.GetWideText());
            EXPECT_EQ(6, back.GetSize());
        } else {
            EXPECT_STREQ("ab", back.GetNarrowText());
            EXPECT_EQ(3, back.GetSize());
        }
    }
}

// --- Class registry -------------------------------------------------------------------------

TEST(ClassRegistry, RegistersFindsReplacesAndRemoves) {
    CClassRegistry registry;
    EXPECT_FALSE(registry.Register(CWideString(L""), MakeTestPoint));
    EXPECT_FALSE(registry.Register(CWideString(L"A"), nullptr));
    for (const wchar_t* name : {L"m", L"b", L"z", L"a", L"B"}) {
        EXPECT_TRUE(registry.Register(CWideString(name), MakeTestPoint));
    }
    EXPECT_EQ(5, registry.GetCount());
    EXPECT_EQ(MakeTestPoint, registry.Find(CWideString(L"z")));
    EXPECT_EQ(MakeTestPoint, registry.Find(CWideString(L"B")));
    EXPECT_EQ(nullptr, registry.Find(CWideString(L"Z")));
    EXPECT_EQ(nullptr, registry.Find(CWideString(L"c")));
    EXPECT_TRUE(registry.Register(CWideString(L"b"), MakeTestPoint));
    EXPECT_EQ(5, registry.GetCount());
    EXPECT_TRUE(registry.Unregister(CWideString(L"m")));
    EXPECT_FALSE(registry.Unregister(CWideString(L"m")));
    EXPECT_EQ(nullptr, registry.Find(CWideString(L"m")));
    EXPECT_EQ(MakeTestPoint, registry.Find(CWideString(L"a")));
    EXPECT_EQ(4, registry.GetCount());
}

TEST(ClassRegistry, ProcessRegistryStartsEmpty) {
    EXPECT_EQ(0, ClassRegistry().GetCount());
    EXPECT_EQ(&ClassRegistry(), &ClassRegistry());
}

// --- Hostile input --------------------------------------------------------------------------

TEST(ValueStreamHostile, EveryTruncationFailsCleanly) {
    RegisteredPoint registered;
    CVariant list;
    list.SetType(vtList);
    CVariant v;
    v.SetAnsiText(std::string(300, 'a').c_str());
    list.GetList()->Add(v);
    v.SetBinary("12345678", 8);
    list.GetList()->Add(v);
    v.AttachObject(new CTestPoint());
    list.GetList()->Add(v);
    list.GetList()->Add(Long(1));
    Bytes b = Store(list);
    int alive = CTestPoint::s_nAlive;
    for (size_t n = 0; n < b.size(); ++n) {
        CVariant back;
        uint32_t error = Load(Bytes(b.begin(), b.begin() + static_cast<ptrdiff_t>(n)), back);
        EXPECT_TRUE(error == kDataErrorEndOfData || error == kDataErrorMalformed)
            << n << " " << error;
    }
    EXPECT_EQ(alive, CTestPoint::s_nAlive); // every loaded object was released
}

TEST(ValueStreamHostile, SizesBeyondTheMediumOrNegativeAreRefused) {
    for (int32_t size : {0x7FFFFFFF, -1, -100000, 9}) {
        Bytes b;
        AppendHead(b, vtBinary, 0, size);
        Append(b, "12345678", 8);
        CVariant back;
        EXPECT_EQ(kDataErrorMalformed, Load(b, back)) << size;
    }
    Bytes text;
    AppendHead(text, vtAnsiText, 0, 6);
    Append(text,
           "\xFF\xFF\xFF\xFF\x7F"
           "a",
           6);
    CVariant back;
    EXPECT_EQ(kDataErrorMalformed, Load(text, back));
    Bytes object;
    AppendHead(object, vtObject, 0, 0x40000000);
    Append(object, "\x01Z", 2);
    EXPECT_EQ(kDataErrorMalformed, Load(object, back));
}

TEST(ValueStreamHostile, HugeOrNegativeListCountsAreRefused) {
    for (int32_t count : {0x7FFFFFFF, -1, 2}) {
        Bytes b;
        AppendHead(b, vtList, 0, 4 + 8);
        Append(b, &count, 4);
        AppendHead(b, vtEmpty, 0, 0); // room for one element only
        CVariant back;
        EXPECT_EQ(kDataErrorMalformed, Load(b, back)) << count;
    }
}

TEST(ValueStreamHostile, DeepNestingIsBounded) {
    // 200000 lists, each holding the next: far more than any stack would take by recursion.
    Bytes b;
    const int32_t one = 1;
    for (int i = 0; i < 200000; ++i) {
        AppendHead(b, vtList, 0, 0);
        Append(b, &one, 4);
    }
    AppendHead(b, vtEmpty, 0, 0);
    CVariant back;
    EXPECT_EQ(kDataErrorMalformed, Load(b, back));

    // 60 levels are fine.
    CVariant deep = Long(5);
    for (int i = 0; i < 60; ++i) {
        CVariant outer;
        outer.SetType(vtList);
        outer.GetList()->Add(deep);
        deep = outer;
    }
    Bytes ok = Store(deep);
    EXPECT_EQ(0u, Load(ok, back));
    EXPECT_EQ(0, Compare(&deep, &back));
}

TEST(ValueStreamHostile, UnknownCodesAreByteBlocks) {
    Bytes b;
    AppendHead(b, 0xFFFF, 1, 2);
    Append(b, "xy", 2);
    AppendHead(b, 5, 2, 0);
    CVariant list;
    Bytes framed;
    AppendHead(framed, vtList, 0, 0);
    int32_t two = 2;
    Append(framed, &two, 4);
    framed.insert(framed.end(), b.begin(), b.end());
    EXPECT_EQ(0u, Load(framed, list));
    EXPECT_EQ(vtBinary, list.GetList()->ElementAt(0).GetType());
    EXPECT_EQ(vtEmpty, list.GetList()->ElementAt(1).GetType());
}

namespace {

// A medium that fails part-way through any read of 64 bytes or more: half the bytes arrive,
// then it reports the failure.
class CFailingMedium : public CMemoryDataContainer {
public:
    uint32_t Read(void* buffer, uint32_t size) override {
        if (size < 64) {
            return CMemoryDataContainer::Read(buffer, size);
        }
        CMemoryDataContainer::Read(buffer, size / 2);
        return RecordError(kDataErrorMediumFailed);
    }
};

} // namespace

TEST(ValueStreamHostile, ReadFailingPartWayLeavesTheValueEmpty) {
    std::string text(300, 't');
    CVariant values[3];
    values[0].SetBinary(text.data(), 300);
    values[1].SetAnsiText(text.c_str());
    values[2].SetWideText(std::wstring(300, L'w').c_str());
    for (CVariant& value : values) {
        Bytes b = Store(value);
        CFailingMedium m;
        m.LoadFrom(b.data(), static_cast<uint32_t>(b.size()));
        m.Open(kModeLoading, nullptr);
        CVariant back;
        back.SetLong(1);
        EXPECT_EQ(static_cast<int32_t>(kDataErrorMediumFailed), back.Serialize(m));
        EXPECT_EQ(vtEmpty, back.GetType()) << value.GetType();
        EXPECT_EQ(0, back.GetSize());
        EXPECT_EQ(nullptr, back.GetPointer());
    }
}

TEST(ValueStreamHostile, LoadingFromAClosedContainerIsRefused) {
    CVariant v = Long(3);
    CDataContainer closed;
    EXPECT_EQ(static_cast<int32_t>(kDataErrorWrongMode), v.Serialize(closed));
    CVariant list;
    list.SetType(vtList);
    EXPECT_EQ(static_cast<int32_t>(kDataErrorWrongMode), SerializeList(list.GetList(), closed));
}

namespace {

// Commit charge of this process (GetProcessMemoryInfo), sampled at every global-heap block
// allocated or released during a load, and the largest sample. Wine fills the peak counter with
// the current figure, so the peak is taken here.
struct CommitWatch {
    size_t peak;
    size_t live;
    size_t livePeak;
    void Sample() {
        PROCESS_MEMORY_COUNTERS_EX counters;
        memset(&counters, 0, sizeof counters);
        counters.cb = sizeof counters;
        GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters);
        size_t now = counters.PrivateUsage > counters.PagefileUsage ? counters.PrivateUsage
                                                                    : counters.PagefileUsage;
        peak = now > peak ? now : peak;
    }
};

bool WatchAlloc(size_t bytes, void* context) {
    CommitWatch* watch = static_cast<CommitWatch*>(context);
    watch->Sample();
    watch->live += bytes;
    watch->livePeak = watch->live > watch->livePeak ? watch->live : watch->livePeak;
    return true;
}

void WatchRelease(const void*, size_t bytes, void* context) {
    CommitWatch* watch = static_cast<CommitWatch*>(context);
    watch->Sample();
    watch->live -= bytes < watch->live ? bytes : watch->live;
}

// size bytes of lists nested as deep as the loader allows, each count claiming all that is
// left; zeros (empty records) fill the rest.
Bytes AmplifyingStream(uint32_t size) {
    Bytes b(size, 0);
    for (uint32_t level = 0; level < 64; ++level) {
        uint32_t at = level * 12;
        uint32_t left = size - at - 12;
        uint32_t count = left / 8;
        uint16_t type = vtList;
        memcpy(&b[at], &type, 2);
        memcpy(&b[at + 4], &left, 4);
        memcpy(&b[at + 8], &count, 4);
    }
    return b;
}

} // namespace

TEST(ValueStreamHostile, MemoryOfALoadIsBoundedByTheStream) {
    for (uint32_t megabytes : {1u, 4u, 16u}) {
        uint32_t size = megabytes << 20;
        CMemoryDataContainer m;
        {
            Bytes stream = AmplifyingStream(size);
            m.LoadFrom(stream.data(), size);
        }
        m.Open(kModeLoading, nullptr);
        CommitWatch watch = {0, 0, 0};
        watch.Sample();
        size_t before = watch.peak;
        GlobalHeapHooks hooks = {WatchRelease, WatchAlloc, &watch};
        SetGlobalHeapHooks(&hooks);
        {
            CVariant value;
            EXPECT_NE(0, value.Serialize(m));
        }
        watch.Sample();
        SetGlobalHeapHooks(nullptr);
        ASSERT_GT(before, 0u); // the counters are kept
        size_t grown = watch.peak - before;
        printf("%u MB stream: peak commit grew by %u KB (%.2f x the stream), blocks of %u KB at "
               "most\n",
               megabytes, static_cast<unsigned>(grown >> 10), static_cast<double>(grown) / size,
               static_cast<unsigned>(watch.livePeak >> 10));
        EXPECT_LE(grown, static_cast<size_t>(size) * 4) << megabytes << " MB";
        EXPECT_LE(watch.livePeak, static_cast<size_t>(size) * 4) << megabytes << " MB";
    }
}
