#include "engine/endpoint_check.h"

#include "engine/check_log.h"

#include <windows.h>

namespace Corvinex {

namespace {

void SleepPause(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

EndpointCheckPauseFunc g_pause = SleepPause;

void Pause(int milliseconds) {
    g_pause(milliseconds);
}

// How long a check waits for an endpoint that does not answer.
const int kTimeoutMilliseconds = 3000;

} // namespace

CWideString BuildEndpointPrefix(CWideString endpoint) {
    CWideString prefix(L"VPE CHECK HTTP ");
    prefix.Append(endpoint.Replace(L"%", L"%%").c_str());
    prefix.Append(L' ');
    return prefix;
}

void WriteFakeEndpointCheck(CWideString path, CWideString endpoint, int pingTime, int anonymity,
                            int authenticity) {
    const CWideString prefix = BuildEndpointPrefix(endpoint);
    const wchar_t* file = path.c_str();
    WriteCheckLogLine(file, prefix + L"BEGIN");
    if (pingTime < 0) {
        Pause(kTimeoutMilliseconds);
        WriteCheckLogLine(file, prefix + L"TIMEOUT 3000");
        WriteCheckLogLine(file, prefix + L"FAILED");
    } else {
        Pause(pingTime);
        WriteCheckLogLine(file, prefix + L"PING %i", pingTime);
        Pause(pingTime);
        if (anonymity == 0) {
            WriteCheckLogLine(file, prefix + L"ANONYMITY FAILED");
            WriteCheckLogLine(file, prefix + L"FAILED");
        } else {
            WriteCheckLogLine(file, prefix + L"ANONYMITY PASSED");
            Pause(pingTime);
            if (authenticity == 0) {
                WriteCheckLogLine(file, prefix + L"AUTHENTICITY FAILED");
                WriteCheckLogLine(file, prefix + L"FAILED");
            } else {
                WriteCheckLogLine(file, prefix + L"AUTHENTICITY PASSED");
                WriteCheckLogLine(file, prefix + L"PASSED");
            }
        }
    }
    WriteCheckLogLine(file, prefix + L"END");
}

void SetEndpointCheckPauseForTests(EndpointCheckPauseFunc pause) {
    g_pause = pause != nullptr ? pause : SleepPause;
}

} // namespace Corvinex
