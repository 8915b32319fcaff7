// Running the built vpedrive.exe from a test and reading what it printed.
#pragma once

#include "base/file_handle.h"
#include "tools/driver/child_process.h"
#include "tools/driver/scratch_folder.h"
#include "tools/driver/test_target_path.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace VpeTest {

inline std::wstring VpedrivePath() {
    return ProgramFolder() + L"..\\bin\\vpedrive.exe";
}

// The folder of the built vpedrive.exe, with its trailing backslash.
inline std::wstring VpedriveFolder() {
    return ProgramFolder() + L"..\\bin\\";
}

// A file of the build tree, from its path below build/ ("msvc\\bin\\vpe.dll").
inline std::wstring BuildFile(const std::wstring& relative) {
    return ProgramFolder() + L"..\\" + relative;
}

// Whether the MSVC-ABI build (build/msvc) is there: its tests skip without it.
inline bool MsvcBuildPresent() {
    return GetFileAttributesW(BuildFile(L"msvc\\bin\\vpetest.exe").c_str()) !=
           INVALID_FILE_ATTRIBUTES;
}

// Whether both x64 builds (build/x64, build/msvc-x64) are there: their tests skip without them.
inline bool X64BuildsPresent() {
    return GetFileAttributesW(BuildFile(L"x64\\bin\\vpetest.exe").c_str()) !=
               INVALID_FILE_ATTRIBUTES &&
           GetFileAttributesW(BuildFile(L"msvc-x64\\bin\\vpetest.exe").c_str()) !=
               INVALID_FILE_ATTRIBUTES;
}

// Whether this system runs x64 programs: this 32-bit test program runs under WOW64 (64-bit
// Windows, a 64-bit Wine prefix).
inline bool SystemRunsX64() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// Copies the library at `from` to `to` with `machine` written into its file header's Machine
// field, and nothing else changed; false when it cannot be read or written.
inline bool CopyWithMachine(const std::wstring& from, const std::wstring& to, WORD machine) {
    Corvinex::CFileHandle source;
    if (!source.Open(from.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING))
        return false;
    std::string bytes(GetFileSize(source.Get(), nullptr), '\0');
    DWORD done = 0;
    if (bytes.size() < 0x40 ||
        !::ReadFile(source.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &done, nullptr))
        return false;
    DWORD ntAt = 0;
    memcpy(&ntAt, &bytes[0x3C], sizeof(ntAt));
    if (ntAt > bytes.size() - 6)
        return false;
    memcpy(&bytes[ntAt + 4], &machine, sizeof(machine));
    Corvinex::CFileHandle target;
    return target.Open(to.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS) &&
           ::WriteFile(target.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done,
                       nullptr) &&
           done == bytes.size();
}

// Copies the engine that imports vpe_absent_helper.dll into `folder` as vpe.dll, with that
// library beside it when `withHelper`; false when a copy fails.
inline bool CopyEngineWithDependency(Corvinex::Driver::CScratchFolder& folder, bool withHelper) {
    return folder.CopyIn(TestEnginePath(L"missing_dep_engine"), L"vpe.dll") &&
           (!withHelper ||
            folder.CopyIn(TestEnginePath(L"absent_helper_store", L"vpe_absent_helper.dll"),
                          L"vpe_absent_helper.dll"));
}

struct VpedriveRun {
    DWORD status = 0xFFFFFFFF;
    std::string output; // standard output and error, UTF-8
};

// Runs vpedrive.exe (the built one unless `program` names a copy) with `arguments` (already
// quoted) and waits up to timeoutMs for it.
inline VpedriveRun RunVpedrive(const std::wstring& arguments, DWORD timeoutMs = 90000,
                               const std::wstring& program = VpedrivePath()) {
    VpedriveRun run;
    Corvinex::Driver::CScratchFolder folder;
    if (!folder.Create(L"vpedrive-test-"))
        return run;
    const std::wstring file = folder.Path() + L"output.txt";
    {
        Corvinex::Driver::CChildProcess process;
        process.RedirectOutputTo(file);
        // No console at all: with CREATE_NO_WINDOW (and at times without any flag) Wine 8
        // gives a console program a fresh console and drops the standard handles passed in,
        // so nothing reaches the file.
        process.SetCreationFlags(DETACHED_PROCESS);
        if (!process.Start(program, arguments, L""))
            return run;
        if (!process.WaitForExit(timeoutMs))
            return run;
        process.GetExitCode(&run.status);
    }
    // Shared for writing: a process that Wine started on the way (and that inherited the handle)
    // may still hold the file open after vpedrive has ended.
    Corvinex::CFileHandle handle;
    if (handle.Open(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    OPEN_EXISTING)) {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(handle.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
            run.output.append(buffer, read);
    }
    return run;
}

// UTF-8 of a wide text, to look for it in the output.
inline std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], n, nullptr, nullptr);
    return utf8;
}

} // namespace VpeTest
