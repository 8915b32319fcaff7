#include "engine/endpoint_check.h"

#include "engine/check_log.h"
#include "engine/check_log_format.h"

#include <windows.h>

namespace Corvinex {

using namespace CheckLogFormat;

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
    CWideString prefix(kCheckEndpointPrefixW);
    prefix.Append(endpoint.Replace(L"%", L"%%").c_str());
    prefix.Append(kLineSeparatorW);
    return prefix;
}

void WriteFakeEndpointCheck(const CWideString& path, const CWideString& endpoint, int pingTime,
                            int anonymity, int authenticity) {
    const CWideString prefix = BuildEndpointPrefix(endpoint);
    const wchar_t* file = path.c_str();
    WriteCheckLogLine(file, prefix + kCheckBlockBeginW);
    if (pingTime < 0) {
        Pause(kTimeoutMilliseconds);
        WriteCheckLogLine(file, prefix + kCheckTimeoutW + L"%i", kTimeoutMilliseconds);
        WriteCheckLogLine(file, prefix + kCheckFailedW);
    } else {
        Pause(pingTime);
        WriteCheckLogLine(file, prefix + kCheckPingW + L"%i", pingTime);
        Pause(pingTime);
        if (anonymity == 0) {
            WriteCheckLogLine(file, prefix + kCheckAnonymityW + kCheckFailedW);
            WriteCheckLogLine(file, prefix + kCheckFailedW);
        } else {
            WriteCheckLogLine(file, prefix + kCheckAnonymityW + kCheckPassedW);
            Pause(pingTime);
            if (authenticity == 0) {
                WriteCheckLogLine(file, prefix + kCheckAuthenticityW + kCheckFailedW);
                WriteCheckLogLine(file, prefix + kCheckFailedW);
            } else {
                WriteCheckLogLine(file, prefix + kCheckAuthenticityW + kCheckPassedW);
                WriteCheckLogLine(file, prefix + kCheckPassedW);
            }
        }
    }
    WriteCheckLogLine(file, prefix + kCheckBlockEndW);
}

void SetEndpointCheckPauseForTests(EndpointCheckPauseFunc pause) {
    g_pause = pause != nullptr ? pause : SleepPause;
}

} // namespace Corvinex
