#include "engine/check_log.h"

#include "base/ansi_string.h"
#include "base/file_system.h"
#include "base/folders.h"
#include "engine/check_log_format.h"
#include "engine/endpoint_check.h"

#include <stdarg.h>
#include <stdio.h>
#include <wchar.h>

namespace Corvinex {

using namespace CheckLogFormat;

namespace {

CheckLogClockFunc g_clock = nullptr;

// The fake run's endpoints: fixed addresses from the ranges reserved for documentation.
struct FakeEndpoint {
    const wchar_t* endpoint;
    int pingTime;
    int anonymity;
    int authenticity;
};

const FakeEndpoint kFakeEndpoints[] = {
    {L"192.0.2.10:80", 499, 1, 1},
    {L"198.51.100.20:80", -1, 1, 1},
    {L"203.0.113.30:80", 120, 1, 0},
    {L"192.0.2.40:8080", 220, 1, 1},
};

} // namespace

CWideString GetCheckLogPath() {
    return GetProgramFilesFolder() + CWideString(kCheckLogBelowProgramFilesW);
}

void WriteFakeCheckLog() {
    CWideString path = GetCheckLogPath();
    WriteCheckLogLine(path.c_str(), kCheckRunBeginW);
    for (const FakeEndpoint& e : kFakeEndpoints) {
        WriteFakeEndpointCheck(path, e.endpoint, e.pingTime, e.anonymity, e.authenticity);
    }
    WriteCheckLogLine(path.c_str(), kCheckRunEndW);
}

void WriteCheckLogLine(const wchar_t* path, CWideString format, ...) {
    va_list args;
    va_start(args, format);
    CWideString record;
    record.FormatV(format.c_str(), args);
    va_end(args);

    // The echo goes out as text, not as a format, so a percent sign in the record stays as it is.
    fputws(record.c_str(), stdout);
    fflush(stdout);

    CWideString line = GetTimestamp();
    line.Append(kLineSeparatorW);
    line.Append(record.c_str());
    line.Append(kLineEndW);
    CAnsiString bytes(line.c_str());

    AppendToFile(path, bytes.c_str(), static_cast<size_t>(bytes.GetLength()));
}

CWideString GetTimestamp() {
    time_t now = g_clock != nullptr ? g_clock(nullptr) : time(nullptr);
    // localtime's result lives in the C runtime's per-thread buffer; it is used at once.
    const struct tm* local = localtime(&now);
    if (local == nullptr) {
        return CWideString();
    }
    wchar_t buffer[3000] = {0};
    size_t n = wcsftime(buffer, sizeof(buffer) / sizeof(buffer[0]), kTimestampFormatW, local);
    buffer[n] = 0;
    return CWideString(buffer);
}

void SetCheckLogClockForTests(CheckLogClockFunc clock) {
    g_clock = clock;
}

} // namespace Corvinex
