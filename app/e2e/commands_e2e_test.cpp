// The menu commands of vpetest.exe, sent to the running program: each command's message, and
// the engine calls of the commands that show none.
#include "app/e2e/e2e_fixture.h"
#include "res/resource.h"

#include <algorithm>

using namespace Corvinex::E2e;

namespace {

class MenuCommands : public HarnessTest {};

} // namespace

TEST_F(MenuCommands, EngineCommandsShowTheEngineAnswers) {
    m_run.Script(L"Start", L"-5");
    m_run.Script(L"Stop", L"17");
    m_run.Script(L"IsEngineRunning", L"2");
    m_run.Script(L"IsUpdateRunning", L"0");
    m_run.Script(L"IsCheckRunning", L"-1");
    StartScripted();
    EXPECT_EQ(Command(ID_ENGINE_START), Texts{L"Engine start = -5"});
    EXPECT_EQ(Command(ID_ENGINE_STOP), Texts{L"Engine stop = 17"});
    EXPECT_EQ(Command(ID_ENGINE_ISENGINERUNNING), Texts{L"IsEngineRunning = TRUE"});
    EXPECT_EQ(Command(ID_UPDATE_ISUPDATERUNNING), Texts{L"IsUpdateRunning = FALSE"});
    EXPECT_EQ(Command(ID_CHECK_ISCHECKRUNNING), Texts{L"IsCheckRunning = TRUE"});
    // The answers come from the engine as it is now: a changed state shows in the next box.
    ASSERT_TRUE(m_run.SetState(L"IsEngineRunning=0\nIsUpdateRunning=1\nStart=0\n"));
    EXPECT_EQ(Command(ID_ENGINE_ISENGINERUNNING), Texts{L"IsEngineRunning = FALSE"});
    EXPECT_EQ(Command(ID_UPDATE_ISUPDATERUNNING), Texts{L"IsUpdateRunning = TRUE"});
    EXPECT_EQ(Command(ID_ENGINE_START), Texts{L"Engine start = 0"});
}

TEST_F(MenuCommands, AnalyseUpdateLogShowsFourLines) {
    m_run.Script(L"AnalyseUpdateLog", L"0|ok|3|1");
    StartScripted();
    EXPECT_EQ(Command(ID_UPDATE_ANALYSEUPDATELOG),
              Texts{L"AnalyseUpdateLog returned 0\nmessage = \"ok\"\nnServerCountHTTP = 3\n"
                    L"bSuccess = TRUE"});
    // A percent sign in the engine's message is shown as it is, not taken as a directive.
    ASSERT_TRUE(m_run.SetState(L"AnalyseUpdateLog=-7|50% %s done|0|0\n"));
    EXPECT_EQ(Command(ID_UPDATE_ANALYSEUPDATELOG),
              Texts{L"AnalyseUpdateLog returned -7\nmessage = \"50% %s done\"\n"
                    L"nServerCountHTTP = 0\nbSuccess = FALSE"});
    EXPECT_EQ(m_run.CommandCalls(),
              Texts({L"GetCorvinexEngine", L"Update", L"AnalyseUpdateLog", L"AnalyseUpdateLog"}));
}

TEST_F(MenuCommands, AnalyseCheckLogShowsTheEngineTextAndAnEmptyBoxForNoText) {
    StartScripted();
    ASSERT_TRUE(m_run.SetState(L"AnalyseCheckLog=4 endpoints, 2 passed (50%)\n"));
    EXPECT_EQ(Command(ID_CHECK_ANALYSECHECKLOG), Texts{L"4 endpoints, 2 passed (50%)"});
    ASSERT_TRUE(m_run.SetState(L""));
    EXPECT_EQ(Command(ID_CHECK_ANALYSECHECKLOG), Texts{L""});
}

TEST_F(MenuCommands, CommandsWithoutMessageReachTheEngine) {
    StartScripted();
    for (WORD id :
         {ID_ENGINE_ACTIVATEANONYMITY, ID_ENGINE_DEACTIVATEANONYMITY, ID_UPDATE_UPDATESTART,
          ID_UPDATE_UPDATESTOP, ID_CHECK_CHECKSTART, ID_CHECK_CHECKSTOP})
        EXPECT_EQ(Command(id), Texts{}) << id;
    EXPECT_EQ(m_run.CommandCalls(),
              Texts({L"GetCorvinexEngine", L"Update", L"SetAnonymity 1", L"SetAnonymity 0",
                     L"UpdateStart", L"UpdateStop", L"CheckStart 3000", L"CheckStop"}));
}

TEST_F(MenuCommands, CheckTestDoesNothing) {
    StartScripted();
    EXPECT_EQ(Command(ID_CHECK_CHECKTEST), Texts{});
    EXPECT_EQ(m_run.CommandCalls(), Texts({L"GetCorvinexEngine", L"Update"}));
    EXPECT_TRUE(m_run.Process().IsRunning());
    EXPECT_TRUE(IsWindow(m_run.Session().MainWindow()));
}

TEST_F(MenuCommands, WithTheBoxSwitchedOffTheEngineIsStillCalled) {
    ASSERT_TRUE(m_settings.EnableMessageBox(false));
    m_run.Script(L"Start", L"-5");
    StartScripted();
    EXPECT_EQ(Command(ID_ENGINE_START), Texts{});
    EXPECT_EQ(Command(ID_ENGINE_ISENGINERUNNING), Texts{});
    EXPECT_EQ(Command(ID_UPDATE_ANALYSEUPDATELOG), Texts{});
    EXPECT_EQ(Command(ID_INSTALLATION_INSTALL), Texts{});
    EXPECT_EQ(Command(ID_UPDATE_UPDATETEST), Texts{});
    std::vector<std::wstring> calls = m_run.Calls();
    // The status refresh asks IsEngineRunning too; the command's call is the one after Start.
    auto start = std::find(calls.begin(), calls.end(), L"Start");
    ASSERT_NE(start, calls.end());
    EXPECT_NE(std::find(start, calls.end(), L"IsEngineRunning"), calls.end());
    EXPECT_EQ(m_run.CommandCalls(),
              Texts({L"GetCorvinexEngine", L"Update", L"Start", L"AnalyseUpdateLog",
                     L"GetCorvinexEngine", L"Install", L"Update"}));
    // Switching the box on takes effect with the next message, without a restart.
    ASSERT_TRUE(m_settings.EnableMessageBox(true));
    EXPECT_EQ(Command(ID_ENGINE_START), Texts{L"Engine start = -5"});
}
