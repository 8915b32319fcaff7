#include "config/file_object.h"

#include "base/file_handle.h"
#include "base/file_system.h"
#include "base/paths.h"
#include "base/relative_path.h"
#include "config/variant_stream.h"

#include <windows.h>

#include <stdlib.h>
#include <wchar.h>
#include "base/language_support.h"

namespace Corvinex {

namespace {

bool LastIsSlash(const CWideString& text) {
    int32_t n = text.GetLength();
    return n > 0 && text.c_str()[n - 1] == L'/';
}

// True when text begins with a non-empty prefix.
bool StartsWith(const CWideString& text, const CWideString& prefix) {
    size_t n = wcslen(prefix.c_str());
    return n > 0 && wcsncmp(text.c_str(), prefix.c_str(), n) == 0;
}

// The process-heap buffer of one transfer: room for size bytes in whole chunks, at least one
// chunk and at most kFileTransferBuffer bytes, so a small file takes a small buffer. Null when
// not even one chunk can be had.
class CTransferBuffer {
public:
    explicit CTransferBuffer(uint64_t size) : m_pData(nullptr), m_nCapacity(0) {
        uint64_t chunks = (size + kFileTransferChunk - 1) / kFileTransferChunk;
        uint64_t most = kFileTransferBuffer / kFileTransferChunk;
        chunks = chunks < 1 ? 1 : (chunks > most ? most : chunks);
        m_nCapacity = static_cast<uint32_t>(chunks) * kFileTransferChunk;
        m_pData = static_cast<uint8_t*>(malloc(m_nCapacity));
        if (m_pData == nullptr && m_nCapacity > kFileTransferChunk) {
            m_nCapacity = kFileTransferChunk; // one chunk is enough, only slower
            m_pData = static_cast<uint8_t*>(malloc(m_nCapacity));
        }
    }
    ~CTransferBuffer() { free(m_pData); }
    CTransferBuffer(const CTransferBuffer&) = delete;
    CTransferBuffer& operator=(const CTransferBuffer&) = delete;
    uint8_t* Get() const { return m_pData; }
    uint32_t Capacity() const { return m_nCapacity; }

private:
    uint8_t* m_pData;
    uint32_t m_nCapacity;
};

bool IsFolderStamp(const CEntryStamp& stamp) {
    return (stamp.nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

// --- CFileObject ------------------------------------------------------------------------------

CFileObject::CFileObject() : strRoot(L""), bStoreRootFound(false), found() {}

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

uint32_t CFileObject::TakeStoreRoot(const CWideString& path) {
    if (bStoreRootFound && strRoot.Compare(path.c_str()) == 0) {
        return 0;
    }
    // A folder on the way to the entry a directory search found is there as much as the entry.
    if (strFoundPath.GetLength() > 0 && IsFolderPath(path) != 0 && StartsWith(strFoundPath, path)) {
        strRoot = path;
        bStoreRootFound = true;
        return 0;
    }
    uint32_t result = SetRoot(path);
    bStoreRootFound = result == 0;
    return result;
}

uint32_t CFileObject::TakeLoadRoot(CDataContainer& container, const CWideString& path) {
    // The folders a pass marks safe lie below its root: one of them proves the root is there.
    CLoadPassState* pass = CurrentLoadPass(container);
    if (pass != nullptr && LastIsSlash(path) && StartsWith(pass->strSafeFolder, path)) {
        strRoot = path;
        return 0;
    }
    uint32_t result = SetRoot(path);
    if (result == 0 && pass != nullptr && pass->strSafeFolder.GetLength() == 0) {
        pass->strSafeFolder = path; // the root itself: nothing lies on the way to it
    }
    return result;
}

void CFileObject::SetFoundStamp(const CWideString& path, const CEntryStamp& stamp) {
    strFoundPath = path;
    found = stamp;
}

bool CFileObject::IsFoundEntry(const CWideString& path) {
    return strFoundPath.GetLength() > 0 && strFoundPath.Compare(path.c_str()) == 0;
}

bool CFileObject::GetStamp(const CWideString& path, CEntryStamp& stamp) {
    if (IsFoundEntry(path)) {
        stamp = found;
        return true;
    }
    return ReadEntryStamp(path, stamp);
}

CWideString CFileObject::GetPath() {
    CWideString joined = strRoot + GetText(kFileObjectFolder, L"") + GetText(kFileObjectName, L"");
    return ToForwardSlashes(joined);
}

uint32_t CFileObject::GetContentSize() {
    CWideString path = GetPath();
    if (IsFoundEntry(path)) {
        return IsFolderStamp(found) || found.nSize > 0xFFFFFFFFu
                   ? 0
                   : static_cast<uint32_t>(found.nSize);
    }
    return GetFileLength(ToForwardSlashes(path));
}

bool CFileObject::ReadInfo(CVariantContainer& info) {
    uint8_t kind = GetByte(kFileObjectKind, 0);
    CWideString path = GetPath();
    CEntryStamp stamp;
    if (kind == kFileObjectFile) {
        // A file's record; nothing when the entry is missing or a folder.
        if (GetStamp(path, stamp) && !IsFolderStamp(stamp)) {
            AddStampToInfo(stamp, info);
        }
        return true;
    }
    if (kind == kFileObjectFolderKind) {
        if (IsFoundEntry(path) && IsFolderPath(path) != 0 && IsFolderStamp(found)) {
            AddStampToInfo(found, info);
        } else {
            ReadFolderInfo(path, info);
        }
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
    if (target == nullptr || target->pRoot == nullptr ||
        TakeStoreRoot(CWideString(target->pRoot)) != 0) {
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
        int32_t result = SerializeEntry(container);
        if (!container.IsMeasuring()) {
            // This store wrote the entry out: later ones look at the disk again.
            strFoundPath.Empty();
            bStoreRootFound = false;
        }
        return result;
    }
    strFoundPath.Empty();
    bStoreRootFound = false;
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
    bool storing = container.GetMode() == kModeStoring;
    bool loading = container.GetMode() == kModeLoading;
    CWideString root(target->pRoot);
    if ((loading ? TakeLoadRoot(container, root) : TakeStoreRoot(root)) != 0) {
        return static_cast<int32_t>(container.RecordError(kFileErrorNoRoot));
    }
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
        }
    } else if (kind == kFileObjectFolderKind) {
        if (loading) {
            if (CreateFolderPath(strRestorePath) == kFolderCreated) {
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
    uint32_t result = 0;
    if (container.GetMode() == kModeStoring) {
        result = StoreContent(container);
    } else if (container.GetMode() == kModeLoading) {
        result = LoadContent(container);
    }
    return result != 0 ? result : container.GetError();
}

uint32_t CFileObject::StoreContent(CDataContainer& container) {
    CWideString path = GetPath();
    if (container.IsMeasuring()) {
        // A measuring pass moves no bytes: counting the content gives the same total without
        // reading the file.
        CEntryStamp stamp;
        if (!GetStamp(path, stamp) || IsFolderStamp(stamp)) {
            return kFileErrorOpen;
        }
        uint32_t size = GetContentSize();
        container.Write(&size, 4);
        container.AddCount(size);
        return 0;
    }
    uint32_t size = GetContentSize();
    // One byte more than announced is asked for, so a file that grew shows.
    CTransferBuffer buffer(static_cast<uint64_t>(size) + 1);
    if (buffer.Get() == nullptr) {
        return kFileErrorNoMemory;
    }
    CFileHandle file;
    if (!file.Open(ToSystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN)) {
        return kFileErrorOpen;
    }
    container.Write(&size, 4);
    // Exactly the announced bytes go out: a file that grows or shrinks meanwhile would put the
    // stream out of step, and is reported instead. The file is read in large pieces, which go
    // to the container in chunks.
    // Only what is still to come (and one byte) is asked for: under Wine a read first touches
    // every page of the buffer it is given.
    uint32_t sent = 0;
    for (;;) {
        uint32_t left = size - sent;
        uint32_t want = left < buffer.Capacity() ? left + 1 : buffer.Capacity();
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer.Get(), want, &got, nullptr) || got > left) {
            return kFileErrorOpen;
        }
        for (uint32_t at = 0; at < got; at += kFileTransferChunk) {
            uint32_t chunk = got - at < kFileTransferChunk ? got - at : kFileTransferChunk;
            if (container.Write(buffer.Get() + at, chunk) != 0) {
                return container.GetError();
            }
        }
        sent += got;
        if (got < want) {
            break;
        }
    }
    if (sent % kFileTransferChunk == 0) {
        // The last chunk-sized read of such a file gives nothing; that empty write is refused
        // by the container (30, not recorded).
        container.Write(buffer.Get(), 0);
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

uint32_t CFileObject::LoadContent(CDataContainer& container) {
    uint32_t size = 0;
    uint32_t error = ReadContentSize(container, size);
    if (error != 0) {
        return error;
    }
    CTransferBuffer buffer(size);
    if (buffer.Get() == nullptr) {
        return kFileErrorNoMemory;
    }
    uint32_t capacity = buffer.Capacity();
    // The content goes to a new file beside the target, which replaces the target only when
    // every byte has arrived; a broken stream leaves an existing file as it was. When the file
    // cannot be written, the rest of the content is read past so the stream stays in step.
    HANDLE raw = INVALID_HANDLE_VALUE;
    CWideString temp;
    if (!CreateTempFileBeside(strRestorePath, raw, temp)) {
        if (size > 0) {
            container.Skip(size);
        }
        return kFileErrorOpen;
    }
    CFileHandle file(raw);
    uint32_t result = 0;
    uint32_t received = 0;
    uint32_t filled = 0; // bytes in the buffer not yet written
    while (received < size && container.GetError() == 0) {
        uint32_t chunk =
            size - received < kFileTransferChunk ? size - received : kFileTransferChunk;
        if (container.Read(buffer.Get() + filled, chunk) != 0) {
            break;
        }
        received += chunk;
        filled += chunk;
        if (received == size || capacity - filled < kFileTransferChunk) {
            DWORD written = 0;
            if (!WriteFile(file.Get(), buffer.Get(), filled, &written, nullptr) ||
                written != filled) {
                result = kFileErrorOpen;
                break;
            }
            filled = 0;
        }
    }
    if (result == kFileErrorOpen && received < size) {
        container.Skip(size - received);
    }
    if (result == 0 && (container.GetError() != 0 || received != size)) {
        result = container.GetError() != 0 ? container.GetError() : kDataErrorEndOfData;
    }
    if (result == 0) {
        return PlaceContent(file, temp);
    }
    file.Close();
    RemoveFile(temp);
    return result;
}

uint32_t CFileObject::PlaceContent(CFileHandle& file, const CWideString& temp) {
    CVariantContainer info = GetList(kFileObjectInfo);
    // Renamed into place and stamped through the handle that wrote it: the file is opened once.
    if (RenameOpenFile(file.Get(), strRestorePath)) {
        bool stamped = ApplyFileInfoToHandle(file.Get(), &info);
        if (!file.Close()) {
            return kFileErrorOpen; // in place, but whether every byte reached it is unknown
        }
        if (!stamped) {
            ApplyFileInfo(strRestorePath, &info); // its result is not used
        }
        return 0;
    }
    // Where the system renames no open file (or not over this entry): closed, moved, stamped by
    // path.
    if (!file.Close() || !ReplaceWithFile(temp, strRestorePath)) {
        RemoveFile(temp);
        return kFileErrorOpen;
    }
    ApplyFileInfo(strRestorePath, &info); // its result is not used
    return 0;
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
