#include "base/data_container.h"

#include <stdlib.h>
#include <string.h>
#include "base/language_support.h"

namespace Corvinex {

namespace {
// Texts shorter than this are read into a buffer on the stack (names, mostly).
const uint32_t kTextScratchSize = 260;
} // namespace

CDataContainer::CDataContainer() : pTarget(nullptr), nError(0), nMode(kModeClosed), nTotal(0) {}

CDataContainer::~CDataContainer() {
    nMode = kModeClosed;
    nError = 0;
}

uint32_t CDataContainer::Reset() {
    nMode = kModeClosed;
    nError = 0;
    return 0;
}

uint32_t CDataContainer::Transfer(void* buffer, uint32_t size) {
    switch (nMode) {
    case kModeLoading:
        return Read(buffer, size);
    case kModeStoring:
        return Write(buffer, size);
    default:
        return kDataErrorNotOpen;
    }
}

uint32_t CDataContainer::CheckRead(const void* buffer, uint32_t size) {
    if (!IsLoading()) {
        return RecordError(kDataErrorWrongMode);
    }
    if (nError != 0 || buffer == nullptr || size == 0) {
        return kDataErrorRefused;
    }
    return 0;
}

uint32_t CDataContainer::CheckWrite(const void* buffer, uint32_t size) {
    if (!IsStoring()) {
        return RecordError(kDataErrorWrongMode);
    }
    if (nError != 0 || buffer == nullptr || size == 0) {
        return kDataErrorRefused;
    }
    return 0;
}

uint32_t CDataContainer::Read(void* buffer, uint32_t size) {
    uint32_t result = CheckRead(buffer, size);
    if (result == 0) {
        nTotal += static_cast<int32_t>(size);
    }
    return result;
}

uint32_t CDataContainer::Write(const void* buffer, uint32_t size) {
    uint32_t result = CheckWrite(buffer, size);
    if (result == 0) {
        nTotal += static_cast<int32_t>(size);
    }
    return result;
}

uint32_t CDataContainer::GetMode() {
    return nMode;
}

int CDataContainer::IsLoading() {
    return GetMode() == kModeLoading ? 1 : 0;
}

int CDataContainer::IsStoring() {
    return GetMode() == kModeStoring ? 1 : 0;
}

uint32_t CDataContainer::GetRemaining() {
    return 0xFFFFFFFFu;
}

const uint8_t* CDataContainer::Peek(uint32_t& available) {
    available = 0;
    return nullptr;
}

uint32_t CDataContainer::Open(uint32_t mode, const CDataTarget* target) {
    if (nMode != kModeClosed) {
        Reset();
    }
    nError = 0;
    nTotal = 0;
    if (mode == kModeStoring || mode == kModeLoading) {
        nMode = mode;
    }
    pTarget = target;
    return nMode == mode ? 0 : kDataErrorWrongMode;
}

uint32_t CDataContainer::AddCount(uint32_t size) {
    if (!IsStoring()) {
        return RecordError(kDataErrorWrongMode);
    }
    if (nError != 0) {
        return nError;
    }
    nTotal += static_cast<int32_t>(size);
    return 0;
}

bool CDataContainer::IsMeasuring() const {
    return typeid(*this) == typeid(CDataContainer);
}

uint32_t CDataContainer::WriteText(CAnsiString text) {
    return WriteTextBytes(text.c_str(), static_cast<uint32_t>(text.GetLength()));
}

uint32_t CDataContainer::WriteTextBytes(const char* bytes, uint32_t n) {
    uint8_t head = n < 255 ? static_cast<uint8_t>(n) : 0xFF;
    Write(&head, 1);
    if (head == 0xFF) {
        Write(&n, 4);
    }
    Write(bytes, n);
    return nError;
}

uint32_t CDataContainer::ReadTextLength(uint32_t& n) {
    uint8_t head = 0;
    n = 0;
    Read(&head, 1);
    if (head == 0xFF) {
        Read(&n, 4);
    } else {
        n = head;
    }
    if (nError != 0) {
        n = 0;
        return nError;
    }
    // The length is the sender's word; no text may claim more than the medium still holds.
    if (n > 0x7FFFFFFFu || n > GetRemaining()) {
        n = 0;
        return RecordError(kDataErrorMalformed);
    }
    return 0;
}

char* CDataContainer::ReadTextBytes(uint32_t n, char* scratch, uint32_t scratchSize) {
    char* bytes =
        n < scratchSize ? scratch : static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
    if (bytes == nullptr) {
        Skip(n);
        return nullptr;
    }
    // No zero fill: the read overwrites the n bytes, and a failed read gives nothing back.
    if (Read(bytes, n) != 0 || nError != 0) {
        if (bytes != scratch) {
            free(bytes);
        }
        return nullptr;
    }
    bytes[n] = '\0';
    return bytes;
}

uint32_t CDataContainer::ReadText(CAnsiString& text) {
    uint32_t n = 0;
    if (ReadTextLength(n) != 0 || n == 0) {
        text.Assign("");
        return nError;
    }
    char scratch[kTextScratchSize];
    char* bytes = ReadTextBytes(n, scratch, kTextScratchSize);
    text.Assign(bytes != nullptr ? bytes : "");
    if (bytes != scratch) {
        free(bytes);
    }
    return nError;
}

uint32_t CDataContainer::WriteWideText(const CWideString& text) {
    // The prefix counts the bytes of the converted text. In a single-byte code page that is the
    // character count; in a multi-byte one it keeps every byte, so the text loads back whole.
    CAnsiString converted(text.c_str());
    return WriteTextBytes(converted.c_str(), static_cast<uint32_t>(converted.GetLength()));
}

uint32_t CDataContainer::ReadWideText(CWideString& text) {
    uint32_t n = 0;
    if (ReadTextLength(n) != 0 || n == 0) {
        text = L"";
        return nError;
    }
    char scratch[kTextScratchSize];
    char* bytes = ReadTextBytes(n, scratch, kTextScratchSize);
    text.Assign(bytes != nullptr ? bytes : "");
    if (bytes != scratch) {
        free(bytes);
    }
    return nError;
}

uint32_t CDataContainer::Skip(uint32_t size) {
    if (size == 0) {
        return nError;
    }
    if (size > GetRemaining()) {
        return RecordError(kDataErrorMalformed);
    }
    uint8_t scratch[4096];
    while (size > 0 && nError == 0) {
        uint32_t chunk = size < sizeof(scratch) ? size : static_cast<uint32_t>(sizeof(scratch));
        if (Read(scratch, chunk) != 0) {
            break;
        }
        size -= chunk;
    }
    return nError;
}

} // namespace Corvinex
