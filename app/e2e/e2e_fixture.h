// The fixture of the end-to-end tests: the developer settings switched for the test and put
// back afterwards, vpetest.exe's windows unmanaged, and one harness run.
#pragma once

#include "app/e2e/e2e_harness.h"
#include "app/e2e/test_prefix.h"
#include "tools/driver/registry_backup.h"

#include <gtest/gtest.h>

namespace Corvinex {
namespace E2e {

class HarnessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_settings.EnableMessageBox(true));
        ASSERT_TRUE(m_unmanaged.Active());
    }

    // Prepares a run with the scripted engine and starts it up to its main window.
    void StartScripted() {
        ASSERT_TRUE(m_run.Prepare(ScriptedEnginePath())) << m_run.Error();
        ASSERT_TRUE(m_run.StartWindow()) << m_run.Error();
    }

    // Sends a menu command and returns the texts of the boxes it showed, all confirmed.
    std::vector<std::wstring> Command(WORD id) {
        Driver::CommandResult result = m_run.Session().SendCommand(id, kWaitMs);
        EXPECT_EQ(result.outcome, Driver::WaitOutcome::Finished)
            << Driver::WaitOutcomeName(result.outcome);
        for (const Driver::SeenBox& box : result.boxes)
            EXPECT_EQ(box.caption, kInternalErrorCaption);
        return BoxTexts(result.boxes);
    }

    Driver::CDeveloperSettingsGuard m_settings;
    CUnmanagedHarnessWindows m_unmanaged;
    CHarnessRun m_run;
};

using Texts = std::vector<std::wstring>;

} // namespace E2e
} // namespace Corvinex
