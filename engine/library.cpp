#include "engine/library.h"

#include "base/fault_guard.h"
#include "base/folders.h"
#include "base/paths.h"

namespace Corvinex {

namespace {

HMODULE SystemLoadLibrary(const wchar_t* backslashPath) {
    return LoadLibraryW(backslashPath);
}

struct LoadCall {
    HMODULE (*systemLoad)(const wchar_t*);
    const wchar_t* path;
    HMODULE result;
};

void RunLoadCall(void* context) {
    LoadCall* call = static_cast<LoadCall*>(context);
    call->result = call->systemLoad(call->path);
}

// Keeps the system from showing its own boxes (missing dependency, bad image) while a library
// loads: the load just fails and the code tells the caller.
class CQuietErrorMode {
public:
    // Two calls: SetErrorMode is the only way to read the mode on every Windows (GetErrorMode
    // came with Vista), so the first reads it while setting the quiet flags, and the second adds
    // the flags the caller had (such as SEM_NOGPFAULTERRORBOX) back.
    CQuietErrorMode() : m_previous(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {
        SetErrorMode(m_previous | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    }
    ~CQuietErrorMode() { SetErrorMode(m_previous); }
    CQuietErrorMode(const CQuietErrorMode&) = delete;
    CQuietErrorMode& operator=(const CQuietErrorMode&) = delete;

private:
    UINT m_previous;
};

} // namespace

CLibrary::CLibrary() : hModule(nullptr) {}

CLibrary::~CLibrary() {
    CLibrary::Unload();
    strPath.Empty();
}

int CLibrary::Load(const wchar_t* path) {
    return LoadWith(path, &SystemLoadLibrary);
}

int CLibrary::LoadWith(const wchar_t* path, SystemLoadFunc systemLoad) {
    if (hModule != nullptr) {
        return kBindAlreadyLoaded;
    }
    m_loadException = 0;
    if (systemLoad == nullptr) {
        systemLoad = &SystemLoadLibrary;
    }
    CWideString given(path);
    CWideString forward = ToForwardSlashes(given);
    if (FileExists(given) == 0) {
        return kBindNoSuchFile;
    }
    // When the caller's folder cannot be read it could not be restored either: then the current
    // directory is left alone rather than left behind in the library's folder.
    CWideString callerFolder = GetCurrentFolder();
    bool switched = false;
    if (callerFolder.GetLength() > 0) {
        switched = ChangeCurrentFolder(GetFolderOfPath(forward)) == kFolderChanged;
    }
    CWideString backslashed = ToBackslashes(forward);
    LoadCall call = {systemLoad, backslashed.c_str(), nullptr};
    {
        CQuietErrorMode quiet;
        if (!RunGuarded(&RunLoadCall, &call, &m_loadException)) {
            call.result = nullptr;
        }
    }
    int result = kBindRefused;
    if (call.result != nullptr) {
        hModule = call.result;
        strPath = forward;
        result = kBindDone;
    }
    if (switched) {
        ChangeCurrentFolder(callerFolder);
    }
    return result;
}

void CLibrary::Unload() {
    if (hModule == nullptr) {
        return;
    }
    FreeLibrary(hModule);
    hModule = nullptr;
    strPath = L"";
}

} // namespace Corvinex
