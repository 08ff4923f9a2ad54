#include "components/execute.h"

#include <gtest/gtest.h>

#include "tests/support/sim_standins.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

constexpr const char* kToolPath = "C:\\TOOLS\\TOOL.EXE";

// A program that opens one window and closes it after a while.
class WindowForAWhile : public sim::SimProgram {
 public:
  WindowForAWhile(std::string title, std::int64_t closeAtMs)
      : m_title(std::move(title)), m_closeAtMs(closeAtMs) {}
  void OnStart(sim::SimProcess& self) override { m_window = self.OpenWindow(m_title); }
  void OnTurn(sim::SimProcess& self) override {
    if (m_window && self.RunTimeMs() >= m_closeAtMs) {
      self.CloseWindow(m_window);
      m_window = WindowHandle{};
    }
  }

 private:
  std::string m_title;
  std::int64_t m_closeAtMs;
  WindowHandle m_window;
};

class ExecuteTest : public testing::SimTest {
 protected:
  void InstallTool(const std::string& title, std::int64_t closeAtMs) {
    Machine().RegisterProgram(kToolPath, [title, closeAtMs] {
      return std::make_unique<WindowForAWhile>(title, closeAtMs);
    });
  }
  static std::int32_t TakeCode(CExecute& execute, std::string* argument = nullptr) {
    std::int32_t code = 0;
    std::string text;
    execute.GetError(code, text);
    if (argument != nullptr) *argument = text;
    return code;
  }
};

TEST_F(ExecuteTest, TitlesFallBackToTheStoredOneAndAreNeverTrimmed) {
  CExecute stored("", "Stored Title");
  std::string argument;
  EXPECT_FALSE(stored.CloseWindow(""));
  EXPECT_EQ(TakeCode(stored, &argument), 101);
  EXPECT_EQ(argument, "Stored Title");
  EXPECT_FALSE(stored.BringWindowToFront(""));
  EXPECT_EQ(TakeCode(stored, &argument), 102);
  EXPECT_EQ(argument, "Stored Title");

  CExecute none("", "");
  EXPECT_FALSE(none.CloseWindow(""));
  EXPECT_EQ(TakeCode(none, &argument), 137);
  EXPECT_EQ(argument, "");
  EXPECT_FALSE(none.BringWindowToFront(""));
  EXPECT_EQ(TakeCode(none, &argument), 137);
  EXPECT_FALSE(none.CloseWindow("  "));
  EXPECT_EQ(TakeCode(none, &argument), 101);
  EXPECT_EQ(argument, "  ");
}

TEST_F(ExecuteTest, ExecuteErrorsAndWorkingDirectory) {
  CExecute execute("", "");
  std::string argument;
  EXPECT_FALSE(execute.Execute("", false));
  EXPECT_EQ(TakeCode(execute, &argument), 138);
  EXPECT_EQ(execute.GetWorkingDir(), "");

  EXPECT_FALSE(execute.Execute("C:\\NOWHERE\\MISSING.EXE /x", false));
  EXPECT_EQ(TakeCode(execute, &argument), 103);
  EXPECT_EQ(argument, "C:\\NOWHERE\\MISSING.EXE /x");
  EXPECT_EQ(execute.GetWorkingDir(), "C:\\");
  EXPECT_FALSE(execute.IsProcessAlive());
  EXPECT_EQ(execute.SuspendMainThread(), kSuspendFailed);
  EXPECT_EQ(execute.ResumeMainThread(), kSuspendFailed);

  CExecute storedCommand(kToolPath, "");
  InstallTool("Tool", 1000000);
  EXPECT_TRUE(storedCommand.Execute("", false));
  sim::SimProcess* process = Machine().FindProcess(kToolPath);
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(process->CurrentDirectory(), "C:\\");
  EXPECT_TRUE(storedCommand.IsProcessAlive());
}

TEST_F(ExecuteTest, StartUpInformationIsPreparedAfreshForEveryStart) {
  InstallTool("Tool", 1000000);
  CExecute execute("", "");
  ASSERT_TRUE(execute.Execute(kToolPath, true));
  EXPECT_EQ(Machine().FindProcess(kToolPath)->Show(), ShowState::kMinimizedNoActivate);
  ASSERT_TRUE(execute.Execute(kToolPath, false));
  EXPECT_EQ(Machine().FindProcess(kToolPath)->Show(), ShowState::kNormal);
  EXPECT_TRUE(execute.GetStartupInfo().useShowWindow);
}

