// Throughput of the value stream and the file objects, as ratios against what this machine does
// for the same bytes in the same run: memcpy for memory streams, CopyFileW for folder trees.
// Not a test; prints its figures ("memory" as argument: the memory streams only). Exit code 0 when
// every pass succeeded, 1 otherwise.
#include "base/file_data_container.h"
#include "base/file_system.h"
#include "base/global_heap.h"
#include "base/memory_data_container.h"
#include "config/file_object.h"
#include "config/file_tree.h"
#include "config/variant.h"
#include "testsupport/scratch_folder.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace Corvinex;

namespace {

double Now() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0) {
        QueryPerformanceFrequency(&frequency);
    }
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Best of three runs of f, in seconds.
template <class F> double Best(F f) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        double start = Now();
        f();
        double t = Now() - start;
        best = t < best ? t : best;
    }
    return best;
}

// Best of three runs of f, which times its own part and returns the seconds.
template <class F> double BestTimed(F f) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        double t = f();
        best = t < best ? t : best;
    }
    return best;
}

double MemcpyTime(size_t bytes) {
    std::vector<uint8_t> a(bytes, 1), b(bytes, 0);
    return Best([&] {
        memcpy(b.data(), a.data(), bytes);
        a[bytes / 2] ^= b[bytes / 3]; // keep the copy observable
    });
}

// memcpy into a block just taken from the global heap, as a loader must: the first touch of
// fresh pages is part of it (under Wine on an emulated CPU it costs far more than the copy).
double NewBlockCopyTime(size_t bytes) {
    std::vector<uint8_t> a(bytes, 1);
    return BestTimed([&] {
        double start = Now();
        void* block = AllocGlobalBlockForCopy(bytes);
        memcpy(block, a.data(), bytes);
        double t = Now() - start;
        FreeGlobalBlock(block);
        return t;
    });
}

// The line bench.sh collects: figure, value, baseline, ratio.
void BenchLine(const char* what, double seconds, const char* baselineName, double baseline) {
    printf("BENCH|%s (vs %s)|%.1f ms|%.1f ms|%.2f\n", what, baselineName, seconds * 1000.0,
           baseline * 1000.0, seconds / baseline);
}

void Report(const char* what, double seconds, double limit, double bytes) {
    printf("%-44s %8.1f ms  %7.0f MB/s  %6.1f x memcpy\n", what, seconds * 1000.0,
           bytes / seconds / 1e6, seconds / limit);
    BenchLine(what, seconds, "memcpy", limit);
}

bool BenchBinary() {
    const int32_t size = 64 << 20;
    CVariant value;
    value.AllocateBinary(size);
    memset(const_cast<void*>(value.GetBlock()), 0x5A, static_cast<size_t>(size));
    CMemoryDataContainer m;
    double limit = MemcpyTime(static_cast<size_t>(size) + 8);
    double store = Best([&] {
        m.Open(kModeStoring, nullptr);
        value.Serialize(m);
    });
    // The earlier loaded value is released before the clock starts: its wipe is measured below.
    CVariant back;
    double load = BestTimed([&] {
        back.Clear();
        m.Open(kModeLoading, nullptr);
        double start = Now();
        back.Serialize(m);
        return Now() - start;
    });
    double fresh = NewBlockCopyTime(static_cast<size_t>(size));
    printf("memcpy of 64 MiB: %.1f ms; into a new block: %.1f ms\n", limit * 1000.0,
           fresh * 1000.0);
    Report("store 64 MiB binary value (memory)", store, limit, size);
    Report("load 64 MiB binary value (memory)", load, limit, size);
    BenchLine("load 64 MiB binary value (memory)", load, "new block + memcpy", fresh);
    // The release of a value's block overwrites it three times (0x00, 0xFF, 0x00) before it goes
    // back to the heap: its share of a load-and-release cycle, measured on its own.
    double release = BestTimed([&] {
        m.Open(kModeLoading, nullptr);
        back.Serialize(m);
        double start = Now();
        back.Clear();
        return Now() - start;
    });
    Report("release 64 MiB binary value (three-pass wipe)", release, limit, size);
    bool ok = back.GetType() == vtEmpty;
    m.Open(kModeLoading, nullptr);
    back.Serialize(m);
    ok = ok && back.GetSize() == size && m.GetError() == 0 &&
         static_cast<const uint8_t*>(back.GetBlock())[size - 1] == 0x5A;
    if (!ok) {
        printf("  load FAILED\n");
    }
    return ok;
}

