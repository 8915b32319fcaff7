// Which vpetest.exe a run starts and which vpecheck.exe doctor and validate start: the program
// of the engine's C++ ABI, found beside vpedrive.exe or in the other ABI's folder of the release
// (bin\, bin-mingw\) or of the build tree (bin/, msvc/bin/), each judged by its own type names
// rather than by its folder's name.
#pragma once

#include "tools/vpedrive/module_abi.h"

#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

// A program that exists once per ABI: its file name, how messages name it, and the option a
// user names one with (empty: none).
struct AbiProgram {
    const wchar_t* file;
    const wchar_t* title;
    const wchar_t* option;
};
extern const AbiProgram kHarnessProgram;     // vpetest.exe, --harness PATH
extern const AbiProgram kCheckHelperProgram; // vpecheck.exe, no option

// The ABI a program for `engine` (empty: none given) must have: `requested` when it is not
// Unknown, else the one the engine's type names say (Unknown when they say none).
ModuleAbi NeededAbi(const std::wstring& engine, ModuleAbi requested);

// "MSVC ABI (Visual Studio)" or "GCC ABI (MinGW)"; "unknown ABI" for Unknown.
std::wstring AbiTitle(ModuleAbi abi);

// Chooses the copy of `program` for `engine` by a vpedrive.exe in `folder`: the one of
// NeededAbi; an unknown ABI keeps the one beside vpedrive.exe. False with a one-line *message
// (where it was looked for) when no copy of the needed ABI exists; *path is then empty.
bool ChooseProgram(const AbiProgram& program, const std::wstring& folder,
                   const std::wstring& engine, ModuleAbi requested, std::wstring* path,
                   std::wstring* message);

// ChooseProgram for the harness.
bool ChooseHarness(const std::wstring& folder, const std::wstring& engine, ModuleAbi requested,
                   std::wstring* harness, std::wstring* message);

} // namespace Vpedrive
} // namespace Corvinex
