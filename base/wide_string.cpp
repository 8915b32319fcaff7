#include "base/wide_string.h"

#include "base/global_heap.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace Corvinex {

namespace {

bool LiesInBlock(const wchar_t* text, const wchar_t* block, uint32_t capacity) {
    return block != nullptr && text >= block && text < block + capacity;
}

// A zero-terminated temporary text in a global block; wiped and released on destruction.
class TempWideBlock {
public:
    explicit TempWideBlock(size_t chars)
        : m_pText(static_cast<wchar_t*>(AllocGlobalBlock(chars * sizeof(wchar_t)))),
          m_nChars(chars) {}
    ~TempWideBlock() {
        if (m_pText != nullptr) {
            SecureZeroMemory(m_pText, m_nChars * sizeof(wchar_t));
            FreeGlobalBlock(m_pText);
        }
    }
    TempWideBlock(const TempWideBlock&) = delete;
    TempWideBlock& operator=(const TempWideBlock&) = delete;
    wchar_t* Get() const { return m_pText; }

private:
    wchar_t* m_pText;
    size_t m_nChars;
};

} // namespace

CWideString::CWideString() : m_pBuffer(nullptr), m_nLength(0), m_nCapacity(0) {
    Assign("");
}

CWideString::CWideString(const wchar_t* text) : m_pBuffer(nullptr), m_nLength(0), m_nCapacity(0) {
    Assign(text);
}

CWideString::CWideString(const char* text) : m_pBuffer(nullptr), m_nLength(0), m_nCapacity(0) {
    Assign(text);
}

CWideString::CWideString(const CWideString& other)
    : m_pBuffer(nullptr), m_nLength(0), m_nCapacity(0) {
    Assign(other.m_pBuffer);
}

CWideString::~CWideString() {
    Empty();
}

CWideString& CWideString::operator=(const CWideString& other) {
    if (this != &other) {
        Assign(other.m_pBuffer);
    }
    return *this;
}

CWideString& CWideString::operator=(const wchar_t* text) {
    Assign(text);
    return *this;
}

void CWideString::Empty() {
    if (m_pBuffer != nullptr) {
        size_t n = wcslen(m_pBuffer);
        SecureZeroMemory(m_pBuffer, n * sizeof(wchar_t));
        FreeGlobalBlock(m_pBuffer);
    }
    m_pBuffer = nullptr;
    m_nLength = 0;
    m_nCapacity = 0;
}

uint32_t CWideString::Allocate(uint32_t n) {
    Empty();
    if (n == 0) {
        return 0;
    }
    uint64_t chars = static_cast<uint64_t>(n) + (n & 0xFF);
    if (chars * sizeof(wchar_t) > 0x7FFFFFFFu) {
        return 0;
    }
    void* block = AllocGlobalBlock(static_cast<size_t>(chars * sizeof(wchar_t)));
    if (block == nullptr) {
        return 0;
    }
    m_pBuffer = static_cast<wchar_t*>(block);
    m_nCapacity = static_cast<uint32_t>(chars);
    m_nLength = 0;
    return m_nCapacity;
}

int32_t CWideString::Assign(const wchar_t* text) {
    if (text == nullptr) {
        return Assign("");
    }
    if (LiesInBlock(text, m_pBuffer, m_nCapacity)) {
        // Allocate releases the old block first, so take the text out of it beforehand.
        CWideString copy(text);
        return Assign(copy.m_pBuffer);
    }
    size_t n = wcslen(text);
    if (n >= 0x7FFFFFFF) {
        Empty();
        return 0;
    }
    uint32_t need = static_cast<uint32_t>(n) + 1;
    uint32_t got = Allocate(need);
    if (got < need) {
        return static_cast<int32_t>(got);
    }
    memcpy(m_pBuffer, text, need * sizeof(wchar_t));
    m_nLength = static_cast<int32_t>(wcslen(m_pBuffer));
    return m_nLength;
}

int32_t CWideString::Assign(const char* text) {
    if (text == nullptr) {
        text = "";
    }
    size_t n = strlen(text);
    if (n >= 0x3FFFFFFF) {
        Empty();
        return 0;
    }
    // Convert first: the ANSI text could come from memory this string is about to release.
    wchar_t* converted = static_cast<wchar_t*>(malloc(2 * n + 2));
    if (converted == nullptr) {
        Empty();
        return 0;
    }
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, converted, static_cast<int>(n + 1)) == 0) {
        converted[0] = L'\0';
    }
    uint32_t need = static_cast<uint32_t>(n) + 1;
    if (Allocate(need) < need) {
        free(converted);
        return 0;
    }
    memcpy(m_pBuffer, converted, need * sizeof(wchar_t));
    SecureZeroMemory(converted, 2 * n + 2);
    free(converted);
    m_nLength = static_cast<int32_t>(wcslen(m_pBuffer));
    return m_nLength;
}

