#include "base/data_container.h"
#include "base/file_data_container.h"
#include "base/memory_data_container.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

using namespace Corvinex;

namespace {

// Calls slot `index` of the container's table of virtual operations, as a caller built against
// the fixed slot layout would.
uint32_t CallSlot0(CDataContainer& c, int index) {
    typedef uint32_t(__thiscall * Fn)(CDataContainer*);
    void** table = *reinterpret_cast<void***>(&c);
    return reinterpret_cast<Fn>(table[index])(&c);
}
uint32_t CallSlot2(CDataContainer& c, int index, const void* buffer, uint32_t size) {
    typedef uint32_t(__thiscall * Fn)(CDataContainer*, const void*, uint32_t);
    void** table = *reinterpret_cast<void***>(&c);
    return reinterpret_cast<Fn>(table[index])(&c, buffer, size);
}

std::wstring ScratchFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"vpe_dc_" + std::to_wstring(GetCurrentProcessId()) + L"_" + name;
}

} // namespace

TEST(DataContainer, NewContainerIsClosedWithoutErrorOrTotal) {
    CDataContainer c;
    EXPECT_EQ(0u, c.GetMode());
    EXPECT_EQ(0u, c.GetError());
    EXPECT_EQ(0, c.GetTotal());
    EXPECT_EQ(nullptr, c.GetTarget());
    EXPECT_FALSE(c.IsLoading());
    EXPECT_FALSE(c.IsStoring());
}

TEST(DataContainer, SlotsAreInTheFixedOrder) {
    CDataContainer c;
    ASSERT_EQ(0u, c.Open(kModeStoring, nullptr));
    uint8_t byte = 1;
    EXPECT_EQ(1u, CallSlot0(c, 4));           // GetMode
    EXPECT_EQ(0u, CallSlot0(c, 5));           // IsLoading
    EXPECT_EQ(1u, CallSlot0(c, 6));           // IsStoring
    EXPECT_EQ(0u, CallSlot2(c, 3, &byte, 1)); // Write
    EXPECT_EQ(1, c.GetTotal());
    EXPECT_EQ(0u, CallSlot2(c, 1, &byte, 2)); // Transfer, storing
    EXPECT_EQ(3, c.GetTotal());
    EXPECT_EQ(kDataErrorWrongMode, CallSlot2(c, 2, &byte, 1)); // Read while storing
    EXPECT_EQ(kDataErrorWrongMode, c.GetError());
    EXPECT_EQ(0u, CallSlot0(c, 0)); // Reset
    EXPECT_EQ(0u, c.GetMode());
    EXPECT_EQ(0u, c.GetError());
    EXPECT_EQ(3, c.GetTotal());
}

TEST(DataContainer, WriteOfNothingIsRefusedWithoutRecording) {
    CDataContainer c;
    c.Open(kModeStoring, nullptr);
    uint8_t byte = 0;
    EXPECT_EQ(kDataErrorRefused, c.Write(&byte, 0));
    EXPECT_EQ(kDataErrorRefused, c.Write(nullptr, 4));
    EXPECT_EQ(0, c.GetTotal());
    EXPECT_EQ(0u, c.GetError());
}

TEST(DataContainer, WrongDirectionIsStickyUntilOpen) {
    CDataContainer c;
    CDataTarget target = {L"C:/", 0, 0};
    c.Open(kModeStoring, &target);
    uint32_t word = 0;
    EXPECT_EQ(kDataErrorWrongMode, c.Read(&word, 4));
    EXPECT_EQ(kDataErrorWrongMode, c.GetError());
    EXPECT_EQ(kDataErrorRefused, c.Write(&word, 4));
    EXPECT_EQ(kDataErrorWrongMode, c.AddCount(10));
    EXPECT_EQ(0, c.GetTotal());

    EXPECT_EQ(0u, c.Open(kModeLoading, &target));
    EXPECT_TRUE(c.IsLoading());
    EXPECT_EQ(0u, c.GetError());
    EXPECT_EQ(0, c.GetTotal());
    EXPECT_EQ(&target, c.GetTarget());
}

TEST(DataContainer, OpenWithUnknownModeLeavesItClosed) {
    CDataContainer c;
    c.Open(kModeStoring, nullptr);
    EXPECT_EQ(kDataErrorWrongMode, c.Open(5, nullptr));
    EXPECT_EQ(0u, c.GetMode());
    EXPECT_EQ(0u, c.Open(0, nullptr));
    EXPECT_EQ(0u, c.GetMode());
    uint8_t byte = 0;
    EXPECT_EQ(kDataErrorNotOpen, c.Transfer(&byte, 1));
    EXPECT_EQ(0u, c.GetError());
}

