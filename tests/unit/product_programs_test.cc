#include <gtest/gtest.h>

#include "app/uninstall_app.h"
#include "components/file_management.h"
#include "tests/support/sim_standins.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using testing::kInstallDir;
using testing::ProductProgramScript;

// The app with its installation directory already located.
class LocatedApp : public CUninstallApp {
 public:
  LocatedApp() { m_strInstallDir = kInstallDir; }
};

class ProductProgramsTest : public testing::SimTest {
 protected:
  ProductProgramsTest() {
    testing::RegisterInstallLocation(Machine());
    testing::InstallProductFiles(Machine());
  }

  static std::string InInstallDir(const std::string& name) { return kInstallDir + name; }

  sim::SimProcess* Run(const std::string& name, ProductProgramScript script) {
    testing::InstallProductProgram(Machine(), InInstallDir(name), script);
    return testing::LaunchProgram(Machine(), InInstallDir(name));
  }
  sim::SimProcess* RunAgent() {
    return Run("K-TASKER.EXE", {"K-Tasker", {InInstallDir("ACTIVITY.dll")}});
  }
  sim::SimProcess* RunMainProgram(ProductProgramScript script = {}) {
    script.windowTitle = "K-WARD Professional";
    script.heldFiles = {InInstallDir("K-WARD32.EXE")};
    return Run("K-WARD32.EXE", script);
  }
  sim::SimProcess* RunResidentProtection() {
    return Run("ZRP95.EXE",
               {"ZRP for Windows 95", {InInstallDir("ZRP95.EXE"), InInstallDir("ZRPENG.DLL")}});
  }
  std::size_t CloseRequestsTo(const std::string& title) {
    return Journal("close request to \"" + title + "\"").size();
  }
};

TEST_F(ProductProgramsTest, AnAgentThatIsNotRunningIsNeitherWaitedForNorRestarted) {
  LocatedApp app;
  app.StopAgent();
  EXPECT_FALSE(app.AgentWasRunning());
  EXPECT_EQ(Machine().PauseCount(), 0);
  app.RestartAgent();
  EXPECT_TRUE(Machine().Processes().empty());
}

TEST_F(ProductProgramsTest, ARunningAgentIsClosedAndRestartedMinimised) {
  sim::SimProcess* agent = RunAgent();
  LocatedApp app;
  app.StopAgent();
  EXPECT_TRUE(app.AgentWasRunning());
  EXPECT_FALSE(agent->IsRunning());
  app.RestartAgent();
  sim::SimProcess* restarted = Machine().FindProcess(InInstallDir("K-TASKER.EXE"));
  ASSERT_NE(restarted, agent);
  EXPECT_TRUE(restarted->IsRunning());
  EXPECT_EQ(restarted->Show(), ShowState::kMinimizedNoActivate);
  EXPECT_EQ(restarted->CommandLine(), "C:\\K-WARD\\K-TASKER.EXE");
}

TEST_F(ProductProgramsTest, AMissingActivityLibraryCosts31Pauses) {
  Files().RemoveFile(InInstallDir("ACTIVITY.dll"));
  LocatedApp app;
  app.StopAgent();
  EXPECT_EQ(Machine().PauseCount(), 31);
}

TEST_F(ProductProgramsTest, OnNtTheResidentProtectionIsLeftAlone) {
  sim::SimProcess* mainProgram = RunMainProgram();
  sim::SimProcess* resident = RunResidentProtection();
  LocatedApp app;
  EXPECT_TRUE(app.CloseProductPrograms());
  EXPECT_FALSE(mainProgram->IsRunning());
  EXPECT_TRUE(resident->IsRunning());
  EXPECT_EQ(CloseRequestsTo("ZRP for Windows 95"), 0u);
  EXPECT_EQ(Machine().PauseCount(), 0);
}

TEST_F(ProductProgramsTest, OnWindows95TheResidentProtectionIsClosedAfterTheMainProgram) {
  Machine().BecomeWindows95();
  ProductProgramScript slow;
  slow.exitDelayMs = 3000;  // lets go of its file 3 s after the request
  sim::SimProcess* mainProgram = RunMainProgram(slow);
  sim::SimProcess* resident = RunResidentProtection();
  LocatedApp app;
  EXPECT_TRUE(app.CloseProductPrograms());
  EXPECT_FALSE(mainProgram->IsRunning());
  EXPECT_FALSE(resident->IsRunning());
  EXPECT_EQ(Machine().PauseCount(), 3);
  const auto requests = Journal("close request");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[1].find("ZRP for Windows 95"), std::string::npos);
  // The resident protection was asked only once the main program had ended.
  EXPECT_LT(mainProgram->ExitedAtMs(), resident->ExitedAtMs() + 1);
}

