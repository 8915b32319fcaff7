// The line writer and its timestamp, writing into a scratch folder of the test's own.
#include "engine/check_log.h"

#include "engine/check_log_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace Corvinex;
using namespace CheckLogTest;

namespace {

std::string Narrow(const wchar_t* text) {
    std::string s;
    for (; *text != 0; ++text) {
        s.push_back(static_cast<char>(*text));
    }
    return s;
}

std::string FormatLocalTime(const SYSTEMTIME& t) {
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth,
                  t.wDay, t.wHour, t.wMinute, t.wSecond);
    return buffer;
}

time_t UnconvertibleClock(time_t* out) {
    if (out != nullptr) {
        *out = -1;
    }
    return -1;
}

// Puts the real clock back however a test ends.
class ClockGuard {
public:
    explicit ClockGuard(CheckLogClockFunc clock) { SetCheckLogClockForTests(clock); }
    ~ClockGuard() { SetCheckLogClockForTests(nullptr); }
};

} // namespace

TEST(CheckLogTimestamp, IsTheLocalTimeInNineteenCharacters) {
    SYSTEMTIME before;
    GetLocalTime(&before);
    std::string stamp = Narrow(GetTimestamp().c_str());
    SYSTEMTIME after;
    GetLocalTime(&after);

    ASSERT_EQ(19u, stamp.size());
    EXPECT_TRUE(HasTimestampShape(stamp)) << stamp;
    // The second may turn while the stamp is taken.
    EXPECT_TRUE(stamp == FormatLocalTime(before) || stamp == FormatLocalTime(after))
        << stamp << " between " << FormatLocalTime(before) << " and " << FormatLocalTime(after);
}

TEST(CheckLogTimestamp, IsEmptyWhenTheLocalTimeCannotBeDetermined) {
    ClockGuard clock(UnconvertibleClock);
    EXPECT_STREQ(L"", GetTimestamp().c_str());
}

TEST(CheckLogLine, IsTimestampSpaceRecordAndCrLf) {
    ScratchFolder folder(L"vpe_checklog_line");
    std::wstring path = folder.File(L"check.log");

    WriteCheckLogLine(Forward(path).c_str(), L"VPE CHECK BEGIN");

    std::string bytes = ReadBytes(path);
    ASSERT_EQ(19u + 1 + 15 + 2, bytes.size()) << bytes;
    EXPECT_TRUE(HasTimestampShape(bytes)) << bytes;
    EXPECT_EQ(" VPE CHECK BEGIN\r\n", bytes.substr(19));
}

TEST(CheckLogLine, FillsTheFormatWithTheArguments) {
    ScratchFolder folder(L"vpe_checklog_args");
    std::wstring path = folder.File(L"check.log");

    WriteCheckLogLine(Forward(path).c_str(), L"PING %i of %s", -42, L"wide text");

    std::vector<std::string> lines = SplitLines(ReadBytes(path));
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("PING -42 of wide text", RecordOf(lines[0]));
}

TEST(CheckLogLine, AppendsBehindWhatTheFileHeld) {
    ScratchFolder folder(L"vpe_checklog_append");
    std::wstring path = folder.File(L"check.log");
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(nullptr, f);
    fputs("earlier line\r\n", f);
    fclose(f);

    WriteCheckLogLine(Forward(path).c_str(), L"first");
    WriteCheckLogLine(Forward(path).c_str(), L"second");

    std::vector<std::string> lines = SplitLines(ReadBytes(path));
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("earlier line", lines[0]);
    EXPECT_EQ("first", RecordOf(lines[1]));
    EXPECT_EQ("second", RecordOf(lines[2]));
}

TEST(CheckLogLine, WithAnEmptyTimestampBeginsWithTheSpace) {
    ScratchFolder folder(L"vpe_checklog_notime");
    std::wstring path = folder.File(L"check.log");
    ClockGuard clock(UnconvertibleClock);

    WriteCheckLogLine(Forward(path).c_str(), L"VPE CHECK END");

    EXPECT_EQ(" VPE CHECK END\r\n", ReadBytes(path));
}

TEST(CheckLogLine, IsLostWithoutTheFolderAndNoFolderIsMade) {
    ScratchFolder folder(L"vpe_checklog_nofolder");
    std::wstring missing = folder.Path() + L"missing\\";

    WriteCheckLogLine(Forward(missing + L"check.log").c_str(), L"nowhere");

    EXPECT_FALSE(FolderIsThere(missing));
    EXPECT_FALSE(FileIsThere(missing + L"check.log"));
}

TEST(CheckLogLine, IsStoredInTheAnsiCodePageWithReplacementForTheRest) {
    ASSERT_EQ(1252u, GetACP()) << "the tests pin the locale to one with code page 1252";
    ScratchFolder folder(L"vpe_checklog_ansi");
    std::wstring path = folder.File(L"check.log");

    // e acute is in code page 1252, the Cyrillic Zhe is not.
    WriteCheckLogLine(Forward(path).c_str(), L"caf\u00e9 \u0416");

    std::vector<std::string> lines = SplitLines(ReadBytes(path));
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(std::string("caf\xE9 ?"), RecordOf(lines[0]));
}

TEST(CheckLogLine, ReachesAFolderWhoseNameHasNoAnsiForm) {
    ScratchFolder outer(L"vpe_checklog_wide");
    std::wstring inner = outer.Path() + L"\u0416\u4e2d\\";
    ASSERT_TRUE(CreateDirectoryW(inner.c_str(), nullptr));
    std::wstring path = inner + L"check.log";

    WriteCheckLogLine(Forward(path).c_str(), L"wide folder");

    std::vector<std::string> lines = SplitLines(ReadBytes(path));
    DeleteFileW(path.c_str());
    RemoveDirectoryW(inner.c_str());
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("wide folder", RecordOf(lines[0]));
}

TEST(CheckLogLine, SharesTheFileWithAnotherReaderAndWriter) {
    ScratchFolder folder(L"vpe_checklog_share");
    std::wstring path = folder.File(L"check.log");
    HANDLE other = CreateFileW(path.c_str(), GENERIC_READ | FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);

    WriteCheckLogLine(Forward(path).c_str(), L"mine before");
    const char theirs[] = "their line\r\n";
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(other, theirs, sizeof(theirs) - 1, &written, nullptr));
    WriteCheckLogLine(Forward(path).c_str(), L"mine after");
    CloseHandle(other);

    std::vector<std::string> lines = SplitLines(ReadBytes(path));
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("mine before", RecordOf(lines[0]));
    EXPECT_EQ("their line", lines[1]);
    EXPECT_EQ("mine after", RecordOf(lines[2]));
}

TEST(CheckLogLine, LeavesTheFileClosedForOthersToOpenExclusively) {
    ScratchFolder folder(L"vpe_checklog_closed");
    std::wstring path = folder.File(L"check.log");

    WriteCheckLogLine(Forward(path).c_str(), L"one");

    HANDLE exclusive = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, exclusive);
    CloseHandle(exclusive);
}

TEST(CheckLogPath, IsProgramFilesFollowedByTheLogFile) {
    wchar_t folder[MAX_PATH] = {0};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, 38, FALSE));
    EXPECT_EQ(Forward(folder) + L"/Veilpath Engine/log/check.log",
              std::wstring(GetCheckLogPath().c_str()));
}
