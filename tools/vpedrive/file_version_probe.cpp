// file_version_probe.exe FILE...: prints, per file, what its version resource says as
// "FileVersion|ProductVersion|ProductName|OriginalFilename", or "none" without one. Used by the
// package check to read the resources back from the programs in the ZIP. Exit 0, or 2 without
// arguments.
#include "tools/vpedrive/console_output.h"
#include "tools/vpedrive/file_version.h"

#include <windows.h>
#include <shellapi.h>

using namespace Corvinex::Vpedrive;

int main() {
    COutput out(STD_OUTPUT_HANDLE);
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2)
        return 2;
    for (int i = 1; i < argc; ++i) {
        FileVersionInfo info;
        if (!ReadFileVersion(argv[i], &info))
            out.Line(L"none");
        else
            out.Line(info.fileVersion + L"|" + info.productVersion + L"|" + info.productName +
                     L"|" + info.originalFilename);
    }
    LocalFree(argv);
    return 0;
}
