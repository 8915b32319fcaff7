#include "base/file_data_container.h"

#include <stdlib.h>
#include <string.h>
#include "base/language_support.h"

namespace Corvinex {

namespace {
const uint32_t kBufferSize = 256 * 1024;
} // namespace

CFileDataContainer::CFileDataContainer()
    : m_pBuffer(nullptr), m_nBuffered(0), m_nBufferRead(0), m_nRemaining(0), m_nCloseResult(0) {}

CFileDataContainer::~CFileDataContainer() {
    Reset();
    free(m_pBuffer);
}

uint32_t CFileDataContainer::OpenFile(const CWideString& path, uint32_t mode,
                                      const CDataTarget* target) {
    Close();
    if (mode != kModeStoring && mode != kModeLoading) {
        return kDataErrorWrongMode;
    }
    if (m_pBuffer == nullptr) {
        m_pBuffer = static_cast<uint8_t*>(malloc(kBufferSize));
        if (m_pBuffer == nullptr) {
            return kDataErrorMediumFailed;
        }
    }
    CWideString systemPath(path);
    systemPath.ReplaceChar(L'/', L'\\');
    bool opened = mode == kModeStoring
                      ? m_file.Open(systemPath.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS)
                      : m_file.Open(systemPath.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
    if (!opened) {
        return kDataErrorMediumFailed;
    }
    m_nBuffered = 0;
    m_nBufferRead = 0;
    m_nRemaining = 0;
    m_nCloseResult = 0;
    if (mode == kModeLoading) {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(m_file.Get(), &size)) {
            m_file.Close();
            return kDataErrorMediumFailed;
        }
        m_nRemaining = static_cast<uint64_t>(size.QuadPart);
    }
    return Open(mode, target);
}

uint32_t CFileDataContainer::Close() {
    Reset();
    return m_nCloseResult;
}

uint32_t CFileDataContainer::Reset() {
    if (m_file.IsOpen()) {
        bool ok = true;
        if (nMode == kModeStoring) {
            ok = Flush();
        }
        ok = m_file.Close() && ok;
        m_nCloseResult = ok ? 0 : kDataErrorMediumFailed;
    }
    m_nBuffered = 0;
    m_nBufferRead = 0;
    m_nRemaining = 0;
    return CDataContainer::Reset();
}

bool CFileDataContainer::Flush() {
    uint32_t done = 0;
    while (done < m_nBuffered) {
        DWORD written = 0;
        if (!WriteFile(m_file.Get(), m_pBuffer + done, m_nBuffered - done, &written, nullptr) ||
            written == 0) {
            m_nBuffered = 0;
            return false;
        }
        done += written;
    }
    m_nBuffered = 0;
    return true;
}

bool CFileDataContainer::Fill() {
    DWORD got = 0;
    if (!ReadFile(m_file.Get(), m_pBuffer, kBufferSize, &got, nullptr) || got == 0) {
        return false;
    }
    m_nBuffered = got;
    m_nBufferRead = 0;
    return true;
}

uint32_t CFileDataContainer::Read(void* buffer, uint32_t size) {
    if (nMode != kModeLoading || nError != 0 || buffer == nullptr || size == 0) {
        uint32_t result = CheckRead(buffer, size); // records and answers as the base class does
        if (result != 0) {
            return result;
        }
    }
    if (!m_file.IsOpen() || size > m_nRemaining) {
        return RecordError(kDataErrorEndOfData);
    }
    if (size <= m_nBuffered - m_nBufferRead) { // the common case: all of it is in the buffer
        memcpy(buffer, m_pBuffer + m_nBufferRead, size);
        m_nBufferRead += size;
        m_nRemaining -= size;
        nTotal += static_cast<int32_t>(size);
        return 0;
    }
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint32_t left = size;
    while (left > 0) {
        if (m_nBufferRead == m_nBuffered) {
            // Large reads bypass the buffer.
            if (left >= kBufferSize) {
                DWORD got = 0;
                if (!ReadFile(m_file.Get(), out, left, &got, nullptr) || got == 0) {
                    return RecordError(kDataErrorMediumFailed);
                }
                out += got;
                left -= got;
                continue;
            }
            if (!Fill()) {
                return RecordError(kDataErrorMediumFailed);
            }
        }
        uint32_t chunk = m_nBuffered - m_nBufferRead;
        if (chunk > left) {
            chunk = left;
        }
        memcpy(out, m_pBuffer + m_nBufferRead, chunk);
        m_nBufferRead += chunk;
        out += chunk;
        left -= chunk;
    }
    m_nRemaining -= size;
    nTotal += static_cast<int32_t>(size);
    return 0;
}

uint32_t CFileDataContainer::Write(const void* buffer, uint32_t size) {
    if (nMode != kModeStoring || nError != 0 || buffer == nullptr || size == 0) {
        uint32_t result = CheckWrite(buffer, size);
        if (result != 0) {
            return result;
        }
    }
    if (!m_file.IsOpen()) {
        return RecordError(kDataErrorMediumFailed);
    }
    const uint8_t* in = static_cast<const uint8_t*>(buffer);
    if (size >= kBufferSize) {
        if (!Flush()) {
            return RecordError(kDataErrorMediumFailed);
        }
        uint32_t done = 0;
        while (done < size) {
            DWORD written = 0;
            if (!WriteFile(m_file.Get(), in + done, size - done, &written, nullptr) ||
                written == 0) {
                return RecordError(kDataErrorMediumFailed);
            }
            done += written;
        }
    } else {
        if (size > kBufferSize - m_nBuffered && !Flush()) {
            return RecordError(kDataErrorMediumFailed);
        }
        memcpy(m_pBuffer + m_nBuffered, in, size);
        m_nBuffered += size;
    }
    nTotal += static_cast<int32_t>(size);
    return 0;
}

const uint8_t* CFileDataContainer::Peek(uint32_t& available) {
    available = 0;
    // A derived container may watch or change what Read gives: only this class itself lends
    // its bytes, so that everything else still goes through the derived Read.
    if (typeid(*this) != typeid(CFileDataContainer) || nMode != kModeLoading || nError != 0 ||
        m_nBufferRead == m_nBuffered) {
        return nullptr;
    }
    available = m_nBuffered - m_nBufferRead;
    if (available > m_nRemaining) {
        available = static_cast<uint32_t>(m_nRemaining);
    }
    return m_pBuffer + m_nBufferRead;
}

uint32_t CFileDataContainer::GetRemaining() {
    return m_nRemaining > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(m_nRemaining);
}

} // namespace Corvinex
