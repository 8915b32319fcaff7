#include "check/process_facts.h"

#include "base/scoped_handle.h"
#include "check/check_session.h"
#include "engine/type_info_layout.h"

#include <tlhelp32.h>

#include <wchar.h>

namespace Corvinex {
namespace Check {

namespace {

// The first fault counted, recorded by the vectored handler.
HMODULE g_faultModule = nullptr;
uintptr_t g_faultBase = 0;
uintptr_t g_faultSize = 0;
volatile LONG g_faultCount = 0;
DWORD g_firstFaultCode = 0;
void* g_firstFaultAddress = nullptr;
LONG g_firstFaultSlot = -1;
EngineState g_firstFaultState = EngineState::Fresh;

// Faults of the processor itself (not exceptions a program raises on purpose).
bool IsProcessorFault(DWORD code) {
    return code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_ILLEGAL_INSTRUCTION ||
           code == EXCEPTION_PRIV_INSTRUCTION || code == EXCEPTION_INT_DIVIDE_BY_ZERO ||
           code == EXCEPTION_IN_PAGE_ERROR || code == EXCEPTION_DATATYPE_MISALIGNMENT;
}

LONG WINAPI CountFault(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    const uintptr_t at = reinterpret_cast<uintptr_t>(record->ExceptionAddress);
    if (IsProcessorFault(record->ExceptionCode) && at >= g_faultBase &&
        at < g_faultBase + g_faultSize) {
        if (InterlockedIncrement(&g_faultCount) == 1) {
            g_firstFaultCode = record->ExceptionCode;
            g_firstFaultAddress = record->ExceptionAddress;
            CurrentCall(&g_firstFaultSlot, &g_firstFaultState);
        }
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// NtQueryInformationThread's class for the address a thread was started at.
const int kThreadQuerySetWin32StartAddress = 9;
typedef LONG(WINAPI* NtQueryInformationThreadFunc)(HANDLE, int, void*, ULONG, ULONG*);

uintptr_t ThreadStartAddress(DWORD id) {
    static NtQueryInformationThreadFunc query =
        reinterpret_cast<NtQueryInformationThreadFunc>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    if (query == nullptr)
        return 0;
    CKernelHandle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, id));
    if (!thread.IsOpen())
        return 0;
    void* start = nullptr;
    if (query(thread.Get(), kThreadQuerySetWin32StartAddress, &start, sizeof(start), nullptr) != 0)
        start = nullptr;
    return reinterpret_cast<uintptr_t>(start);
}

} // namespace

bool IsExecutable(const void* address) {
    MEMORY_BASIC_INFORMATION info = {};
    if (VirtualQuery(address, &info, sizeof(info)) == 0 || info.State != MEM_COMMIT)
        return false;
    return (info.Protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                            PAGE_EXECUTE_WRITECOPY)) != 0;
}

bool IsMapped(uintptr_t address) {
    // Ask the loader rather than the memory manager: an unmapped image's range may already
    // hold other memory.
    HMODULE module = nullptr;
    return address != 0 &&
           GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(address), &module) &&
           reinterpret_cast<uintptr_t>(module) == address;
}

bool ModuleRange(HMODULE module, uintptr_t* base, uintptr_t* size) {
    // Read from the module's own mapped headers, not through GetModuleInformation: Wine answers
    // that by reading this process's loader data through the wineserver, which fails when the
    // server cannot reach the process (an emulated wineserver under qemu-i386).
    const BYTE* image = reinterpret_cast<const BYTE*>(module);
    if (module == nullptr || !IsReadableMemory(image, sizeof(IMAGE_DOS_HEADER)))
        return false;
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0 || dos->e_lfanew > 0x10000000)
        return false;
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    if (!IsReadableMemory(nt, sizeof(IMAGE_NT_HEADERS)) || nt->Signature != IMAGE_NT_SIGNATURE)
        return false;
    *base = reinterpret_cast<uintptr_t>(module);
    *size = nt->OptionalHeader.SizeOfImage;
    return true;
}

CWideString ModuleFileName(HMODULE module) {
    wchar_t path[MAX_PATH] = {0};
    GetModuleFileNameW(module, path, MAX_PATH);
    const wchar_t* name = path;
    for (const wchar_t* at = path; *at != 0; ++at) {
        if (*at == L'\\' || *at == L'/')
            name = at + 1;
    }
    return CWideString(name);
}

DWORD ProcessHandleCount() {
    // Resolved at run time: Wine's headers, which the MSVC-ABI build uses, do not declare it.
    typedef BOOL(WINAPI * HandleCountFunc)(HANDLE, DWORD*);
    static const HandleCountFunc query = reinterpret_cast<HandleCountFunc>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetProcessHandleCount")));
    DWORD count = 0;
    if (query == nullptr || !query(GetCurrentProcess(), &count))
        return 0;
    return count;
}

CWideString Hex(uintptr_t value) {
    wchar_t text[16];
    swprintf(text, 16, L"%lX", static_cast<unsigned long>(value));
    return CWideString(text);
}

void CThreadSet::Snapshot() {
    m_threads.RemoveAll();
    CKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.IsOpen())
        return;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more;
         more = Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID == self) {
            const ThreadStart thread = {entry.th32ThreadID, ThreadStartAddress(entry.th32ThreadID)};
            m_threads.Add(thread);
        }
    }
}

void CThreadSet::StartedWithin(uintptr_t base, uintptr_t size, const CThreadSet& earlier,
                               TArray<ThreadStart>* found) const {
    found->RemoveAll();
    for (int32_t i = 0; i < m_threads.GetCount(); ++i) {
        const ThreadStart& thread = m_threads.ElementAt(i);
        bool old = false;
        for (int32_t j = 0; j < earlier.m_threads.GetCount(); ++j)
            old = old || earlier.m_threads.ElementAt(j).id == thread.id;
        if (!old && thread.start >= base && thread.start < base + size)
            found->Add(thread);
    }
}

CFaultCounter::CFaultCounter(HMODULE module) {
    g_faultModule = module;
    ModuleRange(module, &g_faultBase, &g_faultSize);
    g_faultCount = 0;
    m_handler = AddVectoredExceptionHandler(1, CountFault);
}

CFaultCounter::~CFaultCounter() {
    if (m_handler != nullptr)
        RemoveVectoredExceptionHandler(m_handler);
}

LONG CFaultCounter::Count() const {
    return g_faultCount;
}

CWideString CFaultCounter::First() const {
    return L"exception 0x" + Hex(g_firstFaultCode) + L" at " + ModuleFileName(g_faultModule) +
           L"+0x" + Hex(reinterpret_cast<uintptr_t>(g_firstFaultAddress) - g_faultBase) + L", " +
           DescribeCall(g_firstFaultSlot, g_firstFaultState);
}

} // namespace Check
} // namespace Corvinex
