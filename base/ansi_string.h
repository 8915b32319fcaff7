// CAnsiString: narrow text in the system ANSI code page, the twin of CWideString.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace Corvinex {

class CAnsiString {
public:
    // The empty text in a block of capacity 2.
    CAnsiString();
    // Copies the ANSI text; null gives the empty text.
    explicit CAnsiString(const char* text);
    // Converts the wide text through the ANSI code page; null gives the empty text.
    explicit CAnsiString(const wchar_t* text);
    CAnsiString(const CAnsiString& other);
    ~CAnsiString();

    CAnsiString(decltype(nullptr)) = delete;
    CAnsiString(int) = delete;

    CAnsiString& operator=(const CAnsiString& other);

    // Wipes and releases the block; the string becomes null.
    void Empty();
    // A zero-filled block of n + (n AND 0xFF) bytes; returns that capacity, 0 on failure or n == 0.
    uint32_t Allocate(uint32_t n);
    // Copies the ANSI text (null counts as empty); returns the new length, 0 on failure.
    int32_t Assign(const char* text);
    // Converts the wide text through the ANSI code page; returns the new length.
    // Texts whose ANSI form needs more bytes than characters (multi-byte code pages) are sized
    // by asking the converter, so nothing is cut.
    int32_t Assign(const wchar_t* text);
    int32_t Assign(decltype(nullptr)) = delete;
    // The length in bytes, recounted when the cached value is 0.
    int32_t GetLength();

    const char* GetBufferPointer() const { return m_pBuffer; }
    const char* c_str() const { return m_pBuffer != nullptr ? m_pBuffer : ""; }
    uint32_t GetCapacity() const { return m_nCapacity; }

private:
    char* m_pBuffer;
    int32_t m_nLength;
    uint32_t m_nCapacity;
};

} // namespace Corvinex
