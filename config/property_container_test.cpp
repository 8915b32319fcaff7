#include "config/property_container.h"

#include "base/global_heap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Corvinex;

namespace {

// A container that keeps its values in its own property array: integers as vtDword with the
// integer list as strings, texts as vtWideText with the string list.
class CMemoryContainer : public TPropertyContainerImpl<IPropertyContainer> {
public:
    void SetInt(const wchar_t* name, int32_t value, const CIntArray& list) override {
        CProperty& p = PropertyFor(name);
        p.SetDword(static_cast<uint32_t>(value));
        p.GetStringList().RemoveAll();
        for (int32_t i = 0; i < list.GetCount(); ++i) {
            p.GetStringList().Add(FormatString(L"%i", list.ElementAt(i)));
        }
        ++setCalls;
    }
    int32_t GetInt(const wchar_t* name, int32_t defaultValue) override {
        int32_t index = IndexOfProperty(name);
        if (index < 0 || ElementAt(index).GetType() != vtDword) {
            return defaultValue;
        }
        return ElementAt(index).GetLong();
    }
    void SetString(const wchar_t* name, const wchar_t* text,
                   const CWideStringArray& list) override {
        CProperty& p = PropertyFor(name);
        p.SetWideText(text);
        CopyStringList(p.GetStringList(), list);
        ++setCalls;
    }
    CWideString GetString(const wchar_t* name, const wchar_t* defaultValue) override {
        int32_t index = IndexOfProperty(name);
        if (index >= 0 && ElementAt(index).GetType() == vtWideText) {
            return CWideString(ElementAt(index).GetWideText());
        }
        if (index >= 0 && ElementAt(index).GetType() == vtAnsiText) {
            return CWideString(ElementAt(index).GetNarrowText());
        }
        return CWideString(defaultValue);
    }

    // Appends a property holding value, the way a filling class keeps the key rule.
    CProperty& Put(const wchar_t* name, const CVariant& value) {
        CProperty p(name);
        p.Assign(value);
        Add(p);
        return ElementAt(GetCount() - 1);
    }

    int setCalls = 0;

private:
    CProperty& PropertyFor(const wchar_t* name) {
        int32_t index = IndexOfProperty(name);
        if (index < 0) {
            CProperty p(name);
            index = Add(p);
        }
        return ElementAt(index);
    }
};

struct Event {
    std::string what;
    int handler;
    IPropertyContainer* container;
    bool stillRegistered;
    int32_t namesSeen;
};

std::vector<Event> g_events;

class RecordingHandler : public IPropertyEventHandler {
public:
    explicit RecordingHandler(int id, int32_t answer = 0) : m_id(id), m_answer(answer) {}
    int32_t OnConnect(IPropertyContainer* container) override {
        g_events.push_back({"connect", m_id, container, IsRegistered(container), -1});
        return m_answer;
    }
    int32_t OnDisconnect(IPropertyContainer* container) override {
        CWideStringArray names(&CompareWideStrings);
        container->GetPropertyNames(names);
        g_events.push_back(
            {"disconnect", m_id, container, IsRegistered(container), names.GetCount()});
        if (readdOnDisconnect) {
            readdResult = container->AddEventHandler(this);
        }
        return m_answer + 1;
    }
    bool readdOnDisconnect = false;
    int32_t readdResult = 0;

private:
    bool IsRegistered(IPropertyContainer* container) const {
        auto* sender = static_cast<CMemoryContainer*>(container);
        for (int32_t i = 0; i < sender->GetHandlerCount(); ++i) {
            if (sender->GetHandler(i) == this) {
                return true;
            }
        }
        return false;
    }
    int m_id;
    int32_t m_answer;
};

CVariant Value(uint16_t type) {
    CVariant v;
    switch (type) {
    case vtDword:
        v.SetDword(7);
        break;
    case vtLong:
        v.SetLong(7);
        break;
    case vtAnsiText:
        v.SetAnsiText("a");
        break;
    case vtWideText:
        v.SetWideText(L"w");
        break;
    case vtUtf8Text:
        v.SetUtf8Text(CAnsiString("u"));
        break;
    default:
        v.SetType(type);
        break;
    }
    return v;
}

std::vector<std::wstring> Strings(const CWideStringArray& a) {
    std::vector<std::wstring> out;
    for (int32_t i = 0; i < a.GetCount(); ++i) {
        out.push_back(a.ElementAt(i).c_str());
    }
    return out;
}

class Handlers : public ::testing::Test {
protected:
    void SetUp() override { g_events.clear(); }
};

} // namespace