bool BenchList() {
    CVariant list;
    list.SetType(vtList);
    list.GetList()->SetSize(1000000);
    for (int32_t i = 0; i < 1000000; ++i) {
        list.GetList()->ElementAt(i).SetLong(i);
        list.GetList()->ElementAt(i).SetId(static_cast<uint16_t>(i));
    }
    CMemoryDataContainer m;
    m.Open(kModeStoring, nullptr);
    list.Serialize(m);
    size_t bytes = m.GetSize();
    double limit = MemcpyTime(bytes);
    double store = Best([&] {
        m.Open(kModeStoring, nullptr);
        list.Serialize(m);
    });
    // The earlier loaded list is released before the clock starts, as for the binary value.
    CVariant back;
    double load = BestTimed([&] {
        back.Clear();
        m.Open(kModeLoading, nullptr);
        double start = Now();
        back.Serialize(m);
        return Now() - start;
    });
    // Plain loops without a stream: the records written straight into a buffer, and read
    // straight from the stream's bytes into a new list.
    const CVariantList& values = *list.GetList();
    std::vector<uint8_t> out(bytes);
    double plainStore = Best([&] {
        uint8_t* p = out.data();
        for (int32_t i = 0; i < values.GetCount(); ++i) {
            const CVariant& v = values.ElementAt(i);
            uint16_t head[2] = {v.GetType(), v.GetId()};
            int32_t width = 4;
            memcpy(p, head, 4);
            memcpy(p + 4, &width, 4);
            memcpy(p + 8, v.GetData(), 4);
            p += 12;
        }
    });
    double plainLoad = BestTimed([&] {
        double start = Now();
        CVariantList loaded(Compare, SortList);
        loaded.SetSize(1000000);
        const uint8_t* p = m.GetData() + 12; // behind the list's head and count
        for (int32_t i = 0; i < 1000000; ++i, p += 12) {
            int32_t number;
            uint16_t id;
            memcpy(&number, p + 8, 4);
            memcpy(&id, p + 2, 2);
            loaded.ElementAt(i).SetLong(number);
            loaded.ElementAt(i).SetId(id);
        }
        double t = Now() - start;
        return loaded.ElementAt(999999).GetLong() == 999999 ? t : 1e9;
    });
    printf("memcpy of the list's %u stream bytes: %.2f ms; plain loops: store %.1f ms, load "
           "%.1f ms\n",
           static_cast<unsigned>(bytes), limit * 1000.0, plainStore * 1000.0, plainLoad * 1000.0);
    printf("list of 1,000,000 longs: store %.1f M values/s, load %.1f M values/s\n", 1.0 / store,
           1.0 / load);
    Report("store list of 1,000,000 longs (memory)", store, limit, static_cast<double>(bytes));
    Report("load list of 1,000,000 longs (memory)", load, limit, static_cast<double>(bytes));
    BenchLine("store list of 1,000,000 longs (memory)", store, "plain loop", plainStore);
    BenchLine("load list of 1,000,000 longs (memory)", load, "plain loop", plainLoad);
    bool ok = back.GetList() != nullptr && back.GetList()->GetCount() == 1000000 &&
              back.GetList()->ElementAt(999999).GetLong() == 999999;
    if (!ok) {
        printf("  load FAILED\n");
    }
    return ok;
}

