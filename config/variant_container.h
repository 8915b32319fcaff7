// CVariantContainer: a value of list type whose elements are found by their 16-bit id, with
// typed access and a sort.
#pragma once

#include "config/variant.h"

#include <stdint.h>

namespace Corvinex {

class CVariantContainer : public CVariant {
public:
    // An empty list.
    CVariantContainer();
    // A deep copy of other's value (type, elements, id); the flag starts clear.
    CVariantContainer(const CVariantContainer& other);
    // Forgets the list when notOwned is set, else releases it with its elements. Not virtual:
    // containers held by vtFileObject values are destroyed through slot 4.
    ~CVariantContainer();
    CVariantContainer& operator=(const CVariantContainer& other);

    // Slot 1: a fresh empty list (an unowned list is forgotten, not released).
    void Clear() override;
    // Slot 4: destroys and frees the object, which must come from new.
    virtual void Destroy();
    // Slot 5: sorts the whole list with its compare function (and its sort function when set).
    virtual void Sort();

    using CVariant::GetByte;
    using CVariant::GetList;

    // A copy of the first element with this id, or an empty value; the result carries the id.
    CVariant GetValue(uint16_t id) const;
    // Stores a copy of value under id: over the first element with that id when bReplace is
    // true and there is one, else appended. Nothing happens when the value holds no list.
    void SetValue(uint16_t id, const CVariant& value, bool bReplace);
    // The byte of a vtByte element, else byDefault.
    uint8_t GetByte(uint16_t id, uint8_t byDefault);
    void SetByte(uint16_t id, uint8_t value, bool bReplace);
    // A text element (ANSI, wide, or UTF-8 when it is well-formed) as wide text, else
    // pszDefault (null gives the empty text).
    CWideString GetText(uint16_t id, const wchar_t* pszDefault);
    // A container with a copy of the list of a vtList element; an empty list otherwise.
    CVariantContainer GetList(uint16_t id);
    // Index of the first element with this id, or -1.
    int32_t IndexOfId(uint16_t id) const;
    // The first element with this id itself (no copy), or null; valid until the list changes.
    const CVariant* FindValue(uint16_t id) const;

    uint32_t notOwned;
};

} // namespace Corvinex