TEST(DataContainer, MeasuringCountsWritesAndAddCount) {
    CDataContainer c;
    c.SetMode(kModeStoring);
    uint8_t bytes[4] = {};
    c.Write(bytes, 2);
    c.Write(bytes, 2);
    c.Write(bytes, 4);
    EXPECT_EQ(0u, c.AddCount(1000));
    EXPECT_EQ(1008, c.GetTotal());
    EXPECT_TRUE(c.IsMeasuring());
    CMemoryDataContainer m;
    EXPECT_FALSE(m.IsMeasuring());
}

TEST(DataContainer, AddCountAnswersTheRecordedError) {
    CDataContainer c;
    c.Open(kModeStoring, nullptr);
    c.RecordError(204);
    EXPECT_EQ(204u, c.AddCount(5));
    EXPECT_EQ(0, c.GetTotal());
}

TEST(DataContainer, ReadOnBaseClassCountsOnly) {
    CDataContainer c;
    c.Open(kModeLoading, nullptr);
    uint32_t word = 0x12345678;
    EXPECT_EQ(0u, c.Read(&word, 4));
    EXPECT_EQ(0x12345678u, word);
    EXPECT_EQ(4, c.GetTotal());
    EXPECT_EQ(kDataErrorWrongMode, c.AddCount(1));
}

TEST(DataContainerText, ShortAndLongFraming) {
    CMemoryDataContainer m;
    m.Open(kModeStoring, nullptr);
    m.WriteText(CAnsiString("abc"));
    std::string long255(255, 'x');
    m.WriteText(CAnsiString(long255.c_str()));
    std::string long254(254, 'y');
    m.WriteText(CAnsiString(long254.c_str()));
    m.WriteText(CAnsiString(""));
    ASSERT_EQ(0u, m.GetError());
    ASSERT_EQ(4u + 260u + 255u + 1u, m.GetSize());
    const uint8_t* d = m.GetData();
    EXPECT_EQ(3, d[0]);
    EXPECT_EQ(0, memcmp(d + 1, "abc", 3));
    EXPECT_EQ(0xFF, d[4]);
    EXPECT_EQ(0xFF, d[5]);
    EXPECT_EQ(0, d[6] | d[7] | d[8]);
    EXPECT_EQ(0xFE, d[4 + 260]);
    EXPECT_EQ(0, d[4 + 260 + 255]);

    m.Open(kModeLoading, nullptr);
    CAnsiString a, b, c, e("junk");
    m.ReadText(a);
    m.ReadText(b);
    m.ReadText(c);
    m.ReadText(e);
    EXPECT_STREQ("abc", a.c_str());
    EXPECT_EQ(long255, b.c_str());
    EXPECT_EQ(long254, c.c_str());
    EXPECT_STREQ("", e.c_str());
    EXPECT_EQ(0u, m.GetError());
    EXPECT_EQ(0u, m.GetRemaining());
}

TEST(DataContainerText, WideTextGoesThroughTheAnsiCodePage) {
    CMemoryDataContainer m;
    m.Open(kModeStoring, nullptr);
    m.WriteWideText(CWideString(L"x\u00e9y"));
    ASSERT_EQ(4u, m.GetSize());
    EXPECT_EQ(3, m.GetData()[0]);
    EXPECT_EQ(0xE9, m.GetData()[2]);
    m.Open(kModeLoading, nullptr);
    CWideString w;
    m.ReadWideText(w);
    EXPECT_STREQ(L"x\u00e9y", w.c_str());
}

TEST(DataContainerText, LengthBeyondTheMediumIsRefusedWithoutAllocating) {
    const uint8_t stream[] = {0xFF, 0xF0, 0xFF, 0xFF, 0x7F, 'a', 'b'};
    CMemoryDataContainer m;
    ASSERT_TRUE(m.LoadFrom(stream, sizeof(stream)));
    m.Open(kModeLoading, nullptr);
    CAnsiString text("old");
    EXPECT_EQ(kDataErrorMalformed, m.ReadText(text));
    EXPECT_STREQ("", text.c_str());
    EXPECT_EQ(kDataErrorMalformed, m.GetError());
}

TEST(DataContainerText, TruncatedTextRecordsEndOfData) {
    const uint8_t stream[] = {5, 'a', 'b'};
    CMemoryDataContainer m;
    m.LoadFrom(stream, sizeof(stream));
    m.Open(kModeLoading, nullptr);
    CWideString w(L"old");
    EXPECT_NE(0u, m.ReadWideText(w));
    EXPECT_STREQ(L"", w.c_str());
}

