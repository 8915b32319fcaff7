// Information records of files and folders (attributes and times as the elements of a
// CVariantContainer), the length of a file and the creation of folder paths.
//
// Paths are the program's forward-slash texts; a folder path ends with a slash. Long paths and
// names outside the ANSI code page work (base/file_system.h).
#pragma once

#include "base/file_system.h"
#include "base/wide_string.h"
#include "config/variant_container.h"

#include <windows.h>

#include <stdint.h>

namespace Corvinex {

// Element ids of an information record: attributes as vtByte 1 (present only when set), times
// as 8-byte vtBinary FILETIMEs (files only).
const uint16_t kInfoSystem = 1;
const uint16_t kInfoReadOnly = 2;
const uint16_t kInfoArchive = 3;
const uint16_t kInfoHidden = 4;
const uint16_t kInfoCreationTime = 110;
const uint16_t kInfoLastAccessTime = 111;
const uint16_t kInfoLastWriteTime = 112;

// The results of CreateFolderPath; the numbers are fixed.
enum CreateFolderResult {
    kFolderCreated = 0,            // created, or there already
    kFolderNotCreated = 1,         // the folder itself could not be made
    kFolderPathInvalid = 30,       // not a folder path (trailing slash), or empty
    kFolderParentNotCreated = 234, // a folder above it could not be made
};

// Length of the file at path; 0 when it is missing, a folder, or 4 GB or more.
uint32_t GetFileLength(const CWideString& path);
// Creates the folder path (trailing slash) with its missing parents; a CreateFolderResult.
// A failure leaves the parents it made.
uint32_t CreateFolderPath(const CWideString& path);
// Adds the set attributes, and for a file the three times, to info: 0, or 1 when the entry
// cannot be read (info unchanged).
uint32_t ReadFileInfo(const CWideString& path, CVariantContainer& info);
// The same from a stamp already read (a directory search's, for instance): the attributes, and
// the times when the stamp is a file's. Adds exactly what ReadFileInfo adds for that entry.
void AddStampToInfo(const CEntryStamp& stamp, CVariantContainer& info);
// Restores times (files) and attributes from info (null: none): 0 on success, 1 when any of
// them could not be set (the attributes are set even when a time was not).
uint32_t ApplyFileInfo(const CWideString& path, const CVariantContainer* info);
// Restores the times and attributes of info (null: none) to the file open as handle (write
// access), in one call; true on success. Nothing is opened by path.
bool ApplyFileInfoToHandle(HANDLE handle, const CVariantContainer* info);
// The same for a folder path (trailing slash); 1 when the folder does not exist.
uint32_t ReadFolderInfo(const CWideString& path, CVariantContainer& info);
uint32_t ApplyFolderInfo(const CWideString& path, const CVariantContainer* info);

} // namespace Corvinex
