#include "base/ansi_string.h"

#include "base/global_heap.h"

#include <windows.h>

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace Corvinex {

CAnsiString::CAnsiString() : m_pBuffer(nullptr), m_nLength(0), m_nCapacity(0) {
    Assign("");
}

CAnsiString::CAnsiString(const char* text) : m_pBuffer(nullptr), m_nLength(0), m_nCapacity(0) {
    Assign(text);
}

CAnsiString::CAnsiString(const wchar_t* text) : m_pBuffer(nullptr), m_nLength(0), m_nCapacity(0) {
    Assign(text);
}

CAnsiString::CAnsiString(const CAnsiString& other)
    : m_pBuffer(nullptr), m_nLength(0), m_nCapacity(0) {
    Assign(other.m_pBuffer);
}

CAnsiString::~CAnsiString() {
    Empty();
}

CAnsiString& CAnsiString::operator=(const CAnsiString& other) {
    if (this != &other) {
        CAnsiString copy(other.m_pBuffer);
        Assign(copy.m_pBuffer);
    }
    return *this;
}

void CAnsiString::Empty() {
    if (m_pBuffer != nullptr) {
        SecureZeroMemory(m_pBuffer, strlen(m_pBuffer));
        FreeGlobalBlock(m_pBuffer);
    }
    m_pBuffer = nullptr;
    m_nLength = 0;
    m_nCapacity = 0;
}

uint32_t CAnsiString::Allocate(uint32_t n) {
    Empty();
    if (n == 0) {
        return 0;
    }
    uint64_t bytes = static_cast<uint64_t>(n) + (n & 0xFF);
    if (bytes > 0x7FFFFFFFu) {
        return 0;
    }
    void* block = AllocGlobalBlock(static_cast<size_t>(bytes));
    if (block == nullptr) {
        return 0;
    }
    m_pBuffer = static_cast<char*>(block);
    m_nCapacity = static_cast<uint32_t>(bytes);
    return m_nCapacity;
}

int32_t CAnsiString::Assign(const char* text) {
    if (text == nullptr) {
        text = "";
    }
    if (m_pBuffer != nullptr && text >= m_pBuffer && text < m_pBuffer + m_nCapacity) {
        CAnsiString copy(text);
        return Assign(copy.m_pBuffer);
    }
    size_t n = strlen(text);
    if (n >= 0x7FFFFFFF) {
        Empty();
        return 0;
    }
    uint32_t need = static_cast<uint32_t>(n) + 1;
    if (Allocate(need) < need) {
        return 0;
    }
    memcpy(m_pBuffer, text, need);
    m_nLength = static_cast<int32_t>(strlen(m_pBuffer));
    return m_nLength;
}

int32_t CAnsiString::Assign(const wchar_t* text) {
    if (text == nullptr) {
        return Assign("");
    }
    // One byte per character is not enough in multi-byte code pages: ask the converter.
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return Assign("");
    }
    char* converted = static_cast<char*>(malloc(static_cast<size_t>(bytes)));
    if (converted == nullptr) {
        Empty();
        return 0;
    }
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, converted, bytes, nullptr, nullptr) == 0) {
        converted[0] = '\0';
    }
    int32_t length = Assign(converted);
    SecureZeroMemory(converted, static_cast<size_t>(bytes));
    free(converted);
    return length;
}

int32_t CAnsiString::GetLength() {
    if (m_nLength <= 0 && m_pBuffer != nullptr && m_pBuffer[0] != '\0') {
        CAnsiString copy(m_pBuffer);
        Assign(copy.m_pBuffer);
    }
    return m_nLength;
}

} // namespace Corvinex