TEST(MemoryDataContainer, StoresAndLoadsBackInOrder) {
    CMemoryDataContainer m;
    ASSERT_EQ(0u, m.Open(kModeStoring, nullptr));
    uint32_t a = 0xA1B2C3D4;
    uint16_t b = 0x1234;
    m.Write(&a, 4);
    m.Write(&b, 2);
    EXPECT_EQ(6, m.GetTotal());
    ASSERT_EQ(6u, m.GetSize());
    EXPECT_EQ(0xD4, m.GetData()[0]); // little-endian

    ASSERT_EQ(0u, m.Open(kModeLoading, nullptr));
    uint32_t a2 = 0;
    uint16_t b2 = 0;
    EXPECT_EQ(0u, m.Transfer(&a2, 4));
    EXPECT_EQ(0u, m.Transfer(&b2, 2));
    EXPECT_EQ(a, a2);
    EXPECT_EQ(b, b2);
    EXPECT_EQ(6, m.GetTotal());
}

TEST(MemoryDataContainer, ReadPastTheEndRecordsAndStops) {
    CMemoryDataContainer m;
    const uint8_t data[3] = {1, 2, 3};
    m.LoadFrom(data, 3);
    m.Open(kModeLoading, nullptr);
    uint32_t word = 0;
    EXPECT_EQ(kDataErrorEndOfData, m.Read(&word, 4));
    EXPECT_EQ(kDataErrorEndOfData, m.GetError());
    uint8_t byte = 0;
    EXPECT_EQ(kDataErrorRefused, m.Read(&byte, 1));
    EXPECT_EQ(0, byte);
    EXPECT_EQ(0, m.GetTotal());
}

TEST(MemoryDataContainer, NewStoringPassReplacesTheContent) {
    CMemoryDataContainer m;
    std::vector<uint8_t> big(10000, 7);
    m.Open(kModeStoring, nullptr);
    m.Write(big.data(), 10000);
    m.Open(kModeStoring, nullptr);
    uint8_t one = 9;
    m.Write(&one, 1);
    EXPECT_EQ(1u, m.GetSize());
    m.Open(kModeLoading, nullptr);
    EXPECT_EQ(1u, m.GetRemaining());
}

TEST(MemoryDataContainer, SkipIsBoundedByTheMedium) {
    CMemoryDataContainer m;
    std::vector<uint8_t> data(9000, 1);
    m.LoadFrom(data.data(), 9000);
    m.Open(kModeLoading, nullptr);
    EXPECT_EQ(0u, m.Skip(8999));
    EXPECT_EQ(1u, m.GetRemaining());
    EXPECT_EQ(kDataErrorMalformed, m.Skip(2));
}

TEST(MemoryDataContainer, PeekLendsTheRestWithoutConsumingIt) {
    CMemoryDataContainer m;
    const uint8_t data[5] = {1, 2, 3, 4, 5};
    m.LoadFrom(data, 5);
    uint32_t available = 99;
    EXPECT_EQ(nullptr, m.Peek(available)); // closed
    EXPECT_EQ(0u, available);
    m.Open(kModeLoading, nullptr);
    uint8_t first = 0;
    m.Read(&first, 1);
    const uint8_t* p = m.Peek(available);
    ASSERT_EQ(4u, available);
    EXPECT_EQ(2, p[0]);
    EXPECT_EQ(4u, m.GetRemaining());
    EXPECT_EQ(0u, m.Skip(3));
    EXPECT_EQ(5, *m.Peek(available));
    EXPECT_EQ(kDataErrorEndOfData, m.Read(&first, 2));
    EXPECT_EQ(nullptr, m.Peek(available)); // after an error
    EXPECT_EQ(0u, available);
    CDataContainer base;
    base.SetMode(kModeLoading);
    EXPECT_EQ(nullptr, base.Peek(available));
    struct CDerived : CMemoryDataContainer {}; // may override Read: its bytes go through it
    CDerived derived;
    derived.LoadFrom(data, 5);
    derived.Open(kModeLoading, nullptr);
    EXPECT_EQ(nullptr, derived.Peek(available));
}