void CWideString::ExchangeBlocks(const CWideString& other) {
    wchar_t* buffer = m_pBuffer;
    int32_t length = m_nLength;
    uint32_t capacity = m_nCapacity;
    m_pBuffer = other.m_pBuffer;
    m_nLength = other.m_nLength;
    m_nCapacity = other.m_nCapacity;
    other.m_pBuffer = buffer;
    other.m_nLength = length;
    other.m_nCapacity = capacity;
}

int32_t CWideString::GetLength() const {
    if (m_nLength <= 0 && m_pBuffer != nullptr && m_pBuffer[0] != L'\0') {
        // The copy's block is sized by the capacity rule for the counted text; this string takes
        // it and the copy wipes and releases the old one.
        CWideString copy(m_pBuffer);
        if (copy.m_nLength > 0) {
            copy.ExchangeBlocks(*this);
        } else {
            m_nLength = static_cast<int32_t>(wcslen(m_pBuffer));
        }
    }
    return m_nLength;
}

wchar_t* CWideString::GetBuffer(int32_t n) {
    CWideString old(m_pBuffer);
    Empty();
    if (n <= 0) {
        return nullptr;
    }
    uint32_t need = static_cast<uint32_t>(n) + 1;
    if (Allocate(need) < need) {
        return nullptr;
    }
    int32_t keep = old.GetLength();
    if (keep > n) {
        keep = n;
    }
    memcpy(m_pBuffer, old.c_str(), static_cast<size_t>(keep) * sizeof(wchar_t));
    m_pBuffer[n] = L'\0';
    return m_pBuffer;
}

void CWideString::Fill(wchar_t ch, int32_t n) {
    if (n < 0) {
        n = 0;
    }
    TempWideBlock temp(static_cast<size_t>(n) + 1);
    if (temp.Get() == nullptr) {
        Assign("");
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        temp.Get()[i] = ch;
    }
    temp.Get()[n] = L'\0';
    Assign(temp.Get());
}

int32_t CWideString::Find(const wchar_t* text, int32_t start) const {
    if (m_pBuffer == nullptr || start < 0 || text == nullptr) {
        return -1;
    }
    int64_t needLength = static_cast<int64_t>(wcslen(text));
    if (needLength > static_cast<int64_t>(GetLength()) - start) {
        return -1;
    }
    if (text[0] == L'\0') {
        // Wine's wcsstr finds nothing at all in an empty text, not even the empty text.
        return start;
    }
    const wchar_t* hit = wcsstr(m_pBuffer + start, text);
    if (hit == nullptr) {
        return -1;
    }
    return static_cast<int32_t>(hit - m_pBuffer);
}

int CWideString::Compare(const wchar_t* text) const {
    CWideString other(text);
    return wcscmp(c_str(), other.c_str());
}

int CWideString::Compare(const char* text) const {
    CWideString other(text);
    return wcscmp(c_str(), other.c_str());
}

CWideString CWideString::ReplaceChar(wchar_t from, wchar_t to) {
    if (m_pBuffer != nullptr && from != to) {
        int32_t n = GetLength();
        for (int32_t i = 0; i < n; ++i) {
            if (m_pBuffer[i] == from) {
                m_pBuffer[i] = to;
            }
        }
    }
    return *this;
}

CWideString CWideString::Replace(const wchar_t* find, const wchar_t* with) {
    CWideString findText(find);
    CWideString withText(with);
    if (findText.Compare(withText.c_str()) == 0 || findText.Compare(L"") == 0) {
        return *this;
    }
    int32_t findLength = findText.GetLength();
    int32_t withLength = withText.GetLength();
    CWideString work(*this);
    int32_t pos = 0;
    for (;;) {
        pos = work.Find(findText.c_str(), pos);
        if (pos == -1) {
            break;
        }
        CWideString next =
            work.Left(pos) + withText + work.Right(work.GetLength() - pos - findLength);
        pos += withLength;
        work = next;
    }
    Assign(work.c_str());
    return *this;
}

