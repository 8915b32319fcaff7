// CScratchFolder: a private folder under the temporary folder, removed with everything in it.
#pragma once

#include <windows.h>

#include <string>

namespace Corvinex {
namespace Driver {

class CScratchFolder {
public:
    CScratchFolder() = default;
    // Removes the folder and its contents (see Remove).
    ~CScratchFolder();
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    // Creates a new, empty folder named `prefix` plus a unique suffix in the temporary folder.
    // False when one is already owned or none could be made.
    bool Create(const std::wstring& prefix);
    // The folder with a trailing backslash; empty before Create.
    const std::wstring& Path() const { return m_path; }
    // Copies `source` into the folder as `name`; false when the copy fails.
    bool CopyIn(const std::wstring& source, const std::wstring& name);
    // Deletes the folder with everything below it; files still in use (a program that has
    // not quite ended) are retried for a few seconds. True when the folder is gone.
    bool Remove();

private:
    std::wstring m_path;
};

// The file name part of a path (after the last slash or backslash).
std::wstring FileNameOf(const std::wstring& path);
// The folder part of a path, with its trailing backslash; empty for a bare file name.
std::wstring FolderOf(const std::wstring& path);
// The full form of a path relative to the current folder; the path itself when the system
// cannot say.
std::wstring FullPath(const std::wstring& path);

// Lays out a harness run in `folder`: a copy of the program `harness` under its own name and,
// when `engine` is not empty, a copy of it as vpe.dll. Gives the copy's path in *harnessCopy;
// on failure *error names the file that could not be copied.
bool PrepareHarnessFolder(CScratchFolder& folder, const std::wstring& harness,
                          const std::wstring& engine, std::wstring* harnessCopy,
                          std::wstring* error);

} // namespace Driver
} // namespace Corvinex