TEST(FileDataContainer, PeekLendsOnlyWhatTheBufferHolds) {
    std::wstring path = ScratchFile(L"peek.bin");
    std::vector<uint8_t> data(300000);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7);
    }
    CFileDataContainer f;
    ASSERT_EQ(0u, f.OpenFile(CWideString(path.c_str()), kModeStoring, nullptr));
    f.Write(data.data(), static_cast<uint32_t>(data.size()));
    ASSERT_EQ(0u, f.Close());
    ASSERT_EQ(0u, f.OpenFile(CWideString(path.c_str()), kModeLoading, nullptr));
    uint32_t available = 0;
    EXPECT_EQ(nullptr, f.Peek(available)); // nothing buffered yet
    std::vector<uint8_t> back(data.size());
    f.Read(back.data(), 1);
    const uint8_t* p = f.Peek(available);
    ASSERT_NE(nullptr, p);
    ASSERT_GT(available, 0u);
    ASSERT_LT(available, 300000u);
    EXPECT_EQ(0, memcmp(p, &data[1], available));
    f.Read(&back[1], available);
    EXPECT_EQ(nullptr, f.Peek(available));
    f.Read(&back[300000 - f.GetRemaining()], 1);
    p = f.Peek(available);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(f.GetRemaining(), available); // never past the end of the file
    EXPECT_EQ(data.back(), p[available - 1]);
    f.Close();
    DeleteFileW(path.c_str());
}

TEST(FileDataContainer, StoresAndLoadsAFile) {
    std::wstring path = ScratchFile(L"stream.bin");
    std::vector<uint8_t> big(700000);
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<uint8_t>(i * 31 + 7);
    }
    {
        CFileDataContainer f;
        ASSERT_EQ(0u, f.OpenFile(CWideString(path.c_str()), kModeStoring, nullptr));
        uint32_t head = 0xCAFEBABE;
        f.Write(&head, 4);
        f.Write(big.data(), static_cast<uint32_t>(big.size()));
        for (int i = 0; i < 1000; ++i) {
            uint8_t b = static_cast<uint8_t>(i);
            f.Write(&b, 1);
        }
        EXPECT_EQ(0u, f.GetError());
        EXPECT_EQ(0u, f.Close());
        EXPECT_EQ(0u, f.GetMode());
    }
    WIN32_FILE_ATTRIBUTE_DATA info;
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info));
    EXPECT_EQ(4u + 700000u + 1000u, info.nFileSizeLow);

    CFileDataContainer f;
    ASSERT_EQ(0u, f.OpenFile(CWideString(path.c_str()), kModeLoading, nullptr));
    EXPECT_EQ(701004u, f.GetRemaining());
    uint32_t head = 0;
    f.Read(&head, 4);
    EXPECT_EQ(0xCAFEBABEu, head);
    std::vector<uint8_t> back(big.size());
    // Small and large reads mixed, across buffer boundaries.
    f.Read(back.data(), 3);
    f.Read(back.data() + 3, 300000 - 3);
    f.Read(back.data() + 300000, 400000);
    EXPECT_EQ(big, back);
    for (int i = 0; i < 1000; ++i) {
        uint8_t b = 0xEE;
        ASSERT_EQ(0u, f.Read(&b, 1));
        ASSERT_EQ(static_cast<uint8_t>(i), b);
    }
    uint8_t extra = 0;
    EXPECT_EQ(kDataErrorEndOfData, f.Read(&extra, 1));
    f.Close();
    DeleteFileW(path.c_str());
}

TEST(FileDataContainer, MissingFileCannotBeLoaded) {
    CFileDataContainer f;
    EXPECT_EQ(kDataErrorMediumFailed,
              f.OpenFile(CWideString(ScratchFile(L"missing.bin").c_str()), kModeLoading, nullptr));
    EXPECT_EQ(0u, f.GetMode());
    EXPECT_EQ(kDataErrorWrongMode,
              f.OpenFile(CWideString(ScratchFile(L"x.bin").c_str()), 3, nullptr));
}

TEST(FileDataContainer, ForwardSlashPathsAndNonAnsiNames) {
    std::wstring path = ScratchFile(L"\u0416\u4e2d.bin");
    std::wstring slashes = path;
    for (auto& ch : slashes) {
        if (ch == L'\\') {
            ch = L'/';
        }
    }
    CFileDataContainer f;
    ASSERT_EQ(0u, f.OpenFile(CWideString(slashes.c_str()), kModeStoring, nullptr));
    uint32_t v = 77;
    f.Write(&v, 4);
    EXPECT_EQ(0u, f.Close());
    ASSERT_EQ(0u, f.OpenFile(CWideString(path.c_str()), kModeLoading, nullptr));
    uint32_t back = 0;
    f.Read(&back, 4);
    EXPECT_EQ(77u, back);
    f.Close();
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}
