#include "config/file_object.h"

#include "base/file_data_container.h"
#include "base/file_system.h"
#include "base/global_heap.h"
#include "base/paths.h"
#include "base/memory_data_container.h"
#include "config/file_tree.h"
#include "testsupport/file_bytes.h"
#include "testsupport/scratch_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace Corvinex;

namespace {

using VpeTest::Bytes;
using VpeTest::MakeTime;
using VpeTest::ReadBytes;
using VpeTest::TimeValue;
using VpeTest::WriteBytes;

// A memory container that logs the size of every Read and Write it is asked for, refused or not.
class CLoggingContainer : public CMemoryDataContainer {
public:
    std::vector<uint32_t> writes;
    std::vector<uint32_t> reads;
    uint32_t Write(const void* buffer, uint32_t size) override {
        writes.push_back(size);
        return CMemoryDataContainer::Write(buffer, size);
    }
    uint32_t Read(void* buffer, uint32_t size) override {
        reads.push_back(size);
        return CMemoryDataContainer::Read(buffer, size);
    }
};

CWideString W(const std::wstring& s) {
    return CWideString(s.c_str());
}

Bytes Pattern(size_t n, unsigned seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        b[i] = static_cast<uint8_t>(seed >> 16);
    }
    return b;
}

void SetText(CFileObject& object, uint16_t id, const wchar_t* text) {
    CVariant v;
    v.SetWideText(text);
    object.SetValue(id, v, true);
}

// A file-object value for the entry folder + name of the given kind.
CVariant Entry(uint8_t kind, const wchar_t* folder, const wchar_t* name) {
    CVariant v;
    v.SetType(vtFileObject);
    v.GetFileObject()->SetByte(kFileObjectKind, kind, true);
    SetText(*v.GetFileObject(), kFileObjectFolder, folder);
    SetText(*v.GetFileObject(), kFileObjectName, name);
    return v;
}

// Whether this file system keeps a creation time that was set (Wine on Linux does not).
bool CreationTimeSticks(const CWideString& folder) {
    CWideString probe = folder + CWideString(L"creation.probe");
    WriteBytes(probe, Bytes(1, 1));
    FILETIME c = MakeTime(0x01D0000000000000ull);
    CEntryStamp stamp;
    bool sticks = WriteEntryTimes(probe, &c, nullptr, nullptr) && ReadEntryStamp(probe, stamp) &&
                  TimeValue(stamp.creation) == TimeValue(c);
    RemoveFile(probe);
    return sticks;
}

// Names of the entries in a folder (forward path with trailing slash).
std::vector<std::wstring> List(const CWideString& folder) {
    return VpeTest::FolderNames(ToSystemPath(folder).c_str());
}

} // namespace

// --- CVariantContainer ----------------------------------------------------------------------

TEST(VariantContainer, NewContainerIsAnEmptyList) {
    CVariantContainer c;
    EXPECT_EQ(vtList, c.GetType());
    ASSERT_NE(nullptr, c.GetList());
    EXPECT_EQ(0, c.GetList()->GetCount());
    EXPECT_EQ(0u, c.notOwned);
}

TEST(VariantContainer, SetValueReplacesOrAppends) {
    CVariantContainer c;
    CVariant a, b;
    a.SetLong(1);
    b.SetLong(2);
    c.SetValue(300, a, true);
    c.SetValue(300, b, true);
    EXPECT_EQ(1, c.GetList()->GetCount());
    EXPECT_EQ(2, c.GetValue(300).GetLong());
    c.SetValue(300, a, false);
    EXPECT_EQ(2, c.GetList()->GetCount());
    EXPECT_EQ(2, c.GetValue(300).GetLong());
    CVariant missing = c.GetValue(77);
    EXPECT_EQ(vtEmpty, missing.GetType());
    EXPECT_EQ(77, missing.GetId());
}

TEST(VariantContainer, TypedAccessors) {
    CVariantContainer c;
    c.SetByte(100, 1, true);
    CVariant v;
    v.SetLong(9);
    c.SetValue(101, v, true);
    EXPECT_EQ(1, c.GetByte(100, 7));
    EXPECT_EQ(7, c.GetByte(101, 7));
    EXPECT_EQ(7, c.GetByte(102, 7));
    v.SetAnsiText("ansi \xE9");
    c.SetValue(1, v, true);
    v.SetWideText(L"wide");
    c.SetValue(2, v, true);
    v.SetUtf8Text(CAnsiString("\xE2\x82\xAC"));
    c.SetValue(3, v, true);
    v.SetUtf8Text(CAnsiString("\xE9"));
    c.SetValue(4, v, true);
    EXPECT_STREQ(L"ansi \u00e9", c.GetText(1, L"d").c_str());
    EXPECT_STREQ(L"wide", c.GetText(2, L"d").c_str());
    EXPECT_STREQ(L"\u20ac", c.GetText(3, L"d").c_str());
    EXPECT_STREQ(L"\u00e9", c.GetText(4, L"d").c_str());
    EXPECT_STREQ(L"d", c.GetText(100, L"d").c_str());
    EXPECT_STREQ(L"", c.GetText(100, nullptr).c_str());

    CVariantContainer inner;
    inner.SetByte(5, 1, true);
    c.SetValue(300, inner, true);
    CVariantContainer got = c.GetList(300);
    EXPECT_EQ(1, got.GetByte(5, 0));
    EXPECT_EQ(0, c.GetList(1).GetList()->GetCount());
}

TEST(VariantContainer, SortOrdersElements) {
    CVariantContainer c;
    for (int32_t n : {3, 1, 2}) {
        CVariant v;
        v.SetLong(n);
        c.GetList()->Add(v);
    }
    c.Sort();
    EXPECT_EQ(1, c.GetList()->ElementAt(0).GetLong());
    EXPECT_EQ(2, c.GetList()->ElementAt(1).GetLong());
    EXPECT_EQ(3, c.GetList()->ElementAt(2).GetLong());
}