namespace {
CWideString FromRange(const wchar_t* text, int32_t count) {
    CWideString result;
    if (count <= 0) {
        return result;
    }
    wchar_t* buffer = result.GetBuffer(count);
    if (buffer != nullptr) {
        memcpy(buffer, text, static_cast<size_t>(count) * sizeof(wchar_t));
    }
    return result;
}
} // namespace

CWideString CWideString::Mid(int32_t start, int32_t count) const {
    if (start < 0) {
        start = 0;
    }
    int32_t length = GetLength();
    if (start >= length || count <= 0) {
        return CWideString();
    }
    if (static_cast<int64_t>(start) + count > length) {
        return Mid(start);
    }
    return FromRange(m_pBuffer + start, count);
}

CWideString CWideString::Mid(int32_t start) const {
    if (start < 0) {
        start = 0;
    }
    return Mid(start, GetLength() - start);
}

CWideString CWideString::Left(int32_t n) const {
    if (n < 0) {
        n = 0;
    }
    if (n < GetLength()) {
        return FromRange(m_pBuffer, n);
    }
    return *this;
}

CWideString CWideString::Right(int32_t n) const {
    if (n <= 0) {
        return CWideString();
    }
    int32_t length = GetLength();
    if (n < length) {
        return FromRange(m_pBuffer + (length - n), n);
    }
    return *this;
}

void CWideString::Append(const wchar_t* text) {
    if (text == nullptr || text[0] == L'\0') {
        return;
    }
    if (m_pBuffer == nullptr || GetLength() == 0) {
        Assign(text);
        return;
    }
    size_t length = static_cast<size_t>(GetLength());
    size_t extra = wcslen(text);
    TempWideBlock temp(length + extra + 1);
    if (temp.Get() == nullptr) {
        return;
    }
    memcpy(temp.Get(), m_pBuffer, length * sizeof(wchar_t));
    memcpy(temp.Get() + length, text, extra * sizeof(wchar_t));
    temp.Get()[length + extra] = L'\0';
    Assign(temp.Get());
}

void CWideString::Append(wchar_t ch) {
    wchar_t text[2] = {ch, L'\0'};
    Append(text);
}

CWideString CWideString::FormatV(const wchar_t* format, va_list args) {
    if (format == nullptr) {
        Assign(L"");
        return *this;
    }
    va_list counting;
    va_copy(counting, args);
    // The msvcrt functions, not the ISO ones: they read "%s" as a wide text in a wide format.
    int n = _vscwprintf(format, counting);
    va_end(counting);
    if (n < 0) {
        Assign(L"");
        return *this;
    }
    wchar_t* buffer = GetBuffer(n + 1);
    if (buffer == nullptr) {
        return *this;
    }
    va_list writing;
    va_copy(writing, args);
    int written = _vsnwprintf(buffer, static_cast<size_t>(n) + 1, format, writing);
    va_end(writing);
    if (written < 0) {
        buffer[0] = L'\0';
    }
    buffer[n] = L'\0';
    return *this;
}

CWideString& CWideString::MakeLower() {
    int32_t n = GetLength();
    if (n > 0 && m_pBuffer != nullptr) {
        // The system's own case table through the invariant locale, so a key is the same under
        // every user locale (no Turkish dotless i). The runtime's towlower maps only A-Z in the
        // default C locale (msvcrt and Wine alike). Case mapping keeps the length and may work
        // in place; systems before XP know no invariant locale and use the default table.
        if (LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, m_pBuffer, n, m_pBuffer, n) == 0) {
            CharLowerBuffW(m_pBuffer, static_cast<DWORD>(n));
        }
    }
    return *this;
}

CWideString operator+(const CWideString& a, const CWideString& b) {
    CWideString result(a);
    result.Append(b.GetBufferPointer());
    return result;
}

CWideString operator+(const wchar_t* a, const CWideString& b) {
    CWideString result(a);
    result.Append(b.GetBufferPointer());
    return result;
}

CWideString FormatString(CWideString format, ...) {
    CWideString temp;
    va_list args;
    va_start(args, format);
    CWideString result = temp.FormatV(format.c_str(), args);
    va_end(args);
    return result;
}

} // namespace Corvinex

namespace Corvinex {

int32_t CompareWideStrings(const CWideString* element, const CWideString* key) {
    return element->Compare(key->GetBufferPointer());
}

} // namespace Corvinex
