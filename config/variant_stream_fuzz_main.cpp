// stream_fuzz.exe: the long hostile-input campaign over the value stream and the file objects.
//
//   stream_fuzz.exe [CASES] [SEED] [FOLDER] [SHARD SHARDS]
//       runs the cases 0 to CASES - 1 (default 100000) of the rotation seeded by SEED (default
//       1), or only those whose index modulo SHARDS is SHARD (so several processes share a
//       campaign); a failing case is saved in FOLDER (default fuzz-failures) as
//       <seed>_<index>.case, which the fuzz test replays when copied to config/fuzz_cases/.
//   stream_fuzz.exe --replay FILE...          judges saved cases.
//
// Prints cases per second as it goes and ends with "N passed, M failed"; exit status 0 only
// when none failed. scripts/fuzz.sh runs it under Wine's heap checking.
#include "config/variant_stream_fuzzer.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace Corvinex;

namespace {

// The case being judged, saved by the crash filter when a case ends the process.
const FuzzCase* g_pCurrent = nullptr;
std::wstring g_crashPath;

LONG WINAPI SaveCrashingCase(EXCEPTION_POINTERS* info) {
    if (g_pCurrent != nullptr) {
        CStreamFuzzer::SaveCase(g_crashPath, *g_pCurrent);
    }
    printf("\ncrashed (exception 0x%08lX); the case is saved as %ls\n0 passed, 1 failed\n",
           static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode), g_crashPath.c_str());
    fflush(stdout);
    return EXCEPTION_EXECUTE_HANDLER;
}

int Replay(CStreamFuzzer& fuzzer, int argc, wchar_t** argv) {
    int passed = 0, failed = 0;
    for (int i = 2; i < argc; ++i) {
        FuzzCase c;
        std::string verdict =
            CStreamFuzzer::LoadCase(argv[i], c) ? fuzzer.Judge(c) : "cannot read the case";
        if (verdict.empty()) {
            ++passed;
        } else {
            ++failed;
            printf("%ls: %s\n", argv[i], verdict.c_str());
        }
    }
    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    CStreamFuzzer fuzzer;
    if (!fuzzer.Ready()) {
        printf("cannot prepare the scratch folders\n");
        return 2;
    }
    if (argc >= 2 && wcscmp(argv[1], L"--replay") == 0) {
        return Replay(fuzzer, argc, argv);
    }
    uint32_t cases = argc >= 2 ? static_cast<uint32_t>(wcstoul(argv[1], nullptr, 10)) : 100000;
    uint32_t seed = argc >= 3 ? static_cast<uint32_t>(wcstoul(argv[2], nullptr, 10)) : 1;
    std::wstring folder = argc >= 4 ? argv[3] : L"fuzz-failures";
    uint32_t shard = argc >= 6 ? static_cast<uint32_t>(wcstoul(argv[4], nullptr, 10)) : 0;
    uint32_t shards = argc >= 6 ? static_cast<uint32_t>(wcstoul(argv[5], nullptr, 10)) : 1;
    if (shards == 0 || shard >= shards) {
        printf("the shard must be below the number of shards\n");
        return 2;
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    SetUnhandledExceptionFilter(SaveCrashingCase);
    // No error boxes: a crash ends the process with its code.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

    DWORD start = GetTickCount();
    uint32_t passed = 0, failed = 0, done = 0;
    for (uint32_t index = shard; index < cases; index += shards) {
        FuzzCase c = fuzzer.MakeCase(seed, index);
        std::wstring path =
            folder + L"\\" + std::to_wstring(seed) + L"_" + std::to_wstring(index) + L".case";
        g_crashPath = path;
        g_pCurrent = &c;
        std::string verdict = fuzzer.Judge(c);
        g_pCurrent = nullptr;
        if (verdict.empty()) {
            ++passed;
        } else {
            ++failed;
            CStreamFuzzer::SaveCase(path, c);
            printf("case %u: %s (saved as %ls)\n", index, verdict.c_str(), path.c_str());
        }
        if (++done % 5000 == 0 || index + shards >= cases) {
            double seconds = (GetTickCount() - start) / 1000.0;
            printf("%u cases in %.0f s: %.0f cases/s\n", done, seconds,
                   seconds > 0 ? done / seconds : 0.0);
            fflush(stdout);
        }
    }
    printf("%u passed, %u failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
