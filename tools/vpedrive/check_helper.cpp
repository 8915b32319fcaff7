#include "tools/vpedrive/check_helper.h"

#include "tools/driver/child_process.h"
#include "tools/driver/scratch_folder.h"
#include "tools/driver/text_file.h"
#include "tools/vpedrive/harness_choice.h"
#include "tools/vpedrive/vpedrive_options.h"

namespace Corvinex {
namespace Vpedrive {

int ForwardToHelper(const std::wstring& folder, const std::wstring& engine, ModuleAbi requested,
                    const std::wstring& arguments, COutput& err) {
    std::wstring helper, message;
    if (!ChooseProgram(kCheckHelperProgram, folder, engine, requested, &helper, &message)) {
        err.Line(L"vpedrive: " + message);
        return kStatusSetUpFailed;
    }
    WORD machine = 0;
    if (!ProgramRunsHere(helper, &machine, &message)) {
        err.Line(L"vpedrive: " + message);
        return kStatusSetUpFailed;
    }
    Driver::CScratchFolder scratch;
    if (!scratch.Create(L"vpecheck-")) {
        err.Line(L"vpedrive: no scratch folder can be made in the temporary folder");
        return kStatusSetUpFailed;
    }
    const std::wstring file = scratch.Path() + L"output.txt";
    Driver::CChildProcess child;
    child.RedirectOutputTo(file);
    // Without a console of its own: Wine otherwise drops the standard handles passed in.
    child.SetCreationFlags(DETACHED_PROCESS);
    if (!child.Start(helper, arguments, L"")) {
        err.Line(L"vpedrive: the check helper \"" + helper +
                 L"\" cannot be started (Windows error " + std::to_wstring(child.LastError()) +
                 L")");
        return kStatusSetUpFailed;
    }
    child.WaitForExit(INFINITE);
    DWORD code = 0;
    child.GetExitCode(&code);
    const std::string output = Driver::ReadFileBytes(file, static_cast<size_t>(-1));
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), output.data(), static_cast<DWORD>(output.size()),
              &written, nullptr);
    return static_cast<int>(code);
}

} // namespace Vpedrive
} // namespace Corvinex
