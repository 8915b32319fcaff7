#include "engine/surf_check.h"

#include "base/shell_library.h"

#include <windows.h>

#include <shellapi.h>

namespace Corvinex {

const wchar_t kSurfCheckUrlTemplate[] =
    L"http://surfcheck.veilpath.example/"
    L"?product=zel6&area=surfcheck&language=de&realip=%s&refresh=active";

CWideString BuildSurfCheckUrl(VeilpathEngine::IVeilpathEngine* engine) {
    CWideString realIP = engine->GetRealIP();
    return FormatString(kSurfCheckUrlTemplate, realIP.c_str());
}

int LaunchSurfCheck(VeilpathEngine::IVeilpathEngine* engine) {
    CWideString url = BuildSurfCheckUrl(engine);
    return OpenURL(url.c_str());
}

CWideString CompleteUrl(const wchar_t* url) {
    CWideString text(url);
    if (text.GetLength() == 0 || text.Find(L":", 0) == -1) {
        return L"http://" + text;
    }
    return text;
}

int OpenURL(const wchar_t* url) {
    CWideString text = CompleteUrl(url);
    auto shellExecute = GetShellFunctionAs<decltype(&ShellExecuteW)>("ShellExecuteW");
    if (shellExecute != nullptr) {
        shellExecute(nullptr, L"open", text.c_str(), L"", nullptr, SW_SHOWNORMAL);
    }
    return 0;
}

} // namespace Corvinex
