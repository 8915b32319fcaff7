#include "app/exports.h"

#include "diag/internal_message.h"

namespace {
const wchar_t kNoRegistration[] = L"Inherit Corvinex::TSetupDLL<> to implement DLL registry.";
}

HRESULT __stdcall DllRegisterServer() {
    Corvinex::ShowInternalMessage(L"%s", kNoRegistration);
    return 0;
}

HRESULT __stdcall DllUnregisterServer() {
    Corvinex::ShowInternalMessage(L"%s", kNoRegistration);
    return 0;
}

Corvinex::IEngine* GetCorvinexEngine() {
    return nullptr;
}
