#include "tools/vpedrive/doctor.h"

#include "check/engine_probe.h"
#include "check/helper_arguments.h"
#include "engine/engine_interface.h"
#include "tools/driver/child_process.h"
#include "tools/driver/cxx_exception.h"
#include "tools/driver/scratch_folder.h"
#include "tools/driver/text_file.h"
#include "tools/vpedrive/harness_choice.h"

#include "base/file_system.h"

#include <cstdlib>
#include <cstring>

namespace Corvinex {
namespace Vpedrive {

using Check::kProbeAborted;
using Check::kProbeAnswerPrefix;
using Check::kProbeBindable;
using Check::kProbeException;
using Check::kProbeExitBase;
using Check::kProbeFault;
using Check::kProbeForeignAbi;
using Check::kProbeLastAnswer;
using Check::kProbeLoadFailed;
using Check::kProbeNoExport;
using Check::kProbeNullFactory;
using Check::kProbeStagePrefix;
using Check::kProbeWrongType;

namespace {

// The factory's name as sentences give it.
const std::wstring kFactory = kEngineFactoryTitle;

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// Whether the system itself can provide the library (system folder, or already in this
// process). Loaded without running any of its code.
bool SystemHasLibrary(const std::wstring& name) {
    HMODULE module = LoadLibraryExW(name.c_str(), nullptr,
                                    DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr)
        return false;
    FreeLibrary(module);
    return true;
}

// API sets ("api-ms-win-core-...") are no files: the system maps their names to its libraries
// alike for both machine types.
bool IsApiSetName(const std::wstring& name) {
    return _wcsnicmp(name.c_str(), L"api-ms-", 7) == 0 ||
           _wcsnicmp(name.c_str(), L"ext-ms-", 7) == 0;
}

// SystemHasLibrary for a library of `machine`. This 32-bit process loads from the 32-bit system
// folder; the 64-bit one is visible to it as %windir%\Sysnative (Windows and Wine alike).
bool SystemHasLibraryOf(WORD machine, const std::wstring& name) {
#if !defined(_WIN64)
    if (machine == IMAGE_FILE_MACHINE_AMD64) {
        wchar_t windows[MAX_PATH] = {0};
        const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
        if (length > 0 && length < MAX_PATH &&
            IsExistingFile(CWideString((std::wstring(windows) + L"\\Sysnative\\" + name).c_str())))
            return true;
        return IsApiSetName(name) && SystemHasLibrary(name);
    }
#else
    (void)machine;
#endif
    return SystemHasLibrary(name);
}

bool OnPath(const std::wstring& name) {
    wchar_t buffer[8192] = {0};
    DWORD n = GetEnvironmentVariableW(L"PATH", buffer, 8192);
    if (n == 0 || n >= 8192)
        return false;
    std::wstring path(buffer, n);
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L';', start);
        if (end == std::wstring::npos)
            end = path.size();
        std::wstring folder = path.substr(start, end - start);
        if (!folder.empty() && IsExistingFile(CWideString((folder + L"\\" + name).c_str())))
            return true;
        start = end + 1;
    }
    return false;
}

// The probe's report: the last stage it entered, its answer line, and what a C++ runtime wrote
// when an exception ended it ("terminate called after throwing an instance of 'T'").
struct ProbeReport {
    std::string stage;
    std::string answer; // without its prefix; empty when the probe did not answer
    std::string exceptionType;
};

ProbeReport ReadProbeReport(const std::wstring& file) {
    ProbeReport report;
    const std::string text = Driver::ReadFileBytes(file, 65536);
    for (const std::string& line : Driver::SplitLines(text)) {
        if (line.compare(0, strlen(kProbeStagePrefix), kProbeStagePrefix) == 0)
            report.stage = line.substr(strlen(kProbeStagePrefix));
        else if (line.compare(0, strlen(kProbeAnswerPrefix), kProbeAnswerPrefix) == 0)
            report.answer = line.substr(strlen(kProbeAnswerPrefix));
    }
    Driver::FindTerminateLine(text, &report.exceptionType);
    return report;
}

std::wstring Hex(DWORD value) {
    wchar_t text[16];
    wsprintfW(text, L"0x%08lX", value);
    return text;
}

Verdict Make(int status, const std::wstring& sentence) {
    Verdict verdict;
    verdict.status = status;
    verdict.sentence = sentence;
    return verdict;
}

std::wstring StageText(const std::string& stage) {
    if (stage == "load")
        return L"while it is being loaded";
    if (stage == "check")
        return L"while its engine's type is checked";
    return L"in " + kFactory;
}

// What the probe's verdict depends on beyond its report: the library's machine type, the ABI
// asked for with --abi, the one the library's type names say, the one the probe judged in
// (--abi's, else the library's, else the helper's own), and where vpedrive.exe finds the
// harnesses.
struct AbiContext {
    WORD machine;
    ModuleAbi requested;
    ModuleAbi named;
    ModuleAbi judged;
    std::wstring folder;
};

Verdict BindableVerdict(const std::wstring& quoted, const AbiContext& context) {
    std::wstring harness, message;
    const ModuleKind kind = {context.machine, context.judged};
    if (!ChooseProgramOfKind(kHarnessProgram, context.folder, kind,
                             L"the machine type and ABI it is bound in", &harness, &message))
        return Make(kDoctorNoProgramOfAbi, quoted + L" can be bound in the " + KindTitle(kind) +
                                               L", but the release lacks its harness: " + message +
                                               L".");
    return Make(kDoctorBindable, quoted + L" can be bound: " + kFactory +
                                     L" returns a Corvinex::VeilpathEngine::IVeilpathEngine, "
                                     L"built for " +
                                     MachineName(context.machine) + L" in the " +
                                     AbiTitle(context.judged) + L": bind it with " + harness +
                                     L".");
}

Verdict ForeignAbiVerdict(const std::wstring& quoted, const AbiContext& context) {
    if (context.requested == ModuleAbi::Unknown && context.named == ModuleAbi::Unknown)
        return Make(kDoctorAbiUnknown,
                    quoted + L" carries no C++ type names of either ABI, so the ABI it is built "
                             L"in cannot be told; --abi msvc or --abi gcc judges it in one.");
    return Make(kDoctorWrongType,
                kFactory + L" of " + quoted +
                    L" returns an object without type information of the " +
                    AbiTitle(context.judged) +
                    (context.requested != ModuleAbi::Unknown ? L" that --abi names" : L"") +
                    L": it is built in the other C++ ABI or without type information, and only "
                    L"a harness of its own ABI can bind it.");
}

Verdict ProbeVerdict(const std::wstring& path, DWORD code, const ProbeReport& report,
                     const AbiContext& context) {
    const std::wstring quoted = L"\"" + path + L"\"";
    const std::string& detail = report.answer;
    // An answer counts only with its own exit code: a library may print anything.
    const bool answered =
        !detail.empty() && code >= kProbeExitBase && code <= kProbeExitBase + kProbeLastAnswer;
    const int answer = answered ? static_cast<int>(code - kProbeExitBase) : -1;
    switch (answer) {
    case kProbeBindable:
        return BindableVerdict(quoted, context);
    case kProbeForeignAbi:
        return ForeignAbiVerdict(quoted, context);
    case kProbeNoExport:
        return Make(kDoctorNoExport, quoted + L" does not export " + kFactory + L".");
    case kProbeNullFactory:
        return Make(kDoctorNullFactory,
                    kFactory + L" of " + quoted + L" returns no engine object (null).");
    case kProbeWrongType:
        return Make(kDoctorWrongType,
                    kFactory + L" of " + quoted +
                        L" returns an object that is not a Corvinex::VeilpathEngine::"
                        L"IVeilpathEngine.");
    case kProbeLoadFailed: {
        DWORD error =
            static_cast<DWORD>(strtoul(detail.c_str() + detail.find(' ') + 1, nullptr, 10));
        if (error >= 0xC0000000u)
            // Wine's loader catches a fault in DllMain and leaves its exception code as the
            // error of LoadLibrary.
            return Make(kDoctorLoadFault, quoted +
                                              L" faults while it is being loaded (in its DllMain, "
                                              L"exception " +
                                              Hex(error) + L").");
        if (error == ERROR_NOACCESS)
            // Wine's loader (and Windows for some faults) catches a fault in DllMain and
            // lets LoadLibrary fail with this code.
            return Make(kDoctorLoadFault,
                        quoted + L" faults while it is being loaded (in its DllMain).");
        if (error == ERROR_MOD_NOT_FOUND)
            return Make(kDoctorMissingDependency,
                        quoted + L" needs a library that cannot be found (Windows error 126).");
        if (error == ERROR_DLL_INIT_FAILED)
            return Make(kDoctorLoadFault, quoted + L" refuses to load: its DllMain failed.");
        return Make(kDoctorLoadFailed,
                    quoted + L" cannot be loaded (Windows error " + std::to_wstring(error) + L").");
    }
    case kProbeFault: {
        std::wstring text = Widen(detail);
        // "fault <code> <stage>"
        size_t first = text.find(L' ');
        size_t second = text.find(L' ', first + 1);
        std::wstring exception = text.substr(first + 1, second - first - 1);
        std::wstring stage = second == std::wstring::npos ? L"" : text.substr(second + 1);
        if (stage == L"load")
            return Make(kDoctorLoadFault, quoted +
                                              L" faults while it is being loaded "
                                              L"(exception " +
                                              exception + L").");
        if (stage == L"check")
            return Make(kDoctorWrongType,
                        kFactory + L" of " + quoted +
                            L" returns something that is not an engine object (exception " +
                            exception + L" while checking its type).");
        return Make(kDoctorFactoryFault,
                    kFactory + L" of " + quoted + L" crashes (exception " + exception + L").");
    }
    case kProbeException: {
        // "exception factory [type]"
        const size_t second = detail.find(' ', detail.find(' ') + 1);
        const std::wstring type =
            second == std::string::npos ? L"" : Widen(detail.substr(second + 1));
        return Make(kDoctorFactoryException, kFactory + L" of " + quoted +
                                                 L" throws a C++ exception" +
                                                 (type.empty() ? L"." : L" (" + type + L")."));
    }
    case kProbeAborted:
        if (!report.exceptionType.empty())
            return Make(kDoctorFactoryException,
                        quoted + L" lets a C++ exception (" + Widen(report.exceptionType) +
                            L") escape " + StageText(report.stage) +
                            L"; the exception cannot cross into the harness, so the process "
                            L"is aborted.");
        return Make(kDoctorEndsProcess,
                    quoted + L" calls abort() " + StageText(report.stage) + L".");
    }
    if (code >= 0xC0000000u)
        return Make(kDoctorFactoryFault, quoted + L" crashes the process that binds it " +
                                             StageText(report.stage) + L" (exception " + Hex(code) +
                                             L").");
    if (!report.stage.empty())
        return Make(kDoctorEndsProcess, quoted + L" ends the process that binds it " +
                                            StageText(report.stage) + L" (exit code " +
                                            std::to_wstring(code) + L").");
    return Make(kDoctorProbeFailed, L"The check of " + quoted + L" ended unexpectedly (status " +
                                        std::to_wstring(code) + L").");
}

} // namespace

