// The binding of an engine library: loads it, resolves its factory, obtains the engine object
// and checks its type. The engine object belongs to the library: a binding never deletes it,
// releases it or calls it; it only drops its pointers before the library is released.
#pragma once

#include "base/ansi_string.h"
#include "base/folders.h"
#include "base/wide_string.h"
#include "engine/engine_interface.h"
#include "engine/library.h"
#include "engine/type_info_layout.h"

namespace Corvinex {

// Adds to the library the factory lookup and the untyped engine pointer. The library operations
// are not part of a binding's public surface.
template <class IENGINE, class FACTORY> class TEngineDLLAPICore : protected CLibrary {
public:
    TEngineDLLAPICore() : pEngine(nullptr) {}
    // Forgets the engine (no call on it) and releases the library.
    ~TEngineDLLAPICore() {
        pEngine = nullptr;
        CLibrary::Unload();
    }

    // The object the factory returned; null when none was obtained or after Unload.
    IENGINE* pEngine;

protected:
    // CLibrary::Load, then CreateEngine; when no engine is obtained the library is released
    // again and the code is 1.
    int Load(const wchar_t* path) override {
        int result = CLibrary::Load(path);
        if (result != 0) {
            return result;
        }
        result = CreateEngine();
        if (result != 0) {
            Unload();
        }
        return result;
    }
    // Forgets the engine (no call on it), then releases the library.
    void Unload() override {
        pEngine = nullptr;
        CLibrary::Unload();
    }
    // The name of the factory export; "???" names none, so a binding must supply its own.
    virtual CAnsiString GetFactoryName() { return CAnsiString("???"); }

    // Resolves the factory and calls it: kBindDone when it returned an object, kBindNoEngine when
    // the export is missing (pEngine untouched) or the factory returned null.
    int CreateEngine() {
        CAnsiString name = GetFactoryName();
        FACTORY factory = nullptr;
        if (hModule != nullptr) {
            factory = reinterpret_cast<FACTORY>(
                reinterpret_cast<void*>(GetProcAddress(hModule, name.c_str())));
        }
        if (factory == nullptr) {
            return kBindNoEngine;
        }
        pEngine = factory();
        return pEngine != nullptr ? kBindDone : kBindNoEngine;
    }
};

// Adds the choice of the library file and the typed engine pointer.
template <class ISPECIFIC>
class TEngineDLLAPI : public TEngineDLLAPICore<IEngine, EngineFactoryFunc> {
public:
    TEngineDLLAPI() : pVeilpathEngine(nullptr) {}

    // Loads GetDLLName() from the folder of the running program (and nowhere else) and checks
    // the engine's type. kBindDone bound; kBindNoEngine (the library then stays loaded until the
    // binding goes), also for an object whose type information is of another C++ ABI or absent;
    // kBindRefused, kBindAlreadyLoaded, kBindNoSuchFile as CLibrary::Load.
    int Init() {
        CWideString path = GetApplicationFolder() + GetDLLName();
        int result = this->Load(path.c_str());
        if (result != kBindDone) {
            return result;
        }
        // dynamic_cast reads the object's type information in this module's layout: an engine
        // of the other ABI, or one built without type information, would make it fault.
        if (!HasTypeInfoOfThisAbi(this->pEngine)) {
            return kBindNoEngine;
        }
        pVeilpathEngine = dynamic_cast<ISPECIFIC*>(this->pEngine);
        return pVeilpathEngine != nullptr ? kBindDone : kBindNoEngine;
    }

    // The engine after the type check; null when the check failed. Valid from a successful
    // Init until the binding is destroyed.
    ISPECIFIC* pVeilpathEngine;

protected:
    // The file name of the engine library.
    virtual CWideString GetDLLName() = 0;
};

namespace VeilpathEngine {

// The binding of vpe.dll and its factory GetCorvinexEngine.
class CEngineVeilpathDLLAPI : public TEngineDLLAPI<IVeilpathEngine> {
protected:
    CAnsiString GetFactoryName() override { return CAnsiString("GetCorvinexEngine"); }
    CWideString GetDLLName() override { return CWideString(L"vpe.dll"); }
};

} // namespace VeilpathEngine
} // namespace Corvinex
