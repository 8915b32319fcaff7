// CFileObject: one file or folder of a folder tree, as a value that carries the file's bytes
// through a data container.
//
// Elements: 100 kind (vtByte 0 file, 1 folder), 200 name, 201 folder relative to the root, 300
// information record (attributes 1 system, 2 read-only, 3 archive, 4 hidden as vtByte 1; times
// 110 creation, 111 last access, 112 last write as 8-byte vtBinary, files only). The root comes
// from the container's target at every pass. Loading writes only below that root: entries whose
// name or folder would leave it, name a device or hide a separator are refused (error 72), and a
// file is replaced only once its whole content has arrived.
#pragma once

#include "base/data_container.h"
#include "config/variant_container.h"

#include <cstdint>

namespace Corvinex {

// Element ids of a file object and of its information record.
const uint16_t kFileObjectKind = 100;
const uint16_t kFileObjectName = 200;
const uint16_t kFileObjectFolder = 201;
const uint16_t kFileObjectInfo = 300;
const uint16_t kInfoSystem = 1;
const uint16_t kInfoReadOnly = 2;
const uint16_t kInfoArchive = 3;
const uint16_t kInfoHidden = 4;
const uint16_t kInfoCreationTime = 110;
const uint16_t kInfoLastAccessTime = 111;
const uint16_t kInfoLastWriteTime = 112;

// Kinds.
const uint8_t kFileObjectFile = 0;
const uint8_t kFileObjectFolderKind = 1;

// Result codes of file objects, recorded in the container.
const uint32_t kFileErrorNoTarget = 1;
const uint32_t kFileErrorNoMemory = 101;
const uint32_t kFileErrorOpen = 204;
const uint32_t kFileErrorNoRoot = 221;

// Size of the chunks a file's content moves in.
const uint32_t kFileTransferChunk = 100000;

class CFileObject : public CVariantContainer {
public:
    // An empty list and an empty root.
    CFileObject();
    // Empties the root, then the container's destruction runs.
    ~CFileObject();
    CFileObject(const CFileObject&) = delete;
    CFileObject& operator=(const CFileObject&) = delete;

    // Slot 2: stores the entry (value part, then for a file its size and content) or loads it
    // (re-creating the folder or writing the file below the target's root, then restoring
    // attributes and times). Answers the container's error, which records 1, 101, 204, 221,
    // 71 or 72 as well as the container's own codes.
    int32_t Serialize(CDataContainer& container) override;
    // Slot 4.
    void Destroy() override;

    // Takes path as root when it is an existing folder (with trailing slash): 0; else the root
    // becomes empty and the answer is 221.
    uint32_t SetRoot(const CWideString& path);
    const CWideString& GetRoot() const { return strRoot; }
    // Root, relative folder and name joined as they are, in forward-slash form.
    CWideString GetPath();
    // Length of the entry's file; 0 for a folder, a missing file or a file of 4 GB or more.
    uint32_t GetContentSize();
    // Bytes the entry takes in a stream with this container's target (content counted even
    // when a catalogue pass does not move it); 0 without target or root.
    int32_t GetStoredSize(CDataContainer& container);

private:
    // Reads the entry's information record from disk into element 300 (storing only).
    void RefreshInfo();
    // True when the name and relative folder keep the entry strictly below the root.
    bool HasSafePath();
    uint32_t TransferContent(CDataContainer& container);
    uint32_t StoreContent(CDataContainer& container, uint8_t* buffer);
    uint32_t LoadContent(CDataContainer& container, uint8_t* buffer);

    CWideString strRoot;
};

// Length of the file at path; 0 when it is missing, a folder, or 4 GB or more.
uint32_t GetFileLength(const CWideString& path);
// Creates the folder path (trailing slash) with its missing parents: 0 created or there, 1 the
// folder itself could not be made, 30 not a folder path, 234 a parent could not be made.
uint32_t CreateFolderPath(const CWideString& path);
// Adds the set attributes, and for a file the three times, to info: 0, or 1 when the entry
// cannot be read.
uint32_t ReadFileInfo(const CWideString& path, CVariantContainer& info);
// Restores times (files) and attributes from info (null: none): 0 on success, 1 when any of
// them could not be set.
uint32_t ApplyFileInfo(const CWideString& path, const CVariantContainer* info);
// The same for a folder path (trailing slash); 1 when the folder does not exist.
uint32_t ReadFolderInfo(const CWideString& path, CVariantContainer& info);
uint32_t ApplyFolderInfo(const CWideString& path, const CVariantContainer* info);

} // namespace Corvinex