std::string FindMissingDependency(const std::wstring& folder,
                                  const std::vector<std::string>& imports, WORD machine) {
    for (const std::string& import : imports) {
        const std::wstring name = Widen(import);
        if (IsExistingFile(CWideString((folder + name).c_str())) ||
            SystemHasLibraryOf(machine, name) || OnPath(name))
            continue;
        return import;
    }
    return std::string();
}

Verdict DiagnoseLibraryFile(const std::wstring& path, PeImage* image) {
    const std::wstring quoted = L"\"" + path + L"\"";
    *image = PeImage();
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Make(kDoctorNoFile, L"There is no file " + quoted + L".");
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Make(kDoctorNoFile, quoted + L" is a folder, not a library file.");
    switch (ReadPeImage(path, image)) {
    case PeReadResult::CannotRead:
        return Make(kDoctorLoadFailed, quoted + L" cannot be read.");
    case PeReadResult::NotPe:
        return Make(kDoctorNotLibrary,
                    quoted + L" is not a library: it has no Windows executable (MZ/PE) header.");
    case PeReadResult::Damaged:
        return Make(kDoctorNotLibrary, quoted + L" is damaged: " + image->damage + L".");
    case PeReadResult::Ok:
        break;
    }
    return Make(kDoctorBindable, std::wstring());
}