TEST_F(Handlers, AddingTwiceConnectsOnceAndAnswersTheIndex) {
    CMemoryContainer c;
    RecordingHandler a(1, 40);
    RecordingHandler b(2, 50);
    EXPECT_EQ(40, c.AddEventHandler(&a));
    EXPECT_EQ(50, c.AddEventHandler(&b));
    EXPECT_EQ(0, c.AddEventHandler(&a));
    EXPECT_EQ(1, c.AddEventHandler(&b));
    ASSERT_EQ(2u, g_events.size());
    EXPECT_EQ("connect", g_events[0].what);
    EXPECT_EQ(1, g_events[0].handler);
    EXPECT_EQ(static_cast<IPropertyContainer*>(&c), g_events[0].container);
    EXPECT_TRUE(g_events[0].stillRegistered);
    EXPECT_EQ(2, c.GetHandlerCount());
    EXPECT_EQ(-1, c.AddEventHandler(nullptr));
    EXPECT_EQ(2, c.GetHandlerCount());
}

TEST_F(Handlers, RemovingCallsOnlyRegisteredHandlersOnce) {
    CMemoryContainer c;
    RecordingHandler a(1, 10);
    RecordingHandler stranger(9);
    c.AddEventHandler(&a);
    g_events.clear();
    EXPECT_EQ(-1, c.RemoveEventHandler(&stranger));
    EXPECT_EQ(-1, c.RemoveEventHandler(nullptr));
    EXPECT_TRUE(g_events.empty());
    EXPECT_EQ(11, c.RemoveEventHandler(&a));
    ASSERT_EQ(1u, g_events.size());
    EXPECT_EQ("disconnect", g_events[0].what);
    EXPECT_FALSE(g_events[0].stillRegistered);
    EXPECT_EQ(0, c.GetHandlerCount());
    EXPECT_EQ(-1, c.RemoveEventHandler(&a));
    EXPECT_EQ(1u, g_events.size());
}

TEST_F(Handlers, DestructionTellsHandlersInOrderAfterPropertiesAndListAreGone) {
    RecordingHandler a(1);
    RecordingHandler b(2);
    IPropertyContainer* address = nullptr;
    {
        CMemoryContainer c;
        address = &c;
        c.Put(L"One", Value(vtDword));
        c.AddEventHandler(&a);
        c.AddEventHandler(&b);
        g_events.clear();
    }
    ASSERT_EQ(2u, g_events.size());
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ("disconnect", g_events[i].what);
        EXPECT_EQ(i + 1, g_events[i].handler);
        EXPECT_EQ(address, g_events[i].container);
        EXPECT_FALSE(g_events[i].stillRegistered);
        EXPECT_EQ(0, g_events[i].namesSeen);
    }
}

TEST_F(Handlers, HandlerCannotReaddItselfDuringDestruction) {
    RecordingHandler a(1);
    a.readdOnDisconnect = true;
    {
        CMemoryContainer c;
        c.AddEventHandler(&a);
        g_events.clear();
    }
    EXPECT_EQ(1u, g_events.size());
    EXPECT_EQ(-1, a.readdResult);
}

TEST_F(Handlers, DestroyObjectFreesAContainerMadeWithNew) {
    RecordingHandler a(1);
    CMemoryContainer* c = new CMemoryContainer;
    c->Put(L"x", Value(vtWideText));
    c->AddEventHandler(&a);
    g_events.clear();
    IPropertyContainer* container = c;
    container->DestroyObject(1);
    ASSERT_EQ(1u, g_events.size());
    EXPECT_EQ(container, g_events[0].container);
}

