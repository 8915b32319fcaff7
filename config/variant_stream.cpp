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

namespace Corvinex {

namespace {

// Deepest nesting of lists (file objects count as lists) that a loaded stream may have.
const int kMaxLoadNesting = 64;
// Smallest record: its eight-byte head.
const uint32_t kRecordHeadSize = 8;

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

int32_t MeasureText(const CAnsiString& text, CDataContainer& container) {
    CDataContainer measure;
    measure.Open(kModeStoring, container.GetTarget());
    measure.WriteText(text);
    return measure.GetTotal();
}

void StoreValue(CVariant& value, CDataContainer& container) {
    uint16_t type = value.GetType();
    uint16_t id = value.GetId();
    container.Write(&type, 2);
    container.Write(&id, 2);
    uint32_t width = NumericWidth(type);
    if (width != 0) {
        WriteSize(container, static_cast<int32_t>(width));
        container.Write(value.GetData(), width);
        return;
    }
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
    case vtAnsiText:
    case vtWideText: {
        CAnsiString text;
        if (type == vtWideText) {
            text.Assign(value.GetWideText() != nullptr ? value.GetWideText() : L"");
        } else {
            text.Assign(value.GetNarrowText() != nullptr ? value.GetNarrowText() : "");
        }
        WriteSize(container, MeasureText(text, container));
        container.WriteText(text);
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

void LoadValue(CVariant& value, CDataContainer& container) {
    value.ReleaseContent();
    uint16_t type = 0;
    if (container.Read(&type, 2) != 0) {
        return;
    }
    value.SetType(type);
    uint16_t id = 0;
    int32_t size = 0;
    container.Read(&id, 2);
    container.Read(&size, 4);
    value.SetId(id);
    if (container.GetError() != 0) {
        return;
    }
    uint32_t width = NumericWidth(type);
    if (width != 0) {
        value.SetRecordedSize(size);
        container.Read(value.GetData(), width);
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
            SerializeList(list, container);
        } else {
            CVariantList scratch(Compare, SortList);
            SerializeList(&scratch, container);
        }
        break;
    }
    case vtUtf8Text:
    case vtAnsiText: {
        CAnsiString text;
        if (container.ReadText(text) != 0) {
            break;
        }
        if (type == vtAnsiText) {
            value.SetAnsiText(text.c_str());
        } else {
            value.SetUtf8Text(text);
        }
        break;
    }
    case vtWideText: {
        CWideString text;
        if (container.ReadWideText(text) != 0) {
            break;
        }
        value.SetWideText(text.c_str());
        break;
    }
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
        value.AllocateBinary(size);
        void* block = const_cast<void*>(value.GetBlock());
        if (block != nullptr) {
            container.Read(block, static_cast<uint32_t>(size));
        } else {
            // Size 0, or no memory for the block: the value is empty and the stream moves on.
            value.Clear();
            container.Skip(static_cast<uint32_t>(size));
        }
        break;
    }
    }
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
    CLoadPassState* pass = CurrentLoadPass(container);
    uint32_t outer = pass != nullptr ? pass->nReserved : 0;
    for (int32_t i = 0; i < count && container.GetError() == 0; ++i) {
        if (pass != nullptr) {
            // Cannot overflow: the count was bounded by the budget above.
            pass->nReserved = outer + static_cast<uint32_t>(count - 1 - i) * kRecordHeadSize;
        }
        list->ElementAt(i).Serialize(container);
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
        CLoadDepth depth;
        if (depth.TooDeep()) {
            container.RecordError(kDataErrorMalformed);
        } else {
            LoadValue(*this, container);
        }
    }
    return static_cast<int32_t>(container.GetError());
}

int32_t SerializeList(CVariantList* list, CDataContainer& container) {
    if (container.IsStoring()) {
        int32_t count = list != nullptr ? list->GetCount() : 0;
        container.Write(&count, 4);
        for (int32_t i = 0; i < count && container.GetError() == 0; ++i) {
            list->ElementAt(i).Serialize(container);
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
