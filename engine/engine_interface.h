// The engine interface: what vpetest.exe expects of the object that an engine library's
// exported factory GetCorvinexEngine returns.
//
// Engine authors include this header and derive their engine from IVeilpathEngine. The order
// of the virtual operations is the contract: the harness calls them by their place in the
// virtual table (0 to 29), so add, remove or reorder nothing. There is deliberately no virtual
// destructor (it would take slots of its own, two under the GCC ABI, one under MSVC); the
// engine object belongs to the library and the harness never deletes it.
//
// Texts cross the boundary as CWideString, whose blocks live on the process-wide global heap:
// either side may release what the other allocated. Build the engine with the same compiler
// family as the harness (the virtual table and the returning of CWideString by value are ABI).
#pragma once

#include "base/wide_string.h"

#include <windows.h>

namespace Corvinex {

// Base of every engine object; the harness checks the type it gets with dynamic_cast, so an
// engine must be built with run-time type information.
class IEngine {
public:
    virtual int GetInterfaceVersion() = 0; // slot 0
    virtual BOOL IsInstalled() = 0;        // slot 1
    virtual int Install() = 0;             // slot 2
    virtual int Uninstall() = 0;           // slot 3
    virtual int Update() = 0;              // slot 4
    virtual int GetEngineVersion() = 0;    // slot 5

protected:
    ~IEngine() {}
};

// The factory every engine library exports under the name kEngineFactoryName (C linkage, C
// calling convention). It returns the library's engine object, or null when it has none.
typedef IEngine* (*EngineFactoryFunc)();

// The factory's export name, as GetProcAddress takes it and as messages name it.
#define VPE_ENGINE_FACTORY_NAME "GetCorvinexEngine"
const char kEngineFactoryName[] = VPE_ENGINE_FACTORY_NAME;
#define VPE_WIDE_TEXT_(text) L##text
#define VPE_WIDE_TEXT(text) VPE_WIDE_TEXT_(text)
const wchar_t kEngineFactoryTitle[] = VPE_WIDE_TEXT(VPE_ENGINE_FACTORY_NAME);

namespace VeilpathEngine {

// The interface version an engine built against this header reports from slot 0.
const int kInterfaceVersion = 1;

class IVeilpathEngine : public IEngine {
public:
    virtual int Start() = 0;               // slot 6
    virtual int Stop() = 0;                // slot 7
    virtual BOOL IsEngineRunning() = 0;    // slot 8
    virtual int UpdateStart() = 0;         // slot 9
    virtual int UpdateStop() = 0;          // slot 10
    virtual BOOL IsUpdateRunning() = 0;    // slot 11
    virtual int GetUpdateProgress() = 0;   // slot 12: percent of the running update
    virtual int GetLastUpdateResult() = 0; // slot 13
    // Slot 14. The caller passes *bSuccess and *nServerCountHTTP as 0 and an empty message;
    // the engine fills all three and returns a code.
    virtual int AnalyseUpdateLog(int* bSuccess, CWideString* message, int* nServerCountHTTP) = 0;
    virtual int CheckStart(int nTimeoutMs) = 0; // slot 15
    virtual int CheckStop() = 0;                // slot 16
    virtual BOOL IsCheckRunning() = 0;          // slot 17
    virtual int GetCheckProgress() = 0;         // slot 18: percent of the running check
    virtual CWideString AnalyseCheckLog() = 0;  // slot 19
    virtual int GetCheckedEndpointCount() = 0;  // slot 20
    virtual int GetWorkingEndpointCount() = 0;  // slot 21
    virtual int ClearCheckLog() = 0;            // slot 22
    virtual int SetAnonymity(BOOL bOn) = 0;     // slot 23
    virtual BOOL IsAnonymityActive() = 0;       // slot 24
    virtual CWideString GetAnonymousIP() = 0;   // slot 25
    virtual int GetActiveEndpointIndex() = 0;   // slot 26
    virtual int SelectEndpoint(int nIndex) = 0; // slot 27
    virtual int GetLastResult() = 0;            // slot 28
    virtual CWideString GetRealIP() = 0;        // slot 29

protected:
    ~IVeilpathEngine() {}
};

} // namespace VeilpathEngine
} // namespace Corvinex

// Marks the factory definition in an engine library:
//   VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() { return &g_engine; }
#define VPE_ENGINE_FACTORY extern "C" __declspec(dllexport)