TEST_F(ExecuteTest, SuspensionsAreCounted) {
  InstallTool("Tool", 1000000);
  CExecute execute("", "");
  ASSERT_TRUE(execute.Execute(kToolPath, false));
  sim::SimProcess* process = Machine().FindProcess(kToolPath);
  EXPECT_EQ(execute.SuspendMainThread(), 0u);
  EXPECT_EQ(execute.SuspendMainThread(), 1u);
  EXPECT_EQ(execute.ResumeMainThread(), 2u);
  Machine().AdvanceMs(5000);
  EXPECT_EQ(process->RunTimeMs(), 0);  // still frozen
  EXPECT_EQ(execute.ResumeMainThread(), 1u);
  Machine().AdvanceMs(5000);
  EXPECT_EQ(process->RunTimeMs(), 5000);
}

TEST_F(ExecuteTest, WaitWhileWindowExistsPollsOnceASecond) {
  CExecute execute("", "");
  execute.WaitWhileWindowExists("No Such Window");
  EXPECT_EQ(Machine().PauseCount(), 0);

  InstallTool("Question", 3500);
  ASSERT_TRUE(execute.Execute(kToolPath, false));
  execute.WaitWhileWindowExists("QUESTION");  // titles match without regard to case
  EXPECT_EQ(Machine().PauseCount(), 4);
  EXPECT_EQ(Machine().NowMs(), 4000);
}

TEST_F(ExecuteTest, WaitUntilWindowAppearsEndsWithTheProcess) {
  CExecute execute("", "");
  EXPECT_FALSE(execute.WaitUntilWindowAppears({"Anything"}));  // nothing started
  EXPECT_EQ(Machine().PauseCount(), 0);

  testing::UninstallerScript script;
  script.questionAtMs = 2500;
  testing::InstallUninstaller(Machine(), script);
  ASSERT_TRUE(execute.Execute(testing::kUninstallerPath, false));
  EXPECT_TRUE(execute.WaitUntilWindowAppears({"Other", testing::kConfirmTitle}));
  EXPECT_EQ(Machine().PauseCount(), 3);
  Machine().FindProcess(testing::kUninstallerPath)->Exit();

  testing::UninstallerScript crashing;
  crashing.endsBeforeQuestion = true;
  testing::InstallUninstaller(Machine(), crashing);
  CExecute second("", "");
  ASSERT_TRUE(second.Execute(testing::kUninstallerPath, false));
  EXPECT_FALSE(second.WaitUntilWindowAppears({testing::kConfirmTitle}));
}

TEST_F(ExecuteTest, CloseWindowDeliversTheRequestAndDoesNotHangOnAFrozenWindow) {
  testing::ProductProgramScript polite{"Polite", {}, 0, false, false};
  testing::ProductProgramScript hung{"Hung", {}, 0, false, true};
  testing::InstallProductProgram(Machine(), "C:\\P\\POLITE.EXE", polite);
  testing::InstallProductProgram(Machine(), "C:\\P\\HUNG.EXE", hung);
  sim::SimProcess* politeProcess = testing::LaunchProgram(Machine(), "C:\\P\\POLITE.EXE");
  sim::SimProcess* hungProcess = testing::LaunchProgram(Machine(), "C:\\P\\HUNG.EXE");

  CExecute execute("", "");
  EXPECT_TRUE(execute.CloseWindow("polite"));
  EXPECT_FALSE(politeProcess->IsRunning());
  EXPECT_TRUE(execute.CloseWindow("Hung"));  // the window existed
  EXPECT_TRUE(hungProcess->IsRunning());
  EXPECT_EQ(TakeCode(execute), 0);
}

TEST_F(ExecuteTest, BringWindowToFront) {
  InstallTool("Progress", 1000000);
  CExecute execute("", "");
  ASSERT_TRUE(execute.Execute(kToolPath, false));
  EXPECT_TRUE(execute.BringWindowToFront("Progress"));
  EXPECT_EQ(Journal("brought to top").size(), 1u);
  EXPECT_FALSE(execute.BringWindowToFront("Gone"));
  std::string argument;
  EXPECT_EQ(TakeCode(execute, &argument), 102);
  EXPECT_EQ(argument, "Gone");
}

}  // namespace
}  // namespace kw