TEST(VariantContainer, NotOwnedListIsForgottenNotReleased) {
    CVariantList* shared = new CVariantList(Compare, SortList);
    CVariant v;
    v.SetLong(4);
    shared->Add(v);
    {
        CVariantContainer c;
        c.SetType(vtEmpty);
        memcpy(c.GetData(), &shared, sizeof shared);
        // A raw type change would release the list; the flag makes Clear forget it instead.
        *reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(&c) + sizeof(void*)) = vtList;
        c.notOwned = 1;
        EXPECT_EQ(shared, c.GetList());
        c.Clear();
        EXPECT_EQ(0u, c.notOwned);
        EXPECT_NE(shared, c.GetList());
    }
    EXPECT_EQ(1, shared->GetCount());
    EXPECT_EQ(4, shared->ElementAt(0).GetLong());
    delete shared;
}

TEST(VariantContainer, SlotsFourAndFiveAreDestroyAndSort) {
    CVariantContainer* c = new CVariantContainer();
    CVariant v;
    v.SetLong(2);
    c->GetList()->Add(v);
    v.SetLong(1);
    c->GetList()->Add(v);
    void** table = *reinterpret_cast<void***>(c);
    typedef void(__thiscall * Fn)(CVariantContainer*);
    reinterpret_cast<Fn>(table[5])(c);
    EXPECT_EQ(1, c->GetList()->ElementAt(0).GetLong());
    reinterpret_cast<Fn>(table[4])(c); // destroys and frees; heap checking sees a bad free
}

// --- CFileObject ----------------------------------------------------------------------------

TEST(FileObject, WithoutTargetOrRootNothingHappens) {
    CFileObject object;
    CMemoryDataContainer m;
    m.Open(kModeStoring, nullptr);
    EXPECT_EQ(static_cast<int32_t>(kFileErrorNoTarget), object.Serialize(m));
    EXPECT_EQ(kFileErrorNoTarget, m.GetError());
    EXPECT_EQ(0u, m.GetSize());
    EXPECT_EQ(0, object.GetStoredSize(m));

    VpeTest::ScratchFolder root(L"fo", L"noroot");
    std::wstring missing = root.Path() + L"missing/";
    CDataTarget target = {missing.c_str(), 0, 0};
    m.Open(kModeStoring, &target);
    EXPECT_EQ(static_cast<int32_t>(kFileErrorNoRoot), object.Serialize(m));
    std::wstring noSlash = root.Path().substr(0, root.Path().size() - 1);
    target.pRoot = noSlash.c_str();
    m.Open(kModeStoring, &target);
    EXPECT_EQ(static_cast<int32_t>(kFileErrorNoRoot), object.Serialize(m));
    EXPECT_EQ(0, object.GetStoredSize(m));
    EXPECT_EQ(kFileErrorNoRoot, object.SetRoot(W(noSlash)));
    EXPECT_STREQ(L"", object.GetRoot().c_str());
}

TEST(FileObject, PathJoinsRootFolderAndName) {
    VpeTest::ScratchFolder root(L"fo", L"path");
    CFileObject object;
    ASSERT_EQ(0u, object.SetRoot(W(root.Path())));
    SetText(object, kFileObjectFolder, L"sub\\dir/");
    CVariant name;
    name.SetAnsiText("f.txt");
    object.SetValue(kFileObjectName, name, true);
    EXPECT_EQ(root.Path() + L"sub/dir/f.txt", std::wstring(object.GetPath().c_str()));
    EXPECT_EQ(0, object.GetByte(kFileObjectKind, 0)); // no kind: a file
}

TEST(FileObject, ContentMovesInChunksOfAHundredThousand) {
    VpeTest::ScratchFolder root(L"fo", L"chunks");
    CDataTarget target = {root.Path().c_str(), 0, 0};
    struct Case {
        size_t size;
        std::vector<uint32_t> contentWrites;
        std::vector<uint32_t> contentReads;
    } cases[] = {{250000, {100000, 100000, 50000}, {100000, 100000, 50000}},
                 {200000, {100000, 100000, 0}, {100000, 100000}},
                 {0, {0}, {}}};
    for (const Case& c : cases) {
        Bytes content = Pattern(c.size, 7);
        ASSERT_TRUE(WriteBytes(W(root.Path() + L"f.bin"), content));
        CVariant entry = Entry(kFileObjectFile, L"", L"f.bin");
        CLoggingContainer log;
        log.Open(kModeStoring, &target);
        ASSERT_EQ(0, entry.GetFileObject()->Serialize(log));
        // The value part's writes, then the size, then the content.
        size_t n = c.contentWrites.size();
        ASSERT_GE(log.writes.size(), n + 1);
        std::vector<uint32_t> tail(log.writes.end() - static_cast<ptrdiff_t>(n), log.writes.end());
        EXPECT_EQ(c.contentWrites, tail) << c.size;
        EXPECT_EQ(4u, log.writes[log.writes.size() - n - 1]);
        uint32_t recorded = 0;
        memcpy(&recorded, log.GetData() + log.GetSize() - c.size - 4, 4);
        EXPECT_EQ(c.size, recorded);

        ASSERT_TRUE(RemoveFile(W(root.Path() + L"f.bin")));
        log.reads.clear();
        log.Open(kModeLoading, &target);
        CFileObject loaded;
        ASSERT_EQ(0, loaded.Serialize(log));
        size_t m = c.contentReads.size();
        std::vector<uint32_t> readTail(log.reads.end() - static_cast<ptrdiff_t>(m),
                                       log.reads.end());
        EXPECT_EQ(c.contentReads, readTail) << c.size;
        EXPECT_EQ(content, ReadBytes(W(root.Path() + L"f.bin"))) << c.size;
    }
}

TEST(FileObject, StoredFileCarriesItsInformationRecord) {
    VpeTest::ScratchFolder root(L"fo", L"record");
    CDataTarget target = {root.Path().c_str(), 0, 0};
    CWideString file = W(root.Path() + L"r.txt");
    WriteBytes(file, Bytes(5, 5));
    SetEntryAttributes(file, FILE_ATTRIBUTE_HIDDEN);
    CVariant entry = Entry(kFileObjectFile, L"", L"r.txt");
    CMemoryDataContainer m;
    m.Open(kModeStoring, &target);
    int32_t expected = entry.GetFileObject()->GetStoredSize(m);
    ASSERT_EQ(0, entry.Serialize(m));
    // Type, id and the size field, then exactly the announced bytes.
    EXPECT_EQ(static_cast<uint32_t>(expected) + 8, m.GetSize());
    m.Open(kModeLoading, &target);
    CFileObject probe;
    CVariant head;
    // Loaded as a plain list value, the record shows what the stream carries.
    m.Skip(8);
    ASSERT_EQ(0, head.Serialize(m));
    CVariantContainer asContainer;
    asContainer.Assign(head);
    CVariantContainer info = asContainer.GetList(kFileObjectInfo);
    EXPECT_EQ(1, info.GetByte(kInfoHidden, 0));
    EXPECT_EQ(vtBinary, info.GetValue(kInfoCreationTime).GetType());
    EXPECT_EQ(vtBinary, info.GetValue(kInfoLastAccessTime).GetType());
    EXPECT_EQ(vtBinary, info.GetValue(kInfoLastWriteTime).GetType());
}

