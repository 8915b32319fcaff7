#include "config/file_object.h"

#include "base/file_handle.h"
#include "base/file_system.h"
#include "base/paths.h"
#include "base/relative_path.h"
#include "config/variant_stream.h"

#include <windows.h>

#include <cstdlib>
#include <new>

namespace Corvinex {

namespace {

bool LastIsSlash(CWideString& text) {
    int32_t n = text.GetLength();
    return n > 0 && text.c_str()[n - 1] == L'/';
}

void SetTime(CVariantContainer& info, uint16_t id, const FILETIME& time) {
    CVariant value;
    value.SetBinary(&time, sizeof time);
    info.SetValue(id, value, true);
}

// The FILETIME of an 8-byte vtBinary element, or null.
const FILETIME* GetTime(const CVariantContainer& info, uint16_t id, CVariant& holder) {
    holder = info.GetValue(id);
    if (holder.GetType() != vtBinary || holder.GetSize() != 8 || holder.GetBlock() == nullptr) {
        return nullptr;
    }
    return static_cast<const FILETIME*>(holder.GetBlock());
}

bool HasFlag(const CVariantContainer& info, uint16_t id) {
    CVariant value = info.GetValue(id);
    return value.GetType() == vtByte && value.GetByte() == 1;
}

} // namespace

// --- Free functions ---------------------------------------------------------------------------

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
        return 30;
    }
    // Made first and asked after: under Wine, a question about a missing folder walks every
    // folder above it.
    if (MakeFolder(folder) || FolderExists(folder) != 0) {
        return 0;
    }
    // Walk up to the nearest folder that exists, then create downwards. A loop, not recursion:
    // a loaded stream may name a folder thousands of levels deep.
    TArray<CWideString> missing;
    CWideString current = folder;
    for (;;) {
        CWideString parent = GetFolderOfPath(StripTrailingSlash(current));
        if (parent.GetLength() == 0 || parent.Compare(current.c_str()) == 0 ||
            IsFolderPath(parent) == 0) {
            return 234;
        }
        if (FolderExists(parent) != 0) {
            break;
        }
        missing.Add(parent);
        current = parent;
    }
    for (int32_t i = missing.GetCount() - 1; i >= 0; --i) {
        if (!MakeFolder(missing.ElementAt(i)) && !IsExistingFolder(missing.ElementAt(i))) {
            return 234;
        }
    }
    return MakeFolder(folder) ? 0 : 1;
}

uint32_t ReadFileInfo(const CWideString& path, CVariantContainer& info) {
    DWORD attributes = GetEntryAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return 1;
    }
    if (attributes & FILE_ATTRIBUTE_ARCHIVE) {
        info.SetByte(kInfoArchive, 1, true);
    }
    if (attributes & FILE_ATTRIBUTE_SYSTEM) {
        info.SetByte(kInfoSystem, 1, true);
    }
    if (attributes & FILE_ATTRIBUTE_HIDDEN) {
        info.SetByte(kInfoHidden, 1, true);
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        info.SetByte(kInfoReadOnly, 1, true);
    }
    if (!IsExistingFile(path)) {
        return 0;
    }
    // Times through the wide API, so long paths and names outside the ANSI code page keep them.
    CEntryStamp stamp;
    if (ReadEntryStamp(path, stamp)) {
        SetTime(info, kInfoCreationTime, stamp.creation);
        SetTime(info, kInfoLastAccessTime, stamp.lastAccess);
        SetTime(info, kInfoLastWriteTime, stamp.lastWrite);
    }
    return 0;
}

