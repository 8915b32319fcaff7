#include "config/property.h"

namespace Corvinex {

CWideString MakePropertyKey(const wchar_t* name) {
    CWideString key(name);
    key.MakeLower();
    return key;
}

void CopyStringList(CWideStringArray& target, const CWideStringArray& source) {
    if (&target == &source) {
        return;
    }
    target.RemoveAll();
    for (int32_t i = 0; i < source.GetCount(); ++i) {
        target.Add(source.ElementAt(i));
    }
    target.SetCompareFunc(source.GetCompareFunc());
    target.SetSortFunc(source.GetSortFunc());
}

CProperty::CProperty() : m_strings(CompareWideStrings) {}

CProperty::CProperty(const wchar_t* name) : m_strings(CompareWideStrings) {
    SetName(name);
}

CProperty::CProperty(const CProperty& other)
    : CVariant(other), m_strKey(other.m_strKey), m_strName(other.m_strName),
      m_strings(CompareWideStrings) {
    CopyStringList(m_strings, other.m_strings);
}

CProperty& CProperty::operator=(const CProperty& other) {
    if (&other != this) {
        Assign(other);
        m_strKey = other.m_strKey;
        m_strName = other.m_strName;
        CopyStringList(m_strings, other.m_strings);
    }
    return *this;
}

void CProperty::SetName(const wchar_t* name) {
    m_strName = CWideString(name);
    m_strKey = MakePropertyKey(name);
}

} // namespace Corvinex