TEST(FileObject, FileWhoseFolderIsMissingCannotBeLoaded) {
    VpeTest::ScratchFolder source(L"fo", L"src204");
    VpeTest::ScratchFolder dest(L"fo", L"dst204");
    ASSERT_EQ(kFolderCreated, CreateFolderPath(W(source.Path() + L"sub/")));
    WriteBytes(W(source.Path() + L"sub/x.bin"), Bytes(3, 3));
    CDataTarget from = {source.Path().c_str(), 0, 0};
    CVariant entry = Entry(kFileObjectFile, L"sub/", L"x.bin");
    CMemoryDataContainer m;
    m.Open(kModeStoring, &from);
    ASSERT_EQ(0, entry.Serialize(m));
    CDataTarget to = {dest.Path().c_str(), 0, 0};
    m.Open(kModeLoading, &to);
    CVariant back;
    EXPECT_EQ(static_cast<int32_t>(kFileErrorOpen), back.Serialize(m));
    EXPECT_TRUE(List(W(dest.Path())).empty());
}

TEST(FileObject, CatalogueMovesOnlySizes) {
    VpeTest::ScratchFolder root(L"fo", L"catalogue");
    VpeTest::ScratchFolder dest(L"fo", L"catalogue_dst");
    WriteBytes(W(root.Path() + L"big.bin"), Pattern(300000, 1));
    CDataTarget target = {root.Path().c_str(), 0, 1};
    CVariant list;
    list.SetType(vtList);
    list.GetList()->Add(Entry(kFileObjectFile, L"", L"big.bin"));
    list.GetList()->Add(Entry(kFileObjectFolderKind, L"", L"sub/"));
    CLoggingContainer m;
    m.Open(kModeStoring, &target);
    ASSERT_EQ(0, list.Serialize(m));
    EXPECT_LT(m.GetSize(), 1000u);
    EXPECT_EQ(static_cast<int32_t>(m.GetSize()) + 300000, m.GetTotal());

    CDataTarget to = {dest.Path().c_str(), 0, 1};
    m.Open(kModeLoading, &to);
    CVariant back;
    ASSERT_EQ(0, back.Serialize(m));
    EXPECT_EQ(0u, m.GetRemaining()); // every byte read, the records stayed in step
    EXPECT_EQ(2, back.GetList()->GetCount());
    EXPECT_TRUE(List(W(dest.Path())).empty());
}

// The record of a file-object value with this id: a folder entry "d/" whose element 200 (where
// the name belongs) is `inner`, another file-object record, when it is given.
Bytes NestedFolderRecord(uint16_t id, const Bytes& inner) {
    CMemoryDataContainer m;
    m.Open(kModeStoring, nullptr);
    CVariant kind;
    kind.SetByte(kFileObjectFolderKind);
    kind.SetId(kFileObjectKind);
    CVariant folder;
    folder.SetWideText(L"d/");
    folder.SetId(kFileObjectFolder);
    kind.Serialize(m);
    folder.Serialize(m);
    Bytes elements(m.GetData(), m.GetData() + m.GetSize());
    elements.insert(elements.end(), inner.begin(), inner.end());
    int32_t count = inner.empty() ? 2 : 3;
    int32_t listSize = static_cast<int32_t>(4 + elements.size());
    int32_t recordSize = 8 + listSize;
    Bytes out;
    auto put = [&out](const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    };
    uint16_t fileObjectType = vtFileObject;
    uint16_t listType = vtList;
    uint16_t noId = 0;
    put(&fileObjectType, 2);
    put(&id, 2);
    put(&recordSize, 4);
    put(&listType, 2);
    put(&noId, 2);
    put(&listSize, 4);
    put(&count, 4);
    out.insert(out.end(), elements.begin(), elements.end());
    return out;
}

// Loads `levels` nested folder entries below a fresh root; answers the error and counts the
// global-heap blocks the load takes.
int32_t LoadNestedFolders(int levels, int& blocks) {
    Bytes stream;
    for (int i = 0; i < levels; ++i) {
        stream = NestedFolderRecord(i == levels - 1 ? 0 : kFileObjectName, stream);
    }
    VpeTest::ScratchFolder dest(L"fo", L"nested");
    CDataTarget to = {dest.Path().c_str(), 0, 0};
    CMemoryDataContainer m;
    m.LoadFrom(stream.data(), static_cast<uint32_t>(stream.size()));
    m.Open(kModeLoading, &to);
    blocks = 0;
    GlobalHeapHooks hooks = {nullptr,
                             [](size_t, void* context) {
                                 ++*static_cast<int*>(context);
                                 return true;
                             },
                             &blocks};
    SetGlobalHeapHooks(&hooks);
    DWORD start = GetTickCount();
    CVariant back;
    int32_t result = back.Serialize(m);
    DWORD elapsed = GetTickCount() - start;
    SetGlobalHeapHooks(nullptr);
    printf("%d nested file objects (%u bytes) loaded in %lu ms, %d blocks\n", levels,
           static_cast<unsigned>(stream.size()), static_cast<unsigned long>(elapsed), blocks);
    EXPECT_TRUE(IsExistingFolder(W(dest.Path() + L"d")));
    return result;
}

TEST(FileObject, DeepNestingLoadsInLinearTime) {
    // Each level's name slot holds the next level, so the safe-path check reads a name next to
    // a whole subtree. 30 levels take 61 of the loader's 64 nesting levels.
    int blocks10 = 0;
    int blocks30 = 0;
    EXPECT_EQ(0, LoadNestedFolders(10, blocks10));
    EXPECT_EQ(0, LoadNestedFolders(30, blocks30));
    // Three times the levels, about three times the blocks: nothing is copied per level.
    EXPECT_LE(blocks30, 4 * blocks10);
}

