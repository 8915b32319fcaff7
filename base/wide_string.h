// CWideString: the one wide-character text type of the framework.
//
// A zero-terminated text of 16-bit code units in a private fixed block of the global heap, with
// value semantics (every copy is deep). Texts are wiped before their block is released, a block
// for n characters holds n + (n AND 0xFF), and the cached length is recounted when it is 0.
// The layout (buffer, length, capacity) crosses the engine library boundary unchanged.
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

namespace Corvinex {

class CWideString {
public:
    // The empty text in a block of capacity 2.
    CWideString();
    // Copies the wide text; a null pointer gives the empty text.
    CWideString(const wchar_t* text);
    // Converts the ANSI text through the system ANSI code page; null gives the empty text.
    explicit CWideString(const char* text);
    // Deep copy; a copy of a null string is the empty text, not null.
    CWideString(const CWideString& other);
    // Wipes and releases the block.
    ~CWideString();

    CWideString(decltype(nullptr)) = delete;
    CWideString(wchar_t) = delete;
    CWideString(int) = delete;
    CWideString(bool) = delete;

    // Deep copy through a temporary, so assigning a string to itself keeps its text.
    CWideString& operator=(const CWideString& other);
    // Assign of the wide text; a text inside this string's own block is copied first.
    CWideString& operator=(const wchar_t* text);
    CWideString& operator=(decltype(nullptr)) = delete;
    CWideString& operator=(wchar_t) = delete;
    CWideString& operator=(int) = delete;

    // Wipes and releases the block; the string becomes null (no block, length and capacity 0).
    void Empty();
    // Replaces the block by a zero-filled one of n + (n AND 0xFF) characters and returns that
    // capacity; 0 when n is 0 or the block cannot be had, and the string is then null.
    uint32_t Allocate(uint32_t n);
    // Copies the text (null counts as empty) and returns the new length; on a failed allocation
    // the string is null and 0 is returned. The text must not lie in this string's block.
    int32_t Assign(const wchar_t* text);
    // Converts the ANSI text (null counts as empty) and returns the new length.
    int32_t Assign(const char* text);
    int32_t Assign(decltype(nullptr)) = delete;

    // The length in characters; recounted (and the block re-sized) when the cached value is 0,
    // so text a caller wrote through GetBuffer becomes visible. Old buffer pointers then dangle.
    // The text itself never changes; when the re-sized block cannot be had the old one stays.
    int32_t GetLength() const;
    // A writable block for n characters plus terminator holding the first characters of the
    // old text; the length is left 0 for GetLength to count. n == 0 empties and returns null.
    wchar_t* GetBuffer(int32_t n);
    // The text becomes n copies of ch (n < 0 counts as 0); the empty text if no block is had.
    void Fill(wchar_t ch, int32_t n);
    // Index of the first occurrence of text at or after start, or -1 (also for a null string).
    int32_t Find(const wchar_t* text, int32_t start) const;
    // Ordinal comparison, case-sensitive; a null text or buffer counts as the empty text.
    int Compare(const wchar_t* text) const;
    int Compare(const char* text) const;
    int Compare(decltype(nullptr)) const = delete;
    // Replaces every `from` by `to` in place; returns a copy of the result.
    CWideString ReplaceChar(wchar_t from, wchar_t to);
    // Replaces non-overlapping occurrences left to right; returns a copy of the result.
    CWideString Replace(const wchar_t* find, const wchar_t* with);
    // New strings with a part of the text; positions out of range are clamped.
    CWideString Mid(int32_t start, int32_t count) const;
    CWideString Mid(int32_t start) const;
    CWideString Left(int32_t n) const;
    CWideString Right(int32_t n) const;
    // Appends the text; a failed temporary block leaves the string unchanged.
    void Append(const wchar_t* text);
    void Append(wchar_t ch);
    void Append(decltype(nullptr)) = delete;
    // Formats into this string ("%s" takes a wide text, "%i" a 32-bit int) and returns a copy.
    // A format the runtime refuses gives the empty text.
    CWideString FormatV(const wchar_t* format, va_list args);
    // Lower-cases every capital letter by the system's locale-independent case table (Latin,
    // Greek, Cyrillic, ...); other characters stay. Returns this string.
    CWideString& MakeLower();

    // The block, or null for a null string. Valid until the next change of the string.
    const wchar_t* GetBufferPointer() const { return m_pBuffer; }
    // The text, with a null string read as the empty text.
    const wchar_t* c_str() const { return m_pBuffer != nullptr ? m_pBuffer : L""; }
    uint32_t GetCapacity() const { return m_nCapacity; }
    bool IsNull() const { return m_pBuffer == nullptr; }

private:
    // Exchanges block, length and capacity with other; other may be const, as in GetLength,
    // since the three fields are mutable.
    void ExchangeBlocks(const CWideString& other);

    // mutable: the text is the string's value; the length is a cache of it, and GetLength on a
    // const string may recount it and re-size the block (so all three fields) without changing
    // the text. Only GetLength writes them from a const function.
    mutable wchar_t* m_pBuffer;
    mutable int32_t m_nLength;
    mutable uint32_t m_nCapacity;
};

// Concatenation; the result is a new string.
CWideString operator+(const CWideString& a, const CWideString& b);
CWideString operator+(const wchar_t* a, const CWideString& b);

// printf-style formatting of a wide format into a new string. In every format "%s" takes a wide
// text and "%i" a signed 32-bit integer. The format stays by value: va_start on a reference
// parameter (the one before "...") is undefined behaviour.
CWideString FormatString(CWideString format, ...);

// Match function for string arrays (TArray): 0 when the two texts are equal.
int32_t CompareWideStrings(const CWideString* element, const CWideString* key);

} // namespace Corvinex