uint32_t ApplyFileInfo(const CWideString& path, const CVariantContainer* info) {
    CVariantContainer record;
    if (info != nullptr) {
        record.Assign(*info);
    }
    // Cleared first so a read-only file accepts its times.
    SetEntryAttributes(path, 0);
    uint32_t result = 0;
    if (IsExistingFile(path)) {
        CVariant c, a, w;
        const FILETIME* creation = GetTime(record, kInfoCreationTime, c);
        const FILETIME* lastAccess = GetTime(record, kInfoLastAccessTime, a);
        const FILETIME* lastWrite = GetTime(record, kInfoLastWriteTime, w);
        if (!WriteEntryTimes(path, creation, lastAccess, lastWrite)) {
            // The attributes are still restored below, so a failed time does not leave the
            // file with all its attributes cleared.
            result = 1;
        }
    }
    DWORD attributes = 0;
    if (HasFlag(record, kInfoReadOnly)) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (HasFlag(record, kInfoHidden)) {
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    if (HasFlag(record, kInfoArchive)) {
        attributes |= FILE_ATTRIBUTE_ARCHIVE;
    }
    if (HasFlag(record, kInfoSystem)) {
        attributes |= FILE_ATTRIBUTE_SYSTEM;
    }
    if (!SetEntryAttributes(path, attributes)) {
        result = 1;
    }
    return result;
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

// --- CFileObject ------------------------------------------------------------------------------

CFileObject::CFileObject() : strRoot(L"") {}

CFileObject::~CFileObject() {
    strRoot.Empty();
}

void CFileObject::Destroy() {
    // Slot 4 of the slot layout, which has no virtual destructor: this class's own, qualified.
    this->CFileObject::~CFileObject();
    ::operator delete(this);
}

uint32_t CFileObject::SetRoot(const CWideString& path) {
    if (FolderExists(path) != 0) {
        strRoot = path;
        return 0;
    }
    strRoot = L"";
    return kFileErrorNoRoot;
}

CWideString CFileObject::GetPath() {
    CWideString joined = strRoot + GetText(kFileObjectFolder, L"") + GetText(kFileObjectName, L"");
    return ToForwardSlashes(joined);
}

uint32_t CFileObject::GetContentSize() {
    return GetFileLength(ToForwardSlashes(GetPath()));
}

bool CFileObject::ReadInfo(CVariantContainer& info) {
    uint8_t kind = GetByte(kFileObjectKind, 0);
    CWideString path = GetPath();
    if (kind == kFileObjectFile) {
        if (IsExistingFile(path)) {
            ReadFileInfo(path, info);
        }
        return true;
    }
    if (kind == kFileObjectFolderKind) {
        ReadFolderInfo(path, info);
        return true;
    }
    return false;
}

void CFileObject::RefreshInfo() {
    CVariantContainer info;
    if (ReadInfo(info)) {
        SetValue(kFileObjectInfo, info, true);
    }
}

bool CFileObject::GetRestorePath(CWideString& relative) {
    // Folder and name are joined unchanged, exactly as GetPath joins them, so whatever a
    // storing pass wrote is judged by the path it really names.
    relative = ToForwardSlashes(GetText(kFileObjectFolder, L"") + GetText(kFileObjectName, L""));
    bool folderKind = GetByte(kFileObjectKind, 0) == kFileObjectFolderKind;
    if (folderKind && relative.GetLength() > 0 && !LastIsSlash(relative)) {
        relative.Append(L'/'); // a folder named without its slash: its safe form
    }
    if (!folderKind && LastIsSlash(relative)) {
        return false; // a file needs a name
    }
    if (!IsSafeRelativePath(relative)) {
        return false;
    }
    uint32_t depth = 0;
    const wchar_t* p = relative.c_str();
    for (int32_t i = 0; i < relative.GetLength(); ++i) {
        depth += p[i] == L'/' ? 1 : 0;
    }
    return depth + (folderKind ? 0 : 1) <= kMaxRestoreDepth;
}

bool CFileObject::HasNoLinkOnTheWay(CDataContainer& container, const CWideString& relative) {
    // Every existing folder from the root down to the entry, and the entry itself, must be a
    // plain one: a link (reparse point) would lead the write outside the root. Folders this
    // pass already checked are not checked again, so a chain costs one check per level.
    CLoadPassState* pass = CurrentLoadPass(container);
    CWideString full = strRoot + relative;
    const wchar_t* path = full.c_str();
    int32_t length = full.GetLength();
    int32_t from = strRoot.GetLength();
    if (pass != nullptr && pass->strSafeFolder.GetLength() > from) {
        const wchar_t* safe = pass->strSafeFolder.c_str();
        int32_t common = 0;
        int32_t limit =
            pass->strSafeFolder.GetLength() < length ? pass->strSafeFolder.GetLength() : length;
        while (common < limit && safe[common] == path[common]) {
            ++common;
        }
        while (common > from && path[common - 1] != L'/') {
            --common; // back to the folder both share
        }
        from = common;
    }
    for (int32_t end = from; end < length;) {
        int32_t next = end;
        while (next < length && path[next] != L'/') {
            ++next;
        }
        CWideString step = full.Left(next);
        DWORD attributes = GetEntryAttributes(step);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            break; // nothing below a missing entry exists yet
        }
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            return false;
        }
        if (next < length && pass != nullptr) {
            pass->strSafeFolder = full.Left(next + 1);
        }
        end = next + 1;
    }
    return true;
}

