// CFileObject: one file or folder of a folder tree, as a value that carries the file's bytes
// through a data container.
//
// Elements: 100 kind (vtByte 0 file, 1 folder), 200 name, 201 folder relative to the root, 300
// information record (attributes 1 system, 2 read-only, 3 archive, 4 hidden as vtByte 1; times
// 110 creation, 111 last access, 112 last write as 8-byte vtBinary, files only). The root comes
// from the container's target at every pass. Loading writes only below that root: entries whose
// joined path would leave it, name a device, lie deeper than kMaxRestoreDepth or pass through a
// link are refused (72) and read past: the entries after them are still restored and the pass
// answers 72 at its end. A file is replaced only once its whole content has arrived.
#pragma once

#include "base/data_container.h"
#include "base/file_handle.h"
#include "base/file_system.h"
#include "config/file_info.h"
#include "config/variant_container.h"

#include <stdint.h>

namespace Corvinex {

// Element ids of a file object (those of its information record: config/file_info.h).
const uint16_t kFileObjectKind = 100;
const uint16_t kFileObjectName = 200;
const uint16_t kFileObjectFolder = 201;
const uint16_t kFileObjectInfo = 300;

// Kinds.
const uint8_t kFileObjectFile = 0;
const uint8_t kFileObjectFolderKind = 1;

// Result codes of file objects, recorded in the container.
const uint32_t kFileErrorNoTarget = 1;
const uint32_t kFileErrorNoMemory = 101;
const uint32_t kFileErrorOpen = 204;
const uint32_t kFileErrorNoRoot = 221;

// Deepest entry (in path components below the root) that loading restores; deeper entries are
// refused with 72. Under Wine, creating a folder costs a lookup of every folder above it for
// each of them (a chain of n folders takes time growing with n cubed: 1024 levels took 7
// minutes), so the bound keeps the worst stream to seconds.
const uint32_t kMaxRestoreDepth = 128;

// Size of the chunks a file's content moves in through the container.
const uint32_t kFileTransferChunk = 100000;
// Largest read or write on the file itself: ten chunks, so a large file costs few system calls
// (a small file gets a buffer of its own size in whole chunks).
const uint32_t kFileTransferBuffer = 10 * kFileTransferChunk;

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
    // Hands over the stamp of the entry at path (forward slashes) as a directory search found
    // it, so the next store takes the information record and the size from it instead of asking
    // the system for each. Used only while GetPath() names path; the store that writes the
    // entry out (not a measuring one) drops it, and so does a load; a copy of the value does not
    // carry it. A file that changed size since is reported by that store (204), not written out
    // of step.
    void SetFoundStamp(const CWideString& path, const CEntryStamp& stamp);

private:
    int32_t SerializeEntry(CDataContainer& container);
    // SetRoot for a store, and for the size queries before it: a root this object already found
    // during the store, or one on the way to the handed-over stamp's entry, is not looked up.
    uint32_t TakeStoreRoot(const CWideString& path);
    // SetRoot for a load: a root under which this load pass already found a folder is not
    // looked up again.
    uint32_t TakeLoadRoot(CDataContainer& container, const CWideString& path);
    // True when the handed-over stamp is the one of the entry at path.
    bool IsFoundEntry(const CWideString& path);
    // The stamp of the entry at path: the one handed over when it is for path, else read from
    // the system; false when there is no such entry.
    bool GetStamp(const CWideString& path, CEntryStamp& stamp);
    // Reads the entry's information record from disk into info; false for an unknown kind,
    // which carries none.
    bool ReadInfo(CVariantContainer& info);
    // Reads the entry's information record from disk into element 300 (storing only).
    void RefreshInfo();
    // The entry's path below the root as loading restores it (a folder named without its
    // trailing slash gets one); false when it would leave the root, name a device, a file has
    // no name, or it lies deeper than kMaxRestoreDepth.
    bool GetRestorePath(CWideString& relative);
    // False when an existing entry on the way from the root to root + relative (the entry
    // included) is a link or junction.
    bool HasNoLinkOnTheWay(CDataContainer& container, const CWideString& relative);
    uint32_t TransferContent(CDataContainer& container);
    uint32_t StoreContent(CDataContainer& container);
    uint32_t LoadContent(CDataContainer& container);
    // Puts the complete temporary file (open as file) in the entry's place with its times and
    // attributes: 0, or 204 (the temporary file is then removed, an existing entry unchanged).
    uint32_t PlaceContent(CFileHandle& file, const CWideString& temp);
    // Reads a file entry's content size, bounded by what the stream can hold: 0, or the error.
    uint32_t ReadContentSize(CDataContainer& container, uint32_t& size);
    // Reads past a refused file entry's content.
    void SkipContent(CDataContainer& container);

    CWideString strRoot;
    // Where a loading pass restores the entry (root, checked relative path).
    CWideString strRestorePath;
    // Whether strRoot was found during the store in progress.
    bool bStoreRootFound;
    // The entry the handed-over stamp belongs to (empty: none), and the stamp.
    CWideString strFoundPath;
    CEntryStamp found;
};

} // namespace Corvinex
