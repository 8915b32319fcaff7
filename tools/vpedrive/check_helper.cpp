#include "tools/vpedrive/check_helper.h"

#include "check/helper_arguments.h"
#include "tools/driver/child_process.h"
#include "tools/driver/scratch_folder.h"
#include "tools/vpedrive/console_output.h"
#include "tools/vpedrive/harness_choice.h"
#include "tools/vpedrive/vpedrive_options.h"

#include "base/file_handle.h"

namespace Corvinex {
namespace Vpedrive {

std::wstring CheckHelperFor(const std::wstring& folder, const std::wstring& engine,
                            ModuleAbi requested) {
    std::wstring helper, message;
    if (!ChooseProgram(kCheckHelperProgram, folder, engine, requested, &helper, &message))
        helper = folder + Check::kHelperProgram;
    return helper;
}

int ForwardToHelper(const std::wstring& helper, const std::wstring& arguments) {
    COutput err(STD_ERROR_HANDLE);
    Driver::CScratchFolder scratch;
    if (!scratch.Create(L"vpecheck-")) {
        err.Line(L"vpedrive: no scratch folder can be made in the temporary folder");
        return kStatusCannotStart;
    }
    const std::wstring file = scratch.Path() + L"output.txt";
    Driver::CChildProcess child;
    child.RedirectOutputTo(file);
    // Without a console of its own: Wine otherwise drops the standard handles passed in.
    child.SetCreationFlags(DETACHED_PROCESS);
    if (!child.Start(helper, arguments, L"")) {
        err.Line(L"vpedrive: \"" + helper + L"\" cannot be started (Windows error " +
                 std::to_wstring(child.LastError()) + L")");
        return kStatusCannotStart;
    }
    child.WaitForExit(INFINITE);
    DWORD code = 0;
    child.GetExitCode(&code);
    CFileHandle output;
    if (output.Open(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    OPEN_EXISTING)) {
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        char buffer[4096];
        DWORD read = 0, written = 0;
        while (ReadFile(output.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
            WriteFile(out, buffer, read, &written, nullptr);
    }
    return static_cast<int>(code);
}

} // namespace Vpedrive
} // namespace Corvinex
