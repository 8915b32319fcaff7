// Which vpetest.exe a run starts and which vpecheck.exe doctor and validate start: the program
// of the engine's machine type (x86 or x64) and C++ ABI, found beside vpedrive.exe or in the
// other folders of the release (bin\, bin-mingw\, bin-x64\, bin-x64-mingw\) or of the build tree
// (bin/, msvc/bin/, x64/bin/, msvc-x64/bin/), each judged by its own PE header and type names
// rather than by its folder's name.
#pragma once

#include "tools/vpedrive/module_abi.h"

#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

// A program that exists once per machine type and ABI: its file name, how messages name it, and
// the option a user names one with (empty: none).
struct AbiProgram {
    const wchar_t* file;
    const wchar_t* title;
    const wchar_t* option;
};
extern const AbiProgram kHarnessProgram;     // vpetest.exe, --harness PATH
extern const AbiProgram kCheckHelperProgram; // vpecheck.exe, no option

// The machine type and ABI a program for `engine` (empty: none given) must have: the engine's
// machine type (x86 without an engine), and `requested` when it is not Unknown, else the ABI the
// engine's type names say (Unknown when they say none).
ModuleKind NeededKind(const std::wstring& engine, ModuleAbi requested);

// "MSVC ABI (Visual Studio)" or "GCC ABI (MinGW)"; "unknown ABI" for Unknown.
std::wstring AbiTitle(ModuleAbi abi);

// "x64 MSVC ABI", "x86 GCC ABI"; "x64 machine type" when the ABI is Unknown.
std::wstring KindTitle(const ModuleKind& kind);

// True for the machine types the harness and the check helper are built for: x86 and x64.
bool IsBuiltMachine(WORD machine);

// Whether this system starts programs of `machine`: x86 ones always, x64 ones on 64-bit Windows
// (a 64-bit Wine prefix). False with *why saying what the system runs when it does not.
bool MachineRunsHere(WORD machine, std::wstring* why);

// Whether the program at `path` starts on this system: MachineRunsHere of the machine type its
// file says (a file that cannot be read is left for the start to refuse). *machine receives that
// machine type (0 when unread). False with a one-line *message naming the program, its machine
// type and the cause.
bool ProgramRunsHere(const std::wstring& path, WORD* machine, std::wstring* message);

// Chooses the copy of `program` of the machine type and ABI `needed` for a vpedrive.exe in
// `folder`, among the places above in their order. An Unknown ABI takes the ABI of the copy beside
// vpedrive.exe, else any copy of that machine type. False with a one-line *message naming the
// machine type and ABI, `reason` (why they are needed) and where it looked, when no copy exists
// or the machine type is one the programs are not built for; *path is then empty.
bool ChooseProgramOfKind(const AbiProgram& program, const std::wstring& folder,
                         const ModuleKind& needed, const std::wstring& reason, std::wstring* path,
                         std::wstring* message);

// ChooseProgramOfKind for the NeededKind of `engine` and `requested`.
bool ChooseProgram(const AbiProgram& program, const std::wstring& folder,
                   const std::wstring& engine, ModuleAbi requested, std::wstring* path,
                   std::wstring* message);

// ChooseProgram for the harness.
bool ChooseHarness(const std::wstring& folder, const std::wstring& engine, ModuleAbi requested,
                   std::wstring* harness, std::wstring* message);

} // namespace Vpedrive
} // namespace Corvinex
