#include "base/file_handle.h"
#include "tools/driver/child_process.h"

#include "tools/driver/test_target_path.h"

#include <gtest/gtest.h>

using Corvinex::Driver::CChildProcess;
using Corvinex::Driver::QuoteArgument;

TEST(QuoteArgument, LeavesPlainWordsAlone) {
    EXPECT_EQ(QuoteArgument(L"fakecheck"), L"fakecheck");
}

TEST(QuoteArgument, QuotesSpacesAndEmptyText) {
    EXPECT_EQ(QuoteArgument(L"a b"), L"\"a b\"");
    EXPECT_EQ(QuoteArgument(L""), L"\"\"");
}

TEST(QuoteArgument, EscapesQuotesAndTheBackslashesBeforeThem) {
    EXPECT_EQ(QuoteArgument(L"say \"hi\""), L"\"say \\\"hi\\\"\"");
    EXPECT_EQ(QuoteArgument(L"C:\\My Folder\\"), L"\"C:\\My Folder\\\\\"");
    EXPECT_EQ(QuoteArgument(L"a\\\\\"b c"), L"\"a\\\\\\\\\\\"b c\"");
}

TEST(ChildProcess, ReportsTheExitCodeOfAProgramThatEnds) {
    CChildProcess process;
    ASSERT_TRUE(process.Start(VpeTest::TestTargetPath(), L"--no-window --exit-code 7", L""));
    EXPECT_NE(process.Id(), 0u);
    ASSERT_TRUE(process.WaitForExit(20000));
    DWORD code = 0;
    ASSERT_TRUE(process.GetExitCode(&code));
    EXPECT_EQ(code, 7u);
    EXPECT_FALSE(process.IsRunning());
}

TEST(ChildProcess, FailsCleanlyForAMissingProgram) {
    CChildProcess process;
    EXPECT_FALSE(process.Start(VpeTest::ProgramFolder() + L"no such program.exe", L"", L""));
    EXPECT_EQ(process.LastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(process.Handle(), nullptr);
    DWORD code = 0;
    EXPECT_FALSE(process.GetExitCode(&code));
}

TEST(ChildProcess, KillsAProgramThatDoesNotEnd) {
    CChildProcess process;
    ASSERT_TRUE(process.Start(VpeTest::TestTargetPath(), L"", L""));
    // Killed in the middle of its start-up, a program has been seen to leave this test process
    // unable to end under Wine; a hung program is one that got as far as waiting for input.
    EXPECT_TRUE(process.WaitForInputIdle(20000));
    EXPECT_FALSE(process.WaitForExit(300));
    EXPECT_TRUE(process.IsRunning());
    DWORD code = 0;
    EXPECT_FALSE(process.GetExitCode(&code));
    ASSERT_TRUE(process.Kill(42));
    ASSERT_TRUE(process.GetExitCode(&code));
    EXPECT_EQ(code, 42u);
}

TEST(ChildProcess, RefusesASecondStartWhileOwningOne) {
    CChildProcess process;
    ASSERT_TRUE(process.Start(VpeTest::TestTargetPath(), L"--no-window", L""));
    EXPECT_FALSE(process.Start(VpeTest::TestTargetPath(), L"--no-window", L""));
    EXPECT_EQ(process.LastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(process.WaitForExit(20000));
}

TEST(ChildProcess, EndsItsProgramWhenDestroyed) {
    HANDLE copy = nullptr;
    {
        CChildProcess process;
        ASSERT_TRUE(process.Start(VpeTest::TestTargetPath(), L"", L""));
        EXPECT_TRUE(process.WaitForInputIdle(20000));
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), process.Handle(), GetCurrentProcess(),
                                    &copy, SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, 0));
    }
    Corvinex::CFileHandle owned(copy);
    EXPECT_EQ(WaitForSingleObject(owned.Get(), 10000), WAIT_OBJECT_0);
}

TEST(ChildProcess, SendsTheOutputOfAProgramToAFile) {
    wchar_t temp[MAX_PATH] = {0};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring file = std::wstring(temp) + L"vpe child output \x00E4.txt";
    CChildProcess process;
    process.RedirectOutputTo(file);
    ASSERT_TRUE(
        process.Start(VpeTest::TestTargetPath(), L"--no-window --print \"hello there\"", L""));
    ASSERT_TRUE(process.WaitForExit(20000));
    char buffer[64] = {0};
    DWORD read = 0;
    {
        Corvinex::CFileHandle handle;
        ASSERT_TRUE(handle.Open(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                OPEN_EXISTING));
        ReadFile(handle.Get(), buffer, sizeof(buffer) - 1, &read, nullptr);
    }
    DeleteFileW(file.c_str());
    EXPECT_EQ(std::string(buffer, read), "hello there\n");
}

namespace {

// The system's command interpreter: "cmd /c exit %NAME%" ends with the variable's value as its
// exit code, so the code tells what the started program saw.
std::wstring CommandInterpreter() {
    wchar_t folder[MAX_PATH] = {0};
    GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\cmd.exe";
}

DWORD ExitCodeOf(CChildProcess& process) {
    DWORD code = 0xFFFFFFFF;
    if (process.WaitForExit(20000))
        process.GetExitCode(&code);
    return code;
}

} // namespace

TEST(ChildProcessEnvironment, GivesTheStartedProgramTheVariable) {
    CChildProcess process;
    process.SetEnvironment(L"VPE_DRIVER_CODE", L"23");
    ASSERT_TRUE(process.Start(CommandInterpreter(), L"/c exit %VPE_DRIVER_CODE%", L""));
    EXPECT_EQ(ExitCodeOf(process), 23u);
    // The driver's own environment stays as it was.
    EXPECT_EQ(GetEnvironmentVariableW(L"VPE_DRIVER_CODE", nullptr, 0), 0u);
}

TEST(ChildProcessEnvironment, OverridesAnInheritedVariableAndKeepsTheOthers) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"VPE_DRIVER_INHERITED", L"5"));
    ASSERT_TRUE(SetEnvironmentVariableW(L"VPE_DRIVER_KEPT", L"6"));
    CChildProcess overridden;
    overridden.SetEnvironment(L"vpe_driver_inherited", L"1");
    overridden.SetEnvironment(L"VPE_DRIVER_INHERITED", L"9");
    ASSERT_TRUE(overridden.Start(CommandInterpreter(), L"/c exit %VPE_DRIVER_INHERITED%", L""));
    EXPECT_EQ(ExitCodeOf(overridden), 9u);
    CChildProcess kept;
    kept.SetEnvironment(L"VPE_DRIVER_INHERITED", L"9");
    ASSERT_TRUE(kept.Start(CommandInterpreter(), L"/c exit %VPE_DRIVER_KEPT%", L""));
    EXPECT_EQ(ExitCodeOf(kept), 6u);
    SetEnvironmentVariableW(L"VPE_DRIVER_INHERITED", nullptr);
    SetEnvironmentVariableW(L"VPE_DRIVER_KEPT", nullptr);
}

TEST(ChildProcessEnvironment, ClearEnvironmentFallsBackToTheInheritedOne) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"VPE_DRIVER_INHERITED", L"4"));
    CChildProcess process;
    process.SetEnvironment(L"VPE_DRIVER_INHERITED", L"8");
    process.ClearEnvironment();
    ASSERT_TRUE(process.Start(CommandInterpreter(), L"/c exit %VPE_DRIVER_INHERITED%", L""));
    EXPECT_EQ(ExitCodeOf(process), 4u);
    SetEnvironmentVariableW(L"VPE_DRIVER_INHERITED", nullptr);
}
