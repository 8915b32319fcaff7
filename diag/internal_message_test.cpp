// The message gate with the test prefix's real registry and Wine's real message boxes: a probe
// program shows messages and the driver reads and confirms each box it opens.
#include "testsupport/test_paths.h"
#include "tools/driver/gui_session.h"
#include "tools/driver/registry_backup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Driver = Corvinex::Driver;

namespace {

const std::wstring kKey = Driver::DeveloperSettingsKey();

struct ProbeRun {
    Driver::WaitOutcome outcome = Driver::WaitOutcome::NoWindow;
    std::vector<Driver::SeenBox> boxes;
    DWORD exitCode = 0xFFFFFFFF;
};

class InternalMessage : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey.c_str()); }

    static void SetDword(const wchar_t* name, DWORD value) {
        ASSERT_EQ(Corvinex::kRegistryDone,
                  Corvinex::WriteDwordValue(HKEY_CURRENT_USER, kKey.c_str(), name, value));
    }

    static ProbeRun Run(const std::wstring& arguments) {
        Driver::CChildProcess process;
        ProbeRun run;
        if (!process.Start(VpeTest::ProgramFolder() + L"message_probe.exe", arguments, L"")) {
            return run;
        }
        Driver::CGuiSession session(process);
        Driver::CommandResult result = session.WaitForExit(30000);
        run.outcome = result.outcome;
        run.boxes = result.boxes;
        process.GetExitCode(&run.exitCode);
        return run;
    }

    Driver::CDeveloperSettingsGuard m_guard;
};

} // namespace

TEST_F(InternalMessage, BothSwitchesOnShowsEachMessageInItsOwnBoxInOrder) {
    SetDword(L"Debug", 1);
    SetDword(L"ShowInternalMessageBox", 1);
    ProbeRun run = Run(L"\"Start returned 0\" \"Stop returned 0\"");
    EXPECT_EQ(Driver::WaitOutcome::ProcessEnded, run.outcome);
    EXPECT_EQ(0u, run.exitCode);
    ASSERT_EQ(2u, run.boxes.size());
    EXPECT_EQ(L"Internal Error", run.boxes[0].caption);
    EXPECT_EQ(L"Start returned 0", run.boxes[0].text);
    EXPECT_EQ(L"Stop returned 0", run.boxes[1].text);
}

TEST_F(InternalMessage, PercentSignsAreShownUnchanged) {
    SetDword(L"Debug", 1);
    SetDword(L"ShowInternalMessageBox", 1);
    ProbeRun run = Run(L"\"50% of 4 endpoints %s %i %n done\"");
    ASSERT_EQ(1u, run.boxes.size());
    EXPECT_EQ(L"50% of 4 endpoints %s %i %n done", run.boxes[0].text);
}

TEST_F(InternalMessage, NoBoxUnlessDebugAndShowInternalMessageBoxAreBothOn) {
    ProbeRun absent = Run(L"one");
    EXPECT_EQ(0u, absent.exitCode);
    EXPECT_TRUE(absent.boxes.empty());

    SetDword(L"Debug", 0);
    SetDword(L"ShowInternalMessageBox", 1);
    ProbeRun debugOff = Run(L"two");
    EXPECT_EQ(0u, debugOff.exitCode);
    EXPECT_TRUE(debugOff.boxes.empty());

    SetDword(L"Debug", 1);
    SetDword(L"ShowInternalMessageBox", 0);
    ProbeRun boxOff = Run(L"three");
    EXPECT_EQ(0u, boxOff.exitCode);
    EXPECT_TRUE(boxOff.boxes.empty());
}

TEST_F(InternalMessage, TextValueForTheSwitchCountsAsOff) {
    SetDword(L"Debug", 1);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kKey.c_str(), 0, nullptr, 0,
                                             KEY_WRITE, nullptr, &key, nullptr));
    RegSetValueExW(key, L"ShowInternalMessageBox", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"1"),
                   2 * sizeof(wchar_t));
    RegCloseKey(key);
    ProbeRun run = Run(L"hidden");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(run.boxes.empty());
}

TEST_F(InternalMessage, SwitchingTheBoxOnWhileRunningShowsTheNextMessage) {
    SetDword(L"Debug", 1);
    SetDword(L"ShowInternalMessageBox", 0);
    std::wstring eventName = L"vpe_message_probe_" + std::to_wstring(GetCurrentProcessId());
    std::wstring passedName = eventName + L"_passed";
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    HANDLE passed = CreateEventW(nullptr, TRUE, FALSE, passedName.c_str());
    ASSERT_NE(nullptr, go);
    ASSERT_NE(nullptr, passed);

    Driver::CChildProcess process;
    ASSERT_TRUE(process.Start(VpeTest::ProgramFolder() + L"message_probe.exe",
                              L"before @signal:" + passedName + L" @wait:" + eventName + L" after",
                              L""));
    Driver::CGuiSession session(process);
    // The switch goes on only once the first message has been dropped, however slow the start.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(passed, 60000));
    SetDword(L"ShowInternalMessageBox", 1);
    SetEvent(go);
    Driver::CommandResult result = session.WaitForExit(30000);
    CloseHandle(go);
    CloseHandle(passed);
    DWORD code = 0xFFFFFFFF;
    process.GetExitCode(&code);
    EXPECT_EQ(0u, code);
    ASSERT_EQ(1u, result.boxes.size());
    EXPECT_EQ(L"after", result.boxes[0].text);
}
