// Where things are: the program's own folder, the current folder, the shell's special folders
// and Program Files. Results follow the path conventions of base/paths.h (forward slashes, folder
// paths end with a slash); a lookup that fails gives the empty text.
#pragma once

#include "base/wide_string.h"

#include <windows.h>

namespace Corvinex {

// The file path of a loaded module (null: the program's executable), forward slashes.
CWideString GetModuleFilePath(HMODULE hModule);
// The folder of a loaded module's file.
CWideString GetModuleFolder(HMODULE hModule);
// The folder of the running program's executable.
CWideString GetApplicationFolder();

// The process's current directory as a folder path, or empty when it cannot be read. Read wide
// and at any length, so every folder the process can be in can be returned to.
CWideString GetCurrentFolder();
// The results of ChangeCurrentFolder; the numbers are fixed.
enum ChangeFolderResult {
    kFolderChanged = 0,
    kFolderChangeRefused = 1, // the system refused
    kFolderMissing = 221,     // no such folder, or no valid folder path
};
// Makes the folder the current directory: kFolderChanged, kFolderChangeRefused or
// kFolderMissing (the current directory is then unchanged).
int ChangeCurrentFolder(const CWideString& folder);

// A shell special folder (a CSIDL value) as the system writes it, or empty.
CWideString GetSpecialFolderPath(int csidl);
// The same as a folder path (forward slashes, trailing slash), or empty.
CWideString GetSpecialFolder(int csidl);
// The Program Files folder: the shell's when it exists, else the "ProgramFilesDir" value of
// HKLM Software\Microsoft\Windows\CurrentVersion (not tested for existence), else empty.
CWideString GetProgramFilesFolder();

} // namespace Corvinex
