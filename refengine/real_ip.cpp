#include "refengine/real_ip.h"

#include <windows.h>

#include <iphlpapi.h>

#include <stdlib.h>
#include <string.h>

namespace Corvinex {
namespace VeilpathEngine {

namespace {

bool IsUsable(const char* address) {
    return address[0] != '\0' && strcmp(address, "0.0.0.0") != 0;
}

CWideString Widen(const char* ascii) {
    CWideString text(L"");
    for (const char* p = ascii; *p != '\0'; ++p) {
        text.Append(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    }
    return text;
}

// Owns one block of the C runtime's heap.
class CHeapBlock {
public:
    explicit CHeapBlock(size_t bytes) : m_pBlock(malloc(bytes)) {}
    ~CHeapBlock() { free(m_pBlock); }
    CHeapBlock(const CHeapBlock&) = delete;
    CHeapBlock& operator=(const CHeapBlock&) = delete;

    // The block, or null when it could not be had.
    void* Get() const { return m_pBlock; }

private:
    void* m_pBlock;
};

// Owns the IP helper library, loaded for one question only: vpe.dll does not import it, so
// loading the engine (which the harness does before its window shows) does not pay for it.
class CIpHelper {
public:
    CIpHelper() : m_hModule(LoadLibraryW(L"iphlpapi.dll")) {}
    ~CIpHelper() {
        if (m_hModule != nullptr) {
            FreeLibrary(m_hModule);
        }
    }
    CIpHelper(const CIpHelper&) = delete;
    CIpHelper& operator=(const CIpHelper&) = delete;

    // GetAdaptersInfo, or null when the library or the function is missing.
    decltype(&GetAdaptersInfo) AdaptersInfo() const {
        return m_hModule == nullptr
                   ? nullptr
                   : reinterpret_cast<decltype(&GetAdaptersInfo)>(
                         reinterpret_cast<void*>(GetProcAddress(m_hModule, "GetAdaptersInfo")));
    }

private:
    HMODULE m_hModule;
};

} // namespace

CWideString FindRealIPv4Address() {
    CIpHelper helper;
    auto getAdaptersInfo = helper.AdaptersInfo();
    ULONG bytes = 0;
    if (getAdaptersInfo == nullptr || getAdaptersInfo(nullptr, &bytes) != ERROR_BUFFER_OVERFLOW ||
        bytes == 0) {
        return CWideString(L"127.0.0.1");
    }
    CHeapBlock buffer(bytes);
    IP_ADAPTER_INFO* adapters = static_cast<IP_ADAPTER_INFO*>(buffer.Get());
    if (adapters == nullptr || getAdaptersInfo(adapters, &bytes) != NO_ERROR) {
        return CWideString(L"127.0.0.1");
    }
    const char* fallback = nullptr;
    for (IP_ADAPTER_INFO* adapter = adapters; adapter != nullptr; adapter = adapter->Next) {
        for (IP_ADDR_STRING* ip = &adapter->IpAddressList; ip != nullptr; ip = ip->Next) {
            const char* address = ip->IpAddress.String;
            if (!IsUsable(address)) {
                continue;
            }
            if (IsUsable(adapter->GatewayList.IpAddress.String)) {
                return Widen(address);
            }
            if (fallback == nullptr) {
                fallback = address;
            }
        }
    }
    return fallback != nullptr ? Widen(fallback) : CWideString(L"127.0.0.1");
}

} // namespace VeilpathEngine
} // namespace Corvinex