TEST(Properties, KeyIsTheLowerCasedNameAndCopiesAreDeep) {
    CProperty p(L"MixedCase");
    EXPECT_STREQ(L"MixedCase", p.GetName().c_str());
    EXPECT_STREQ(L"mixedcase", p.GetKey().c_str());
    p.SetAnsiText("value");
    p.SetId(3);
    p.GetStringList().Add(CWideString(L"s1"));
    p.GetStringList().SetSortFunc(nullptr);
    CProperty q(p);
    EXPECT_STREQ(L"MixedCase", q.GetName().c_str());
    EXPECT_STREQ(L"mixedcase", q.GetKey().c_str());
    EXPECT_STREQ("value", q.GetNarrowText());
    EXPECT_NE(p.GetNarrowText(), q.GetNarrowText());
    EXPECT_EQ(3, q.GetId());
    EXPECT_EQ(std::vector<std::wstring>({L"s1"}), Strings(q.GetStringList()));
    EXPECT_EQ(&CompareWideStrings, q.GetStringList().GetCompareFunc());
    CProperty r;
    EXPECT_STREQ(L"", r.GetName().c_str());
    EXPECT_EQ(vtEmpty, r.GetType());
    r = q;
    const CProperty& same = r;
    r = same;
    EXPECT_STREQ(L"mixedcase", r.GetKey().c_str());
    EXPECT_EQ(1, r.GetStringList().GetCount());
    EXPECT_EQ(0, r.GetStringList().IndexOf(CWideString(L"s1")));
}

TEST(Properties, DestroyingReleasesEveryBlock) {
    int allocations = 0;
    int releases = 0;
    struct Counts {
        int* allocations;
        int* releases;
    } counts = {&allocations, &releases};
    GlobalHeapHooks hooks = {
        [](const void*, size_t, void* context) { ++*static_cast<Counts*>(context)->releases; },
        [](size_t, void* context) {
            ++*static_cast<Counts*>(context)->allocations;
            return true;
        },
        &counts};
    SetGlobalHeapHooks(&hooks);
    {
        CMemoryContainer c;
        CIntArray numbers;
        numbers.Add(1);
        numbers.Add(2);
        c.SetInt(L"Number", 5, numbers);
        CWideStringArray strings(&CompareWideStrings);
        strings.Add(CWideString(L"a"));
        c.SetString(L"Text", L"hello", strings);
        CMemoryContainer d;
        d.CopyAllFrom(c);
        d.RemoveProperty(L"text");
    }
    SetGlobalHeapHooks(nullptr);
    EXPECT_GT(allocations, 10);
    EXPECT_EQ(allocations, releases);
}

TEST(PropertyLookup, NamesMatchInAnyCaseAndKeepTheirSpelling) {
    CMemoryContainer c;
    c.Put(L"Foo", Value(vtDword));
    EXPECT_EQ(1, c.HasProperty(L"FOO"));
    EXPECT_EQ(1, c.HasProperty(L"foo"));
    EXPECT_EQ(0, c.HasProperty(L"fo"));
    EXPECT_EQ(0, c.HasProperty(nullptr));
    CWideStringArray names(&CompareWideStrings);
    c.GetPropertyNames(names);
    EXPECT_EQ(std::vector<std::wstring>({L"Foo"}), Strings(names));
}

TEST(PropertyLookup, NamesOutsideAsciiMatchInAnyCase) {
    CMemoryContainer c;
    c.Put(L"\u00C4BC", Value(vtDword));
    c.Put(L"\u041F\u0420\u0418", Value(vtWideText));
    EXPECT_EQ(1, c.HasProperty(L"\u00E4bc"));
    EXPECT_EQ(1, c.HasProperty(L"\u043F\u0440\u0438"));
    EXPECT_EQ(1, c.GetPropertyKind(L"\u043F\u0440\u0438"));
    EXPECT_STREQ(L"\u00E4bc", c.ElementAt(0).GetKey().c_str());
}

TEST(PropertyLookup, AddingOwnPropertyWhileTheArrayGrowsCopiesIt) {
    CMemoryContainer c;
    c.SetSize(4);
    CVariant text;
    text.SetWideText(L"kept");
    c.ElementAt(0).Assign(text);
    c.ElementAt(0).SetName(L"First");
    c.ElementAt(0).GetStringList().Add(CWideString(L"s"));
    ASSERT_EQ(c.GetCount(), c.GetCapacity());
    c.Add(c.ElementAt(0));
    ASSERT_EQ(5, c.GetCount());
    const CProperty& copy = c.ElementAt(4);
    EXPECT_STREQ(L"kept", copy.GetWideText());
    EXPECT_STREQ(L"First", copy.GetName().c_str());
    EXPECT_EQ(std::vector<std::wstring>({L"s"}), Strings(copy.GetStringList()));
}

