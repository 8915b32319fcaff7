// vpedrive doctor: why an engine library can or cannot be bound by the harness.
#pragma once

#include "tools/vpedrive/module_abi.h"
#include "tools/vpedrive/pe_image.h"

#include <windows.h>

#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

// Verdict statuses (0: bindable; 2: the path names no file).
enum DoctorStatus {
    kDoctorBindable = 0,
    kDoctorNoFile = 2,
    kDoctorNotLibrary = 10,
    // Built for a machine type vpetest.exe is not built for (ARM64, ...), or for x64 on a system
    // that runs x86 programs only.
    kDoctorOtherMachine = 11,
    kDoctorProgram = 12,
    kDoctorMissingDependency = 13,
    kDoctorNoExport = 14,
    kDoctorNullFactory = 15,
    kDoctorWrongType = 16,
    kDoctorLoadFault = 17,
    kDoctorFactoryFault = 18,
    kDoctorLoadFailed = 19,
    kDoctorProbeFailed = 20,
    kDoctorFactoryException = 21,
    kDoctorEndsProcess = 22,
    // The library carries no C++ type names of either ABI, so which helper can bind it cannot
    // be told: --abi msvc|gcc names the ABI to judge it in.
    kDoctorAbiUnknown = 23,
    // The release has no check helper (vpecheck.exe) or no harness of the ABI the library needs.
    kDoctorNoProgramOfAbi = 24,
};

struct Verdict {
    int status = kDoctorBindable;
    std::wstring sentence; // one sentence, ending with a full stop
    std::wstring helper;   // the vpecheck.exe that bound the library; empty when none was started
};

// Examines the file at `path` with the bounded reader (pe_image.h): kDoctorBindable when it is
// a readable image (*image then holds what it says), else the verdict on a file that is no
// library at all: no file or a folder (kDoctorNoFile), unreadable (kDoctorLoadFailed), no
// MZ/PE header or damaged (kDoctorNotLibrary). Nothing of the file is loaded or run.
Verdict DiagnoseLibraryFile(const std::wstring& path, PeImage* image);

// Examines the library at `path`: DiagnoseLibraryFile, machine type (x86 or x64, and one this
// system runs), imports and exports first, then a real load, factory call and type check in a
// child process running `helper doctor-probe path`, where helper is the vpecheck.exe of the
// library's machine type and ABI (`abi`, else the library's own) that a vpedrive.exe in `folder`
// finds (harness_choice.h). Given up after timeoutMs. A bindable library's sentence names its
// machine type, its ABI and the harness of both.
Verdict DiagnoseEngine(const std::wstring& path, const std::wstring& folder, ModuleAbi abi,
                       DWORD timeoutMs);

// The first of the imported libraries of a library built for `machine` that the loader cannot
// find: neither in the library's folder `folder` nor among the system's libraries of that machine
// type nor on the PATH. Empty when all are found.
std::string FindMissingDependency(const std::wstring& folder,
                                  const std::vector<std::string>& imports, WORD machine);

} // namespace Vpedrive
} // namespace Corvinex
