// CMemoryDataContainer: a data container over a growable memory block.
//
// Storing writes at the position and cuts the content behind it, so a storing pass that starts
// at the beginning replaces what was there. Loading reads from the position. Reset (and so every
// Open) rewinds to the beginning and keeps the content.
#pragma once

#include "base/data_container.h"

#include <stdint.h>

namespace Corvinex {

class CMemoryDataContainer : public CDataContainer {
public:
    // An empty block, closed.
    CMemoryDataContainer();
    // Releases the block.
    ~CMemoryDataContainer();

    uint32_t Reset() override;
    // Copies the next size bytes; 70 (recorded) when fewer remain, and nothing is copied.
    uint32_t Read(void* buffer, uint32_t size) override;
    // Appends at the position, growing the block; 73 (recorded) when it cannot grow.
    uint32_t Write(const void* buffer, uint32_t size) override;
    uint32_t GetRemaining() override;
    // The rest of the block while loading without an error; nothing from a derived class.
    const uint8_t* Peek(uint32_t& available) override;
    // The mode questions are those of the base class, fixed here so that Read and Write can
    // test the mode field directly (one test per call on the hot path of the value stream).
    uint32_t GetMode() final { return nMode; }
    int IsLoading() final { return nMode == kModeLoading ? 1 : 0; }
    int IsStoring() final { return nMode == kModeStoring ? 1 : 0; }

    // Replaces the content by a copy of size bytes at data and rewinds; false (content empty)
    // when the block cannot be had. Use it to load a stream received from elsewhere.
    bool LoadFrom(const void* data, uint32_t size);
    // The content; valid until the next Write or LoadFrom.
    const uint8_t* GetData() const { return m_pData; }
    uint32_t GetSize() const { return m_nSize; }
    uint32_t GetPosition() const { return m_nPosition; }

private:
    bool Reserve(uint32_t needed);

    uint8_t* m_pData;
    uint32_t m_nSize;
    uint32_t m_nCapacity;
    uint32_t m_nPosition;
};

} // namespace Corvinex