TEST(PropertyLookup, FindPropertyCopiesTheFirstMatchOrLeavesTheProbe) {
    CMemoryContainer c;
    CVariant text;
    text.SetWideText(L"first");
    c.Put(L"Key", text).SetId(1);
    text.SetWideText(L"second");
    c.Put(L"KEY", text);
    CProperty probe(L"kEy");
    EXPECT_EQ(0, c.FindProperty(probe));
    EXPECT_STREQ(L"first", probe.GetWideText());
    EXPECT_EQ(1, probe.GetId());
    EXPECT_STREQ(L"Key", probe.GetName().c_str());
    CProperty missing(L"none");
    missing.SetLong(4);
    EXPECT_EQ(kPropertyNotFound, c.FindProperty(missing));
    EXPECT_EQ(4, missing.GetLong());
    EXPECT_STREQ(L"none", missing.GetName().c_str());
}

TEST(PropertyLookup, KindFollowsTheValueType) {
    CMemoryContainer c;
    c.Put(L"dword", Value(vtDword));
    c.Put(L"long", Value(vtLong));
    c.Put(L"ansi", Value(vtAnsiText));
    c.Put(L"wide", Value(vtWideText));
    c.Put(L"utf8", Value(vtUtf8Text));
    c.Put(L"list", Value(vtList));
    EXPECT_EQ(kindInteger, c.GetPropertyKind(L"DWORD"));
    EXPECT_EQ(kindOther, c.GetPropertyKind(L"long"));
    EXPECT_EQ(kindText, c.GetPropertyKind(L"ansi"));
    EXPECT_EQ(kindText, c.GetPropertyKind(L"wide"));
    EXPECT_EQ(kindOther, c.GetPropertyKind(L"utf8"));
    EXPECT_EQ(kindOther, c.GetPropertyKind(L"list"));
    EXPECT_EQ(kindOther, c.GetPropertyKind(L"absent"));
}

TEST(PropertyLookup, RemoveTakesOnlyTheFirstMatch) {
    CMemoryContainer c;
    c.Put(L"a", Value(vtDword));
    c.Put(L"B", Value(vtWideText));
    c.Put(L"b", Value(vtAnsiText));
    c.Put(L"c", Value(vtLong));
    c.RemoveProperty(L"absent");
    EXPECT_EQ(4, c.GetCount());
    c.RemoveProperty(L"b");
    ASSERT_EQ(3, c.GetCount());
    EXPECT_STREQ(L"a", c.ElementAt(0).GetName().c_str());
    EXPECT_STREQ(L"b", c.ElementAt(1).GetName().c_str());
    EXPECT_EQ(vtAnsiText, c.ElementAt(1).GetType());
    EXPECT_STREQ(L"c", c.ElementAt(2).GetName().c_str());
}

TEST(PropertyLists, NamesAreAppendedBehindWhatOutHolds) {
    CMemoryContainer c;
    c.Put(L"One", Value(vtDword));
    c.Put(L"Two", Value(vtDword));
    CWideStringArray names(&CompareWideStrings);
    names.Add(CWideString(L"x"));
    names.Add(CWideString(L"y"));
    c.GetPropertyNames(names);
    EXPECT_EQ(std::vector<std::wstring>({L"x", L"y", L"One", L"Two"}), Strings(names));
}

TEST(PropertyLists, StringListReplacesOutAndCarriesTheFunctions) {
    CMemoryContainer c;
    CProperty& p = c.Put(L"List", Value(vtWideText));
    p.GetStringList().Add(CWideString(L"s1"));
    p.GetStringList().Add(CWideString(L"s2"));
    CWideStringArray out;
    out.Add(CWideString(L"old"));
    c.GetStringList(L"LIST", out);
    EXPECT_EQ(std::vector<std::wstring>({L"s1", L"s2"}), Strings(out));
    EXPECT_EQ(&CompareWideStrings, out.GetCompareFunc());
    c.GetStringList(L"absent", out);
    EXPECT_EQ(0, out.GetCount());
    EXPECT_EQ(0, out.GetCapacity());
    // Reading a property's list into that same list keeps it.
    c.GetStringList(L"list", c.ElementAt(0).GetStringList());
    EXPECT_EQ(std::vector<std::wstring>({L"s1", L"s2"}), Strings(c.ElementAt(0).GetStringList()));
}

TEST(PropertyLists, IntListAppendsParsedStrings) {
    CMemoryContainer c;
    CProperty& p = c.Put(L"Numbers", Value(vtDword));
    p.GetStringList().Add(CWideString(L"12"));
    p.GetStringList().Add(CWideString(L"x"));
    p.GetStringList().Add(CWideString(L" -7"));
    CIntArray out;
    out.Add(99);
    c.GetIntList(L"numbers", out);
    ASSERT_EQ(4, out.GetCount());
    EXPECT_EQ(99, out.ElementAt(0));
    EXPECT_EQ(12, out.ElementAt(1));
    EXPECT_EQ(0, out.ElementAt(2));
    EXPECT_EQ(-7, out.ElementAt(3));
    c.GetIntList(L"absent", out);
    EXPECT_EQ(4, out.GetCount());
}

