#include "tools/vpedrive/harness_choice.h"

#include "base/file_system.h"
#include "check/helper_arguments.h"
#include "tools/driver/scratch_folder.h"

namespace Corvinex {
namespace Vpedrive {

const AbiProgram kHarnessProgram = {L"vpetest.exe", L"harness", L"--harness PATH"};
const AbiProgram kCheckHelperProgram = {Check::kHelperProgram, L"check helper (vpecheck.exe)", L""};

namespace {

const wchar_t* AbiShortTitle(ModuleAbi abi) {
    return abi == ModuleAbi::Msvc ? L"MSVC" : L"GCC";
}

// The copies of `program` a vpedrive.exe in `folder` (with its trailing backslash) may start,
// in the order they are tried: beside it first. Some of them may not exist.
std::vector<std::wstring> ProgramCandidates(const std::wstring& folder, const AbiProgram& program) {
    // The release keeps the MSVC-ABI programs in bin\ and the GCC-ABI ones in bin-mingw\; the
    // build tree keeps the GCC-ABI ones in bin/ and the MSVC-ABI ones in msvc/bin/.
    const wchar_t* const places[] = {L"", L"..\\bin-mingw\\", L"..\\bin\\", L"..\\msvc\\bin\\"};
    std::vector<std::wstring> candidates;
    for (const wchar_t* place : places) {
        const std::wstring candidate = Driver::FullPath(folder + place + program.file);
        bool seen = false;
        for (const std::wstring& known : candidates)
            seen = seen || _wcsicmp(known.c_str(), candidate.c_str()) == 0;
        if (!seen)
            candidates.push_back(candidate);
    }
    return candidates;
}

// The first of `candidates` that exists and whose type names say `abi`; empty when none does.
std::wstring FindProgramOfAbi(const std::vector<std::wstring>& candidates, ModuleAbi abi) {
    for (const std::wstring& candidate : candidates) {
        ModuleAbi own = ModuleAbi::Unknown;
        if (IsExistingFile(CWideString(candidate.c_str())) && ReadModuleAbi(candidate, &own) &&
            own == abi)
            return candidate;
    }
    return std::wstring();
}

} // namespace

ModuleAbi NeededAbi(const std::wstring& engine, ModuleAbi requested) {
    ModuleAbi needed = requested;
    if (needed == ModuleAbi::Unknown && !engine.empty())
        ReadModuleAbi(engine, &needed);
    return needed;
}

std::wstring AbiTitle(ModuleAbi abi) {
    if (abi == ModuleAbi::Unknown)
        return L"unknown ABI";
    return abi == ModuleAbi::Msvc ? L"MSVC ABI (Visual Studio)" : L"GCC ABI (MinGW)";
}

bool ChooseProgram(const AbiProgram& program, const std::wstring& folder,
                   const std::wstring& engine, ModuleAbi requested, std::wstring* path,
                   std::wstring* message) {
    path->clear();
    const ModuleAbi needed = NeededAbi(engine, requested);
    if (needed == ModuleAbi::Unknown) {
        *path = folder + program.file;
        return true;
    }
    const std::vector<std::wstring> candidates = ProgramCandidates(folder, program);
    *path = FindProgramOfAbi(candidates, needed);
    if (!path->empty())
        return true;
    std::wstring why = requested != ModuleAbi::Unknown
                           ? std::wstring(L"as --abi asks")
                           : L"the ABI the engine \"" + engine + L"\" is built in";
    *message = std::wstring(L"no ") + program.title + L" of the " + AbiShortTitle(needed) +
               L" ABI (" + why + L") was found; looked for " + candidates.front();
    for (size_t i = 1; i < candidates.size(); ++i)
        *message += (i + 1 == candidates.size() ? L" and " : L", ") + candidates[i];
    if (*program.option != L'\0')
        *message += std::wstring(L"; name one with ") + program.option;
    return false;
}

bool ChooseHarness(const std::wstring& folder, const std::wstring& engine, ModuleAbi requested,
                   std::wstring* harness, std::wstring* message) {
    return ChooseProgram(kHarnessProgram, folder, engine, requested, harness, message);
}

} // namespace Vpedrive
} // namespace Corvinex
