#include "tools/vpedrive/harness_activity.h"

#include <gtest/gtest.h>

using Corvinex::Vpedrive::CHarnessActivity;

TEST(HarnessActivity, AStatusQueryThatDidNotReturnIsTheOneInProgress) {
    CHarnessActivity activity;
    activity.Feed({L"vpetest: begin status", L"vpetest: call IsCheckRunning",
                   L"vpetest: call IsUpdateRunning", L"vpetest: end status",
                   L"vpetest: begin command 32811", L"vpetest: end command 32811",
                   L"vpetest: begin status", L"vpetest: call IsCheckRunning",
                   L"vpetest: call IsUpdateRunning", L"vpetest: call IsAnonymityActive",
                   L"vpetest: call IsEngineRunning"});
    EXPECT_TRUE(activity.Traced());
    EXPECT_TRUE(activity.InStatusUpdate());
    EXPECT_EQ(activity.StatusQuery(), L"IsEngineRunning");
    EXPECT_EQ(activity.OpenCommand(), -1);
}

TEST(HarnessActivity, AStatusUpdateInsideACommandsBoxKeepsTheCommandOpen) {
    CHarnessActivity activity;
    activity.Feed({L"vpetest: begin command 32788", L"vpetest: begin status",
                   L"vpetest: call IsCheckRunning"});
    EXPECT_EQ(activity.StatusQuery(), L"IsCheckRunning");
    EXPECT_EQ(activity.OpenCommand(), 32788);
    // Once the update ends, the command is what runs.
    activity.Feed({L"vpetest: end status"});
    EXPECT_FALSE(activity.InStatusUpdate());
    EXPECT_EQ(activity.StatusQuery(), L"");
    EXPECT_EQ(activity.OpenCommand(), 32788);
}

TEST(HarnessActivity, LinesOfOtherSendersAndStrayEndsChangeNothing) {
    CHarnessActivity activity;
    activity.Feed({L"err:engine: something", L"vpetest: end status", L"vpetest"});
    EXPECT_FALSE(activity.InStatusUpdate());
    EXPECT_EQ(activity.OpenCommand(), -1);
    activity.Feed({L"vpetest: begin status"});
    EXPECT_TRUE(activity.InStatusUpdate());
    EXPECT_EQ(activity.StatusQuery(), L"");
}