TEST(FileObject, FolderEntryCarriesItsAttributesFromTheFirstStore) {
    VpeTest::ScratchFolder source(L"fo", L"foldersrc");
    VpeTest::ScratchFolder dest(L"fo", L"folderdst");
    CWideString sub = W(source.Path() + L"hidden/");
    ASSERT_EQ(kFolderCreated, CreateFolderPath(sub));
    SetEntryAttributes(StripTrailingSlash(sub), FILE_ATTRIBUTE_HIDDEN);
    CVariant entry = Entry(kFileObjectFolderKind, L"", L"hidden/");
    CDataTarget from = {source.Path().c_str(), 0, 0};
    CMemoryDataContainer m;
    m.Open(kModeStoring, &from);
    ASSERT_EQ(0, entry.Serialize(m));
    CDataTarget to = {dest.Path().c_str(), 0, 0};
    m.Open(kModeLoading, &to);
    CVariant back;
    ASSERT_EQ(0, back.Serialize(m));
    CWideString restored = W(dest.Path() + L"hidden");
    EXPECT_TRUE(IsExistingFolder(restored));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN),
              GetEntryAttributes(restored) & FILE_ATTRIBUTE_HIDDEN);
}

// --- A whole tree ----------------------------------------------------------------------------

namespace {

struct TreeFile {
    std::wstring relative;
    size_t size;
    DWORD attributes;
};

const TreeFile kTree[] = {
    {L"a.txt", 10, 0},
    {L"empty.bin", 0, 0},
    {L"chunky.bin", 250001, FILE_ATTRIBUTE_READONLY},
    {L"docs/readme.md", 999, FILE_ATTRIBUTE_HIDDEN},
    {L"docs/sys.dat", 64, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN},
    {L"docs/deep/er/\u00e9t\u00e9 \u0416\u4e2d.txt", 100000, 0},
    {L"\u4e2d\u6587/x.bin", 70000, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN},
};

void BuildTree(const std::wstring& root) {
    unsigned seed = 1;
    for (const TreeFile& f : kTree) {
        CWideString path = W(root + f.relative);
        CreateFolderPath(GetFolderOfPath(path));
        ASSERT_TRUE(WriteBytes(path, Pattern(f.size, ++seed)));
        FILETIME c = MakeTime(0x01D1000000000000ull + seed * 1000003ull);
        FILETIME a = MakeTime(0x01D2000000000000ull + seed * 2000003ull);
        FILETIME w = MakeTime(0x01D3000000000000ull + seed * 3000003ull);
        ASSERT_TRUE(WriteEntryTimes(path, &c, &a, &w));
        if (f.attributes != 0) {
            ASSERT_TRUE(SetEntryAttributes(path, f.attributes));
        }
    }
    CreateFolderPath(W(root + L"empty folder/"));
}

// Stamps of the tree's files, read without opening them (reading a file moves its access time).
std::vector<CEntryStamp> Stamps(const std::wstring& root) {
    std::vector<CEntryStamp> stamps;
    for (const TreeFile& f : kTree) {
        CEntryStamp stamp = {};
        EXPECT_TRUE(ReadEntryStamp(W(root + f.relative), stamp));
        stamps.push_back(stamp);
    }
    return stamps;
}

void ExpectSameTree(const std::wstring& from, const std::vector<CEntryStamp>& before,
                    const std::wstring& to, bool creationSticks) {
    std::vector<CEntryStamp> after = Stamps(to);
    for (size_t i = 0; i < before.size(); ++i) {
        const CEntryStamp& sa = before[i];
        const CEntryStamp& sb = after[i];
        EXPECT_EQ(sa.nAttributes & 0x27, sb.nAttributes & 0x27) << i;
        EXPECT_EQ(TimeValue(sa.lastWrite), TimeValue(sb.lastWrite)) << i;
        EXPECT_EQ(TimeValue(sa.lastAccess), TimeValue(sb.lastAccess)) << i;
        if (creationSticks) {
            EXPECT_EQ(TimeValue(sa.creation), TimeValue(sb.creation)) << i;
        }
    }
    for (const TreeFile& f : kTree) {
        EXPECT_EQ(ReadBytes(W(from + f.relative)), ReadBytes(W(to + f.relative)));
    }
    EXPECT_TRUE(IsExistingFolder(W(to + L"empty folder/")));
}

} // namespace

TEST(FileTree, StoredToAFileAndRestoredUnderAnotherRoot) {
    VpeTest::ScratchFolder source(L"fo", L"treesrc");
    VpeTest::ScratchFolder dest(L"fo", L"treedst");
    VpeTest::ScratchFolder streams(L"fo", L"treestream");
    BuildTree(source.Path());
    std::vector<CEntryStamp> before = Stamps(source.Path());
    CVariant tree;
    ASSERT_TRUE(CollectFileTree(W(source.Path()), tree));
    EXPECT_EQ(static_cast<int32_t>(sizeof kTree / sizeof kTree[0]) + 5,
              tree.GetList()->GetCount()); // files plus folders docs, deep, er, 中文, empty

    CWideString streamPath = W(streams.Path() + L"tree.vps");
    CDataTarget from = {source.Path().c_str(), 0, 0};
    CFileDataContainer file;
    ASSERT_EQ(0u, file.OpenFile(streamPath, kModeStoring, &from));
    ASSERT_EQ(0, tree.Serialize(file));
    ASSERT_EQ(0u, file.Close());

    CDataTarget to = {dest.Path().c_str(), 0, 0};
    ASSERT_EQ(0u, file.OpenFile(streamPath, kModeLoading, &to));
    CVariant back;
    ASSERT_EQ(0, back.Serialize(file));
    EXPECT_EQ(0u, file.GetRemaining());
    file.Close();
    ExpectSameTree(source.Path(), before, dest.Path(), CreationTimeSticks(W(streams.Path())));
}

