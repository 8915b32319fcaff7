// CProperty: a named value of a property container, with a string list kept beside it.
#pragma once

#include "base/array.h"
#include "base/wide_string.h"
#include "config/variant.h"

#include <stdint.h>

namespace Corvinex {

// The string and integer lists the property containers hand around.
typedef TArray<CWideString, CWideString> CWideStringArray;
typedef TArray<int32_t, int32_t> CIntArray;

class CProperty : public CVariant {
public:
    // Empty value, empty name and key, empty string list (matched by text comparison).
    CProperty();
    // Empty value named `name`; the key is the name lower-cased (null counts as empty).
    explicit CProperty(const wchar_t* name);
    // Value (deep copy), key, name and string list with its functions.
    CProperty(const CProperty& other);
    CProperty& operator=(const CProperty& other);
    // Members go first (string list, name, key), then the value's content.
    ~CProperty() = default;

    // Sets the name as given and the key to its lower-cased form.
    void SetName(const wchar_t* name);
    const CWideString& GetName() const { return m_strName; }
    const CWideString& GetKey() const { return m_strKey; }
    // The strings kept with the property.
    CWideStringArray& GetStringList() { return m_strings; }
    const CWideStringArray& GetStringList() const { return m_strings; }

private:
    CWideString m_strKey;
    CWideString m_strName;
    CWideStringArray m_strings;
};

// key = name lower-cased by CWideString::MakeLower; what property lookups compare.
CWideString MakePropertyKey(const wchar_t* name);

// Replaces target's strings by copies of source's, with its match and sort functions.
void CopyStringList(CWideStringArray& target, const CWideStringArray& source);

} // namespace Corvinex