bool BenchTree() {
    VpeTest::ScratchFolder source(L"bench", L"src");
    VpeTest::ScratchFolder copy(L"bench", L"copy");
    VpeTest::ScratchFolder restore(L"bench", L"restore");
    VpeTest::ScratchFolder streams(L"bench", L"stream");
    const int kFolders = 20, kFiles = 100;
    const size_t kFileSize = (64u << 20) / (kFolders * kFiles);
    std::vector<uint8_t> content(kFileSize, 0x33);
    std::vector<std::wstring> relative;
    for (int f = 0; f < kFolders; ++f) {
        std::wstring folder = L"folder" + std::to_wstring(f) + L"/";
        MakeFolder(CWideString((source.Path() + folder).c_str()));
        for (int i = 0; i < kFiles; ++i) {
            std::wstring name = folder + L"file" + std::to_wstring(i) + L".bin";
            relative.push_back(name);
            HANDLE h =
                CreateFileW(ToSystemPath(CWideString((source.Path() + name).c_str())).c_str(),
                            GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            content[0] = static_cast<uint8_t>(i);
            WriteFile(h, content.data(), static_cast<DWORD>(kFileSize), &written, nullptr);
            CloseHandle(h);
        }
    }
    double total = static_cast<double>(kFileSize) * kFolders * kFiles;

    double copyTime = Best([&] {
        for (int f = 0; f < kFolders; ++f) {
            CreateDirectoryW(
                ToSystemPath(CWideString((copy.Path() + L"folder" + std::to_wstring(f)).c_str()))
                    .c_str(),
                nullptr);
        }
        for (const std::wstring& name : relative) {
            CopyFileW(ToSystemPath(CWideString((source.Path() + name).c_str())).c_str(),
                      ToSystemPath(CWideString((copy.Path() + name).c_str())).c_str(), FALSE);
        }
    });

    CWideString streamPath((streams.Path() + L"tree.vps").c_str());
    CDataTarget from = {source.Path().c_str(), 0, 0};
    CDataTarget to = {restore.Path().c_str(), 0, 0};
    uint32_t storeError = 0, loadError = 0;
    double storeTime = Best([&] {
        CVariant tree;
        CollectFileTree(CWideString(source.Path().c_str()), tree);
        CFileDataContainer file;
        file.OpenFile(streamPath, kModeStoring, &from);
        tree.Serialize(file);
        storeError = file.GetError() != 0 ? file.GetError() : file.Close();
    });
    double loadTime = Best([&] {
        CFileDataContainer file;
        file.OpenFile(streamPath, kModeLoading, &to);
        CVariant tree;
        tree.Serialize(file);
        loadError = file.GetError();
    });
    printf("CopyFileW of 2000 files, %.1f MiB: %.1f ms\n", total / 1048576.0, copyTime * 1000.0);
    printf("%-44s %8.1f ms  %7.0f MB/s  %6.2f x CopyFileW\n", "store tree of 2000 files (file)",
           storeTime * 1000.0, total / storeTime / 1e6, storeTime / copyTime);
    printf("%-44s %8.1f ms  %7.0f MB/s  %6.2f x CopyFileW\n", "restore tree of 2000 files (file)",
           loadTime * 1000.0, total / loadTime / 1e6, loadTime / copyTime);
    BenchLine("store tree of 2000 files (file)", storeTime, "CopyFileW", copyTime);
    BenchLine("restore tree of 2000 files (file)", loadTime, "CopyFileW", copyTime);
    printf("%-44s %8.1f ms  %16s %6.2f x CopyFileW\n", "store + restore",
           (storeTime + loadTime) * 1000.0, "", (storeTime + loadTime) / copyTime);
    if (storeError != 0 || loadError != 0) {
        printf("  FAILED: store %u, restore %u\n", storeError, loadError);
        return false;
    }
    return true;
}

} // namespace

// With the argument "memory" only the memory streams are measured (the tree takes minutes).
int main(int argc, char** argv) {
    bool ok = BenchBinary();
    ok = BenchList() && ok;
    if (argc < 2 || strcmp(argv[1], "memory") != 0) {
        ok = BenchTree() && ok;
    }
    return ok ? 0 : 1;
}
