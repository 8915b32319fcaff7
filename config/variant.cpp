#include "config/variant.h"

#include "base/global_heap.h"
#include "base/quick_sort.h"

#include <windows.h>

#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "base/language_support.h"

namespace Corvinex {

namespace {

ValueWipeObserver g_wipeObserver = nullptr;
void* g_wipeContext = nullptr;

bool IsKnownType(uint16_t type) {
    switch (type) {
    case vtEmpty:
    case vtBinary:
    case vtList:
    case vtByte:
    case vtWord:
    case vtLong:
    case vtDword:
    case vtDouble:
    case vtPointer:
    case vtUtf8Text:
    case vtAnsiText:
    case vtWideText:
    case vtObject:
    case vtFileObject:
        return true;
    default:
        return false;
    }
}

bool IsBlockType(uint16_t type) {
    return type == vtBinary || type == vtUtf8Text || type == vtAnsiText || type == vtWideText ||
           !IsKnownType(type);
}

// Three passes over the block (0x00, 0xFF, 0x00). Volatile stores, so the compiler cannot fold
// the passes into one or drop them before the release.
void WipeBlock(void* block, int32_t size) {
    static const uint8_t patterns[3] = {0x00, 0xFF, 0x00};
    volatile uint8_t* bytes = static_cast<volatile uint8_t*>(block);
    for (int pass = 0; pass < 3; ++pass) {
        for (int32_t i = 0; i < size; ++i) {
            bytes[i] = patterns[pass];
        }
        if (g_wipeObserver != nullptr) {
            g_wipeObserver(block, size, pass, g_wipeContext);
        }
    }
}

// A copy of count bytes (or zero bytes when bytes is null) in a new global block; null when
// the block cannot be had or count does not fit a value's size.
void* CopyToBlock(const void* bytes, size_t count) {
    if (count == 0 || count > static_cast<size_t>(INT32_MAX)) {
        return nullptr;
    }
    if (bytes == nullptr) {
        return AllocGlobalBlock(count);
    }
    // Overwritten in full at once: no zero fill first.
    void* block = AllocGlobalBlockForCopy(count);
    if (block != nullptr) {
        memcpy(block, bytes, count);
    }
    return block;
}

int32_t SignOf(int64_t difference) {
    if (difference < INT32_MIN || difference > INT32_MAX) {
        return difference < 0 ? -1 : 1;
    }
    return static_cast<int32_t>(difference);
}

int32_t CompareBlocks(const void* first, const void* second, int32_t size) {
    if (first == second || size <= 0) {
        return 0;
    }
    if (first == nullptr || second == nullptr) {
        return first == nullptr ? -1 : 1;
    }
    const uint8_t* a = static_cast<const uint8_t*>(first);
    const uint8_t* b = static_cast<const uint8_t*>(second);
    for (int32_t i = 0; i < size; ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
    }
    return 0;
}

int32_t CompareLists(const CVariantList* first, const CVariantList* second) {
    int32_t firstCount = first != nullptr ? first->GetCount() : 0;
    int32_t secondCount = second != nullptr ? second->GetCount() : 0;
    if (firstCount != secondCount) {
        return secondCount - firstCount;
    }
    CVariantList::CompareFunc compare = first != nullptr ? first->GetCompareFunc() : nullptr;
    if (compare == nullptr) {
        compare = Compare;
    }
    for (int32_t i = 0; i < firstCount; ++i) {
        if (compare(&first->ElementAt(i), &second->ElementAt(i)) != 0) {
            return -1;
        }
    }
    return 0;
}

// The value lists' order. The right scan asks compare(pivot, element) < 0 rather than
// compare(element, pivot) > 0 as TArray's built-in order does: Compare is not antisymmetric
// (two different lists of one length give -1 both ways, two different pointers 1 both ways), so
// the argument order decides the result. Elements are exchanged by Swap, which keeps each value
// exactly; a copy by Assign would re-encode a UTF-8 text and turn an unknown code into vtBinary.
struct ValueOrder {
    CVariantList::CompareFunc compare;
    bool Below(const CVariant& element, const CVariant& pivot) const {
        return compare(&element, &pivot) < 0;
    }
    bool Above(const CVariant& element, const CVariant& pivot) const {
        return compare(&pivot, &element) < 0;
    }
    void Exchange(CVariant& a, CVariant& b) const { a.Swap(b); }
};

} // namespace

CVariant::CVariant() : m_nType(vtEmpty), m_nId(0), m_nSize(0) {
    memset(m_data, 0, sizeof m_data);
}

CVariant::CVariant(const CVariant& other) : m_nType(vtEmpty), m_nId(0), m_nSize(0) {
    memset(m_data, 0, sizeof m_data);
    AssignContent(other);
}

CVariant::~CVariant() {
    ReleaseContent();
}

void CVariant::SetType(uint16_t type) {
    ReleaseContent();
    m_nType = type;
    m_nSize = 0;
    memset(m_data, 0, sizeof m_data);
    if (type == vtList) {
        // The general-purpose allocator: a failure leaves a list value without storage, which
        // every operation reads as the empty list.
        SetPointerField(new (std::nothrow) CVariantList(Compare, SortList));
    } else if (type == vtFileObject) {
        SetPointerField(NewFileObjectForValue());
    }
}

void CVariant::Clear() {
    SetType(vtEmpty);
}

void CVariant::PrepareContent() {}

void CVariant::ReleaseContent() {
    // The value is emptied before anything is released, so code run by a release (an object's
    // Release, an element's content) never sees a half-released value.
    uint16_t type = m_nType;
    int32_t size = m_nSize;
    void* pointer = GetPointer();
    m_nType = vtEmpty;
    m_nSize = 0;
    memset(m_data, 0, sizeof m_data);

    switch (type) {
    case vtEmpty:
    case vtPointer:
    case vtByte:
    case vtWord:
    case vtLong:
    case vtDword:
    case vtDouble:
        break;
    case vtList:
        delete static_cast<CVariantList*>(pointer);
        break;
    case vtObject:
        if (pointer != nullptr) {
            static_cast<IVariantObject*>(pointer)->Release();
        }
        break;
    case vtFileObject:
        if (pointer != nullptr) {
            DeleteFileObjectOfValue(static_cast<CFileObject*>(pointer));
        }
        break;
    default:
        if (pointer != nullptr) {
            if (size >= 1) {
                WipeBlock(pointer, size);
            }
            FreeGlobalBlock(pointer);
        }
        break;
    }
}

CVariant& CVariant::Assign(const CVariant& source) {
    if (&source == this) {
        return *this;
    }
    if (m_nType == vtObject || ContainsValue(&source) || source.ContainsValue(this)) {
        // The source lives inside what this value is about to release (an object is opaque,
        // so it may hold the source), or this value lives inside the source (an element taking
        // the list that holds it): copy the source as it is now, then take the copy's content.
        CVariant copy(source);
        Swap(copy);
        return *this;
    }
    return AssignContent(source);
}

CVariant& CVariant::AssignContent(const CVariant& source) {
    uint16_t type = source.m_nType;
    SetType(type);
    switch (type) {
    case vtEmpty:
        break;
    case vtList: {
        const_cast<CVariant&>(source).PrepareContent();
        CopyListContent(source.GetList(), GetList());
        break;
    }
    case vtByte:
        memcpy(m_data, source.m_data, 1);
        break;
    case vtWord:
        memcpy(m_data, source.m_data, 2);
        break;
    case vtLong:
    case vtDword:
        memcpy(m_data, source.m_data, 4);
        break;
    case vtDouble:
        memcpy(m_data, source.m_data, 8);
        break;
    case vtPointer:
        SetPointerField(source.GetPointer());
        m_nSize = source.m_nSize;
        break;
    case vtUtf8Text:
        SetUtf8Text(NormalizeToUtf8(source.GetNarrowText()));
        break;
    case vtAnsiText:
        SetAnsiText(source.GetNarrowText());
        break;
    case vtWideText:
        SetWideText(source.GetWideText());
        break;
    case vtObject: {
        IVariantObject* object = source.GetVariantObject();
        if (object != nullptr) {
            SetPointerField(object->Clone());
        }
        break;
    }
    case vtFileObject: {
        // The two objects as values: type, list elements and id. The object's own fields keep
        // what its constructor gave them.
        CVariant* mine = ValueOfFileObject(GetFileObject());
        const CVariant* theirs = ValueOfFileObject(source.GetFileObject());
        if (mine != nullptr && theirs != nullptr) {
            mine->AssignContent(*theirs);
        }
        break;
    }
    default:
        SetBinary(source.GetPointer(), source.m_nSize);
        break;
    }
    m_nId = source.m_nId;
    return *this;
}

void CVariant::CopyListContent(const CVariantList* from, CVariantList* to) {
    if (from == nullptr || to == nullptr) {
        return;
    }
    // Fresh elements in a fresh list cannot overlap the source (Assign has made sure of that
    // for the value at the top), so each is filled without looking for overlap again: a copy
    // stays linear in the size of the source however deep it nests.
    int32_t count = from->GetCount();
    if (count > 0 && to->SetSize(count)) {
        for (int32_t i = 0; i < count; ++i) {
            to->ElementAt(i).AssignContent(from->ElementAt(i));
        }
    }
    to->SetCompareFunc(from->GetCompareFunc());
    to->SetSortFunc(from->GetSortFunc());
}

CVariant& CVariant::Swap(CVariant& other) {
    if (&other == this || ContainsValue(&other) || other.ContainsValue(this)) {
        return other;
    }
    uint16_t type = m_nType;
    uint16_t id = m_nId;
    int32_t size = m_nSize;
    uint8_t data[8];
    memcpy(data, m_data, sizeof data);
    m_nType = other.m_nType;
    m_nId = other.m_nId;
    m_nSize = other.m_nSize;
    memcpy(m_data, other.m_data, sizeof m_data);
    other.m_nType = type;
    other.m_nId = id;
    other.m_nSize = size;
    memcpy(other.m_data, data, sizeof data);
    return other;
}

CVariant& CVariant::InstallBlock(uint16_t type, const void* bytes, size_t count) {
    // The copy is made before the old content is released, so a text taken from this value
    // itself survives.
    void* block = CopyToBlock(bytes, count);
    if (block == nullptr) {
        Clear();
        return *this;
    }
    SetType(type);
    SetPointerField(block);
    m_nSize = static_cast<int32_t>(count);
    return *this;
}

CVariant& CVariant::SetBinary(const void* p, int32_t n) {
    if (p == nullptr || n <= 0) {
        SetType(vtBinary);
        return *this;
    }
    void* block = CopyToBlock(p, static_cast<size_t>(n));
    if (block == nullptr) {
        SetType(vtEmpty);
        return *this;
    }
    SetType(vtBinary);
    SetPointerField(block);
    m_nSize = n;
    return *this;
}

CVariant& CVariant::AllocateBinary(int32_t n) {
    SetType(vtBinary);
    if (n <= 0) {
        return *this;
    }
    void* block = CopyToBlock(nullptr, static_cast<size_t>(n));
    if (block == nullptr) {
        SetType(vtEmpty);
        return *this;
    }
    SetPointerField(block);
    m_nSize = n;
    return *this;
}

void* CVariant::AllocateUnfilledBlock(uint16_t type, int32_t n) {
    void* block = n > 0 ? AllocGlobalBlockForCopy(static_cast<size_t>(n)) : nullptr;
    uint16_t kind = vtBinary;
    if (block == nullptr) {
        kind = vtEmpty;
    } else if (type == vtUtf8Text || type == vtAnsiText || type == vtWideText) {
        kind = type;
    }
    SetType(kind);
    if (block != nullptr) {
        SetPointerField(block);
        m_nSize = n;
    }
    return block;
}

CVariant& CVariant::SetAnsiText(const char* p) {
    if (p == nullptr) {
        SetType(vtAnsiText);
        return *this;
    }
    return InstallBlock(vtAnsiText, p, strlen(p) + 1);
}

CVariant& CVariant::SetWideText(const wchar_t* p) {
    if (p == nullptr) {
        SetType(vtWideText);
        return *this;
    }
    return InstallBlock(vtWideText, p, (wcslen(p) + 1) * sizeof(wchar_t));
}

CVariant& CVariant::SetUtf8Text(const CAnsiString& s) {
    const char* text = s.c_str();
    return InstallBlock(vtUtf8Text, text, strlen(text) + 1);
}

CVariant& CVariant::SetByte(uint8_t value) {
    SetType(vtByte);
    m_data[0] = value;
    return *this;
}

CVariant& CVariant::SetWord(uint16_t value) {
    SetType(vtWord);
    memcpy(m_data, &value, sizeof value);
    return *this;
}

CVariant& CVariant::SetLong(int32_t value) {
    SetType(vtLong);
    memcpy(m_data, &value, sizeof value);
    return *this;
}

CVariant& CVariant::SetDword(uint32_t value) {
    SetType(vtDword);
    memcpy(m_data, &value, sizeof value);
    return *this;
}

CVariant& CVariant::SetDouble(double value) {
    SetType(vtDouble);
    memcpy(m_data, &value, sizeof value);
    return *this;
}

CVariant& CVariant::SetPointer(void* p, int32_t size) {
    SetType(vtPointer);
    SetPointerField(p);
    m_nSize = size;
    return *this;
}

CVariant& CVariant::AttachObject(IVariantObject* object) {
    if (m_nType != vtObject) {
        SetType(vtObject);
    } else {
        IVariantObject* old = GetVariantObject();
        SetPointerField(nullptr);
        if (old != nullptr && old != object) {
            old->Release();
        }
    }
    SetPointerField(object);
    return *this;
}

void CVariant::SetRecordedSize(int32_t size) {
    if (OwnsBlock() && GetPointer() != nullptr) {
        return;
    }
    m_nSize = size;
}

uint8_t CVariant::GetByte() const {
    return m_data[0];
}

uint16_t CVariant::GetWord() const {
    uint16_t value;
    memcpy(&value, m_data, sizeof value);
    return value;
}

int32_t CVariant::GetLong() const {
    int32_t value;
    memcpy(&value, m_data, sizeof value);
    return value;
}

uint32_t CVariant::GetDword() const {
    uint32_t value;
    memcpy(&value, m_data, sizeof value);
    return value;
}

double CVariant::GetDouble() const {
    double value;
    memcpy(&value, m_data, sizeof value);
    return value;
}

void* CVariant::GetPointer() const {
    void* value;
    memcpy(&value, m_data, sizeof value);
    return value;
}

void CVariant::SetPointerField(const void* p) {
    memcpy(m_data, &p, sizeof p);
}

bool CVariant::OwnsBlock() const {
    return IsBlockType(m_nType);
}

const void* CVariant::GetBlock() const {
    return (m_nType == vtBinary || !IsKnownType(m_nType)) ? GetPointer() : nullptr;
}

const char* CVariant::GetNarrowText() const {
    return (m_nType == vtAnsiText || m_nType == vtUtf8Text) ? static_cast<const char*>(GetPointer())
                                                            : nullptr;
}

const wchar_t* CVariant::GetWideText() const {
    return m_nType == vtWideText ? static_cast<const wchar_t*>(GetPointer()) : nullptr;
}

CVariantList* CVariant::GetList() {
    return m_nType == vtList ? static_cast<CVariantList*>(GetPointer()) : nullptr;
}

const CVariantList* CVariant::GetList() const {
    return m_nType == vtList ? static_cast<const CVariantList*>(GetPointer()) : nullptr;
}

IVariantObject* CVariant::GetVariantObject() const {
    return m_nType == vtObject ? static_cast<IVariantObject*>(GetPointer()) : nullptr;
}

CFileObject* CVariant::GetFileObject() const {
    return m_nType == vtFileObject ? static_cast<CFileObject*>(GetPointer()) : nullptr;
}

bool CVariant::ContainsValue(const CVariant* p) const {
    if (p == this) {
        return true;
    }
    const CVariantList* list = GetList();
    if (m_nType == vtFileObject) {
        // A file object is a value of its own, holding a list.
        const CVariant* inner = ValueOfFileObject(GetFileObject());
        if (inner == nullptr) {
            return false;
        }
        if (inner == p) {
            return true;
        }
        list = inner->GetList();
    }
    if (list == nullptr || list->GetCount() == 0) {
        return false;
    }
    const CVariant* begin = list->GetData();
    const CVariant* end = begin + list->GetCount();
    for (const CVariant* element = begin; element != end; ++element) {
        if (element == p || element->ContainsValue(p)) {
            return true;
        }
    }
    return false;
}

int32_t Compare(const CVariant* first, const CVariant* second) {
    static const CVariant empty;
    if (first == nullptr) {
        first = &empty;
    }
    if (second == nullptr) {
        second = &empty;
    }
    uint16_t type = first->GetType();
    if (type != second->GetType()) {
        return static_cast<int32_t>(type) - static_cast<int32_t>(second->GetType());
    }
    switch (type) {
    case vtBinary:
        if (first->GetSize() != second->GetSize()) {
            return first->GetSize() - second->GetSize();
        }
        return CompareBlocks(first->GetBlock(), second->GetBlock(), first->GetSize());
    case vtList:
        return CompareLists(first->GetList(), second->GetList());
    case vtByte:
        return static_cast<int32_t>(first->GetByte()) - static_cast<int32_t>(second->GetByte());
    case vtWord:
        return static_cast<int32_t>(first->GetWord()) - static_cast<int32_t>(second->GetWord());
    case vtLong:
    case vtDword:
        // The difference, or its sign where it does not fit 32 bits (a wrapped difference
        // would order INT_MIN above 1).
        return SignOf(static_cast<int64_t>(first->GetLong()) - second->GetLong());
    case vtDouble: {
        double d = first->GetDouble() - second->GetDouble();
        return d < 0 ? -1 : (d > 0 ? 1 : 0);
    }
    case vtPointer:
        return first->GetPointer() == second->GetPointer() ? 0 : 1;
    case vtUtf8Text:
    case vtAnsiText: {
        CWideString a(first->GetNarrowText());
        CWideString b(second->GetNarrowText());
        return wcscmp(a.c_str(), b.c_str());
    }
    case vtWideText: {
        const wchar_t* a = first->GetWideText();
        const wchar_t* b = second->GetWideText();
        return wcscmp(a != nullptr ? a : L"", b != nullptr ? b : L"");
    }
    case vtObject: {
        IVariantObject* a = first->GetVariantObject();
        IVariantObject* b = second->GetVariantObject();
        if (a == b) {
            return 0;
        }
        if (a == nullptr || b == nullptr) {
            return a == nullptr ? -1 : 1;
        }
        return a->Compare(b);
    }
    default:
        return 0;
    }
}

void SortList(CVariantList* list, CVariantList::CompareFunc compare, int32_t first, int32_t last) {
    if (list == nullptr || compare == nullptr || list->GetCount() <= 1) {
        return;
    }
    if (first < 0 || last >= list->GetCount() || first >= last) {
        return;
    }
    ValueOrder order = {compare};
    QuickSortRange(list->GetData(), first, last, order);
}

bool IsUtf8(const char* text) {
    if (text == nullptr) {
        return false;
    }
    int pending = 0;
    bool sawHighByte = false;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        unsigned char b = *p;
        if (b < 0x80) {
            if (pending != 0) {
                return false;
            }
        } else if (b <= 0xBF) {
            sawHighByte = true;
            if (pending == 0) {
                return false;
            }
            --pending;
        } else {
            sawHighByte = true;
            if (pending != 0 || b == 0xFF) {
                return false;
            }
            // The number of 1 bits after the top bit.
            for (unsigned char mask = 0x40; (b & mask) != 0; mask >>= 1) {
                ++pending;
            }
        }
    }
    return pending == 0 && sawHighByte;
}

CAnsiString NormalizeToUtf8(const char* text) {
    if (text == nullptr) {
        return CAnsiString("");
    }
    if (IsUtf8(text)) {
        return CAnsiString(text);
    }
    CWideString wide(text);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        // Nothing better to give than the text as it came.
        return CAnsiString(text);
    }
    char* buffer = static_cast<char*>(malloc(static_cast<size_t>(bytes)));
    if (buffer == nullptr) {
        return CAnsiString(text);
    }
    CAnsiString result(text);
    if (WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, buffer, bytes, nullptr, nullptr) > 0) {
        result = CAnsiString(buffer);
    }
    SecureZeroMemory(buffer, static_cast<size_t>(bytes));
    free(buffer);
    return result;
}

void SetValueWipeObserver(ValueWipeObserver observer, void* context) {
    g_wipeObserver = observer;
    g_wipeContext = context;
}

} // namespace Corvinex
