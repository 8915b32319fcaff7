// Binding an engine library the way the harness does, in a process of its own
// (vpedrive doctor-probe PATH), so that an engine that crashes takes only the probe down.
#pragma once

#include <string>

namespace Corvinex {
namespace Drive {

// Exit codes of the probe; it also prints one line of detail to its standard output.
enum ProbeResult {
    kProbeBindable = 0,    // "ok"
    kProbeLoadFailed = 1,  // "load-error <Windows error>"
    kProbeNoExport = 2,    // "no-export"
    kProbeNullFactory = 3, // "null"
    kProbeWrongType = 4,   // "wrong-type"
    kProbeFault = 5,       // "fault <exception code> <load|factory|check>"
};

// Loads the library (current folder switched to its folder around the load), resolves
// GetCorvinexEngine, calls it and checks the object's type; returns the ProbeResult. A fault
// anywhere ends the process at once with kProbeFault.
int RunEngineProbe(const std::wstring& libraryPath);

} // namespace Drive
} // namespace Corvinex
