#include "config/file_info.h"

#include "base/file_system.h"
#include "testsupport/file_bytes.h"
#include "testsupport/scratch_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using namespace Corvinex;

namespace {

using VpeTest::Bytes;
using VpeTest::MakeTime;
using VpeTest::TimeValue;
using VpeTest::WriteBytes;

CWideString W(const std::wstring& s) {
    return CWideString(s.c_str());
}

} // namespace

TEST(FileInfo, CreateFolderPathMakesMissingParents) {
    VpeTest::ScratchFolder root(L"fo", L"mkdir");
    CWideString base = W(root.Path());
    EXPECT_EQ(kFolderPathInvalid, CreateFolderPath(CWideString(L"")));
    EXPECT_EQ(kFolderPathInvalid, CreateFolderPath(base + CWideString(L"noslash")));
    EXPECT_EQ(kFolderCreated, CreateFolderPath(base));
    CWideString deep = base + CWideString(L"a/b/c/d/");
    EXPECT_EQ(kFolderCreated, CreateFolderPath(deep));
    EXPECT_TRUE(IsExistingFolder(deep));
    EXPECT_EQ(kFolderParentNotCreated, CreateFolderPath(CWideString(L"rel/only/")));
    // Far deeper than a recursive walk would survive.
    std::wstring many = root.Path();
    for (int i = 0; i < 400; ++i) {
        many += L"d/";
    }
    EXPECT_EQ(kFolderCreated, CreateFolderPath(W(many)));
    EXPECT_TRUE(IsExistingFolder(W(many)));
}

TEST(FileInfo, FileInfoRoundTripsThroughARecord) {
    VpeTest::ScratchFolder root(L"fo", L"info");
    CWideString file = W(root.Path() + L"\u00e9t\u00e9.txt");
    ASSERT_TRUE(WriteBytes(file, Bytes(10, 1)));
    FILETIME a = MakeTime(0x01D6000033334444ull), w = MakeTime(0x01D7000055556666ull);
    ASSERT_TRUE(WriteEntryTimes(file, nullptr, &a, &w));
    SetEntryAttributes(file, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    CVariantContainer info;
    ASSERT_EQ(0u, ReadFileInfo(file, info));
    EXPECT_EQ(1, info.GetByte(kInfoHidden, 0));
    EXPECT_EQ(1, info.GetByte(kInfoReadOnly, 0));
    EXPECT_EQ(0, info.GetByte(kInfoSystem, 0));
    CVariant t = info.GetValue(kInfoLastWriteTime);
    ASSERT_EQ(vtBinary, t.GetType());
    ASSERT_EQ(8, t.GetSize());
    EXPECT_EQ(TimeValue(w), TimeValue(*static_cast<const FILETIME*>(t.GetBlock())));
    EXPECT_EQ(vtBinary, info.GetValue(kInfoCreationTime).GetType());
    EXPECT_EQ(vtBinary, info.GetValue(kInfoLastAccessTime).GetType());

    // Applied to another file, read-only and all.
    CWideString other = W(root.Path() + L"other.txt");
    ASSERT_TRUE(WriteBytes(other, Bytes(3, 2)));
    SetEntryAttributes(other, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0u, ApplyFileInfo(other, &info));
    CEntryStamp stamp;
    ASSERT_TRUE(ReadEntryStamp(other, stamp));
    EXPECT_EQ(TimeValue(w), TimeValue(stamp.lastWrite));
    EXPECT_EQ(TimeValue(a), TimeValue(stamp.lastAccess));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
              stamp.nAttributes & 0x7);
    EXPECT_EQ(0u, ApplyFileInfo(other, nullptr));
    EXPECT_EQ(0u, GetEntryAttributes(other) & 0x7);
    EXPECT_EQ(1u, ReadFileInfo(W(root.Path() + L"missing"), info));
}

