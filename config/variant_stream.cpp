// The value stream: how a CVariant stores itself into, and loads itself from, a data container.
//
// Record: type (2 bytes), id (2), size (4), payload; little-endian. Lists and texts carry the
// size of their payload as measured by a base container. Loading treats the stream as data from
// outside: every length, count and size is bounded by what the medium still holds, nesting is
// bounded, and a malformed record stops the pass with error 71 instead of allocating, looping or
// recursing without bound.
#include "config/variant_stream.h"

#include "config/class_registry.h"
#include "config/file_object.h"
#include "config/variant.h"

#include "base/data_container.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

namespace Corvinex {

namespace {

// Deepest nesting of lists (file objects count as lists) that a loaded stream may have.
const int kMaxLoadNesting = 64;
// Smallest record: its eight-byte head.
const uint32_t kRecordHeadSize = 8;
// Bytes gathered before one Write when a list stores a run of numbers.
const uint32_t kRunBufferSize = 4096;
// Texts up to this many bytes are converted to wide text from a buffer on the stack.
const uint32_t kStackTextSize = 256;

// The head of every record, in stream order; on this little-endian target its memory layout
// is the stream's, so a head is read and written in one transfer.
struct CRecordHead {
    uint16_t nType;
    uint16_t nId;
    int32_t nSize;
};
static_assert(sizeof(CRecordHead) == kRecordHeadSize, "a record head is eight bytes");

// Nesting of the loads in progress on this thread.
thread_local int t_nLoadDepth = 0;
// The load pass in progress on this thread (owned by the outermost CLoadPass), or null.
thread_local CLoadPassState* t_pLoadPass = nullptr;

class CLoadDepth {
public:
    CLoadDepth() { ++t_nLoadDepth; }
    ~CLoadDepth() { --t_nLoadDepth; }
    CLoadDepth(const CLoadDepth&) = delete;
    CLoadDepth& operator=(const CLoadDepth&) = delete;
    bool TooDeep() const { return t_nLoadDepth > kMaxLoadNesting; }
};

// Width of the numeric types; 0 for the others.
uint32_t NumericWidth(uint16_t type) {
    switch (type) {
    case vtByte:
        return 1;
    case vtWord:
        return 2;
    case vtLong:
    case vtDword:
        return 4;
    case vtDouble:
        return 8;
    default:
        return 0;
    }
}

void WriteSize(CDataContainer& container, int32_t size) {
    container.Write(&size, 4);
}

// Puts the record of a number of `width` bytes at out (8 + width bytes). Room for 16 bytes is
// needed: all eight data bytes are copied (fixed-size copies compile to a few moves), and those
// past the width are overwritten by the next record or never written out.
void PutNumberRecord(const CVariant& value, uint32_t width, uint8_t* out) {
    CRecordHead head = {value.GetType(), value.GetId(), static_cast<int32_t>(width)};
    memcpy(out, &head, kRecordHeadSize);
    memcpy(out + kRecordHeadSize, value.GetData(), 8);
}

// Copies a number's width bytes to data, with fixed-size copies.
void GetNumberBytes(uint8_t* data, const uint8_t* bytes, uint32_t width) {
    switch (width) {
    case 1:
        data[0] = bytes[0];
        break;
    case 2:
        memcpy(data, bytes, 2);
        break;
    case 4:
        memcpy(data, bytes, 4);
        break;
    default:
        memcpy(data, bytes, 8);
        break;
    }
}

// Bytes of the list payload; a measuring container takes any size field of the right width.
int32_t MeasureList(CVariantList* list, CDataContainer& container) {
    if (container.IsMeasuring()) {
        return 0;
    }
    CDataContainer measure;
    measure.Open(kModeStoring, container.GetTarget());
    SerializeList(list, measure);
    return measure.GetTotal();
}

// The size field and the framed text of n bytes, measured as any text record.
void StoreText(const char* bytes, uint32_t n, CDataContainer& container) {
    CDataContainer measure;
    measure.Open(kModeStoring, container.GetTarget());
    measure.WriteTextBytes(bytes, n);
    WriteSize(container, measure.GetTotal());
    container.WriteTextBytes(bytes, n);
}

void StoreValue(CVariant& value, CDataContainer& container) {
    uint16_t type = value.GetType();
    uint16_t id = value.GetId();
    uint32_t width = NumericWidth(type);
    if (width != 0) {
        uint8_t record[kRecordHeadSize + 8];
        PutNumberRecord(value, width, record);
        container.Write(record, kRecordHeadSize + width);
        return;
    }
    container.Write(&type, 2);
    container.Write(&id, 2);
    switch (type) {
    case vtEmpty:
    case vtPointer:
        WriteSize(container, 0);
        break;
    case vtList:
        WriteSize(container, MeasureList(value.GetList(), container));
        SerializeList(value.GetList(), container);
        break;
    case vtUtf8Text:
    case vtAnsiText: {
        // The text's own bytes go out as they are held: no copy.
        const char* text = value.GetNarrowText() != nullptr ? value.GetNarrowText() : "";
        StoreText(text, static_cast<uint32_t>(strlen(text)), container);
        break;
    }
    case vtWideText: {
        CAnsiString text(value.GetWideText() != nullptr ? value.GetWideText() : L"");
        StoreText(text.c_str(), static_cast<uint32_t>(text.GetLength()), container);
        break;
    }
    case vtObject: {
        IVariantObject* object = value.GetVariantObject();
        WriteSize(container, object != nullptr ? object->GetStreamSize(container) : 0);
        CWideString name;
        if (object != nullptr) {
            object->GetClassName(name);
        }
        container.WriteWideText(name);
        if (object != nullptr) {
            object->Serialize(container);
        }
        break;
    }
    case vtFileObject: {
        CFileObject* object = value.GetFileObject();
        if (object == nullptr) {
            // Only a failed allocation leaves a file-object value without its object.
            container.RecordError(kDataErrorMediumFailed);
            break;
        }
        WriteSize(container, object->GetStoredSize(container));
        object->Serialize(container);
        break;
    }
    default: {
        int32_t size = value.GetSize();
        WriteSize(container, size);
        if (size > 0 && value.GetBlock() != nullptr) {
            container.Write(value.GetBlock(), static_cast<uint32_t>(size));
        }
        break;
    }
    }
}

// Reads a framed text of the narrow type straight into the value's block: one allocation, no
// zero fill. A text that ends early at a zero byte keeps what comes before it, as any text
// read does. On a failed read the value is left empty.
void LoadNarrowText(CVariant& value, uint16_t type, CDataContainer& container) {
    uint32_t n = 0;
    if (container.ReadTextLength(n) != 0) {
        value.Clear();
        return;
    }
    char* block =
        n < static_cast<uint32_t>(INT32_MAX)
            ? static_cast<char*>(value.AllocateUnfilledBlock(type, static_cast<int32_t>(n + 1)))
            : nullptr;
    if (block == nullptr) {
        // No memory for the text: the value is empty and the stream moves on in step.
        value.Clear();
        container.Skip(n);
        return;
    }
    if (n > 0 && container.Read(block, n) != 0) {
        value.Clear();
        return;
    }
    block[n] = '\0';
    if (strlen(block) != n) {
        // A zero byte inside: the value's block is cut to the text before it (Set... copies
        // before it releases, so the text may come from the value's own block).
        if (type == vtAnsiText) {
            value.SetAnsiText(block);
        } else {
            value.SetUtf8Text(CAnsiString(block));
        }
    }
}

// Reads a framed text and converts it from the ANSI code page into the value's block, which is
// sized by the converter (one allocation); short texts wait on the stack, long ones in a
// scratch buffer that is wiped before release. On a failed read the value is left empty.
void LoadWideText(CVariant& value, CDataContainer& container) {
    uint32_t n = 0;
    if (container.ReadTextLength(n) != 0) {
        value.Clear();
        return;
    }
    char stackBytes[kStackTextSize + 1];
    char* bytes =
        n <= kStackTextSize ? stackBytes : static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
    if (bytes == nullptr) {
        value.Clear();
        container.Skip(n);
        return;
    }
    if (n > 0 && container.Read(bytes, n) != 0) {
        value.Clear();
    } else {
        bytes[n] = '\0';
        // The text ends at its first zero byte; a text the converter refuses becomes empty.
        int chars = MultiByteToWideChar(CP_ACP, 0, bytes, -1, nullptr, 0);
        if (chars <= 1) {
            value.SetWideText(L"");
        } else if (chars > INT32_MAX / 2) {
            value.Clear();
        } else {
            // Null (the value empty) when the block cannot be had.
            wchar_t* block = static_cast<wchar_t*>(value.AllocateUnfilledBlock(
                vtWideText, chars * static_cast<int32_t>(sizeof(wchar_t))));
            if (block != nullptr &&
                MultiByteToWideChar(CP_ACP, 0, bytes, -1, block, chars) != chars) {
                value.SetWideText(L"");
            }
        }
    }
    SecureZeroMemory(bytes, static_cast<size_t>(n) + 1);
    if (bytes != stackBytes) {
        free(bytes);
    }
}

void LoadList(CVariantList* list, CDataContainer& container);

// Loads the rest of a record whose head has been read. A read that fails leaves the value
// empty (or, for a list or object, with what had been loaded), never with unread bytes.
void LoadRecord(CVariant& value, const CRecordHead& head, CDataContainer& container) {
    uint16_t type = head.nType;
    int32_t size = head.nSize;
    value.SetType(type);
    value.SetId(head.nId);
    uint32_t width = NumericWidth(type);
    if (width != 0) {
        uint8_t data[8];
        if (container.Read(data, width) != 0) {
            value.Clear();
            return;
        }
        value.SetRecordedSize(size);
        GetNumberBytes(value.GetData(), data, width);
        return;
    }
    switch (type) {
    case vtEmpty:
    case vtPointer:
        value.SetRecordedSize(size);
        break;
    case vtList: {
        value.SetRecordedSize(size);
        CVariantList* list = value.GetList();
        if (list != nullptr) {
            LoadList(list, container);
        } else {
            CVariantList scratch(Compare, SortList);
            LoadList(&scratch, container);
        }
        break;
    }
    case vtUtf8Text:
    case vtAnsiText:
        LoadNarrowText(value, type, container);
        break;
    case vtWideText:
        LoadWideText(value, container);
        break;
    case vtObject: {
        CWideString name;
        if (container.ReadWideText(name) != 0) {
            break;
        }
        if (size < 0 || static_cast<uint32_t>(size) > LoadBudget(container)) {
            container.RecordError(kDataErrorMalformed);
            break;
        }
        VariantObjectFactory factory = ClassRegistry().Find(name);
        IVariantObject* object = factory != nullptr ? factory() : nullptr;
        value.AttachObject(object);
        value.SetRecordedSize(size);
        if (object != nullptr && object->BeginLoad(size)) {
            object->Serialize(container);
        } else {
            // An unknown class, or an object that declines its data: the data is skipped so the
            // records behind it are read in step.
            container.Skip(static_cast<uint32_t>(size));
        }
        break;
    }
    case vtFileObject: {
        CFileObject* object = value.GetFileObject();
        if (object == nullptr) {
            container.RecordError(kDataErrorMediumFailed);
            break;
        }
        object->Serialize(container);
        // Like every other type, the value keeps the size its record carried.
        value.SetRecordedSize(size);
        break;
    }
    default: {
        if (size < 0 || static_cast<uint32_t>(size) > LoadBudget(container)) {
            container.RecordError(kDataErrorMalformed);
            value.Clear();
            break;
        }
        // Every byte of the block is read over at once: it is not zero-filled first.
        void* block = value.AllocateUnfilledBlock(vtBinary, size);
        if (block == nullptr) {
            // Size 0, or no memory for the block: the value is empty and the stream moves on.
            value.Clear();
            container.Skip(static_cast<uint32_t>(size));
        } else if (container.Read(block, static_cast<uint32_t>(size)) != 0) {
            // A medium that failed part-way may have filled some of it: nothing of it stays.
            value.Clear();
        }
        break;
    }
    }
}

// Loads one value: its head, then the rest, at most kMaxLoadNesting deep.
void LoadValue(CVariant& value, const CRecordHead* head, CDataContainer& container) {
    CLoadDepth depth;
    if (depth.TooDeep()) {
        container.RecordError(kDataErrorMalformed);
        return;
    }
    value.ReleaseContent();
    CRecordHead read;
    if (head == nullptr) {
        if (container.Read(&read, kRecordHeadSize) != 0) {
            return;
        }
        head = &read;
    }
    LoadRecord(value, *head, container);
}

void LoadList(CVariantList* list, CDataContainer& container) {
    if (list != nullptr) {
        list->RemoveAll();
    }
    int32_t count = 0;
    if (container.Read(&count, 4) != 0) {
        return;
    }
    // Every element takes at least its record head, and so does every element after this list
    // in the lists around it: a count the stream cannot hold is a lie, refused before anything
    // is allocated. Nested lists that each claim the whole stream thus cannot multiply it.
    if (count < 0 || static_cast<uint32_t>(count) > LoadBudget(container) / kRecordHeadSize) {
        container.RecordError(kDataErrorMalformed);
        return;
    }
    if (list == nullptr || count == 0) {
        return;
    }
    if (!list->SetSize(count)) {
        container.RecordError(kDataErrorMediumFailed);
        return;
    }
    if (t_nLoadDepth >= kMaxLoadNesting) {
        // The elements would be one level too deep (refused before their heads are read).
        container.RecordError(kDataErrorMalformed);
        return;
    }
    CLoadPassState* pass = CurrentLoadPass(container);
    uint32_t outer = pass != nullptr ? pass->nReserved : 0;
    int32_t i = 0;
    while (i < count && container.GetError() == 0) {
        // Runs of numbers are parsed where the medium keeps its bytes, then skipped in one go.
        uint32_t available = 0;
        const uint8_t* bytes = container.Peek(available);
        uint32_t used = 0;
        while (i < count && available - used >= kRecordHeadSize + 8) {
            CRecordHead head;
            memcpy(&head, bytes + used, kRecordHeadSize);
            uint32_t width = NumericWidth(head.nType);
            if (width == 0) {
                break;
            }
            CVariant& element = list->ElementAt(i);
            element.SetType(head.nType);
            element.SetId(head.nId);
            element.SetRecordedSize(head.nSize);
            GetNumberBytes(element.GetData(), bytes + used + kRecordHeadSize, width);
            used += kRecordHeadSize + width;
            ++i;
        }
        if (used != 0) {
            container.Skip(used);
            continue;
        }
        // Any other record, or a medium that lends no bytes: the head is read, then the rest.
        if (pass != nullptr) {
            // Cannot overflow: the count was bounded by the budget above.
            pass->nReserved = outer + static_cast<uint32_t>(count - 1 - i) * kRecordHeadSize;
        }
        CRecordHead head;
        if (container.Read(&head, kRecordHeadSize) != 0) {
            break;
        }
        // A number nests nothing: no depth to count, and a fresh element holds nothing.
        if (NumericWidth(head.nType) != 0) {
            LoadRecord(list->ElementAt(i), head, container);
        } else {
            LoadValue(list->ElementAt(i), &head, container);
        }
        ++i;
    }
    if (pass != nullptr) {
        pass->nReserved = outer;
    }
}

} // namespace

int32_t CVariant::Serialize(CDataContainer& container) {
    if (container.IsStoring()) {
        StoreValue(*this, container);
    } else {
        CLoadPass pass(container);
        LoadValue(*this, nullptr, container);
    }
    return static_cast<int32_t>(container.GetError());
}

int32_t SerializeList(CVariantList* list, CDataContainer& container) {
    if (container.IsStoring()) {
        int32_t count = list != nullptr ? list->GetCount() : 0;
        container.Write(&count, 4);
        // Runs of numbers are gathered and written in blocks; other elements store themselves.
        uint8_t run[kRunBufferSize];
        uint32_t used = 0;
        for (int32_t i = 0; i < count && container.GetError() == 0; ++i) {
            CVariant& element = list->ElementAt(i);
            uint32_t width = NumericWidth(element.GetType());
            if (width != 0) {
                if (used > kRunBufferSize - kRecordHeadSize - 8) {
                    container.Write(run, used);
                    used = 0;
                }
                PutNumberRecord(element, width, run + used);
                used += kRecordHeadSize + width;
                continue;
            }
            if (used != 0) {
                container.Write(run, used);
                used = 0;
            }
            element.Serialize(container);
        }
        if (used != 0) {
            container.Write(run, used);
        }
        return static_cast<int32_t>(container.GetError());
    }
    {
        CLoadPass pass(container);
        LoadList(list, container);
    }
    return static_cast<int32_t>(container.GetError());
}

CLoadPass::CLoadPass(CDataContainer& container)
    : m_state(), m_pSaved(t_pLoadPass), m_bOwner(false) {
    if (m_pSaved != nullptr && m_pSaved->pContainer == &container) {
        return;
    }
    // A pass of its own, also when another container's load is running on this thread.
    m_bOwner = true;
    m_state.pContainer = &container;
    m_state.nDeferred = 0;
    m_state.nReserved = 0;
    t_pLoadPass = &m_state;
}

CLoadPass::~CLoadPass() {
    if (!m_bOwner) {
        return;
    }
    if (m_state.nDeferred != 0 && m_state.pContainer->GetError() == 0) {
        m_state.pContainer->RecordError(m_state.nDeferred);
    }
    t_pLoadPass = m_pSaved;
}

CLoadPassState* CurrentLoadPass(CDataContainer& container) {
    CLoadPassState* pass = t_pLoadPass;
    return pass != nullptr && pass->pContainer == &container ? pass : nullptr;
}

void DeferLoadError(CDataContainer& container, uint32_t code) {
    CLoadPassState* pass = CurrentLoadPass(container);
    if (pass == nullptr) {
        container.RecordError(code);
    } else if (pass->nDeferred == 0) {
        pass->nDeferred = code;
    }
}

uint32_t LoadBudget(CDataContainer& container) {
    uint32_t remaining = container.GetRemaining();
    CLoadPassState* pass = CurrentLoadPass(container);
    uint32_t reserved = pass != nullptr ? pass->nReserved : 0;
    return remaining > reserved ? remaining - reserved : 0;
}

} // namespace Corvinex
