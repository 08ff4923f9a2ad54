// What the program relies on from processes and windows, on both ports.
// Waits go through the port's pause: virtual time on the simulated machine,
// real time on Windows.
#include <gtest/gtest.h>

#include "tests/contract/contract_machine.h"

namespace kw::contract {
namespace {

class ProcessesContractTest : public ContractTest {
 protected:
  void SetUp() override {
    ContractTest::SetUp();
    m_program = m_machine.InstallWindowProgram(kScratchDir);
  }

  // Polls in 100 ms pauses, for at most 10 s.
  template <typename Condition>
  static bool Eventually(Condition condition) {
    for (int i = 0; i < 100; ++i) {
      if (condition()) return true;
      Os().Pause(100, false);
    }
    return condition();
  }

  std::string m_program;
};

TEST_F(ProcessesContractTest, StartFreezeAndCloseAProgram) {
  ProcessInfo info;
  ASSERT_TRUE(Os().StartProcess(m_program + " /any -arguments", "C:\\", ShowState::kNormal, &info));
  EXPECT_NE(info.processId, 0u);
  EXPECT_NE(Os().ProcessVersion(info.processId), 0u);

  WindowHandle window;
  ASSERT_TRUE(Eventually([&] {
    window = Os().FindTopLevelWindow("k-tasker");  // the whole title, any case
    return static_cast<bool>(window);
  }));
  EXPECT_FALSE(Os().FindTopLevelWindow("K-Task"));
  // The wait for the uninstaller's answer tells its own windows by their maker.
  EXPECT_EQ(Os().WindowProcessId(window), info.processId);
  EXPECT_EQ(Os().WindowProcessId(WindowHandle{}), 0u);

  // Suspensions are counted.
  EXPECT_EQ(Os().SuspendProcessThread(info.thread), 0u);
  EXPECT_EQ(Os().SuspendProcessThread(info.thread), 1u);
  EXPECT_EQ(Os().ResumeProcessThread(info.thread), 2u);
  EXPECT_EQ(Os().ResumeProcessThread(info.thread), 1u);
  EXPECT_EQ(Os().ResumeProcessThread(info.thread), 0u);

  EXPECT_TRUE(Os().BringToTop(window));
  EXPECT_TRUE(Os().SendCloseRequest(window, 30000));
  EXPECT_TRUE(Eventually([&] { return Os().ProcessVersion(info.processId) == 0; }));
  EXPECT_FALSE(Os().FindTopLevelWindow("K-Tasker"));
  EXPECT_FALSE(Os().SendCloseRequest(window, 1000));
  EXPECT_EQ(Os().WindowProcessId(window), 0u);  // gone with its window
}

// A program that hangs must not hang the caller: the close request is
// abandoned after its timeout, and bringing the window up is not waited for.
TEST_F(ProcessesContractTest, AHungProgramHangsNeitherACloseRequestNorARaise) {
  const std::uint32_t processId = m_machine.StartHangingWindowProgram(m_program);
  WindowHandle window;
  ASSERT_TRUE(Eventually([&] {
    window = Os().FindTopLevelWindow(ContractMachine::kWindowTitle);
    return static_cast<bool>(window);
  }));
  EXPECT_FALSE(Os().SendCloseRequest(window, 2000));
  EXPECT_TRUE(Os().BringToTop(window));
  EXPECT_NE(Os().ProcessVersion(processId), 0u);
  m_machine.EndProcess(processId);
}

}  // namespace
}  // namespace kw::contract
