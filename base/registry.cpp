#include "base/registry.h"

#include "base/paths.h"

#include <stdlib.h>

namespace Corvinex {

namespace {

// The read limit of a text value in bytes, terminator included: 129 characters.
const DWORD kStringReadBytes = 260;
const size_t kStringBufferBytes = 65535;

// A block of the C heap, released when it goes out of scope.
class CHeapBuffer {
public:
    explicit CHeapBuffer(size_t bytes) : m_p(calloc(1, bytes)) {}
    ~CHeapBuffer() { free(m_p); }
    CHeapBuffer(const CHeapBuffer&) = delete;
    CHeapBuffer& operator=(const CHeapBuffer&) = delete;
    void* Get() const { return m_p; }

private:
    void* m_p;
};

} // namespace

CWideString NormalizeKeyPath(const CWideString& path) {
    CWideString s = ToBackslashes(StripTrailingSlash(path));
    while (s.GetLength() >= 2 && s.Find(L"\\\\", 0) != -1) {
        s.Replace(L"\\\\", L"\\");
    }
    return s;
}

int OpenRegistryKey(HKEY root, const CWideString& path, REGSAM access, CRegistryKey* key) {
    CWideString normalized = NormalizeKeyPath(path);
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, normalized.c_str(), 0, access, &opened) != ERROR_SUCCESS) {
        return kRegistryNotDone;
    }
    *key->Receive() = opened;
    return kRegistryDone;
}

int CreateRegistryKey(HKEY root, const CWideString& path, CRegistryKey* key) {
    CWideString normalized = NormalizeKeyPath(path);
    HKEY created = nullptr;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExW(root, normalized.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE, nullptr, &created, &disposition);
    if (status != ERROR_SUCCESS) {
        return kRegistryNotDone;
    }
    if (key != nullptr) {
        *key->Receive() = created;
    } else {
        CloseRegistryKey(created);
    }
    return kRegistryDone;
}

int ReadDwordValue(HKEY root, const CWideString& path, const CWideString& name, uint32_t* value) {
    CRegistryKey key;
    if (OpenRegistryKey(root, path, KEY_READ, &key) != kRegistryDone) {
        return kRegistryNotDone;
    }
    DWORD type = 0;
    DWORD data = 0;
    DWORD bytes = sizeof(data);
    LONG status = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(&data), &bytes);
    if (status != ERROR_SUCCESS || type != REG_DWORD || bytes != sizeof(data)) {
        return kRegistryNotDone;
    }
    *value = data;
    return kRegistryDone;
}

int ReadStringValue(HKEY root, const CWideString& path, const CWideString& name,
                    CWideString* text) {
    CHeapBuffer buffer(kStringBufferBytes);
    if (buffer.Get() == nullptr) {
        return kRegistryNoBuffer;
    }
    CRegistryKey key;
    if (OpenRegistryKey(root, path, KEY_READ, &key) != kRegistryDone) {
        return kRegistryNotDone;
    }
    DWORD type = 0;
    DWORD bytes = kStringReadBytes;
    LONG status = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type,
                                   static_cast<BYTE*>(buffer.Get()), &bytes);
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        return kRegistryNotDone;
    }
    // A stored value need not carry its terminator: take the characters read, up to the first
    // zero, and never more.
    const wchar_t* chars = static_cast<const wchar_t*>(buffer.Get());
    DWORD count = 0;
    while (count < bytes / sizeof(wchar_t) && chars[count] != L'\0') {
        ++count;
    }
    CWideString result;
    if (count > 0) {
        wchar_t* out = result.GetBuffer(static_cast<int32_t>(count));
        if (out == nullptr) {
            return kRegistryNotDone;
        }
        for (DWORD i = 0; i < count; ++i) {
            out[i] = chars[i];
        }
        out[count] = L'\0';
        result.GetLength();
    }
    *text = result;
    return kRegistryDone;
}

int WriteStringValue(HKEY root, const CWideString& path, const CWideString& name,
                     const CWideString& text) {
    CRegistryKey key;
    if (CreateRegistryKey(root, path, &key) != kRegistryDone) {
        return kRegistryNotDone;
    }
    DWORD bytes = static_cast<DWORD>(2 * text.GetLength() + 2);
    LONG status = RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    return status == ERROR_SUCCESS ? kRegistryDone : kRegistryNotDone;
}

int WriteDwordValue(HKEY root, const CWideString& path, const CWideString& name, uint32_t value) {
    CRegistryKey key;
    if (CreateRegistryKey(root, path, &key) != kRegistryDone) {
        return kRegistryNotDone;
    }
    DWORD data = value;
    LONG status = RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&data), sizeof(data));
    return status == ERROR_SUCCESS ? kRegistryDone : kRegistryNotDone;
}

int DeleteRegistryValue(HKEY root, const CWideString& path, const CWideString& name) {
    CRegistryKey key;
    if (OpenRegistryKey(root, path, KEY_READ | KEY_WRITE, &key) != kRegistryDone) {
        CRegistryKey probe;
        return OpenRegistryKey(root, path, KEY_READ, &probe) == kRegistryDone ? kRegistryNotDone
                                                                              : kRegistryDone;
    }
    LONG status = RegDeleteValueW(key.Get(), name.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? kRegistryDone
                                                                     : kRegistryNotDone;
}

int CloseRegistryKey(HKEY key) {
    RegFlushKey(key);
    return RegCloseKey(key) != ERROR_SUCCESS ? 1 : 0;
}

} // namespace Corvinex
