// CLibrary: one dynamic library loaded at run time, with the path it was loaded from.
#pragma once

#include "base/wide_string.h"

#include <windows.h>

namespace Corvinex {

// The results of CLibrary::Load and of binding an engine (engine_binding.h), for the harness
// and the check helper alike; the numbers are fixed (the harness shows them to the user, the
// validator's reports name them).
enum BindResult {
    kBindDone = 0,
    kBindNoEngine = 1,   // no factory, no object, or (for the harness) an object of another type
    kBindWrongType = 2,  // the object is not an IVeilpathEngine
    kBindNoTable = 3,    // the object has no readable virtual table (dead, wiped, no object)
    kBindForeignAbi = 4, // its type information is not laid out in this module's C++ ABI
    kBindRefused = 20,   // the system refused, or the load raised an exception
    kBindAlreadyLoaded = 22, // a library is already held (nothing changed)
    kBindNoSuchFile = 201,   // no such file, or it is a folder
};

class CLibrary {
public:
    // Nothing loaded.
    CLibrary();
    // Releases the library if one is loaded. Not virtual: objects of this family are destroyed
    // through their most derived type.
    ~CLibrary();
    CLibrary(const CLibrary&) = delete;
    CLibrary& operator=(const CLibrary&) = delete;

    // Loads the library at path (a full file path, either separator). While the system loads it,
    // the current directory is the library's folder, so its own dependencies are found beside
    // it; afterwards the caller's current directory is back, in success and failure.
    // kBindDone, kBindRefused (an exception in the load is intercepted), kBindAlreadyLoaded or
    // kBindNoSuchFile.
    virtual int Load(const wchar_t* path);
    // Releases the library held, if any; both the handle and the path become empty.
    virtual void Unload();

    HMODULE GetModule() const { return hModule; }
    // The code of the exception that ended the last load (kBindRefused), 0 when none did.
    unsigned long GetLoadException() const { return m_loadException; }
    // The path the library was loaded from, forward slashes; empty while nothing is loaded.
    CWideString GetPath() const { return strPath; }

protected:
    // The system call that maps a library; null on failure. A replacement lets a test provoke
    // what a real library cannot provoke on every system, such as a fault escaping the loader.
    typedef HMODULE (*SystemLoadFunc)(const wchar_t* backslashPath);
    // Load with the given system call in place of LoadLibraryW (null: LoadLibraryW); same codes
    // and guarantees.
    int LoadWith(const wchar_t* path, SystemLoadFunc systemLoad);

    HMODULE hModule;
    CWideString strPath;

private:
    unsigned long m_loadException = 0;
};

} // namespace Corvinex