TEST(FileTree, LongAndNonAnsiPathsKeepTimesAndAttributes) {
    VpeTest::ScratchFolder source(L"fo", L"longsrc");
    VpeTest::ScratchFolder dest(L"fo", L"longdst");
    std::wstring deep;
    for (int i = 0; i < 14; ++i) {
        deep += L"\u0416\u4e2d\u00e9 level folder " + std::to_wstring(i) + L"/";
    }
    std::wstring relative = deep + L"\u4e2d\u6587 file name.txt";
    ASSERT_GT(source.Path().size() + relative.size(), 300u);
    CWideString path = W(source.Path() + relative);
    ASSERT_EQ(kFolderCreated, CreateFolderPath(GetFolderOfPath(path)));
    ASSERT_TRUE(WriteBytes(path, Pattern(5000, 3)));
    FILETIME a = MakeTime(0x01D2000012345678ull), w = MakeTime(0x01D3000087654321ull);
    ASSERT_TRUE(WriteEntryTimes(path, nullptr, &a, &w));
    ASSERT_TRUE(SetEntryAttributes(path, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

    CVariant tree;
    ASSERT_TRUE(CollectFileTree(W(source.Path()), tree));
    CMemoryDataContainer m;
    CDataTarget from = {source.Path().c_str(), 0, 0};
    m.Open(kModeStoring, &from);
    ASSERT_EQ(0, tree.Serialize(m));
    CDataTarget to = {dest.Path().c_str(), 0, 0};
    m.Open(kModeLoading, &to);
    CVariant back;
    ASSERT_EQ(0, back.Serialize(m));
    CWideString restored = W(dest.Path() + relative);
    CEntryStamp stamp;
    ASSERT_TRUE(ReadEntryStamp(restored, stamp));
    EXPECT_EQ(TimeValue(w), TimeValue(stamp.lastWrite));
    EXPECT_EQ(TimeValue(a), TimeValue(stamp.lastAccess));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              stamp.nAttributes & 0x7);
    EXPECT_EQ(Pattern(5000, 3), ReadBytes(restored));
}

// --- Hostile streams -------------------------------------------------------------------------

TEST(FileObjectHostile, EntriesThatLeaveTheRootWriteNothing) {
    VpeTest::ScratchFolder outer(L"fo", L"escape");
    CWideString rootPath = W(outer.Path() + L"root/");
    ASSERT_EQ(kFolderCreated, CreateFolderPath(rootPath));
    std::wstring root = outer.Path() + L"root/";
    std::wstring absolute = outer.Path() + L"abs.txt";
    struct Evil {
        uint8_t kind;
        const wchar_t* folder;
        const wchar_t* name;
    } evils[] = {
        {0, L"", L"../up.txt"},
        {0, L"../", L"up.txt"},
        {0, L"a/../../", L"up.txt"},
        {0, L"", L"..\\up.txt"},
        {0, L"", absolute.c_str()},
        {0, L"C:/", L"x.txt"},
        {0, L"", L"C:x.txt"},
        {0, L"//server/share/", L"x.txt"},
        {0, L"", L"CON"},
        {0, L"", L"nul.txt"},
        {0, L"", L"COM1"},
        {0, L"sub\\..\\..\\", L"x.txt"},
        {0, L"", L"x.txt:stream"},
        {0, L"", L"*"},
        {0, L"", L""},
        {0, L"", L"dir/"},
        {1, L"", L"../upfolder/"},
        {1, L"..\\", L"f/"},
        {1, L"", L"/abs/"},
        {1, L"", L"aux/"},
    };
    for (const Evil& e : evils) {
        // Stored by hand (a storing pass would not find these entries), then loaded.
        CVariant value;
        value.SetType(vtFileObject);
        CFileObject* object = value.GetFileObject();
        object->SetByte(kFileObjectKind, e.kind, true);
        SetText(*object, kFileObjectFolder, e.folder);
        SetText(*object, kFileObjectName, e.name);
        CMemoryDataContainer m;
        m.Open(kModeStoring, nullptr);
        uint16_t type = vtFileObject, id = 0;
        int32_t size = 0;
        m.Write(&type, 2);
        m.Write(&id, 2);
        m.Write(&size, 4);
        object->CVariant::Serialize(m);
        if (e.kind == 0) {
            uint32_t n = 3;
            m.Write(&n, 4);
            m.Write("bad", 3);
        }
        CDataTarget target = {root.c_str(), 0, 0};
        m.Open(kModeLoading, &target);
        CVariant back;
        EXPECT_EQ(static_cast<int32_t>(kDataErrorUnsafePath), back.Serialize(m))
            << std::string(e.name, e.name + wcslen(e.name));
    }
    std::vector<std::wstring> outside = List(W(outer.Path()));
    ASSERT_EQ(1u, outside.size());
    EXPECT_EQ(L"root", outside[0]);
    EXPECT_TRUE(List(rootPath).empty());
}

TEST(FileObjectHostile, BrokenContentLeavesTheExistingFileAlone) {
    VpeTest::ScratchFolder source(L"fo", L"brokensrc");
    VpeTest::ScratchFolder dest(L"fo", L"brokendst");
    Bytes content = Pattern(250000, 9);
    WriteBytes(W(source.Path() + L"f.bin"), content);
    CVariant entry = Entry(kFileObjectFile, L"", L"f.bin");
    CDataTarget from = {source.Path().c_str(), 0, 0};
    CMemoryDataContainer m;
    m.Open(kModeStoring, &from);
    ASSERT_EQ(0, entry.Serialize(m));
    Bytes stream(m.GetData(), m.GetData() + m.GetSize());

    Bytes old = Pattern(1000, 4);
    CWideString target = W(dest.Path() + L"f.bin");
    WriteBytes(target, old);
    CDataTarget to = {dest.Path().c_str(), 0, 0};
    // Cut inside the content, just after the size, and inside the last chunk.
    for (size_t cut : {stream.size() - 1, stream.size() - 250000, stream.size() - 60000}) {
        CMemoryDataContainer broken;
        broken.LoadFrom(stream.data(), static_cast<uint32_t>(cut));
        broken.Open(kModeLoading, &to);
        CVariant back;
        EXPECT_NE(0, back.Serialize(broken)) << cut;
        EXPECT_EQ(old, ReadBytes(target)) << cut;
        std::vector<std::wstring> names = List(W(dest.Path()));
        ASSERT_EQ(1u, names.size()) << cut; // no temporary file left behind
    }
    // The whole stream replaces it.
    CMemoryDataContainer whole;
    whole.LoadFrom(stream.data(), static_cast<uint32_t>(stream.size()));
    whole.Open(kModeLoading, &to);
    CVariant back;
    EXPECT_EQ(0, back.Serialize(whole));
    EXPECT_EQ(content, ReadBytes(target));
}

TEST(FileObjectHostile, ContentSizeBeyondTheStreamCreatesNothing) {
    VpeTest::ScratchFolder dest(L"fo", L"oversize");
    CVariant value;
    value.SetType(vtFileObject);
    value.GetFileObject()->SetByte(kFileObjectKind, 0, true);
    SetText(*value.GetFileObject(), kFileObjectName, L"f.bin");
    CMemoryDataContainer m;
    m.Open(kModeStoring, nullptr);
    uint16_t type = vtFileObject, id = 0;
    int32_t size = 0;
    m.Write(&type, 2);
    m.Write(&id, 2);
    m.Write(&size, 4);
    value.GetFileObject()->CVariant::Serialize(m);
    uint32_t n = 0xFFFFFFF0u;
    m.Write(&n, 4);
    CDataTarget to = {dest.Path().c_str(), 0, 0};
    m.Open(kModeLoading, &to);
    CVariant back;
    EXPECT_EQ(static_cast<int32_t>(kDataErrorMalformed), back.Serialize(m));
    EXPECT_TRUE(List(W(dest.Path())).empty());
}

TEST(FileObjectHostile, ValuePartThatIsNoListIsRefused) {
    VpeTest::ScratchFolder dest(L"fo", L"nolist");
    Bytes b;
    auto put = [&b](const void* p, size_t n) {
        b.insert(b.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    };
    uint16_t type = vtFileObject, id = 0, inner = vtLong;
    int32_t size = 0, four = 4, value = 1;
    put(&type, 2);
    put(&id, 2);
    put(&size, 4);
    put(&inner, 2);
    put(&id, 2);
    put(&four, 4);
    put(&value, 4);
    CMemoryDataContainer m;
    m.LoadFrom(b.data(), static_cast<uint32_t>(b.size()));
    CDataTarget to = {dest.Path().c_str(), 0, 0};
    m.Open(kModeLoading, &to);
    CVariant back;
    EXPECT_EQ(static_cast<int32_t>(kDataErrorMalformed), back.Serialize(m));
}

// --- Odd entries, sizes, links and depth -------------------------------------------------------

namespace {

// The stream of value as a storing pass with target from writes it.
Bytes StoreStream(CVariant& value, const std::wstring& from, int32_t* result = nullptr) {
    CDataTarget target = {from.c_str(), 0, 0};
    CMemoryDataContainer m;
    m.Open(kModeStoring, &target);
    int32_t r = value.Serialize(m);
    if (result != nullptr) {
        *result = r;
    }
    return Bytes(m.GetData(), m.GetData() + m.GetSize());
}

int32_t LoadStream(const Bytes& stream, const std::wstring& to, CVariant& back) {
    CDataTarget target = {to.c_str(), 0, 0};
    CMemoryDataContainer m;
    m.LoadFrom(stream.data(), static_cast<uint32_t>(stream.size()));
    m.Open(kModeLoading, &target);
    return back.Serialize(m);
}

CVariant ListOf(std::initializer_list<CVariant> entries) {
    CVariant list;
    list.SetType(vtList);
    for (const CVariant& e : entries) {
        list.GetList()->Add(e);
    }
    return list;
}

} // namespace

TEST(FileTree, GatheredStampsServeTheNextStoreOfTheirOwnEntryOnly) {
    VpeTest::ScratchFolder source(L"fo", L"stalesrc");
    VpeTest::ScratchFolder dest(L"fo", L"staledst");
    CWideString grown = W(source.Path() + L"grown.bin");
    ASSERT_TRUE(WriteBytes(grown, Pattern(100, 1)));
    CVariant tree;
    ASSERT_TRUE(CollectFileTree(W(source.Path()), tree));
    ASSERT_EQ(1, tree.GetList()->GetCount());
    // Grown and hidden after the gathering: the size gathered no longer holds, and the store
    // reports it instead of writing a stream out of step.
    ASSERT_TRUE(WriteBytes(grown, Pattern(300, 2)));
    ASSERT_TRUE(SetEntryAttributes(grown, FILE_ATTRIBUTE_HIDDEN));
    int32_t stored = -1;
    StoreStream(tree, source.Path(), &stored);
    EXPECT_EQ(static_cast<int32_t>(kFileErrorOpen), stored);
    // The next store asks the disk again.
    Bytes stream = StoreStream(tree, source.Path(), &stored);
    ASSERT_EQ(0, stored);
    CVariant back;
    ASSERT_EQ(0, LoadStream(stream, dest.Path(), back));
    EXPECT_EQ(Pattern(300, 2), ReadBytes(W(dest.Path() + L"grown.bin")));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN),
              GetEntryAttributes(W(dest.Path() + L"grown.bin")) & 0x7);

    // An entry renamed after the gathering is read under its new name.
    ASSERT_TRUE(WriteBytes(W(source.Path() + L"other.bin"), Pattern(7, 3)));
    CVariant again;
    ASSERT_TRUE(CollectFileTree(W(source.Path()), again));
    for (int32_t i = 0; i < again.GetList()->GetCount(); ++i) {
        SetText(*again.GetList()->ElementAt(i).GetFileObject(), kFileObjectName, L"other.bin");
    }
    VpeTest::ScratchFolder dest2(L"fo", L"staledst2");
    stream = StoreStream(again, source.Path(), &stored);
    ASSERT_EQ(0, stored);
    CVariant back2;
    ASSERT_EQ(0, LoadStream(stream, dest2.Path(), back2));
    EXPECT_EQ(Pattern(7, 3), ReadBytes(W(dest2.Path() + L"other.bin")));
}

