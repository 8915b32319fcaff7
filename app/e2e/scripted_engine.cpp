// A scripted test engine for the end-to-end tests of vpetest.exe. Every call is appended, one
// line each, to the file named by VPE_SCRIPT_RECORD ("Start", "CheckStart 3000", ...). Answers
// come from environment variables VPE_SCRIPT_<Operation> (absent: 0 or the empty text):
//   VPE_SCRIPT_Start=-5, VPE_SCRIPT_IsEngineRunning=2, VPE_SCRIPT_GetRealIP=192.0.2.1,
//   VPE_SCRIPT_AnalyseCheckLog=<text>, VPE_SCRIPT_AnalyseUpdateLog=<r>|<message>|<servers>|<ok>.
// The state queries (IsInstalled, IsEngineRunning, ...) answer from files too: when the file
// named by VPE_SCRIPT_STATE exists, its lines "IsInstalled=1" override the environment, so a test
// can change the engine's state while the harness runs.
#include "engine/engine_interface.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using Corvinex::CWideString;

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[2048];
    DWORD n = GetEnvironmentVariableW(name, value, 2048);
    return n > 0 && n < 2048 ? std::wstring(value, n) : std::wstring();
}

void Record(const std::wstring& line) {
    std::wstring path = Environment(L"VPE_SCRIPT_RECORD");
    if (path.empty()) {
        return;
    }
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    std::wstring text = line + L"\n";
    char utf8[4096];
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8,
                                sizeof(utf8), nullptr, nullptr);
    DWORD written = 0;
    WriteFile(file, utf8, static_cast<DWORD>(n), &written, nullptr);
    CloseHandle(file);
}

std::wstring StateOverride(const std::wstring& name) {
    std::wstring path = Environment(L"VPE_SCRIPT_STATE");
    if (path.empty()) {
        return std::wstring();
    }
    FILE* file = _wfopen(path.c_str(), L"r");
    if (file == nullptr) {
        return std::wstring();
    }
    std::wstring found;
    char line[512];
    std::string prefix(name.begin(), name.end());
    prefix += "=";
    while (fgets(line, sizeof(line), file) != nullptr) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        if (text.compare(0, prefix.size(), prefix) == 0) {
            std::string value = text.substr(prefix.size());
            found.assign(value.begin(), value.end());
        }
    }
    fclose(file);
    return found;
}

std::wstring Answer(const wchar_t* operation) {
    std::wstring state = StateOverride(operation);
    if (!state.empty()) {
        return state;
    }
    return Environment((std::wstring(L"VPE_SCRIPT_") + operation).c_str());
}

int IntAnswer(const wchar_t* operation) {
    Record(operation);
    return _wtoi(Answer(operation).c_str());
}

CWideString TextAnswer(const wchar_t* operation) {
    Record(operation);
    return CWideString(Answer(operation).c_str());
}

class ScriptedEngine : public Corvinex::VeilpathEngine::IVeilpathEngine {
public:
    int GetInterfaceVersion() override { return IntAnswer(L"GetInterfaceVersion"); }
    BOOL IsInstalled() override { return IntAnswer(L"IsInstalled"); }
    int Install() override { return IntAnswer(L"Install"); }
    int Uninstall() override { return IntAnswer(L"Uninstall"); }
    int Update() override { return IntAnswer(L"Update"); }
    int GetEngineVersion() override { return IntAnswer(L"GetEngineVersion"); }
    int Start() override { return IntAnswer(L"Start"); }
    int Stop() override { return IntAnswer(L"Stop"); }
    BOOL IsEngineRunning() override { return IntAnswer(L"IsEngineRunning"); }
    int UpdateStart() override { return IntAnswer(L"UpdateStart"); }
    int UpdateStop() override { return IntAnswer(L"UpdateStop"); }
    BOOL IsUpdateRunning() override { return IntAnswer(L"IsUpdateRunning"); }
    int GetUpdateProgress() override { return IntAnswer(L"GetUpdateProgress"); }
    int GetLastUpdateResult() override { return IntAnswer(L"GetLastUpdateResult"); }
    int AnalyseUpdateLog(int* bSuccess, CWideString* message, int* nServerCountHTTP) override {
        Record(L"AnalyseUpdateLog");
        // "<result>|<message>|<servers>|<success>"
        std::wstring script = Answer(L"AnalyseUpdateLog");
        std::wstring fields[4];
        size_t field = 0;
        for (wchar_t ch : script) {
            if (ch == L'|' && field < 3) {
                ++field;
            } else {
                fields[field] += ch;
            }
        }
        message->Assign(fields[1].c_str());
        *nServerCountHTTP = _wtoi(fields[2].c_str());
        *bSuccess = _wtoi(fields[3].c_str());
        return _wtoi(fields[0].c_str());
    }
    int CheckStart(int nTimeoutMs) override {
        Record(L"CheckStart " + std::to_wstring(nTimeoutMs));
        return _wtoi(Answer(L"CheckStart").c_str());
    }
    int CheckStop() override { return IntAnswer(L"CheckStop"); }
    BOOL IsCheckRunning() override { return IntAnswer(L"IsCheckRunning"); }
    int GetCheckProgress() override { return IntAnswer(L"GetCheckProgress"); }
    CWideString AnalyseCheckLog() override { return TextAnswer(L"AnalyseCheckLog"); }
    int GetCheckedEndpointCount() override { return IntAnswer(L"GetCheckedEndpointCount"); }
    int GetWorkingEndpointCount() override { return IntAnswer(L"GetWorkingEndpointCount"); }
    int ClearCheckLog() override { return IntAnswer(L"ClearCheckLog"); }
    int SetAnonymity(BOOL bOn) override {
        Record(L"SetAnonymity " + std::to_wstring(bOn));
        return 0;
    }
    BOOL IsAnonymityActive() override { return IntAnswer(L"IsAnonymityActive"); }
    CWideString GetAnonymousIP() override { return TextAnswer(L"GetAnonymousIP"); }
    int GetActiveEndpointIndex() override { return IntAnswer(L"GetActiveEndpointIndex"); }
    int SelectEndpoint(int nIndex) override {
        Record(L"SelectEndpoint " + std::to_wstring(nIndex));
        return 0;
    }
    int GetLastResult() override { return IntAnswer(L"GetLastResult"); }
    CWideString GetRealIP() override { return TextAnswer(L"GetRealIP"); }
};

// One object per load of the library, as a real engine would hand out.
ScriptedEngine g_engine;

} // namespace

VPE_ENGINE_FACTORY Corvinex::IEngine* GetCorvinexEngine() {
    Record(L"GetCorvinexEngine");
    return &g_engine;
}
