#include "config/variant_container.h"

#include <windows.h>

#include "base/language_support.h"

namespace Corvinex {

namespace {

// Forgets the list a value points to without releasing it.
void ForgetList(CVariant& value) {
    memset(value.GetData(), 0, 8);
    value.SetType(vtEmpty);
}

} // namespace

CVariantContainer::CVariantContainer() : notOwned(0) {
    CVariantContainer::Clear();
}

CVariantContainer::CVariantContainer(const CVariantContainer& other)
    : CVariant(other), notOwned(0) {}

CVariantContainer::~CVariantContainer() {
    if (notOwned != 0) {
        ForgetList(*this);
        notOwned = 0;
        SetType(vtList);
    }
    PrepareContent();
    ReleaseContent();
}

CVariantContainer& CVariantContainer::operator=(const CVariantContainer& other) {
    Assign(other);
    return *this;
}

void CVariantContainer::Clear() {
    if (notOwned != 0) {
        ForgetList(*this);
        notOwned = 0;
    }
    SetType(vtList);
}

void CVariantContainer::Destroy() {
    // The destructor is not virtual; slot 4 is how an owner destroys the right class. Qualified,
    // so clang sees that this class's own destructor is meant (the slot layout keeps it so).
    this->CVariantContainer::~CVariantContainer();
    ::operator delete(this);
}

void CVariantContainer::Sort() {
    PrepareContent();
    CVariantList* list = CVariant::GetList();
    if (list == nullptr || list->GetCount() < 2) {
        return;
    }
    list->SortRange(0, list->GetCount() - 1);
}

int32_t CVariantContainer::IndexOfId(uint16_t id) const {
    const CVariantList* list = CVariant::GetList();
    if (list == nullptr) {
        return -1;
    }
    for (int32_t i = 0; i < list->GetCount(); ++i) {
        if (list->ElementAt(i).GetId() == id) {
            return i;
        }
    }
    return -1;
}

CVariant CVariantContainer::GetValue(uint16_t id) const {
    CVariant result;
    int32_t index = IndexOfId(id);
    if (index >= 0) {
        result.Assign(CVariant::GetList()->ElementAt(index));
    }
    result.SetId(id);
    return result;
}

void CVariantContainer::SetValue(uint16_t id, const CVariant& value, bool bReplace) {
    CVariantList* list = CVariant::GetList();
    if (list == nullptr) {
        return;
    }
    CVariant copy(value);
    copy.SetId(id);
    int32_t index = bReplace ? IndexOfId(id) : -1;
    if (index >= 0) {
        list->ElementAt(index).Assign(copy);
    } else {
        list->Add(copy);
    }
}

const CVariant* CVariantContainer::FindValue(uint16_t id) const {
    int32_t index = IndexOfId(id);
    return index >= 0 ? &CVariant::GetList()->ElementAt(index) : nullptr;
}

uint8_t CVariantContainer::GetByte(uint16_t id, uint8_t byDefault) {
    PrepareContent();
    // Read in place: the element may be a whole tree that a copy would have to duplicate.
    const CVariant* value = FindValue(id);
    return value != nullptr && value->GetType() == vtByte ? value->CVariant::GetByte() : byDefault;
}

void CVariantContainer::SetByte(uint16_t id, uint8_t value, bool bReplace) {
    PrepareContent();
    CVariant byte;
    byte.SetByte(value);
    SetValue(id, byte, bReplace);
}

CWideString CVariantContainer::GetText(uint16_t id, const wchar_t* pszDefault) {
    PrepareContent();
    // Read in place, as GetByte.
    const CVariant* value = FindValue(id);
    uint16_t type = value != nullptr ? value->GetType() : static_cast<uint16_t>(vtEmpty);
    switch (type) {
    case vtWideText:
        return CWideString(value->GetWideText());
    case vtAnsiText:
        return CWideString(value->GetNarrowText());
    case vtUtf8Text: {
        const char* text = value->GetNarrowText();
        if (text == nullptr || !IsUtf8(text)) {
            return CWideString(text);
        }
        int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
        CWideString result;
        if (n > 0) {
            wchar_t* buffer = result.GetBuffer(n);
            if (buffer != nullptr) {
                MultiByteToWideChar(CP_UTF8, 0, text, -1, buffer, n);
            }
        }
        result.GetLength();
        return result;
    }
    default:
        return CWideString(pszDefault);
    }
}

CVariantContainer CVariantContainer::GetList(uint16_t id) {
    PrepareContent();
    CVariantContainer result;
    const CVariant* value = FindValue(id);
    if (value != nullptr && value->GetType() == vtList) {
        result.Assign(*value);
    }
    return result;
}

} // namespace Corvinex
