// A scripted test engine for the end-to-end tests of vpetest.exe. Every call is appended, one
// line each, to the file named by VPE_SCRIPT_RECORD ("Start", "CheckStart 3000", ...). Answers
// come from environment variables VPE_SCRIPT_<Operation> (absent: 0 or the empty text):
//   VPE_SCRIPT_Start=-5, VPE_SCRIPT_IsEngineRunning=2, VPE_SCRIPT_GetRealIP=192.0.2.1,
//   VPE_SCRIPT_AnalyseCheckLog=<text>, VPE_SCRIPT_AnalyseUpdateLog=<r>|<message>|<servers>|<ok>.
// The state queries (IsInstalled, IsEngineRunning, ...) answer from files too: when the file
// named by VPE_SCRIPT_STATE exists, its lines "IsInstalled=1" override the environment, so a test
// can change the engine's state while the harness runs.
#include "base/file_system.h"
#include "engine/engine_interface.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

using Corvinex::CWideString;

namespace {

// The longest answer or path the engine reads, in characters with the terminating zero.
const DWORD kTextSize = 2048;

// The variable's value into value[kTextSize]; the empty text when it is absent or too long.
void Environment(const wchar_t* name, wchar_t* value) {
    DWORD n = GetEnvironmentVariableW(name, value, kTextSize);
    if (n == 0 || n >= kTextSize) {
        value[0] = L'\0';
    }
}

// Appends the line and a line end to the record file, in UTF-8.
void Record(const wchar_t* line) {
    wchar_t path[kTextSize];
    Environment(L"VPE_SCRIPT_RECORD", path);
    if (path[0] == L'\0') {
        return;
    }
    char utf8[4096];
    int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof(utf8) - 1, nullptr, nullptr);
    n = n > 0 ? n - 1 : 0;
    utf8[n++] = '\n';
    Corvinex::AppendToFile(path, utf8, static_cast<size_t>(n));
}

// Records "<operation> <number>".
void RecordWithNumber(const wchar_t* operation, int number) {
    wchar_t line[128];
    _snwprintf(line, 127, L"%ls %d", operation, number);
    line[127] = L'\0';
    Record(line);
}

// The value of the last line "<name>=value" of the state file into value[kTextSize]; false
// (and the empty text) when the file or the line is missing.
bool StateOverride(const wchar_t* name, wchar_t* value) {
    value[0] = L'\0';
    wchar_t path[kTextSize];
    Environment(L"VPE_SCRIPT_STATE", path);
    if (path[0] == L'\0') {
        return false;
    }
    FILE* file = _wfopen(path, L"r");
    if (file == nullptr) {
        return false;
    }
    char prefix[128];
    int n = WideCharToMultiByte(CP_UTF8, 0, name, -1, prefix, sizeof(prefix) - 2, nullptr, nullptr);
    size_t prefixLength = n > 0 ? static_cast<size_t>(n - 1) : 0;
    prefix[prefixLength++] = '=';
    prefix[prefixLength] = '\0';
    char line[512];
    while (fgets(line, sizeof(line), file) != nullptr) {
        size_t length = strlen(line);
        while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) {
            line[--length] = '\0';
        }
        if (strncmp(line, prefix, prefixLength) == 0 &&
            MultiByteToWideChar(CP_UTF8, 0, line + prefixLength, -1, value, kTextSize) == 0) {
            value[0] = L'\0';
        }
    }
    fclose(file);
    return value[0] != L'\0';
}

// The scripted answer to the operation into value[kTextSize]: the state file's, else the
// environment's.
void Answer(const wchar_t* operation, wchar_t* value) {
    if (StateOverride(operation, value)) {
        return;
    }
    wchar_t name[128];
    _snwprintf(name, 127, L"VPE_SCRIPT_%ls", operation);
    name[127] = L'\0';
    Environment(name, value);
}

int IntAnswer(const wchar_t* operation) {
    Record(operation);
    wchar_t answer[kTextSize];
    Answer(operation, answer);
    return _wtoi(answer);
}

CWideString TextAnswer(const wchar_t* operation) {
    Record(operation);
    wchar_t answer[kTextSize];
    Answer(operation, answer);
    return CWideString(answer);
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
        wchar_t script[kTextSize];
        Answer(L"AnalyseUpdateLog", script);
        wchar_t fields[4][kTextSize] = {};
        size_t field = 0, length = 0;
        for (const wchar_t* ch = script; *ch != L'\0'; ++ch) {
            if (*ch == L'|' && field < 3) {
                ++field;
                length = 0;
            } else {
                fields[field][length++] = *ch;
            }
        }
        message->Assign(fields[1]);
        *nServerCountHTTP = _wtoi(fields[2]);
        *bSuccess = _wtoi(fields[3]);
        return _wtoi(fields[0]);
    }
    int CheckStart(int nTimeoutMs) override {
        RecordWithNumber(L"CheckStart", nTimeoutMs);
        wchar_t answer[kTextSize];
        Answer(L"CheckStart", answer);
        return _wtoi(answer);
    }
    int CheckStop() override { return IntAnswer(L"CheckStop"); }
    BOOL IsCheckRunning() override { return IntAnswer(L"IsCheckRunning"); }
    int GetCheckProgress() override { return IntAnswer(L"GetCheckProgress"); }
    CWideString AnalyseCheckLog() override { return TextAnswer(L"AnalyseCheckLog"); }
    int GetCheckedEndpointCount() override { return IntAnswer(L"GetCheckedEndpointCount"); }
    int GetWorkingEndpointCount() override { return IntAnswer(L"GetWorkingEndpointCount"); }
    int ClearCheckLog() override { return IntAnswer(L"ClearCheckLog"); }
    int SetAnonymity(BOOL bOn) override {
        RecordWithNumber(L"SetAnonymity", bOn);
        return 0;
    }
    BOOL IsAnonymityActive() override { return IntAnswer(L"IsAnonymityActive"); }
    CWideString GetAnonymousIP() override { return TextAnswer(L"GetAnonymousIP"); }
    int GetActiveEndpointIndex() override { return IntAnswer(L"GetActiveEndpointIndex"); }
    int SelectEndpoint(int nIndex) override {
        RecordWithNumber(L"SelectEndpoint", nIndex);
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
