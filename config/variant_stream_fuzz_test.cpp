// Mutations of valid streams, loaded as data from outside: loading must end with a known result,
// never crash, and never write outside the root it was given. Fixed seeds, so every run sees the
// same cases. Run with Wine's heap checking on (see config/CMakeLists.txt).
#include "base/file_system.h"
#include "base/memory_data_container.h"
#include "config/file_object.h"
#include "config/file_tree.h"
#include "config/variant.h"
#include "config/variant_stream_fuzzer.h"
#include "testsupport/scratch_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using namespace Corvinex;

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes Store(CVariant& value, const CDataTarget* target) {
    CMemoryDataContainer m;
    m.Open(kModeStoring, target);
    value.Serialize(m);
    EXPECT_EQ(0u, m.GetError());
    return Bytes(m.GetData(), m.GetData() + m.GetSize());
}

uint32_t Load(const Bytes& bytes, CVariant& value, const CDataTarget* target) {
    CMemoryDataContainer m;
    m.LoadFrom(bytes.data(), static_cast<uint32_t>(bytes.size()));
    m.Open(kModeLoading, target);
    value.Serialize(m);
    return m.GetError();
}

void WriteFile(const std::wstring& path, size_t size) {
    HANDLE h = CreateFileW(ToSystemPath(CWideString(path.c_str())).c_str(), GENERIC_WRITE, 0,
                           nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    std::string content(size, 'c');
    DWORD written = 0;
    if (size > 0) {
        ::WriteFile(h, content.data(), static_cast<DWORD>(size), &written, nullptr);
    }
    CloseHandle(h);
}

// Every entry below folder (backslash-free, trailing slash), relative, "/" after folders.
void Walk(const std::wstring& folder, const std::wstring& relative,
          std::vector<std::wstring>& out) {
    WIN32_FIND_DATAW data;
    std::wstring system = ToSystemPath(CWideString((folder + relative).c_str())).c_str();
    HANDLE find = FindFirstFileW((system + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(relative + name + L"/");
            Walk(folder, relative + name + L"/", out);
        } else {
            out.push_back(relative + name);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

} // namespace

TEST(ValueStreamFuzz, MutatedValueStreamsLoadOrFailCleanly) {
    CVariant sample = SampleStreamValues();
    Bytes base = Store(sample, nullptr);
    int loaded = 0;
    for (uint32_t seed = 1; seed <= 6000; ++seed) {
        CFuzzRandom random(seed);
        Bytes mutated = MutateStream(base, random);
        CVariant value;
        uint32_t error = Load(mutated, value, nullptr);
        ASSERT_TRUE(IsKnownStreamResult(error)) << "seed " << seed << " error " << error;
        if (error == 0) {
            // What loaded stores and loads back to the same bytes.
            ++loaded;
            Bytes once = Store(value, nullptr);
            CVariant again;
            ASSERT_EQ(0u, Load(once, again, nullptr)) << "seed " << seed;
            ASSERT_EQ(once, Store(again, nullptr)) << "seed " << seed;
        }
    }
    EXPECT_GT(loaded, 100); // the mutations are not all fatal
}

TEST(ValueStreamFuzz, MutatedTreeStreamsStayInsideTheRoot) {
    VpeTest::ScratchFolder source(L"fz", L"src");
    VpeTest::ScratchFolder outer(L"fz", L"outer");
    std::wstring root = outer.Path() + L"root/";
    ASSERT_TRUE(MakeFolder(CWideString(root.c_str())));
    ASSERT_TRUE(MakeFolder(CWideString((source.Path() + L"sub").c_str())));
    WriteFile(source.Path() + L"a.txt", 20);
    WriteFile(source.Path() + L"sub/b.bin", 300);
    WriteFile(source.Path() + L"sub/empty", 0);
    CVariant tree;
    ASSERT_TRUE(CollectFileTree(CWideString(source.Path().c_str()), tree));
    CDataTarget from = {source.Path().c_str(), 0, 0};
    Bytes base = Store(tree, &from);
    CDataTarget to = {root.c_str(), 0, 0};

    for (uint32_t seed = 1; seed <= 1500; ++seed) {
        CFuzzRandom random(seed);
        Bytes mutated = MutateStream(base, random);
        CVariant value;
        uint32_t error = Load(mutated, value, &to);
        ASSERT_TRUE(IsKnownStreamResult(error)) << "seed " << seed << " error " << error;
        if (seed % 50 == 0 || error != 0) {
            std::vector<std::wstring> outside;
            Walk(outer.Path(), L"", outside);
            for (const std::wstring& entry : outside) {
                ASSERT_EQ(0u, entry.rfind(L"root/", 0)) << "seed " << seed;
                ASSERT_EQ(std::wstring::npos, entry.find(L".~vpe")) << "seed " << seed;
            }
        }
    }
}

TEST(ValueStreamFuzz, CampaignRotationHolds) {
    // The first cases of the long campaign (scripts/fuzz.sh): truncations, mutations and
    // generated records with lying sizes, negative counts and deep nesting.
    CStreamFuzzer fuzzer;
    ASSERT_TRUE(fuzzer.Ready());
    for (uint32_t index = 0; index < 300; ++index) {
        FuzzCase c = fuzzer.MakeCase(7, index);
        ASSERT_EQ("", fuzzer.Judge(c)) << "case " << index;
    }
}

TEST(ValueStreamFuzz, SavedCasesStillHold) {
    CStreamFuzzer fuzzer;
    ASSERT_TRUE(fuzzer.Ready());
    std::wstring folder = VPE_FUZZ_CASES;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*.case").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find) << "no saved cases in config/fuzz_cases";
    int replayed = 0;
    do {
        FuzzCase c;
        ASSERT_TRUE(CStreamFuzzer::LoadCase(folder + data.cFileName, c));
        EXPECT_EQ("", fuzzer.Judge(c))
            << std::string(data.cFileName, data.cFileName + wcslen(data.cFileName));
        ++replayed;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    EXPECT_GT(replayed, 0);
}
