#include "tools/vpedrive/harness_choice.h"

#include "tools/driver/scratch_folder.h"

namespace Corvinex {
namespace Vpedrive {

namespace {

const wchar_t kHarnessFile[] = L"vpetest.exe";

bool IsFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

const wchar_t* AbiTitle(ModuleAbi abi) {
    return abi == ModuleAbi::Msvc ? L"MSVC" : L"GCC";
}

} // namespace

std::vector<std::wstring> HarnessCandidates(const std::wstring& folder) {
    // The release keeps the MSVC-ABI harness in bin\ and the GCC-ABI one in bin-mingw\; the
    // build tree keeps the GCC-ABI one in bin/ and the MSVC-ABI one in msvc/bin/.
    const wchar_t* const places[] = {L"", L"..\\bin-mingw\\", L"..\\bin\\", L"..\\msvc\\bin\\"};
    std::vector<std::wstring> candidates;
    for (const wchar_t* place : places) {
        const std::wstring candidate = Driver::FullPath(folder + place + kHarnessFile);
        bool seen = false;
        for (const std::wstring& known : candidates)
            seen = seen || _wcsicmp(known.c_str(), candidate.c_str()) == 0;
        if (!seen)
            candidates.push_back(candidate);
    }
    return candidates;
}

std::wstring FindHarnessOfAbi(const std::vector<std::wstring>& candidates, ModuleAbi abi) {
    for (const std::wstring& candidate : candidates) {
        ModuleAbi own = ModuleAbi::Unknown;
        if (IsFile(candidate) && ReadModuleAbi(candidate, &own) && own == abi)
            return candidate;
    }
    return std::wstring();
}

bool ChooseHarness(const std::wstring& folder, const std::wstring& engine, ModuleAbi requested,
                   std::wstring* harness, std::wstring* message) {
    harness->clear();
    ModuleAbi needed = requested;
    if (needed == ModuleAbi::Unknown && !engine.empty())
        ReadModuleAbi(engine, &needed);
    if (needed == ModuleAbi::Unknown) {
        *harness = folder + kHarnessFile;
        return true;
    }
    const std::vector<std::wstring> candidates = HarnessCandidates(folder);
    *harness = FindHarnessOfAbi(candidates, needed);
    if (!harness->empty())
        return true;
    std::wstring why = requested != ModuleAbi::Unknown
                           ? std::wstring(L"as --abi asks")
                           : L"the ABI the engine \"" + engine + L"\" is built in";
    *message = std::wstring(L"no harness of the ") + AbiTitle(needed) + L" ABI (" + why +
               L") was found; looked for " + candidates.front();
    for (size_t i = 1; i < candidates.size(); ++i)
        *message += (i + 1 == candidates.size() ? L" and " : L", ") + candidates[i];
    *message += L"; name one with --harness PATH";
    return false;
}

} // namespace Vpedrive
} // namespace Corvinex
