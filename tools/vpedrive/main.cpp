// vpedrive.exe: runs vpetest.exe from the console, shows and sets the developer settings, tells
// why an engine library cannot be bound, and validates an engine.
#include "base/file_system.h"
#include "check/helper_arguments.h"
#include "tools/driver/child_process.h"
#include "tools/driver/scratch_folder.h"
#include "tools/vpedrive/check_helper.h"
#include "tools/vpedrive/console_output.h"
#include "tools/vpedrive/doctor.h"
#include "tools/vpedrive/file_version.h"
#include "tools/vpedrive/harness_choice.h"
#include "tools/vpedrive/run_command.h"
#include "tools/vpedrive/settings_command.h"
#include "tools/vpedrive/validate_runner.h"
#include "tools/vpedrive/vpedrive_options.h"

#include "vpe_version.h"

#include <windows.h>
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

using namespace Corvinex;
using namespace Corvinex::Vpedrive;

namespace {

std::wstring OwnPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size())
            return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

int BadInput(COutput& err, const std::wstring& message) {
    err.Line(L"vpedrive: " + message);
    return kStatusBadInput;
}

bool IsFile(const std::wstring& path) {
    return IsExistingFile(CWideString(path.c_str()));
}

// vpedrive run: the harness and the engine chosen from the options (the engine's file checked
// first), then the run. `folder` is vpedrive.exe's own.
int Run(const Options& options, const std::wstring& folder, COutput& out, COutput& err) {
    RunRequest request;
    if (!options.engine.empty()) {
        request.engine = Driver::FullPath(options.engine);
        if (!IsFile(request.engine))
            return BadInput(err, L"the engine \"" + request.engine + L"\" does not exist");
        // A file that is no library at all is refused with doctor's sentence before the
        // harness ever loads it.
        PeImage image;
        const Verdict file = DiagnoseLibraryFile(request.engine, &image);
        if (file.status != kDoctorBindable)
            return BadInput(err, file.sentence);
    }
    std::wstring message;
    if (!options.harness.empty())
        request.harness = Driver::FullPath(options.harness);
    else if (!ChooseHarness(folder, request.engine, options.abi, &request.harness, &message)) {
        err.Line(L"vpedrive: " + message);
        return kStatusNoHarnessOfAbi;
    }
    if (!IsFile(request.harness))
        return BadInput(err, L"the harness \"" + request.harness + L"\" does not exist");
    // Without --engine the engine is the reference engine of the harness's release folder:
    // beside the harness that --abi chose, else beside vpedrive.exe.
    const std::wstring engineFolder =
        options.abi != ModuleAbi::Unknown ? Driver::FolderOf(request.harness) : folder;
    if (request.engine.empty() && IsFile(engineFolder + L"vpe.dll")) {
        request.engine = engineFolder + L"vpe.dll";
    } else if (request.engine.empty() && !options.fakeCheck) {
        return BadInput(
            err, L"no engine given and no vpe.dll beside " +
                     (engineFolder == folder ? std::wstring(L"vpedrive.exe") : request.harness) +
                     L" (" + engineFolder + L"); use --engine PATH");
    }
    request.commands = options.commands;
    request.fakeCheck = options.fakeCheck;
    request.json = options.json;
    request.timeoutMs = options.timeoutSeconds * 1000;
    return RunHarness(request, out, err);
}

int Doctor(const Options& options, const std::wstring& folder, COutput& out, COutput& err) {
    const std::wstring engine = Driver::FullPath(options.engine);
    const Verdict verdict = DiagnoseEngine(engine, folder, options.abi, 30000);
    if (verdict.status == kDoctorNoFile)
        return BadInput(err, verdict.sentence);
    out.Line(verdict.sentence);
    PrintFileVersion(engine, out);
    return verdict.status;
}

// The command the parsed options ask for; returns vpedrive's exit status.
int Dispatch(const Options& options, COutput& out, COutput& err) {
    const std::wstring self = OwnPath();
    const std::wstring folder = Driver::FolderOf(self);
    switch (options.mode) {
    case Mode::Help:
        out.Line(FromUtf8(options.help));
        return 0;
    case Mode::Version:
        out.Line(std::wstring(L"vpedrive ") + VPE_VERSION_TEXT + L" (" + VPE_PRODUCT_NAME + L")");
        return 0;
    case Mode::Settings:
        return RunSettings(options.debug, options.messageBox, out, err);
    case Mode::Doctor:
        return Doctor(options, folder, out, err);
    case Mode::DoctorProbe: {
        const std::wstring engine = Driver::FullPath(options.engine);
        return ForwardToHelper(
            folder, engine, ModuleAbi::Unknown,
            std::wstring(Check::kProbeVerb) + L" " + Driver::QuoteArgument(engine), err);
    }
    case Mode::Run:
        return Run(options, folder, out, err);
    case Mode::Validate:
        return RunValidate(options.validate, folder, out, err);
    case Mode::ValidateCheck: {
        ValidateOptions check = options.validate;
        check.engine = Driver::FullPath(check.engine);
        if (!check.dumpFolder.empty())
            check.dumpFolder = Driver::FullPath(check.dumpFolder);
        return ForwardToHelper(folder, check.engine, check.abi,
                               HelperCheckArguments(check, check.check, check.seed), err);
    }
    }
    return kStatusBadInput;
}

// Ends vpedrive when an exception escapes one of its threads: its own fault, said as such.
[[noreturn]] void OnTerminate() {
    COutput err(STD_ERROR_HANDLE);
    err.Line(L"vpedrive: vpedrive itself failed (an exception nothing caught); this is a fault "
             L"of vpedrive, not of the engine");
    ExitProcess(kStatusInternalFault);
}

} // namespace

// Parses the command line (the wide one, converted to UTF-8 once) and runs the command.
// Whatever vpedrive throws and does not catch is its own fault: reported as such with a status
// of its own (kStatusInternalFault), never as a verdict on the engine or the harness.
int main() {
    std::set_terminate(OnTerminate);
    COutput out(STD_OUTPUT_HANDLE);
    COutput err(STD_ERROR_HANDLE);
    try {
        int argc = 0;
        wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
        const std::vector<std::string> args = Utf8Arguments(argc, argv);
        LocalFree(argv);
        Options options;
        std::wstring error;
        if (!ParseArguments(args, &options, &error))
            return BadInput(err, error + L" (vpedrive help shows the usage)");
        return Dispatch(options, out, err);
    } catch (const std::exception& error) {
        err.Line(L"vpedrive: vpedrive itself failed (" + FromUtf8(error.what()) +
                 L"); this is a fault of vpedrive, not of the engine");
    } catch (...) {
        err.Line(L"vpedrive: vpedrive itself failed (an exception of an unknown type); this is "
                 L"a fault of vpedrive, not of the engine");
    }
    return kStatusInternalFault;
}