TEST(FileInfo, FolderInfoNeedsAnExistingFolder) {
    VpeTest::ScratchFolder root(L"fo", L"folderinfo");
    CVariantContainer info;
    EXPECT_EQ(1u, ReadFolderInfo(W(root.Path() + L"none/"), info));
    CWideString sub = W(root.Path() + L"sub/");
    ASSERT_EQ(kFolderCreated, CreateFolderPath(sub));
    info.SetByte(kInfoHidden, 1, true);
    EXPECT_EQ(0u, ApplyFolderInfo(sub, &info));
    CVariantContainer back;
    EXPECT_EQ(0u, ReadFolderInfo(sub, back));
    EXPECT_EQ(1, back.GetByte(kInfoHidden, 0));
    EXPECT_EQ(vtEmpty, back.GetValue(kInfoLastWriteTime).GetType());
}

TEST(FileInfo, LengthIsZeroForFoldersMissingAndHugeFiles) {
    VpeTest::ScratchFolder root(L"fo", L"length");
    EXPECT_EQ(0u, GetFileLength(W(root.Path())));
    EXPECT_EQ(0u, GetFileLength(W(root.Path() + L"missing")));
    CWideString small = W(root.Path() + L"small");
    WriteBytes(small, Bytes(1234, 0));
    EXPECT_EQ(1234u, GetFileLength(small));
    CWideString huge = W(root.Path() + L"huge");
    HANDLE h = CreateFileW(ToSystemPath(huge).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                           nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    LARGE_INTEGER at;
    at.QuadPart = 0x100000010ll; // 4 GB + 16, sparse
    BOOL sized = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    ASSERT_TRUE(sized);
    EXPECT_EQ(0u, GetFileLength(huge));
}

TEST(FileInfo, StampAndHandleGiveWhatThePathCallsGive) {
    VpeTest::ScratchFolder root(L"fo", L"stampinfo");
    CWideString file = W(root.Path() + L"s.txt");
    ASSERT_TRUE(WriteBytes(file, Bytes(4, 1)));
    ASSERT_TRUE(SetEntryAttributes(file, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    CVariantContainer byPath, byStamp;
    ASSERT_EQ(0u, ReadFileInfo(file, byPath));
    CEntryStamp stamp;
    ASSERT_TRUE(ReadEntryStamp(file, stamp));
    AddStampToInfo(stamp, byStamp);
    // The same elements in the same order, so a stored record does not depend on the source.
    ASSERT_EQ(byPath.GetList()->GetCount(), byStamp.GetList()->GetCount());
    for (int32_t i = 0; i < byPath.GetList()->GetCount(); ++i) {
        EXPECT_EQ(byPath.GetList()->ElementAt(i).GetId(), byStamp.GetList()->ElementAt(i).GetId());
        EXPECT_EQ(0, Compare(&byPath.GetList()->ElementAt(i), &byStamp.GetList()->ElementAt(i)));
    }
    // A folder's stamp gives its attributes and no times.
    CVariantContainer folder;
    CEntryStamp folderStamp;
    ASSERT_TRUE(ReadEntryStamp(W(root.Path()), folderStamp));
    AddStampToInfo(folderStamp, folder);
    EXPECT_EQ(vtEmpty, folder.GetValue(kInfoLastWriteTime).GetType());

    // Applied through a handle: times and attributes of the record, the others cleared.
    CWideString other = W(root.Path() + L"o.txt");
    ASSERT_TRUE(WriteBytes(other, Bytes(2, 2)));
    ASSERT_TRUE(SetEntryAttributes(other, FILE_ATTRIBUTE_HIDDEN));
    HANDLE h = CreateFileW(ToSystemPath(other).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_TRUE(ApplyFileInfoToHandle(h, &byPath));
    CloseHandle(h);
    CEntryStamp applied;
    ASSERT_TRUE(ReadEntryStamp(other, applied));
    EXPECT_EQ(TimeValue(stamp.lastWrite), TimeValue(applied.lastWrite));
    EXPECT_EQ(TimeValue(stamp.lastAccess), TimeValue(applied.lastAccess));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM), applied.nAttributes & 0x7);
}