TEST_F(ProductProgramsTest, AMainProgramThatNeverEndsFailsTheStageWithoutGoingFurther) {
  Machine().BecomeWindows95();
  ProductProgramScript stubborn;
  stubborn.refusesToClose = true;
  RunMainProgram(stubborn);
  sim::SimProcess* resident = RunResidentProtection();
  LocatedApp app;
  EXPECT_FALSE(app.CloseProductPrograms());
  EXPECT_EQ(Machine().PauseCount(), 31);
  EXPECT_TRUE(resident->IsRunning());
  EXPECT_EQ(CloseRequestsTo("ZRP for Windows 95"), 0u);
}

TEST_F(ProductProgramsTest, TheShellExtensionUsesUpTheBudgetButIsNotRequired) {
  Files().Hold(InInstallDir("KWSHEXT.DLL"), "the shell");
  LocatedApp app;
  EXPECT_TRUE(app.CloseProductPrograms());
  EXPECT_EQ(Machine().PauseCount(), 31);
}

TEST_F(ProductProgramsTest, AMissingNetworkLibraryFailsTheStage) {
  Files().RemoveFile(InInstallDir("NWCALLS.DLL"));
  LocatedApp app;
  EXPECT_FALSE(app.CloseProductPrograms());
  EXPECT_EQ(Machine().PauseCount(), 31);
}

TEST_F(ProductProgramsTest, AStubbornMainProgramGivesMessage4AndTheOtherStagesStillRun) {
  testing::InstallUninstaller(Machine(), testing::UninstallerScript{});
  ProductProgramScript stubborn;
  stubborn.refusesToClose = true;
  RunMainProgram(stubborn);
  Machine().AnswerNextBox(kIdOk);
  Machine().AnswerNextBox(kIdCancel);  // stage 4 cannot delete the program's file
  CUninstallApp app;
  app.InitInstance();
  ASSERT_EQ(Machine().Boxes().size(), 2u);
  EXPECT_EQ(Machine().Boxes()[0].text, "Unable to close the K-WARD programs");
  // 1 + 3 pauses to the answer, 31 for the main program, 4 statuses.
  EXPECT_EQ(Machine().PauseCount(), 1 + 3 + 31 + 4);
  EXPECT_EQ(Machine().PaintedStatuses().size(), 4u);
}

TEST_F(ProductProgramsTest, DecliningRestartsTheAgentAndConfirmingDoesNot) {
  testing::UninstallerScript declining;
  declining.userAgrees = false;
  testing::InstallUninstaller(Machine(), declining);
  sim::SimProcess* agent = RunAgent();
  {
    CUninstallApp app;
    app.InitInstance();
  }
  EXPECT_FALSE(agent->IsRunning());
  sim::SimProcess* restarted = Machine().FindProcess(InInstallDir("K-TASKER.EXE"));
  ASSERT_NE(restarted, agent);
  EXPECT_EQ(restarted->Show(), ShowState::kMinimizedNoActivate);
  // The agent was closed before the uninstaller was started.
  const auto& journal = Machine().Journal();
  auto indexOf = [&](const std::string& prefix) {
    for (std::size_t i = 0; i < journal.size(); ++i) {
      if (journal[i].what.rfind(prefix, 0) == 0) return static_cast<int>(i);
    }
    return -1;
  };
  EXPECT_GE(indexOf("close request to \"K-Tasker\""), 0);
  EXPECT_LT(indexOf("close request to \"K-Tasker\""), indexOf("starts C:\\WINDOWS\\Uninst.exe"));

  testing::InstallUninstaller(Machine(), testing::UninstallerScript{});
  restarted->Exit();
  sim::SimProcess* again = RunAgent();
  CFileManagement::ResetWaitBudget();
  const std::size_t processes = Machine().Processes().size();
  CUninstallApp app;
  app.InitInstance();
  EXPECT_FALSE(again->IsRunning());
  // Only the uninstaller was started: the agent stays closed.
  EXPECT_EQ(Machine().Processes().size(), processes + 1);
}

}  // namespace
}  // namespace kw
