// Gathering a folder tree into a list of file objects, ready to be stored.
#pragma once

#include "base/wide_string.h"
#include "config/variant.h"

namespace Corvinex {

// Makes list a vtList holding one vtFileObject value per folder and file below root (a folder
// path with trailing slash; root itself is not an entry). A folder comes before everything in
// it, so loading the list re-creates folders before their files. Names and relative folders
// are stored as UTF-8 texts, so names outside the ANSI code page survive the stream. False (list
// then holds what was gathered) when a folder could not be read or the list could not grow.
bool CollectFileTree(const CWideString& root, CVariant& list);

} // namespace Corvinex
