// CConfig: a set of named values under one registry key. Only the key path is kept: every read
// opens the key, queries one value and closes it, every write creates or opens the key, stores
// one value and closes it, so a change made by anyone is seen by the next read. Absence, a value
// of another type or a failed read reads as 0 or the empty text; failed writes are not reported.
#pragma once

#include "base/wide_string.h"

#include <windows.h>

#include <stdint.h>

namespace Corvinex {

class CConfig {
public:
    // The key path starts empty; the owner assigns it.
    CConfig();
    ~CConfig();
    CConfig(const CConfig&) = delete;
    CConfig& operator=(const CConfig&) = delete;

    // The configuration's key below a root, with forward slashes ("Software/Corvinex/...").
    void SetKeyPath(const CWideString& path);
    CWideString GetKeyPath() const;

    // The REG_DWORD value under key path + sub-key, or 0.
    uint32_t GetDwordValue(HKEY root, const CWideString& subKey, const CWideString& name);
    // True when GetDwordValue is non-zero.
    bool IsDwordValueSet(HKEY root, const CWideString& subKey, const CWideString& name);
    // Stores a REG_DWORD value, creating the key path as needed.
    void SetDwordValue(HKEY root, const CWideString& subKey, const CWideString& name,
                       uint32_t value);
    // The REG_SZ value (at most 129 characters; longer counts as absent), or the empty text.
    CWideString GetStringValue(HKEY root, const CWideString& subKey, const CWideString& name);
    // Stores the text as REG_SZ with its terminator, creating the key path as needed.
    void SetStringValue(HKEY root, const CWideString& subKey, const CWideString& name,
                        const CWideString& text);

protected:
    CWideString m_strKeyPath;

private:
    // Key path with a trailing slash, then the sub-key.
    CWideString FullPath(const CWideString& subKey) const;
};

} // namespace Corvinex
