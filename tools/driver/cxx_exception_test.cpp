#include "tools/driver/cxx_exception.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

using namespace Corvinex::Driver;

TEST(CxxException, TheTerminateLineOfAGccRuntimeNamesTheType) {
    std::string type = "old";
    EXPECT_TRUE(FindTerminateLine("before\r\nterminate called after throwing an instance of "
                                  "'std::runtime_error'\r\n  what():  no engine today\r\n",
                                  &type));
    EXPECT_EQ(type, "std::runtime_error");
    EXPECT_TRUE(FindTerminateLine("terminate called without an active exception\n", &type));
    EXPECT_EQ(type, "");
    // A quote on a later line names nothing.
    EXPECT_TRUE(
        FindTerminateLine("terminate called after throwing an instance of 'cut\nx'", &type));
    EXPECT_EQ(type, "");
    EXPECT_FALSE(FindTerminateLine("abnormal program termination\n", &type));
    EXPECT_FALSE(FindTerminateLine("", &type));
}

TEST(CxxException, MsvcTypeDescriptorNamesReadAsScopedNames) {
    EXPECT_EQ(ReadableMsvcTypeName(".?AVruntime_error@std@@"), L"std::runtime_error");
    EXPECT_EQ(ReadableMsvcTypeName(".?AUError@@"), L"Error");
    EXPECT_EQ(ReadableMsvcTypeName(".?AVinner@outer@Corvinex@@"), L"Corvinex::outer::inner");
    // What the reading does not cover comes back as it is: a template, a built-in type.
    EXPECT_EQ(ReadableMsvcTypeName(".?AV?$basic_string@DU?$char_traits@D@std@@@std@@"),
              L".?AV?$basic_string@DU?$char_traits@D@std@@@std@@");
    EXPECT_EQ(ReadableMsvcTypeName(".H"), L".H");
    EXPECT_EQ(ReadableMsvcTypeName(".?AV@@"), L".?AV@@");
}

TEST(CxxException, OnlyAnMsvcThrowRecordIsRead) {
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = kMsvcCxxExceptionCode;
    record.NumberParameters = 3;
    record.ExceptionInformation[0] = 0x12345678u; // not a throw's magic number
    std::wstring type = L"old";
    EXPECT_FALSE(ReadMsvcThrownType(GetCurrentProcess(), record, &type));
    EXPECT_EQ(type, L"");
    // A throw whose information cannot be read is still a throw.
    record.ExceptionInformation[0] = 0x19930520u;
    record.ExceptionInformation[2] = 0;
    EXPECT_TRUE(ReadMsvcThrownType(GetCurrentProcess(), record, &type));
    EXPECT_EQ(type, L"");
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    EXPECT_FALSE(ReadMsvcThrownType(GetCurrentProcess(), record, &type));
}

namespace {

// A throw's information laid out as an MSVC runtime raises it, in two pages of this process
// whose second is reserved but not readable, with the type name placed to end at the first
// page's end. (Windows fails a read that runs into the second page; Wine reads it as zeros.)
class ThrowInMemory {
public:
    explicit ThrowInMemory(const std::string& name) {
        m_pages = static_cast<char*>(VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE, PAGE_NOACCESS));
        if (m_pages == nullptr ||
            VirtualAlloc(m_pages, kPage, MEM_COMMIT, PAGE_READWRITE) == nullptr)
            return;
        uint32_t* words = reinterpret_cast<uint32_t*>(m_pages);
        // ThrowInfo at 0 (catchable types at word 3), the array at 16, the catchable type at 32.
        words[3] = Address(16);
        words[4] = 1;
        words[5] = Address(32);
        char* nameAt = m_pages + kPage - name.size();
        words[9] = Address(nameAt - m_pages - 8);
        memcpy(nameAt, name.data(), name.size());
        m_record.ExceptionCode = kMsvcCxxExceptionCode;
        m_record.NumberParameters = 3;
        m_record.ExceptionInformation[0] = 0x19930520u;
        m_record.ExceptionInformation[2] = Address(0);
    }
    ~ThrowInMemory() {
        if (m_pages != nullptr)
            VirtualFree(m_pages, 0, MEM_RELEASE);
    }
    bool Made() const { return m_pages != nullptr && m_record.NumberParameters == 3; }
    uint32_t* Words() { return reinterpret_cast<uint32_t*>(m_pages); }
    uint32_t Address(size_t offset) const {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(m_pages + offset));
    }
    std::wstring Read() const {
        std::wstring type = L"old";
        EXPECT_TRUE(ReadMsvcThrownType(GetCurrentProcess(), m_record, &type));
        return type;
    }

private:
    static const size_t kPage = 4096;
    char* m_pages = nullptr;
    EXCEPTION_RECORD m_record = {};
};

} // namespace

TEST(CxxException, ReadsANameThatEndsWhereReadableMemoryEnds) {
    ThrowInMemory ending(std::string(".?AVengine_error@Corvinex@@") + '\0');
    ASSERT_TRUE(ending.Made());
    EXPECT_EQ(ending.Read(), L"Corvinex::engine_error");
    // A name longer than any real one is not read to its end.
    ThrowInMemory endless(std::string(3000, 'x') + '\0');
    ASSERT_TRUE(endless.Made());
    EXPECT_EQ(endless.Read(), L"");
}