int32_t CFileObject::GetStoredSize(CDataContainer& container) {
    const CDataTarget* target = container.GetTarget();
    if (target == nullptr || target->pRoot == nullptr || SetRoot(CWideString(target->pRoot)) != 0) {
        return 0;
    }
    CDataContainer measure;
    measure.SetMode(kModeStoring);
    CVariant::Serialize(measure);
    int32_t total = measure.GetTotal();
    // The store refreshes the information record before it writes the value part: the size is
    // that of the record the store will write, measured without touching this object.
    CVariantContainer info;
    if (ReadInfo(info)) {
        int32_t at = IndexOfId(kFileObjectInfo);
        if (at >= 0) {
            CDataContainer old;
            old.SetMode(kModeStoring);
            GetList()->ElementAt(at).Serialize(old);
            total -= old.GetTotal();
        }
        info.SetId(kFileObjectInfo);
        CDataContainer fresh;
        fresh.SetMode(kModeStoring);
        info.CVariant::Serialize(fresh);
        total += fresh.GetTotal();
    }
    if (GetByte(kFileObjectKind, 0) == kFileObjectFile) {
        total += 4 + static_cast<int32_t>(GetContentSize());
    }
    return total;
}

int32_t CFileObject::Serialize(CDataContainer& container) {
    if (container.GetMode() != kModeLoading) {
        return SerializeEntry(container);
    }
    {
        // A pass of its own when the object is loaded by itself: refusals it defers are
        // recorded when it ends.
        CLoadPass pass(container);
        SerializeEntry(container);
    }
    return static_cast<int32_t>(container.GetError());
}

int32_t CFileObject::SerializeEntry(CDataContainer& container) {
    const CDataTarget* target = container.GetTarget();
    if (target == nullptr || target->pRoot == nullptr) {
        return static_cast<int32_t>(container.RecordError(kFileErrorNoTarget));
    }
    if (SetRoot(CWideString(target->pRoot)) != 0) {
        return static_cast<int32_t>(container.RecordError(kFileErrorNoRoot));
    }
    bool storing = container.GetMode() == kModeStoring;
    bool loading = container.GetMode() == kModeLoading;
    if (storing) {
        // Files and folders alike carry their information record from the start.
        RefreshInfo();
    }
    CVariant::Serialize(container);
    if (container.GetError() != 0) {
        return static_cast<int32_t>(container.GetError());
    }
    if (loading) {
        // What a stream makes of this object decides where bytes go: it must be a list whose
        // entry stays below the root.
        if (GetType() != vtList) {
            return static_cast<int32_t>(container.RecordError(kDataErrorMalformed));
        }
        uint8_t kind = GetByte(kFileObjectKind, 0);
        if (kind == kFileObjectFile || kind == kFileObjectFolderKind) {
            CWideString relative;
            if (!GetRestorePath(relative) || !HasNoLinkOnTheWay(container, relative)) {
                // Refused, and read past: the entries after it are still restored, and the
                // pass answers 72 at its end.
                DeferLoadError(container, kDataErrorUnsafePath);
                if (kind == kFileObjectFile && target->nCatalogue == 1) {
                    uint32_t size = 0;
                    container.Read(&size, 4); // a catalogue carries only the size
                } else if (kind == kFileObjectFile) {
                    SkipContent(container);
                }
                return static_cast<int32_t>(container.GetError());
            }
            strRestorePath = strRoot + relative;
        }
    }
    uint8_t kind = GetByte(kFileObjectKind, 0);
    if (target->nCatalogue == 1) {
        if (kind == kFileObjectFile) {
            uint32_t size = 0;
            if (storing) {
                size = GetContentSize();
                container.Write(&size, 4);
                container.AddCount(size);
            } else if (loading) {
                // The size is in the stream; it is read so the next record is read in step.
                container.Read(&size, 4);
            }
        }
        return static_cast<int32_t>(container.GetError());
    }
    uint32_t result = 0;
    if (kind == kFileObjectFile) {
        result = TransferContent(container);
        if (loading && result == kFileErrorOpen && container.GetError() == 0) {
            // The file could not be written, but its content was read past: the entries after
            // it are still restored.
            DeferLoadError(container, result);
            result = 0;
        } else if (loading && result == 0) {
            CVariantContainer info = GetList(kFileObjectInfo);
            if (IsExistingFile(strRestorePath)) {
                ApplyFileInfo(strRestorePath, &info);
            }
        }
    } else if (kind == kFileObjectFolderKind) {
        if (loading) {
            if (CreateFolderPath(strRestorePath) == 0) {
                CLoadPassState* pass = CurrentLoadPass(container);
                if (pass != nullptr) {
                    pass->strSafeFolder = strRestorePath; // made or checked by this pass
                }
            }
            CVariantContainer info = GetList(kFileObjectInfo);
            ApplyFolderInfo(strRestorePath, &info);
        }
        result = container.GetError();
    }
    if (result != 0) {
        container.RecordError(result);
    }
    return static_cast<int32_t>(container.GetError());
}

