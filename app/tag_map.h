// CTagMap: a small table of tag names and values that fills <NAME/> tags in a template.
#pragma once

#include "base/array.h"
#include "base/wide_string.h"

namespace Corvinex {

class CTagMap {
public:
    // One (name, value) pair of the table; the table keeps copies of both texts.
    struct Entry {
        const wchar_t* name;
        const wchar_t* value;
    };

    CTagMap();
    // A table of `count` pairs, in the order given.
    CTagMap(const Entry* entries, int32_t count);
    CTagMap(const CTagMap&) = delete;
    CTagMap& operator=(const CTagMap&) = delete;

    // Adds a pair at the end; an earlier pair with an equal name keeps winning lookups.
    void Add(const wchar_t* name, const wchar_t* value);
    // The value of the first pair whose name equals `name` (ordinal, case-sensitive), or the tag
    // written back as "<name/>" when there is none.
    CWideString Lookup(const CWideString& name) const;
    // The template with every complete tag replaced by Lookup of its name; all other text,
    // bracketed text that is not a tag and an unterminated tag come out unchanged.
    CWideString Substitute(const wchar_t* text) const;

private:
    TArray<CWideString, CWideString> m_names;
    TArray<CWideString, CWideString> m_values;
};

} // namespace Corvinex
