// Memory running out in the real program under Wine, while the
// setup-log uninstaller's stand-in is frozen: only a real process shows it
// let go.  The sequence's decisions themselves are covered on the
// simulated machine; the whole run, in whole_uninstall_e2e_test.cc.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/e2e/e2e_machine.h"

namespace kw::e2e {
namespace {

class UninstallE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTestMachine();
    PrepareMachine();
    // Log entries enough to keep the uninstaller busy well past the
    // program's one-second look after the answer.
    InstallProduct({80});
  }
  void TearDown() override { ResetTestMachine(); }
};

// Memory runs out while the uninstaller is frozen: the program's fault
// switch fails every allocation of 64 KB or more, and DOSSTART.BAT is too
// large to be read within that.  The uninstaller is let go and finishes its
// log, the user is told, the record written, and the program ends there,
// before the fourth stage.
TEST_F(UninstallE2eTest, MemoryRunningOutLetsTheUninstallerGoAndEndsTheProgram) {
  const std::string batch = "@ECHO OFF\r\nC:\\K-WARD\\SENTRYX.EXE\r\n" + std::string(100000, ' ') + "\r\n";
  WriteFile("C:\\WINDOWS\\DOSSTART.BAT", batch);
  SetEnv("KW_FAIL_ALLOCATIONS_FROM", "65536");
  SetEnv("KW_UNINST_TICK_MS", "100");  // through its whole log well within the wait below
  char temporary[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, temporary);
  const std::string record = std::string(temporary) + "KWUNINST.LOG";
  RunOptions options = Answering("Yes");
  // Up for 1.5 s: long enough to see the uninstaller at work meanwhile.
  options.answers.insert(options.answers.begin(), std::string(kErrorCaption) + "=OK@1500");
  const Transcript transcript = RunKwuninst(options);
  SCOPED_TRACE(transcript.Text());
  ASSERT_TRUE(WaitForUninstallerExit(30000));
  const std::vector<Event> uninstaller = UninstallerTrace();
  SCOPED_TRACE(TraceText(uninstaller));

  const std::vector<Event> exits = transcript.Of("exit");
  ASSERT_EQ(exits.size(), 1u);
  EXPECT_EQ(exits[0].Get("code"), std::to_string(ERROR_NOT_ENOUGH_MEMORY));
  const std::vector<Event> boxes = transcript.Of("box");
  ASSERT_EQ(boxes.size(), 2u);  // the question, then this
  EXPECT_EQ(boxes[1].Get("caption"), kErrorCaption);
  EXPECT_EQ(boxes[1].Get("text"),
            "Unable to finish removing K-WARD: there is not enough memory. Some of its files or "
            "registry items may remain.");
  EXPECT_EQ(transcript.StatusTexts(),
            std::vector<std::string>(kStatusTexts.begin(), kStatusTexts.begin() + 3));
  // Let go before the box: the uninstaller goes on while the user reads it,
  // and finishes its log.
  const std::int64_t shownAt = transcript.EpochOf(boxes[1]);
  bool workedMeanwhile = false;
  for (const Event& tick : EventsOf(uninstaller, "tick")) {
    workedMeanwhile |= tick.ms > shownAt + kClockSlackMs && tick.ms < shownAt + 1500 - kClockSlackMs;
  }
  EXPECT_TRUE(workedMeanwhile);
  EXPECT_EQ(EventsOf(uninstaller, "done").size(), 1u);
  EXPECT_EQ(ReadFile("C:\\WINDOWS\\DOSSTART.BAT"), batch);
  const std::string text = ReadFile(record);
  const std::string ending = "run: out of memory\r\nbox \"" + std::string(kErrorCaption) + "\": " +
                             boxes[1].Get("text") + " -> OK\r\nrun: ended\r\n";
  ASSERT_GE(text.size(), ending.size()) << text;
  EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
  EXPECT_FALSE(ProcessRunning("KWUNINST.EXE"));
}

}  // namespace
}  // namespace kw::e2e
