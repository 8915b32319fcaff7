// CDataContainer: the stream through which values store and load themselves.
//
// One direction per pass (storing or loading); errors are sticky until the next Open or Reset.
// The base class moves no bytes: every successful Read, Write or AddCount only adds its size to
// the total, which makes a base container the measuring stream of the value format. Derived
// containers (memory block, file) move bytes to and from a medium.
#pragma once

#include "base/ansi_string.h"
#include "base/wide_string.h"

#include <stdint.h>

namespace Corvinex {

// Result codes of containers. The first three are those of the base class; the others are
// recorded by derived containers and by the loaders of the value format on malformed input.
// Transfer while neither storing nor loading.
const uint32_t kDataErrorNotOpen = 11;
// Null buffer, size 0, or an error already recorded.
const uint32_t kDataErrorRefused = 30;
// Wrong direction, or Open with a mode that did not take.
const uint32_t kDataErrorWrongMode = 60;
// The medium holds fewer bytes than a Read asked for.
const uint32_t kDataErrorEndOfData = 70;
// A length, count, size, type code or nesting depth that the stream cannot hold.
const uint32_t kDataErrorMalformed = 71;
// A file entry whose path would leave its root or name a device.
const uint32_t kDataErrorUnsafePath = 72;
// The medium refused to take or give bytes (disk full, read failure, no memory to grow).
const uint32_t kDataErrorMediumFailed = 73;

// Container modes.
const uint32_t kModeClosed = 0;
const uint32_t kModeStoring = 1;
const uint32_t kModeLoading = 2;

// What the objects that store themselves read from the container's target (three fields): the
// root folder (forward slashes, trailing slash), an unused field, and the catalogue flag (1: file
// contents are not moved, only their sizes are stored or counted).
struct CDataTarget {
    const wchar_t* pRoot;
    uint32_t nUnused;
    uint32_t nCatalogue;
};

class CDataContainer {
public:
    // Closed, no target, no error, total 0.
    CDataContainer();
    // Not virtual (the slot layout is fixed): derived containers release their medium in their
    // own destructors, and containers are never deleted through a base pointer.
    ~CDataContainer();
    CDataContainer(const CDataContainer&) = delete;
    CDataContainer& operator=(const CDataContainer&) = delete;

    // Slot 0: ends the pass (mode and error 0); total and target stay. Returns 0.
    virtual uint32_t Reset();
    // Slot 1: Read when loading, Write when storing; 11 when closed.
    virtual uint32_t Transfer(void* buffer, uint32_t size);
    // Slot 2: fills buffer with the next size bytes of the medium. 60 (recorded) when not
    // loading; 30 (not recorded) for a null buffer, size 0 or an error already recorded.
    virtual uint32_t Read(void* buffer, uint32_t size);
    // Slot 3: puts size bytes on the medium; the same checks with storing.
    virtual uint32_t Write(const void* buffer, uint32_t size);
    // Slot 4 to 6: the mode and its two questions.
    virtual uint32_t GetMode();
    virtual int IsLoading();
    virtual int IsStoring();
    // Slot 7: bytes left in a loading medium; 0xFFFFFFFF when the container cannot tell (the
    // base class). Loaders bound every length they read from the stream by it.
    virtual uint32_t GetRemaining();
    // Slot 8: the next bytes of a loading medium that are in memory already, for loaders that
    // parse records in place: their address, valid until the next call of any other operation,
    // with their count in `available`. Nothing is consumed (Skip does that). Null with 0 when
    // not loading, after an error, or when the container keeps no such bytes (the base class).
    virtual const uint8_t* Peek(uint32_t& available);

    // Starts a pass: Reset first when open, then error and total 0, mode set when it is 1 or 2,
    // target kept. 0 when the container is now in the mode asked for, else 60.
    uint32_t Open(uint32_t mode, const CDataTarget* target);
    // Counts bytes a pass accounts for without moving them: 60 (recorded) when not storing, the
    // recorded error when there is one, else 0.
    uint32_t AddCount(uint32_t size);

    // Framed texts of the value format: one length byte for 0..254, else 0xFF and 4 bytes,
    // then the bytes without terminator. Each answers the recorded error.
    uint32_t WriteText(CAnsiString text);
    // The same for the n bytes at bytes (which need no terminator), without a copy of them.
    uint32_t WriteTextBytes(const char* bytes, uint32_t n);
    // A length beyond what the medium holds records 71 and leaves the text empty.
    uint32_t ReadText(CAnsiString& text);
    // The wide text goes into the stream in the ANSI code page.
    uint32_t WriteWideText(const CWideString& text);
    uint32_t ReadWideText(CWideString& text);
    // Reads and drops size bytes (a record the reader cannot use); bounded by GetRemaining.
    uint32_t Skip(uint32_t size);
    // Reads the length prefix of a framed text into n: 0 on success; the recorded error (n 0)
    // when the prefix cannot be read, 71 (recorded) when n is beyond what the medium holds.
    // For loaders that put the text's bytes straight where they belong.
    uint32_t ReadTextLength(uint32_t& n);

    // Records code in the error field (over any earlier one); returns it.
    uint32_t RecordError(uint32_t code) {
        nError = code;
        return code;
    }
    uint32_t GetError() const { return nError; }
    int32_t GetTotal() const { return nTotal; }
    const CDataTarget* GetTarget() const { return pTarget; }
    // True for the base class itself, which moves no bytes: writers may then count instead of
    // producing bytes (a file's content, a nested size field) with the same total.
    bool IsMeasuring() const;
    // Puts the container straight into a mode, without a target (the measuring container).
    void SetMode(uint32_t mode) { nMode = mode; }

protected:
    // Shared checks of Read and Write; 0 when the call may go on.
    uint32_t CheckRead(const void* buffer, uint32_t size);
    uint32_t CheckWrite(const void* buffer, uint32_t size);
    // Reads a framed text's n bytes, zero-terminated, into scratch when n < scratchSize, else
    // into a new C-heap buffer that the caller frees. Null (nothing to free) on failure.
    char* ReadTextBytes(uint32_t n, char* scratch, uint32_t scratchSize);

    const CDataTarget* pTarget;
    uint32_t nError;
    uint32_t nMode;
    int32_t nTotal;
};

} // namespace Corvinex