Verdict DiagnoseEngine(const std::wstring& path, const std::wstring& folder, ModuleAbi abi,
                       DWORD timeoutMs) {
    const std::wstring quoted = L"\"" + path + L"\"";
    PeImage image;
    const Verdict file = DiagnoseLibraryFile(path, &image);
    if (file.status != kDoctorBindable)
        return file;
    const std::wstring machine = MachineName(image.machine);
    if (!IsBuiltMachine(image.machine))
        return Make(kDoctorOtherMachine,
                    quoted + L" is built for " + machine +
                        L", a machine type vpetest.exe is not built for: it exists for x86 and "
                        L"x64 libraries.");
    std::wstring system;
    if (!MachineRunsHere(image.machine, &system))
        return Make(kDoctorOtherMachine, quoted + L" is built for " + machine + L", and " + system +
                                             L": it can be bound only on 64-bit Windows or in a "
                                             L"64-bit Wine prefix (WINEARCH=win64).");
    if (!image.isDll)
        return Make(kDoctorProgram, quoted + L" is a program (.exe), not a library.");
    const std::string missing =
        FindMissingDependency(Driver::FolderOf(path), image.imports, image.machine);
    if (!missing.empty())
        return Make(kDoctorMissingDependency,
                    quoted + L" needs " + Widen(missing) +
                        L", which is neither beside it nor on the system.");
    bool exported = false;
    for (const std::string& name : image.exports)
        exported = exported || name == kEngineFactoryName;
    if (!exported)
        return Make(kDoctorNoExport, quoted + L" does not export " + kFactory + L".");

    std::wstring probeProgram, message;
    if (!ChooseProgram(kCheckHelperProgram, folder, path, abi, &probeProgram, &message))
        return Make(kDoctorNoProgramOfAbi, quoted + L" cannot be checked: " + message + L".");
    const ModuleAbi named = NeededKind(path, ModuleAbi::Unknown).abi;
    AbiContext context = {image.machine, abi, named, abi != ModuleAbi::Unknown ? abi : named,
                          folder};
    // Neither --abi nor type names: the helper beside vpedrive.exe judges it, in its own ABI;
    // whatever does not depend on the ABI (loading, the factory) is found all the same.
    if (context.judged == ModuleAbi::Unknown)
        ReadModuleAbi(probeProgram, &context.judged);

    Driver::CScratchFolder scratch;
    if (!scratch.Create(L"vpedoctor-"))
        return Make(kDoctorProbeFailed, L"No temporary folder for the check could be made.");
    const std::wstring outputFile = scratch.Path() + L"probe.txt";
    Driver::CChildProcess probe;
    probe.RedirectOutputTo(outputFile);
    if (!probe.Start(probeProgram,
                     std::wstring(Check::kProbeVerb) + L" " + Driver::QuoteArgument(path), L""))
        return Make(kDoctorProbeFailed, L"The check program \"" + probeProgram +
                                            L"\" cannot be started (Windows error " +
                                            std::to_wstring(probe.LastError()) + L").");
    if (!probe.WaitForExit(timeoutMs)) {
        probe.Kill(255);
        return Make(kDoctorFactoryFault,
                    quoted + L" hangs while it is loaded or its engine is created.");
    }
    DWORD code = 0;
    probe.GetExitCode(&code);
    Verdict verdict = ProbeVerdict(path, code, ReadProbeReport(outputFile), context);
    verdict.helper = probeProgram;
    return verdict;
}

} // namespace Vpedrive
} // namespace Corvinex
