#include "config/file_info.h"

#include "base/array.h"
#include "base/paths.h"

namespace Corvinex {

namespace {

void SetTime(CVariantContainer& info, uint16_t id, const FILETIME& time) {
    CVariant value;
    value.SetBinary(&time, sizeof time);
    info.SetValue(id, value, true);
}

// The FILETIME of an 8-byte vtBinary element, or null. Read in place: valid while info is.
const FILETIME* GetTime(const CVariantContainer& info, uint16_t id) {
    const CVariant* value = info.FindValue(id);
    if (value == nullptr || value->GetType() != vtBinary || value->GetSize() != 8 ||
        value->GetBlock() == nullptr) {
        return nullptr;
    }
    return static_cast<const FILETIME*>(value->GetBlock());
}

bool HasFlag(const CVariantContainer& info, uint16_t id) {
    const CVariant* value = info.FindValue(id);
    return value != nullptr && value->GetType() == vtByte && value->GetByte() == 1;
}

// The attributes the flags of info name.
DWORD ComposeAttributes(const CVariantContainer& info) {
    DWORD attributes = 0;
    if (HasFlag(info, kInfoReadOnly)) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (HasFlag(info, kInfoHidden)) {
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    if (HasFlag(info, kInfoArchive)) {
        attributes |= FILE_ATTRIBUTE_ARCHIVE;
    }
    if (HasFlag(info, kInfoSystem)) {
        attributes |= FILE_ATTRIBUTE_SYSTEM;
    }
    return attributes;
}

} // namespace

uint32_t GetFileLength(const CWideString& path) {
    uint64_t size = 0;
    if (!GetEntrySize(path, size) || size > 0xFFFFFFFFu) {
        return 0;
    }
    return static_cast<uint32_t>(size);
}

uint32_t CreateFolderPath(const CWideString& path) {
    CWideString folder(path);
    if (folder.GetLength() == 0 || IsFolderPath(folder) == 0) {
        return kFolderPathInvalid;
    }
    // Made first and asked after: under Wine, a question about a missing folder walks every
    // folder above it.
    if (MakeFolder(folder) || FolderExists(folder) != 0) {
        return kFolderCreated;
    }
    // Walk up to the nearest folder that exists, then create downwards. A loop, not recursion:
    // a loaded stream may name a folder thousands of levels deep.
    TArray<CWideString> missing;
    CWideString current = folder;
    for (;;) {
        CWideString parent = GetFolderOfPath(StripTrailingSlash(current));
        if (parent.GetLength() == 0 || parent.Compare(current.c_str()) == 0 ||
            IsFolderPath(parent) == 0) {
            return kFolderParentNotCreated;
        }
        if (FolderExists(parent) != 0) {
            break;
        }
        missing.Add(parent);
        current = parent;
    }
    for (int32_t i = missing.GetCount() - 1; i >= 0; --i) {
        if (!MakeFolder(missing.ElementAt(i)) && !IsExistingFolder(missing.ElementAt(i))) {
            return kFolderParentNotCreated;
        }
    }
    return MakeFolder(folder) ? kFolderCreated : kFolderNotCreated;
}

void AddStampToInfo(const CEntryStamp& stamp, CVariantContainer& info) {
    // This order of the flags is the order of their elements in a stored record.
    if (stamp.nAttributes & FILE_ATTRIBUTE_ARCHIVE) {
        info.SetByte(kInfoArchive, 1, true);
    }
    if (stamp.nAttributes & FILE_ATTRIBUTE_SYSTEM) {
        info.SetByte(kInfoSystem, 1, true);
    }
    if (stamp.nAttributes & FILE_ATTRIBUTE_HIDDEN) {
        info.SetByte(kInfoHidden, 1, true);
    }
    if (stamp.nAttributes & FILE_ATTRIBUTE_READONLY) {
        info.SetByte(kInfoReadOnly, 1, true);
    }
    if ((stamp.nAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetTime(info, kInfoCreationTime, stamp.creation);
        SetTime(info, kInfoLastAccessTime, stamp.lastAccess);
        SetTime(info, kInfoLastWriteTime, stamp.lastWrite);
    }
}

uint32_t ReadFileInfo(const CWideString& path, CVariantContainer& info) {
    // Attributes and times in one wide call, so long paths and names outside the ANSI code page
    // keep them.
    CEntryStamp stamp;
    if (!ReadEntryStamp(path, stamp)) {
        return 1;
    }
    AddStampToInfo(stamp, info);
    return 0;
}

uint32_t ApplyFileInfo(const CWideString& path, const CVariantContainer* info) {
    CVariantContainer none;
    const CVariantContainer& record = info != nullptr ? *info : none;
    // Cleared first so a read-only file accepts its times.
    SetEntryAttributes(path, 0);
    uint32_t result = 0;
    if (IsExistingFile(path)) {
        if (!WriteEntryTimes(path, GetTime(record, kInfoCreationTime),
                             GetTime(record, kInfoLastAccessTime),
                             GetTime(record, kInfoLastWriteTime))) {
            // The attributes are still restored below, so a failed time does not leave the
            // file with all its attributes cleared.
            result = 1;
        }
    }
    if (!SetEntryAttributes(path, ComposeAttributes(record))) {
        result = 1;
    }
    return result;
}

bool ApplyFileInfoToHandle(HANDLE handle, const CVariantContainer* info) {
    CVariantContainer none;
    const CVariantContainer& record = info != nullptr ? *info : none;
    return WriteHandleStamp(handle, GetTime(record, kInfoCreationTime),
                            GetTime(record, kInfoLastAccessTime),
                            GetTime(record, kInfoLastWriteTime), ComposeAttributes(record));
}

uint32_t ReadFolderInfo(const CWideString& path, CVariantContainer& info) {
    if (FolderExists(path) == 0) {
        return 1;
    }
    return ReadFileInfo(StripTrailingSlash(path), info);
}

uint32_t ApplyFolderInfo(const CWideString& path, const CVariantContainer* info) {
    if (FolderExists(path) == 0) {
        return 1;
    }
    return ApplyFileInfo(StripTrailingSlash(path), info);
}

} // namespace Corvinex
