#include "app/tag_map.h"

namespace Corvinex {

CTagMap::CTagMap() : m_names(&CompareWideStrings), m_values(&CompareWideStrings) {}

CTagMap::CTagMap(const Entry* entries, int32_t count)
    : m_names(&CompareWideStrings), m_values(&CompareWideStrings) {
    for (int32_t i = 0; i < count; ++i) {
        Add(entries[i].name, entries[i].value);
    }
}

void CTagMap::Add(const wchar_t* name, const wchar_t* value) {
    int32_t index = m_names.Add(CWideString(name));
    if (index >= 0 && m_values.Add(CWideString(value)) < 0) {
        // Keep the two lists of equal length.
        m_names.RemoveAt(index, 1);
    }
}

CWideString CTagMap::Lookup(const CWideString& name) const {
    int32_t index = m_names.IndexOf(name);
    if (index >= 0) {
        return m_values.GetAt(index);
    }
    return FormatString(L"<%s/>", name.c_str());
}

CWideString CTagMap::Substitute(const wchar_t* text) const {
    CWideString result;
    CWideString plain;
    CWideString tag;
    for (const wchar_t* p = text != nullptr ? text : L""; *p != L'\0'; ++p) {
        wchar_t ch = *p;
        if (ch == L'<') {
            result.Append(plain.GetBufferPointer());
            plain.Assign(L"");
            tag.Append(ch);
        } else if (ch == L'>') {
            result.Append(plain.GetBufferPointer());
            plain.Assign(L"");
            tag.Append(ch);
            int32_t length = tag.GetLength();
            if (length >= 3 && tag.Right(2).Compare(L"/>") == 0) {
                CWideString name = tag.Mid(1, length - 3);
                CWideString value = Lookup(name);
                result.Append(value.GetBufferPointer());
            } else {
                result.Append(tag.GetBufferPointer());
            }
            tag.Assign(L"");
        } else if (tag.GetLength() > 0) {
            tag.Append(ch);
        } else {
            plain.Append(ch);
        }
    }
    result.Append(plain.GetBufferPointer());
    result.Append(tag.GetBufferPointer());
    return result;
}

} // namespace Corvinex
