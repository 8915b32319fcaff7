#include "base/shell_library.h"

namespace Corvinex {

FARPROC GetShellFunction(const char* name) {
    // Initialised once, thread-safe; the reference is kept until the process ends.
    static const HMODULE shell = LoadLibraryW(L"shell32.dll");
    if (shell == nullptr || name == nullptr) {
        return nullptr;
    }
    return GetProcAddress(shell, name);
}

} // namespace Corvinex