TEST(FileObjectOdd, FolderWithoutSlashJoinedToTheNameRoundTrips) {
    VpeTest::ScratchFolder source(L"fo", L"joinsrc");
    VpeTest::ScratchFolder dest(L"fo", L"joindst");
    ASSERT_TRUE(WriteBytes(W(source.Path() + L"suba.txt"), Pattern(40, 1)));
    CVariant entry = Entry(kFileObjectFile, L"sub", L"a.txt");
    int32_t stored = -1;
    Bytes stream = StoreStream(entry, source.Path(), &stored);
    ASSERT_EQ(0, stored);
    CVariant back;
    EXPECT_EQ(0, LoadStream(stream, dest.Path(), back));
    EXPECT_EQ(Pattern(40, 1), ReadBytes(W(dest.Path() + L"suba.txt")));
}

TEST(FileObjectOdd, OneOddEntryCostsNoLaterEntry) {
    VpeTest::ScratchFolder source(L"fo", L"oddsrc");
    VpeTest::ScratchFolder dest(L"fo", L"odddst");
    std::wstring from = source.Path() + L"root/";
    ASSERT_EQ(kFolderCreated, CreateFolderPath(W(from + L"f/")));
    ASSERT_TRUE(WriteBytes(W(source.Path() + L"up.txt"), Pattern(9, 2)));
    const wchar_t* names[] = {L"a.txt", L"b.txt", L"c.txt"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(WriteBytes(W(from + names[i]), Pattern(10 + i, i)));
    }
    // A folder entry without its slash (restored in its safe form) and an entry that would
    // leave the root (skipped, reported) between good ones.
    CVariant list =
        ListOf({Entry(kFileObjectFile, L"", L"a.txt"), Entry(kFileObjectFolderKind, L"", L"f"),
                Entry(kFileObjectFile, L"", L"b.txt"), Entry(kFileObjectFile, L"../", L"up.txt"),
                Entry(kFileObjectFile, L"", L"c.txt")});
    int32_t stored = -1;
    Bytes stream = StoreStream(list, from, &stored);
    ASSERT_EQ(0, stored);
    std::wstring to = dest.Path() + L"root/";
    ASSERT_EQ(kFolderCreated, CreateFolderPath(W(to)));
    CVariant back;
    EXPECT_EQ(static_cast<int32_t>(kDataErrorUnsafePath), LoadStream(stream, to, back));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Pattern(10 + i, i), ReadBytes(W(to + names[i]))) << i;
    }
    EXPECT_TRUE(IsExistingFolder(W(to + L"f/")));
    std::vector<std::wstring> outside = List(W(dest.Path()));
    ASSERT_EQ(1u, outside.size());
    EXPECT_EQ(5, back.GetList()->GetCount());
}