TEST(CxxException, ThrowInformationPointingAtItselfOrNowhereNamesNoType) {
    ThrowInMemory looped(std::string(".?AVx@@") + '\0');
    ASSERT_TRUE(looped.Made());
    // The catchable types are the throw information itself, whose first entry points back at
    // it again: the reading follows a fixed path, so it ends, with no name found.
    looped.Words()[0] = 1;
    looped.Words()[1] = looped.Address(0);
    looped.Words()[3] = looped.Address(0);
    EXPECT_EQ(looped.Read(), L"");
    ThrowInMemory empty(std::string(".?AVx@@") + '\0');
    ASSERT_TRUE(empty.Made());
    empty.Words()[4] = 0; // no catchable type
    EXPECT_EQ(empty.Read(), L"");
    ThrowInMemory beyond(std::string(".?AVx@@") + '\0');
    ASSERT_TRUE(beyond.Made());
    beyond.Words()[5] = beyond.Address(4096 + 64); // the catchable type is not readable
    EXPECT_EQ(beyond.Read(), L"");
}

namespace {

// An x64 throw as an x64 MSVC runtime raises it: the headers of an x64 image in a block of this
// process (its image base), the throw information inside it, every reference an offset from that
// base, and the name at `nameAt`.
class X64ThrowInMemory {
public:
    X64ThrowInMemory(const std::string& name, uint32_t nameAt)
        : m_image(static_cast<char*>(
              VirtualAlloc(nullptr, kImageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {
        if (m_image == nullptr)
            return;
        IMAGE_DOS_HEADER* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(m_image);
        dos->e_magic = IMAGE_DOS_SIGNATURE;
        dos->e_lfanew = 0x40;
        IMAGE_NT_HEADERS64* nt = reinterpret_cast<IMAGE_NT_HEADERS64*>(m_image + 0x40);
        nt->Signature = IMAGE_NT_SIGNATURE;
        nt->FileHeader.Machine = IMAGE_FILE_MACHINE_AMD64;
        nt->OptionalHeader.Magic = IMAGE_NT_OPTIONAL_HDR64_MAGIC;
        nt->OptionalHeader.SizeOfImage = kImageSize;
        // ThrowInfo at 0x200 (catchable types at its word 3), the array at 0x240, the catchable
        // type at 0x260, its type descriptor at nameAt - 16.
        Set(0x20C, 0x240);
        Set(0x240, 1);
        Set(0x244, 0x260);
        Set(0x264, nameAt - 16);
        memcpy(m_image + nameAt, name.c_str(), name.size() + 1);
        m_record.ExceptionCode = kMsvcCxxExceptionCode;
        m_record.NumberParameters = 4;
        m_record.ExceptionInformation[0] = 0x19930520u;
        m_record.ExceptionInformation[2] = reinterpret_cast<ULONG_PTR>(m_image + 0x200);
        m_record.ExceptionInformation[3] = reinterpret_cast<ULONG_PTR>(m_image);
    }
    ~X64ThrowInMemory() {
        if (m_image != nullptr)
            VirtualFree(m_image, 0, MEM_RELEASE);
    }
    bool Made() const { return m_image != nullptr; }
    void Set(size_t offset, uint32_t value) { memcpy(m_image + offset, &value, sizeof(value)); }
    EXCEPTION_RECORD& Record() { return m_record; }
    std::wstring Read() const {
        std::wstring type = L"old";
        EXPECT_TRUE(ReadMsvcThrownType(GetCurrentProcess(), m_record, &type));
        return type;
    }

private:
    static const uint32_t kImageSize = 0x1000;
    char* m_image;
    EXCEPTION_RECORD m_record = {};
};

} // namespace

TEST(CxxException, AnX64ThrowIsReadFromOffsetsOffItsImageBase) {
    X64ThrowInMemory thrown(".?AVengine_error@Test@@", 0x310);
    ASSERT_TRUE(thrown.Made());
    EXPECT_EQ(thrown.Read(), L"Test::engine_error");
}

TEST(CxxException, AnX64ThrowLeadingOutsideItsImageNamesNoType) {
    // The type descriptor's offset runs past the image's end.
    X64ThrowInMemory outside(".?AVx@@", 0x310);
    ASSERT_TRUE(outside.Made());
    outside.Set(0x264, 0x2000);
    EXPECT_EQ(outside.Read(), L"");
    // The image base holds no image (as a base a 32-bit debugger sees cut to its low 32 bits).
    X64ThrowInMemory noImage(".?AVx@@", 0x310);
    ASSERT_TRUE(noImage.Made());
    noImage.Set(0, 0);
    EXPECT_EQ(noImage.Read(), L"");
    // The throw information lies below the image base.
    X64ThrowInMemory before(".?AVx@@", 0x310);
    ASSERT_TRUE(before.Made());
    before.Record().ExceptionInformation[2] = before.Record().ExceptionInformation[3] - 0x100;
    EXPECT_EQ(before.Read(), L"");
}