uint32_t CFileObject::TransferContent(CDataContainer& container) {
    uint8_t* buffer = static_cast<uint8_t*>(malloc(kFileTransferChunk));
    if (buffer == nullptr) {
        return kFileErrorNoMemory;
    }
    uint32_t result = 0;
    if (container.GetMode() == kModeStoring) {
        result = StoreContent(container, buffer);
    } else if (container.GetMode() == kModeLoading) {
        result = LoadContent(container, buffer);
    }
    free(buffer);
    return result != 0 ? result : container.GetError();
}

uint32_t CFileObject::StoreContent(CDataContainer& container, uint8_t* buffer) {
    CWideString path = GetPath();
    if (container.IsMeasuring()) {
        // A measuring pass moves no bytes: counting the content gives the same total without
        // reading the file.
        if (!IsExistingFile(path)) {
            return kFileErrorOpen;
        }
        uint32_t size = GetContentSize();
        container.Write(&size, 4);
        container.AddCount(size);
        return 0;
    }
    CFileHandle file;
    if (!file.Open(ToSystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN)) {
        return kFileErrorOpen;
    }
    uint32_t size = GetContentSize();
    container.Write(&size, 4);
    // Exactly the announced bytes go out: a file that grows or shrinks meanwhile would put the
    // stream out of step, and is reported instead.
    uint32_t sent = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer, kFileTransferChunk, &got, nullptr)) {
            return kFileErrorOpen;
        }
        if (got > size - sent) {
            return kFileErrorOpen;
        }
        // The last read of a file whose size is a multiple of the chunk gives nothing; that
        // empty write is refused by the container (30, not recorded).
        container.Write(buffer, got);
        if (container.GetError() != 0) {
            return container.GetError();
        }
        sent += got;
        if (got < kFileTransferChunk) {
            break;
        }
    }
    return sent == size ? 0 : kFileErrorOpen;
}

uint32_t CFileObject::ReadContentSize(CDataContainer& container, uint32_t& size) {
    size = 0;
    if (container.Read(&size, 4) != 0) {
        return container.GetError() != 0 ? container.GetError() : kDataErrorEndOfData;
    }
    if (size > LoadBudget(container)) {
        return container.RecordError(kDataErrorMalformed);
    }
    return 0;
}

void CFileObject::SkipContent(CDataContainer& container) {
    uint32_t size = 0;
    if (ReadContentSize(container, size) == 0 && size > 0) {
        container.Skip(size);
    }
}

uint32_t CFileObject::LoadContent(CDataContainer& container, uint8_t* buffer) {
    uint32_t size = 0;
    uint32_t error = ReadContentSize(container, size);
    if (error != 0) {
        return error;
    }
    // The content goes to a new file beside the target, which replaces the target only when
    // every byte has arrived; a broken stream leaves an existing file as it was. When the file
    // cannot be written, the rest of the content is read past so the stream stays in step.
    CWideString path = strRestorePath;
    HANDLE raw = INVALID_HANDLE_VALUE;
    CWideString temp;
    if (!CreateTempFileBeside(path, raw, temp)) {
        if (size > 0) {
            container.Skip(size);
        }
        return kFileErrorOpen;
    }
    uint32_t result = 0;
    {
        CFileHandle file(raw);
        uint32_t received = 0;
        while (received < size && container.GetError() == 0) {
            uint32_t chunk = size - received;
            if (chunk > kFileTransferChunk) {
                chunk = kFileTransferChunk;
            }
            if (container.Read(buffer, chunk) != 0) {
                break;
            }
            received += chunk;
            DWORD written = 0;
            if (!WriteFile(file.Get(), buffer, chunk, &written, nullptr) || written != chunk) {
                result = kFileErrorOpen;
                break;
            }
        }
        if (result == kFileErrorOpen && received < size) {
            container.Skip(size - received);
        }
        if (result == 0 && container.GetError() == 0 && received == size && !file.Close()) {
            result = kFileErrorOpen;
        }
        if (result == 0 && (container.GetError() != 0 || received != size)) {
            result = container.GetError() != 0 ? container.GetError() : kDataErrorEndOfData;
        }
    }
    if (result == 0 && !ReplaceWithFile(temp, path)) {
        result = kFileErrorOpen;
    }
    if (result != 0) {
        RemoveFile(temp);
    }
    return result;
}

// --- Seam of vtFileObject values ----------------------------------------------------------------

CFileObject* NewFileObjectForValue() {
    return new (std::nothrow) CFileObject();
}

void DeleteFileObjectOfValue(CFileObject* object) {
    if (object != nullptr) {
        object->Destroy();
    }
}

CVariant* ValueOfFileObject(CFileObject* object) {
    return object;
}

} // namespace Corvinex