TEST(PropertyCopy, UnknownNameCopiesNothing) {
    CMemoryContainer source;
    CMemoryContainer target;
    source.Put(L"long", Value(vtLong));
    EXPECT_EQ(1, target.CopyProperty(source, L"nothing"));
    EXPECT_EQ(1, target.CopyProperty(source, L"long"));
    EXPECT_EQ(0, target.GetCount());
    EXPECT_EQ(0, target.setCalls);
}

TEST(PropertyCopy, TextAndIntegerGoThroughTheValueSlots) {
    CMemoryContainer source;
    CWideStringArray strings(&CompareWideStrings);
    strings.Add(CWideString(L"first"));
    strings.Add(CWideString(L"second"));
    source.SetString(L"Title", L"hello", strings);
    CIntArray numbers;
    numbers.Add(3);
    numbers.Add(-4);
    source.SetInt(L"Count", 42, numbers);
    CMemoryContainer target;
    EXPECT_EQ(0, target.CopyProperty(source, L"title"));
    EXPECT_EQ(0, target.CopyProperty(source, L"COUNT"));
    EXPECT_EQ(2, target.setCalls);
    EXPECT_STREQ(L"hello", target.GetString(L"title", L"").c_str());
    CWideStringArray copied;
    target.GetStringList(L"title", copied);
    EXPECT_EQ(std::vector<std::wstring>({L"first", L"second"}), Strings(copied));
    EXPECT_EQ(42, target.GetInt(L"count", 0));
    CIntArray copiedNumbers;
    target.GetIntList(L"count", copiedNumbers);
    ASSERT_EQ(2, copiedNumbers.GetCount());
    EXPECT_EQ(3, copiedNumbers.ElementAt(0));
    EXPECT_EQ(-4, copiedNumbers.ElementAt(1));
}

TEST(PropertyCopy, KindOfTheTargetIsAskedWhenTheSourceDoesNotKnow) {
    CMemoryContainer source;
    CMemoryContainer target;
    CIntArray none;
    target.SetInt(L"Shared", 5, none);
    target.setCalls = 0;
    // The source has no such property: its GetInt answers the default 0, which is copied.
    EXPECT_EQ(0, target.CopyProperty(source, L"shared"));
    EXPECT_EQ(1, target.setCalls);
    EXPECT_EQ(0, target.GetInt(L"shared", -1));
}

TEST(PropertyCopy, CopyAllFromReplacesEveryProperty) {
    CMemoryContainer source;
    CIntArray none;
    CWideStringArray noStrings(&CompareWideStrings);
    source.SetInt(L"A", 1, none);
    source.SetString(L"B", L"bee", noStrings);
    source.Put(L"C", Value(vtLong));
    CMemoryContainer target;
    target.SetInt(L"Old", 9, none);
    target.CopyAllFrom(source);
    CWideStringArray names(&CompareWideStrings);
    target.GetPropertyNames(names);
    EXPECT_EQ(std::vector<std::wstring>({L"A", L"B"}), Strings(names));
    EXPECT_EQ(1, target.GetInt(L"a", 0));
    EXPECT_STREQ(L"bee", target.GetString(L"b", nullptr).c_str());
}

TEST(PropertyCopy, CopyAllFromItselfKeepsEverything) {
    CMemoryContainer c;
    CIntArray none;
    c.SetInt(L"A", 1, none);
    c.Put(L"C", Value(vtLong));
    c.CopyAllFrom(c);
    EXPECT_EQ(2, c.GetCount());
    EXPECT_EQ(1, c.GetInt(L"a", 0));
}

