// The check log as writers and readers share it: where it lives, the records of a run and the
// form of a line. Header only, so an engine built against this header set alone can use it.
//
// A line is "<timestamp> <record>" followed by CR LF, in 8-bit text. The timestamp is the local
// time "YYYY-MM-DD hh:mm:ss" (or nothing, when the writer has no local time). A run is framed by
// kCheckRunBegin and kCheckRunEnd; each endpoint has a block of records
// "<kCheckEndpointPrefix><address:port> <word>" from kCheckBlockBegin to kCheckBlockEnd.
//
// Every text exists narrow (char) and wide (the same name with W appended), made from one literal.
#pragma once

// Defines name (char) and nameW (wchar_t) from one narrow string literal.
#define VPE_CHECK_LOG_TEXT(name, literal)                                                          \
    constexpr char name[] = literal;                                                               \
    constexpr wchar_t name##W[] = L"" literal

namespace Corvinex {
namespace CheckLogFormat {

// The file's place. Two rules name the folder below which kCheckLogBelowEngineFolder sits:
// - the harness (vpetest.exe, vpedrive) always uses the Program Files folder followed by
//   kEngineFolderBelowProgramFiles (its fixed Program Files rule);
// - the reference engine uses the folder named by the environment variable VPE_ENGINE_HOME when
//   it is set and not empty, else the same Program Files folder (its engine-home rule).
// Forward slashes here (Windows accepts both); the reference engine and vpedrive show
// backslashes and turn them so.
#define VPE_ENGINE_FOLDER_LITERAL "Veilpath Engine/"
#define VPE_CHECK_LOG_LITERAL "log/check.log"
VPE_CHECK_LOG_TEXT(kEngineFolderBelowProgramFiles, VPE_ENGINE_FOLDER_LITERAL);
VPE_CHECK_LOG_TEXT(kCheckLogBelowEngineFolder, VPE_CHECK_LOG_LITERAL);
VPE_CHECK_LOG_TEXT(kCheckLogBelowProgramFiles, VPE_ENGINE_FOLDER_LITERAL VPE_CHECK_LOG_LITERAL);
#undef VPE_ENGINE_FOLDER_LITERAL
#undef VPE_CHECK_LOG_LITERAL
VPE_CHECK_LOG_TEXT(kEngineHomeVariable, "VPE_ENGINE_HOME");

// The records that frame a run.
VPE_CHECK_LOG_TEXT(kCheckRunBegin, "VPE CHECK BEGIN");
VPE_CHECK_LOG_TEXT(kCheckRunEnd, "VPE CHECK END");

// An endpoint's records: the prefix, the endpoint, one space, one of the words below.
VPE_CHECK_LOG_TEXT(kCheckEndpointPrefix, "VPE CHECK HTTP ");
VPE_CHECK_LOG_TEXT(kCheckBlockBegin, "BEGIN");
VPE_CHECK_LOG_TEXT(kCheckBlockEnd, "END");
VPE_CHECK_LOG_TEXT(kCheckPing, "PING ");       // followed by the answer time in ms
VPE_CHECK_LOG_TEXT(kCheckTimeout, "TIMEOUT "); // followed by the timeout in ms
VPE_CHECK_LOG_TEXT(kCheckAnonymity, "ANONYMITY ");
VPE_CHECK_LOG_TEXT(kCheckAuthenticity, "AUTHENTICITY ");
VPE_CHECK_LOG_TEXT(kCheckPassed, "PASSED");
VPE_CHECK_LOG_TEXT(kCheckFailed, "FAILED");

// The line's parts: what follows the timestamp and what ends the line.
VPE_CHECK_LOG_TEXT(kLineSeparator, " ");
VPE_CHECK_LOG_TEXT(kLineEnd, "\r\n");

// The timestamp's strftime form and its length in characters.
VPE_CHECK_LOG_TEXT(kTimestampFormat, "%Y-%m-%d %H:%M:%S");
constexpr int kTimestampLength = 19;

} // namespace CheckLogFormat
} // namespace Corvinex

#undef VPE_CHECK_LOG_TEXT