TEST(FileObjectOdd, LoadedValueKeepsTheRecordedSize) {
    VpeTest::ScratchFolder source(L"fo", L"sizesrc");
    VpeTest::ScratchFolder dest(L"fo", L"sizedst");
    ASSERT_TRUE(WriteBytes(W(source.Path() + L"s.bin"), Pattern(333, 5)));
    CVariant entry = Entry(kFileObjectFile, L"", L"s.bin");
    Bytes stream = StoreStream(entry, source.Path());
    ASSERT_GT(stream.size(), 8u);
    int32_t recorded = 0;
    memcpy(&recorded, stream.data() + 4, 4);
    EXPECT_EQ(static_cast<int32_t>(stream.size()) - 8, recorded);
    CVariant back;
    ASSERT_EQ(0, LoadStream(stream, dest.Path(), back));
    EXPECT_EQ(vtFileObject, back.GetType());
    EXPECT_EQ(recorded, back.GetSize());
}

TEST(FileObjectOdd, SizeQueryChangesNothingAndMatchesTheStore) {
    VpeTest::ScratchFolder root(L"fo", L"query");
    CWideString file = W(root.Path() + L"q.txt");
    ASSERT_TRUE(WriteBytes(file, Pattern(77, 6)));
    ASSERT_TRUE(SetEntryAttributes(file, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    CDataTarget target = {root.Path().c_str(), 0, 0};
    for (bool stale : {false, true}) {
        CVariant entry = Entry(kFileObjectFile, L"", L"q.txt");
        CFileObject* object = entry.GetFileObject();
        if (stale) {
            // A record that no longer matches the file: the store refreshes it.
            CVariantContainer old;
            old.SetByte(kInfoSystem, 1, true);
            object->SetValue(kFileObjectInfo, old, true);
        }
        int32_t count = object->GetList()->GetCount();
        CMemoryDataContainer m;
        m.Open(kModeStoring, &target);
        int32_t measured = object->GetStoredSize(m);
        EXPECT_EQ(count, object->GetList()->GetCount()) << stale;
        EXPECT_EQ(stale ? 1 : 0, object->GetList(kFileObjectInfo).GetByte(kInfoSystem, 0));
        ASSERT_EQ(0, object->Serialize(m));
        EXPECT_EQ(static_cast<uint32_t>(measured), m.GetSize()) << stale;
        EXPECT_EQ(1, object->GetList(kFileObjectInfo).GetByte(kInfoHidden, 0)) << stale;
    }
}

TEST(FileObjectOdd, RefusedEntryOfACatalogueIsReadPastItsSize) {
    VpeTest::ScratchFolder source(L"fo", L"catsrc");
    VpeTest::ScratchFolder dest(L"fo", L"catdst");
    std::wstring from = source.Path() + L"root/";
    ASSERT_EQ(kFolderCreated, CreateFolderPath(W(from)));
    ASSERT_TRUE(WriteBytes(W(source.Path() + L"up.txt"), Pattern(9, 2)));
    ASSERT_TRUE(WriteBytes(W(from + L"a.txt"), Pattern(10, 3)));
    CVariant list =
        ListOf({Entry(kFileObjectFile, L"../", L"up.txt"), Entry(kFileObjectFile, L"", L"a.txt")});
    CDataTarget catalogue = {from.c_str(), 0, 1};
    CMemoryDataContainer m;
    m.Open(kModeStoring, &catalogue);
    ASSERT_EQ(0, list.Serialize(m));
    CDataTarget to = {dest.Path().c_str(), 0, 1};
    m.Open(kModeLoading, &to);
    CVariant back;
    EXPECT_EQ(static_cast<int32_t>(kDataErrorUnsafePath), back.Serialize(m));
    EXPECT_EQ(0u, m.GetRemaining());
    ASSERT_EQ(2, back.GetList()->GetCount());
    EXPECT_STREQ(
        L"a.txt",
        back.GetList()->ElementAt(1).GetFileObject()->GetText(kFileObjectName, L"").c_str());
}

namespace {

// Makes link (no trailing slash) a symbolic link to the folder target. Wine's
// CreateSymbolicLinkW makes nothing; there the link is made on the Unix side (/bin/ln, which
// Wine starts as a Unix program), and Wine reports the Unix link as a reparse point.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    std::wstring l = ToSystemPath(W(link)).c_str();
    std::wstring t = ToSystemPath(W(target)).c_str();
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    typedef BOOLEAN(WINAPI * CreateLink)(LPCWSTR, LPCWSTR, DWORD);
    CreateLink create = reinterpret_cast<CreateLink>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "CreateSymbolicLinkW")));
    if (create != nullptr) {
        create(l.c_str(), t.c_str(), 1 /* SYMBOLIC_LINK_FLAG_DIRECTORY */);
    }
    typedef char*(CDECL * UnixName)(LPCWSTR);
    UnixName unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
    if (GetFileAttributesW(l.c_str()) == INVALID_FILE_ATTRIBUTES && unixName != nullptr) {
        char* unixTarget = unixName(t.c_str());
        std::wstring parent = l.substr(0, l.rfind(L'\\'));
        char* unixParent = unixName(parent.c_str());
        if (unixTarget != nullptr && unixParent != nullptr) {
            // Wine splits the command line by the Windows rules: double quotes.
            std::string command = std::string("/bin/ln -s \"") + unixTarget + "\" \"" + unixParent +
                                  "/" + std::string(l.begin() + parent.size() + 1, l.end()) + "\"";
            std::wstring wide(command.begin(), command.end());
            STARTUPINFOW si;
            memset(&si, 0, sizeof si);
            si.cb = sizeof si;
            PROCESS_INFORMATION pi;
            memset(&pi, 0, sizeof pi);
            // Wine answers success for a Unix program without filling pi: wait for the link.
            if (CreateProcessW(L"Z:\\bin\\ln", &wide[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &si, &pi)) {
                for (int i = 0; i < 200 && GetFileAttributesW(l.c_str()) == INVALID_FILE_ATTRIBUTES;
                     ++i) {
                    Sleep(50);
                }
            }
        }
        HANDLE heap = GetProcessHeap();
        HeapFree(heap, 0, unixTarget);
        HeapFree(heap, 0, unixParent);
    }
    DWORD attributes = GetFileAttributesW(l.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace

TEST(FileObjectOdd, NothingIsWrittenThroughALinkBelowTheRoot) {
    VpeTest::ScratchFolder source(L"fo", L"linksrc");
    VpeTest::ScratchFolder dest(L"fo", L"linkdst");
    ASSERT_EQ(kFolderCreated, CreateFolderPath(W(source.Path() + L"ln/sub/")));
    ASSERT_TRUE(WriteBytes(W(source.Path() + L"ln/x.txt"), Pattern(5, 1)));
    ASSERT_TRUE(WriteBytes(W(source.Path() + L"ok.txt"), Pattern(6, 2)));
    CVariant list = ListOf(
        {Entry(kFileObjectFolderKind, L"", L"ln/"), Entry(kFileObjectFile, L"ln/", L"x.txt"),
         Entry(kFileObjectFolderKind, L"ln/", L"sub/"), Entry(kFileObjectFile, L"", L"ok.txt")});
    Bytes stream = StoreStream(list, source.Path());
    std::wstring elsewhere = dest.Path() + L"elsewhere/";
    std::wstring root = dest.Path() + L"root/";
    ASSERT_EQ(kFolderCreated, CreateFolderPath(W(elsewhere)));
    ASSERT_EQ(kFolderCreated, CreateFolderPath(W(root)));
    ASSERT_TRUE(MakeFolderLink(root + L"ln", elsewhere));
    CVariant back;
    EXPECT_EQ(static_cast<int32_t>(kDataErrorUnsafePath), LoadStream(stream, root, back));
    EXPECT_TRUE(List(W(elsewhere)).empty());
    EXPECT_EQ(Pattern(6, 2), ReadBytes(W(root + L"ok.txt")));
    // The link, not its target (Wine removes a Unix link as a file).
    std::wstring link = ToSystemPath(W(root + L"ln")).c_str();
    if (!RemoveDirectoryW(link.c_str())) {
        DeleteFileW(link.c_str());
    }
}

TEST(FileObjectOdd, FolderChainAtTheDepthBound) {
    VpeTest::ScratchFolder dest(L"fo", L"chain");
    // Built by hand: storing needs no folders on disk for folder entries.
    auto chain = [](int depth) {
        CVariant list;
        list.SetType(vtList);
        std::wstring folder;
        for (int i = 0; i < depth; ++i) {
            list.GetList()->Add(Entry(kFileObjectFolderKind, folder.c_str(), L"d/"));
            folder += L"d/";
        }
        return list;
    };
    CVariant atBound = chain(static_cast<int>(kMaxRestoreDepth));
    Bytes stream = StoreStream(atBound, dest.Path());
    DWORD start = GetTickCount();
    CVariant back;
    EXPECT_EQ(0, LoadStream(stream, dest.Path(), back));
    printf("a chain of %u folders restored in %lu ms\n", kMaxRestoreDepth,
           static_cast<unsigned long>(GetTickCount() - start));
    std::wstring deepest = dest.Path();
    for (uint32_t i = 0; i < kMaxRestoreDepth; ++i) {
        deepest += L"d/";
    }
    EXPECT_TRUE(IsExistingFolder(W(deepest)));

    // One level more: that entry is refused, the rest restored.
    VpeTest::ScratchFolder dest2(L"fo", L"chain2");
    CVariant beyond = chain(static_cast<int>(kMaxRestoreDepth) + 1);
    Bytes longer = StoreStream(beyond, dest2.Path());
    CVariant back2;
    EXPECT_EQ(static_cast<int32_t>(kDataErrorUnsafePath), LoadStream(longer, dest2.Path(), back2));
    EXPECT_TRUE(IsExistingFolder(W(dest2.Path() + (deepest.substr(dest.Path().size())))));
    EXPECT_FALSE(IsExistingFolder(W(dest2.Path() + deepest.substr(dest.Path().size()) + L"d/")));
}
