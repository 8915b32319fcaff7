// vpedrive doctor: why an engine library can or cannot be bound by the harness.
#pragma once

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
};

struct Verdict {
    int status = kDoctorBindable;
    std::wstring sentence; // one sentence, ending with a full stop
};

// Examines the library at `path`: file, headers, machine, imports and exports first, then a
// real load and factory call in a child process running `probeProgram doctor-probe path`
// (vpecheck.exe; given up after timeoutMs).
Verdict DiagnoseEngine(const std::wstring& path, const std::wstring& probeProgram, DWORD timeoutMs);

// The first of the imported libraries that the loader cannot find: neither in the library's
// folder `folder` nor among the system's libraries nor on the PATH. Empty when all are found.
std::string FindMissingDependency(const std::wstring& folder,
                                  const std::vector<std::string>& imports);

} // namespace Vpedrive
} // namespace Corvinex
