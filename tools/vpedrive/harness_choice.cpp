#include "tools/vpedrive/harness_choice.h"

#include "base/file_system.h"
#include "check/helper_arguments.h"
#include "tools/driver/scratch_folder.h"
#include "tools/vpedrive/pe_image.h"

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
    // The release keeps vpedrive.exe and the x86 MSVC-ABI programs in bin\, the others in
    // bin-mingw\, bin-x64\ and bin-x64-mingw\; the build tree keeps it with the x86 GCC-ABI ones
    // in bin/, the others in msvc/bin/, x64/bin/ and msvc-x64/bin/.
    const wchar_t* const places[] = {L"",
                                     L"..\\bin-mingw\\",
                                     L"..\\bin\\",
                                     L"..\\msvc\\bin\\",
                                     L"..\\bin-x64\\",
                                     L"..\\bin-x64-mingw\\",
                                     L"..\\x64\\bin\\",
                                     L"..\\msvc-x64\\bin\\"};
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

// The first of `candidates` that exists and is built for `kind` (any ABI when its ABI is
// Unknown); empty when none is.
std::wstring FindProgramOfKind(const std::vector<std::wstring>& candidates,
                               const ModuleKind& kind) {
    for (const std::wstring& candidate : candidates) {
        ModuleKind own;
        if (IsExistingFile(CWideString(candidate.c_str())) && ReadModuleKind(candidate, &own) &&
            own.machine == kind.machine && (kind.abi == ModuleAbi::Unknown || own.abi == kind.abi))
            return candidate;
    }
    return std::wstring();
}

} // namespace

ModuleKind NeededKind(const std::wstring& engine, ModuleAbi requested) {
    ModuleKind needed;
    if (!engine.empty())
        ReadModuleKind(engine, &needed);
    if (needed.machine == 0)
        needed.machine = IMAGE_FILE_MACHINE_I386;
    if (requested != ModuleAbi::Unknown)
        needed.abi = requested;
    return needed;
}

std::wstring AbiTitle(ModuleAbi abi) {
    if (abi == ModuleAbi::Unknown)
        return L"unknown ABI";
    return abi == ModuleAbi::Msvc ? L"MSVC ABI (Visual Studio)" : L"GCC ABI (MinGW)";
}

std::wstring KindTitle(const ModuleKind& kind) {
    if (kind.abi == ModuleAbi::Unknown)
        return MachineName(kind.machine) + L" machine type";
    return MachineName(kind.machine) + L" " + AbiShortTitle(kind.abi) + L" ABI";
}

bool IsBuiltMachine(WORD machine) {
    return machine == IMAGE_FILE_MACHINE_I386 || machine == IMAGE_FILE_MACHINE_AMD64;
}

bool MachineRunsHere(WORD machine, std::wstring* why) {
    why->clear();
#if !defined(_WIN64)
    // A 32-bit program learns that the system is 64-bit from being run under WOW64.
    BOOL wow64 = FALSE;
    if (machine == IMAGE_FILE_MACHINE_AMD64 &&
        (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64)) {
        *why = L"this system runs x86 programs only (32-bit Windows, or a Wine prefix made with "
               L"WINEARCH=win32)";
        return false;
    }
#else
    (void)machine;
#endif
    return true;
}

bool ProgramRunsHere(const std::wstring& path, WORD* machine, std::wstring* message) {
    ModuleKind kind;
    ReadModuleKind(path, &kind);
    *machine = kind.machine;
    std::wstring why;
    if (kind.machine == 0 || MachineRunsHere(kind.machine, &why))
        return true;
    const std::wstring name = MachineName(kind.machine);
    *message = L"\"" + path + L"\" is an " + name + L" program, and " + why + L"; " + name +
               L" programs run on 64-bit Windows or in a 64-bit Wine prefix (WINEARCH=win64)";
    return false;
}

bool ChooseProgramOfKind(const AbiProgram& program, const std::wstring& folder,
                         const ModuleKind& needed, const std::wstring& reason, std::wstring* path,
                         std::wstring* message) {
    path->clear();
    if (!IsBuiltMachine(needed.machine)) {
        *message = std::wstring(L"no ") + program.title + L" of the " + KindTitle(needed) +
                   L" exists (" + reason + L"): " + program.file +
                   L" is built for x86 and x64 only";
        return false;
    }
    const std::vector<std::wstring> candidates = ProgramCandidates(folder, program);
    ModuleKind wanted = needed;
    // Neither --abi nor type names: the ABI of the copy beside vpedrive.exe, else any.
    if (wanted.abi == ModuleAbi::Unknown) {
        ModuleKind beside;
        ReadModuleKind(candidates.front(), &beside);
        wanted.abi = beside.abi;
    }
    *path = FindProgramOfKind(candidates, wanted);
    if (path->empty() && needed.abi == ModuleAbi::Unknown)
        *path = FindProgramOfKind(candidates, needed);
    if (!path->empty())
        return true;
    *message = std::wstring(L"no ") + program.title + L" of the " + KindTitle(needed) + L" (" +
               reason + L") was found; looked for " + candidates.front();
    for (size_t i = 1; i < candidates.size(); ++i)
        *message += (i + 1 == candidates.size() ? L" and " : L", ") + candidates[i];
    if (*program.option != L'\0')
        *message += std::wstring(L"; name one with ") + program.option;
    return false;
}

bool ChooseProgram(const AbiProgram& program, const std::wstring& folder,
                   const std::wstring& engine, ModuleAbi requested, std::wstring* path,
                   std::wstring* message) {
    std::wstring reason;
    if (engine.empty())
        reason = requested != ModuleAbi::Unknown ? L"as --abi asks" : L"a run without an engine";
    else if (requested != ModuleAbi::Unknown)
        reason = L"the machine type the engine \"" + engine +
                 L"\" is built for, in the ABI --abi asks for";
    else
        reason = L"the machine type and ABI the engine \"" + engine + L"\" is built for";
    return ChooseProgramOfKind(program, folder, NeededKind(engine, requested), reason, path,
                               message);
}

bool ChooseHarness(const std::wstring& folder, const std::wstring& engine, ModuleAbi requested,
                   std::wstring* harness, std::wstring* message) {
    return ChooseProgram(kHarnessProgram, folder, engine, requested, harness, message);
}

} // namespace Vpedrive
} // namespace Corvinex
