// The binding of an engine library, the one way the harness and the check helper bind one: loads
// it, resolves its factory, obtains the engine object and checks its type, with a named result
// for each way it can fail (library.h). The engine object belongs to the library: a binding never
// deletes it, releases it or calls it; it only drops its pointers before the library is released.
#pragma once

#include "base/ansi_string.h"
#include "base/folders.h"
#include "base/wide_string.h"
#include "engine/engine_interface.h"
#include "engine/engine_slots.h"
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

// Checks the type of the object a factory returned, as the harness does before it uses it: its
// virtual table and type information are looked at with guarded reads first, so dynamic_cast
// never reads a foreign layout. kBindDone with *typed set; else kBindNoTable, kBindForeignAbi or
// kBindWrongType with *typed null. The object is never called.
template <class ISPECIFIC> int CheckEngineType(IEngine* object, ISPECIFIC** typed) {
    *typed = nullptr;
    if (ReadableVirtualTable(object, VeilpathEngine::kSlotCount) == nullptr) {
        return kBindNoTable;
    }
    // dynamic_cast reads the object's type information in this module's layout: an engine of
    // the other ABI, or one built without type information, would make it fault.
    if (!HasTypeInfoOfThisAbi(object)) {
        return kBindForeignAbi;
    }
    *typed = dynamic_cast<ISPECIFIC*>(object);
    return *typed != nullptr ? kBindDone : kBindWrongType;
}

// Adds the choice of the library file and the typed engine pointer.
template <class ISPECIFIC>
class TEngineDLLAPI : public TEngineDLLAPICore<IEngine, EngineFactoryFunc> {
public:
    TEngineDLLAPI() : pVeilpathEngine(nullptr) {}

    // Loads GetDLLName() from the folder of the running program (and nowhere else) and checks
    // the engine's type. kBindDone bound; kBindNoEngine (the library then stays loaded until the
    // binding goes), also for an object that fails CheckEngineType (the harness keeps its one
    // code for these); kBindRefused, kBindAlreadyLoaded, kBindNoSuchFile as CLibrary::Load.
    int Init() {
        CWideString path = GetApplicationFolder() + GetDLLName();
        int result = this->Load(path.c_str());
        if (result != kBindDone) {
            return result;
        }
        return CheckEngineType(this->pEngine, &pVeilpathEngine) == kBindDone ? kBindDone
                                                                             : kBindNoEngine;
    }

    // The engine after the type check; null when the check failed. Valid from a successful
    // Init until the binding is destroyed.
    ISPECIFIC* pVeilpathEngine;

protected:
    // The file name of the engine library.
    virtual CWideString GetDLLName() = 0;
};

namespace VeilpathEngine {

// The harness's binding of vpe.dll and the factory every engine exports.
class CEngineVeilpathDLLAPI : public TEngineDLLAPI<IVeilpathEngine> {
protected:
    CAnsiString GetFactoryName() override { return CAnsiString(kEngineFactoryName); }
    CWideString GetDLLName() override { return CWideString(L"vpe.dll"); }
};

// The same binding for a library at any path, taken one step at a time so that each step's
// failure is told apart (the check helper's probe and checks). Once loaded, the library stays
// loaded until Release or the binding's end, also when a later step fails.
class CEngineBinding : public CEngineVeilpathDLLAPI {
public:
    // Maps the library at `path` (a full path) through `systemLoad` (null: LoadLibraryW), as
    // CLibrary::Load does: kBindDone, kBindRefused (LoadException then names an exception that
    // ended the load), kBindAlreadyLoaded or kBindNoSuchFile.
    int LoadFrom(const wchar_t* path, SystemLoadFunc systemLoad = nullptr) {
        return LoadWith(path, systemLoad);
    }
    // True when the loaded library exports the factory.
    bool ExportsFactory() {
        return hModule != nullptr && GetProcAddress(hModule, GetFactoryName().c_str()) != nullptr;
    }
    // Calls the factory: kBindDone when it returned an object, kBindNoEngine when it is missing
    // or returned null. Whatever the factory throws passes through to the caller.
    int CallFactory() { return CreateEngine(); }
    // CheckEngineType on the factory's object: kBindDone, kBindNoTable, kBindForeignAbi or
    // kBindWrongType.
    int CheckType() { return CheckEngineType(pEngine, &pVeilpathEngine); }
    // LoadFrom, CallFactory and CheckType in turn: kBindDone, or the result of the first step
    // that failed.
    int Bind(const wchar_t* path) {
        int result = LoadFrom(path);
        if (result == kBindDone) {
            result = CallFactory();
        }
        return result == kBindDone ? CheckType() : result;
    }
    // Forgets the engine and releases the library.
    void Release() {
        pVeilpathEngine = nullptr;
        Unload();
    }
    // The engine after a successful type check; null otherwise.
    IVeilpathEngine* Engine() const { return pVeilpathEngine; }
    HMODULE Module() const { return hModule; }
    unsigned long LoadException() const { return GetLoadException(); }
};

} // namespace VeilpathEngine
} // namespace Corvinex
