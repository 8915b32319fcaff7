// Binding an engine library the way the harness does, in a process of its own
// (vpecheck.exe doctor-probe PATH, started by vpedrive doctor), so that an engine that crashes
// or ends the process takes only the probe down.
#pragma once

#include <windows.h>

namespace Corvinex {
namespace Check {

// What the probe found. It prints "stage load", "stage factory" and "stage check" as it goes,
// then one line "answer <word> [detail]", and ends with kProbeExitBase + the answer. The exit
// codes lie in a range that no runtime ends a process with (abort() is 3, exit and ExitProcess
// take what the engine gives them, a crash gives its exception code), so a probe that ended
// some other way is told apart by its exit code and by the missing answer line.
enum ProbeAnswer {
    kProbeBindable = 0,    // "ok"
    kProbeLoadFailed = 1,  // "load-error <Windows error>"
    kProbeNoExport = 2,    // "no-export"
    kProbeNullFactory = 3, // "null"
    kProbeWrongType = 4,   // "wrong-type"
    kProbeFault = 5,       // "fault <exception code> <load|factory|check>"
    kProbeAborted = 6,     // "aborted <load|factory|check>": abort() was called
    kProbeException = 7,   // "exception factory [type]": a C++ exception reached the probe; the
                           // thrown type where the helper's runtime names it
    kProbeForeignAbi = 8,  // "foreign-abi": the object's type information is not laid out in
                           // this helper's C++ ABI (another ABI, or none), so it is not cast
    kProbeLastAnswer = kProbeForeignAbi,
};
const DWORD kProbeExitBase = 0x76700000u;

// The line texts the probe prints.
extern const char kProbeStagePrefix[];  // "stage "
extern const char kProbeAnswerPrefix[]; // "answer "

// Loads the library through the project's binding (current folder switched to its folder
// around the load), resolves the factory, calls it and checks the object's type as the
// harness does. Returns kProbeExitBase + the answer; a fault or abort() anywhere ends the
// process at once with the matching code.
int RunEngineProbe(const wchar_t* libraryPath);

} // namespace Check
} // namespace Corvinex
