// Path conventions of the program. Inside the program a path is written with forward slashes; a
// folder path ends with a slash (a drive root as C:/); backslashes appear only in the copy handed
// to a system call. The empty text stands for "no path". None of these functions keeps state or
// changes its argument; each returns a new string, a flag (1 true, 0 false) or a code.
#pragma once

#include "base/wide_string.h"

namespace Corvinex {

// Copy with every backslash replaced by a slash.
CWideString ToForwardSlashes(CWideString path);
// Copy with every slash replaced by a backslash: the form handed to system calls.
CWideString ToBackslashes(CWideString path);
// Forward-slash copy without one trailing slash; drive roots (C:/) and texts shorter than two
// characters come back unchanged apart from the slashes.
CWideString StripTrailingSlash(const CWideString& path);
// Forward-slash copy that ends with a slash; the empty text stays empty.
CWideString EnsureTrailingSlash(const CWideString& path);

// 1 when the path is non-empty and holds no backslash, none of ? < > * | " and no "::".
int IsValidPath(const CWideString& path);
// 1 when the path is valid and ends with a slash.
int IsFolderPath(const CWideString& path);
// 1 when the folder path names an existing drive (for a root) or directory, else 0.
int FolderExists(const CWideString& path);
// 1 when the path (either separator) names an existing entry that is not a directory. The path
// is not checked for validity, so a wildcard pattern counts when its first match is a file.
// Use it where that rule is wanted (the library loader's lookup); for a plain check, long paths
// included, use IsExistingFile (base/file_system.h).
int FileExists(const CWideString& path);
// The folder part of a forward-slash path, ending with a slash; a folder path comes back as it
// is, and a path with nothing before its last slash (or with no slash) gives the empty text.
CWideString GetFolderOfPath(const CWideString& path);

} // namespace Corvinex
