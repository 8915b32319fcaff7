// Which vpetest.exe a run starts: the harness of the engine's C++ ABI, found beside vpedrive.exe
// or in the other ABI's folder of the release (bin\, bin-mingw\) or of the build tree (bin/,
// msvc/bin/), each judged by its own type names rather than by its folder's name.
#pragma once

#include "tools/vpedrive/module_abi.h"

#include <string>
#include <vector>

namespace Corvinex {
namespace Vpedrive {

// The harness programs a vpedrive.exe in `folder` (with its trailing backslash) may start, in
// the order they are tried: beside it first. Some of them may not exist.
std::vector<std::wstring> HarnessCandidates(const std::wstring& folder);

// The first of `candidates` that exists and whose type names say `abi`; empty when none does.
std::wstring FindHarnessOfAbi(const std::vector<std::wstring>& candidates, ModuleAbi abi);

// Chooses the harness for a run of `engine` (empty: none given) by a vpedrive.exe in `folder`:
// the ABI is `requested` when it is not Unknown, else the engine's; an unknown ABI keeps the
// harness beside vpedrive.exe. False with a one-line *message when no harness of the needed ABI
// exists; *harness is then empty.
bool ChooseHarness(const std::wstring& folder, const std::wstring& engine, ModuleAbi requested,
                   std::wstring* harness, std::wstring* message);

} // namespace Vpedrive
} // namespace Corvinex
