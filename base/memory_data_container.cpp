#include "base/memory_data_container.h"

#include <stdlib.h>
#include <string.h>
#include "base/language_support.h"

namespace Corvinex {

namespace {
// Neither size nor total may pass what a signed 32-bit total can count.
const uint32_t kMaxContent = 0x7FFFFFFFu;
} // namespace

CMemoryDataContainer::CMemoryDataContainer()
    : m_pData(nullptr), m_nSize(0), m_nCapacity(0), m_nPosition(0) {}

CMemoryDataContainer::~CMemoryDataContainer() {
    Reset();
    free(m_pData);
}

uint32_t CMemoryDataContainer::Reset() {
    m_nPosition = 0;
    return CDataContainer::Reset();
}

uint32_t CMemoryDataContainer::Read(void* buffer, uint32_t size) {
    if (nMode != kModeLoading || nError != 0 || buffer == nullptr || size == 0) {
        uint32_t result = CheckRead(buffer, size); // records and answers as the base class does
        if (result != 0) {
            return result;
        }
    }
    if (size > m_nSize - m_nPosition) {
        return RecordError(kDataErrorEndOfData);
    }
    memcpy(buffer, m_pData + m_nPosition, size);
    m_nPosition += size;
    nTotal += static_cast<int32_t>(size);
    return 0;
}

bool CMemoryDataContainer::Reserve(uint32_t needed) {
    if (needed <= m_nCapacity) {
        return true;
    }
    uint64_t capacity = m_nCapacity < 4096 ? 4096 : static_cast<uint64_t>(m_nCapacity) * 2;
    if (capacity < needed) {
        capacity = needed;
    }
    if (capacity > kMaxContent) {
        capacity = kMaxContent;
    }
    void* block = realloc(m_pData, static_cast<size_t>(capacity));
    if (block == nullptr) {
        return false;
    }
    m_pData = static_cast<uint8_t*>(block);
    m_nCapacity = static_cast<uint32_t>(capacity);
    return true;
}

uint32_t CMemoryDataContainer::Write(const void* buffer, uint32_t size) {
    if (nMode != kModeStoring || nError != 0 || buffer == nullptr || size == 0) {
        uint32_t result = CheckWrite(buffer, size);
        if (result != 0) {
            return result;
        }
    }
    if (size > m_nCapacity - m_nPosition &&
        (size > kMaxContent - m_nPosition || !Reserve(m_nPosition + size))) {
        return RecordError(kDataErrorMediumFailed);
    }
    memcpy(m_pData + m_nPosition, buffer, size);
    m_nPosition += size;
    m_nSize = m_nPosition;
    nTotal += static_cast<int32_t>(size);
    return 0;
}

uint32_t CMemoryDataContainer::GetRemaining() {
    return m_nSize - m_nPosition;
}

const uint8_t* CMemoryDataContainer::Peek(uint32_t& available) {
    // A derived container may watch or change what Read gives: only this class itself lends
    // its bytes, so that everything else still goes through the derived Read.
    if (typeid(*this) != typeid(CMemoryDataContainer) || nMode != kModeLoading || nError != 0 ||
        m_nPosition == m_nSize) {
        available = 0;
        return nullptr;
    }
    available = m_nSize - m_nPosition;
    return m_pData + m_nPosition;
}

bool CMemoryDataContainer::LoadFrom(const void* data, uint32_t size) {
    m_nSize = 0;
    m_nPosition = 0;
    if (size == 0) {
        return true;
    }
    if (data == nullptr || size > kMaxContent) {
        return false;
    }
    if (size > m_nCapacity) {
        // The old content is being replaced: a fresh block spares growing (copying) it.
        free(m_pData);
        m_pData = nullptr;
        m_nCapacity = 0;
    }
    if (!Reserve(size)) {
        return false;
    }
    memcpy(m_pData, data, size);
    m_nSize = size;
    return true;
}

} // namespace Corvinex
