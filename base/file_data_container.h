// CFileDataContainer: a data container over a file, buffered.
//
// OpenFile starts a pass on a file given by a wide forward-slash or backslash path: storing
// replaces the file's content, loading reads it from the beginning. Reset (and so every Open and
// the destructor) flushes and closes the file.
#pragma once

#include "base/data_container.h"
#include "base/file_handle.h"
#include "base/wide_string.h"

#include <stdint.h>

namespace Corvinex {

class CFileDataContainer : public CDataContainer {
public:
    // No file, closed.
    CFileDataContainer();
    // Flushes and closes the file.
    ~CFileDataContainer();

    // Opens path for storing (created or emptied) or loading (must exist), then Open(mode,
    // target). 0 on success; 73 when the file cannot be opened (the container stays closed),
    // 60 for a mode other than 1 and 2.
    uint32_t OpenFile(const CWideString& path, uint32_t mode, const CDataTarget* target);
    // Flushes and closes; the answer tells whether every byte reached the file (0) or not (73).
    // The container is closed afterwards either way.
    uint32_t Close();

    uint32_t Reset() override;
    // Buffered; 70 (recorded) when the file holds fewer bytes, 73 on a read failure.
    uint32_t Read(void* buffer, uint32_t size) override;
    // Buffered; 73 (recorded) when the file refuses the bytes.
    uint32_t Write(const void* buffer, uint32_t size) override;
    uint32_t GetRemaining() override;
    // What the buffer still holds while loading without an error (none when it is used up, or
    // from a derived class).
    const uint8_t* Peek(uint32_t& available) override;
    // Those of the base class, fixed so that Read and Write test the mode field directly.
    uint32_t GetMode() final { return nMode; }
    int IsLoading() final { return nMode == kModeLoading ? 1 : 0; }
    int IsStoring() final { return nMode == kModeStoring ? 1 : 0; }

private:
    bool Flush();
    bool Fill();

    CFileHandle m_file;
    uint8_t* m_pBuffer;
    uint32_t m_nBuffered;    // bytes in the buffer
    uint32_t m_nBufferRead;  // bytes of the buffer already handed out (loading)
    uint64_t m_nRemaining;   // bytes of the file not yet handed out (loading)
    uint32_t m_nCloseResult; // outcome of the last flush and close
};

} // namespace Corvinex