namespace {
#if defined(_MSC_VER)
#define VPE_THIS(p) (p), nullptr
#define VPE_SLOT(ret, ...) ret(__fastcall*)(void*, void*, __VA_ARGS__)
#else
#define VPE_THIS(p) (p)
#define VPE_SLOT(ret, ...) ret(__attribute__((thiscall))*)(void*, __VA_ARGS__)
#endif

template <class F> F SlotOf(void* object, int index) {
    return reinterpret_cast<F>((*static_cast<void***>(object))[index]);
}

CWideString CallGetString(void* object, const wchar_t* name, const wchar_t* fallback) {
#if defined(_MSC_VER)
    // MSVC passes the hidden result pointer after `this`.
    CWideString result;
    result.Empty();
    SlotOf<CWideString*(__fastcall*)(void*, void*, CWideString*, const wchar_t*, const wchar_t*)>(
        object, 6)(VPE_THIS(object), &result, name, fallback);
    return result;
#else
    return SlotOf<VPE_SLOT(CWideString, const wchar_t*, const wchar_t*)>(object, 6)(
        VPE_THIS(object), name, fallback);
#endif
}
} // namespace

TEST_F(Handlers, EverySlotIsReachedByItsIndex) {
    CMemoryContainer* c = new CMemoryContainer;
    IPropertyContainer* iface = c;
    void* self = iface;
    RecordingHandler h(1, 70);

    EXPECT_EQ(70, (SlotOf<VPE_SLOT(int32_t, IPropertyEventHandler*)>(self, 0)(VPE_THIS(self), &h)));
    EXPECT_EQ(71, (SlotOf<VPE_SLOT(int32_t, IPropertyEventHandler*)>(self, 1)(VPE_THIS(self), &h)));

    CIntArray numbers;
    numbers.Add(8);
    SlotOf<VPE_SLOT(void, const wchar_t*, int32_t, const CIntArray*)>(self, 3)(VPE_THIS(self), L"N",
                                                                               5, &numbers);
    EXPECT_EQ(
        5, (SlotOf<VPE_SLOT(int32_t, const wchar_t*, int32_t)>(self, 4)(VPE_THIS(self), L"n", -1)));
    CWideStringArray strings(&CompareWideStrings);
    strings.Add(CWideString(L"s"));
    SlotOf<VPE_SLOT(void, const wchar_t*, const wchar_t*, const CWideStringArray*)>(self, 5)(
        VPE_THIS(self), L"T", L"text", &strings);
    EXPECT_STREQ(L"text", CallGetString(self, L"t", L"none").c_str());
    EXPECT_STREQ(L"none", CallGetString(self, L"missing", L"none").c_str());
    EXPECT_EQ(1, (SlotOf<VPE_SLOT(int32_t, const wchar_t*)>(self, 7)(VPE_THIS(self), L"T")));
    CWideStringArray names(&CompareWideStrings);
    SlotOf<VPE_SLOT(void, CWideStringArray*)>(self, 9)(VPE_THIS(self), &names);
    EXPECT_EQ(std::vector<std::wstring>({L"N", L"T"}), Strings(names));
    EXPECT_EQ(kindText,
              (SlotOf<VPE_SLOT(int32_t, const wchar_t*)>(self, 10)(VPE_THIS(self), L"t")));
    CIntArray ints;
    SlotOf<VPE_SLOT(void, const wchar_t*, CIntArray*)>(self, 13)(VPE_THIS(self), L"n", &ints);
    ASSERT_EQ(1, ints.GetCount());
    EXPECT_EQ(8, ints.ElementAt(0));
    CWideStringArray list;
    SlotOf<VPE_SLOT(void, const wchar_t*, CWideStringArray*)>(self, 14)(VPE_THIS(self), L"t",
                                                                        &list);
    EXPECT_EQ(std::vector<std::wstring>({L"s"}), Strings(list));

    CMemoryContainer other;
    other.CopyAllFrom(*iface);
    EXPECT_EQ(2, other.GetCount());
    other.SetInt(L"N", 6, numbers);
    EXPECT_EQ(0, (SlotOf<VPE_SLOT(int32_t, IPropertyContainer*, const wchar_t*)>(self, 12)(
                     VPE_THIS(self), &other, L"n")));
    EXPECT_EQ(6, iface->GetInt(L"n", 0));
    SlotOf<VPE_SLOT(void, const wchar_t*)>(self, 8)(VPE_THIS(self), L"n");
    EXPECT_EQ(0, iface->HasProperty(L"n"));
    SlotOf<VPE_SLOT(void, IPropertyContainer*)>(self, 11)(VPE_THIS(self), &other);
    EXPECT_EQ(1, iface->HasProperty(L"n"));

    c->AddEventHandler(&h);
    g_events.clear();
    SlotOf<VPE_SLOT(void, uint32_t)>(self, 2)(VPE_THIS(self), 1u);
    ASSERT_EQ(1u, g_events.size());
    EXPECT_EQ("disconnect", g_events[0].what);
}
