// The real program driving the setup-log uninstaller stand-in: declined,
// confirmed, missing, and asked late.
#include <windows.h>

#include <gtest/gtest.h>


#include "tests/e2e/e2e_machine.h"

namespace kw::e2e {
namespace {

const std::vector<std::string> kStatusTexts = {
    "Closing down the K-WARD programs . . . ",
    "Removing registry items . . . ",
    "Removing Sentryx from DOSSTART.BAT . . . ",
    "Removing K-WARD files . . .",
};

std::vector<std::string> LoggedFiles(int count) {
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) names.push_back("PART" + std::to_string(i) + ".DAT");
  return names;
}

class UninstallSequenceE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMachine();
    ProductLayout layout;
    layout.loggedFiles = LoggedFiles(kLoggedFiles);
    InstallProduct(layout);
    InstallUninstaller();
  }
  void TearDown() override { ResetMachine(); }

  static constexpr int kLoggedFiles = 24;
};

TEST_F(UninstallSequenceE2eTest, DeclinedRemovesNothingAndShowsNoStatusWindow) {
  RunOptions options;
  options.answers = {std::string(kConfirmTitle) + "=No@300", std::string(kErrorCaption) + "=OK"};
  const Transcript transcript = RunKwuninst(options);
  SCOPED_TRACE(transcript.Text());
  ASSERT_EQ(transcript.answererExitCode, 0);

  const std::vector<Event> boxes = transcript.Of("box");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Get("caption"), kConfirmTitle);
  EXPECT_EQ(boxes[0].Get("pressed"), "No");
  EXPECT_TRUE(transcript.Of("status-window").empty());
  ASSERT_TRUE(WaitForUninstallerExit(5000));
  const std::vector<Event> trace = UninstallerTrace();
  EXPECT_TRUE(EventsOf(trace, "removed").empty()) << TraceText(trace);
  for (const std::string& name : LoggedFiles(kLoggedFiles)) {
    EXPECT_TRUE(FileExists(std::string(kInstallDir) + "\\" + name)) << name;
  }
  EXPECT_EQ(transcript.Of("exit")[0].Get("code"), "0");
}

TEST_F(UninstallSequenceE2eTest, ConfirmedRunsTheStagesWhileTheUninstallerIsFrozen) {
  RunOptions options;
  options.answers = {std::string(kConfirmTitle) + "=Yes@300", std::string(kErrorCaption) + "=OK"};
  options.screenshot = ArtifactsDir() + "\\status-window.png";
  DeleteFileA(options.screenshot.c_str());
  const Transcript transcript = RunKwuninst(options);
  SCOPED_TRACE(transcript.Text());
  ASSERT_EQ(transcript.answererExitCode, 0);

  // The uninstaller was started on the install log, in C:\.
  ASSERT_TRUE(WaitForUninstallerExit(30000));
  const std::vector<Event> trace = UninstallerTrace();
  SCOPED_TRACE(TraceText(trace));
  const std::vector<Event> started = EventsOf(trace, "started");
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].detail, "C:\\windows\\Uninst.exe -fC:\\K-WARD\\DEISL1.ISU\tcwd=C:\\");

  // The status window: its caption, on top, centred, the four statuses in order.
  const std::vector<Event> windows = transcript.Of("status-window");
  ASSERT_FALSE(windows.empty());
  EXPECT_EQ(windows[0].Get("caption"), "  K-WARD Uninstall");
  EXPECT_EQ(windows[0].Get("topmost"), "1");
  EXPECT_EQ(windows[0].Get("centred"), "1");
  EXPECT_EQ(windows[0].Get("visible"), "1");
  EXPECT_EQ(windows[0].Get("owner"), "none");
  EXPECT_EQ(transcript.StatusTexts(), kStatusTexts);
  ASSERT_EQ(transcript.Of("status-window-gone").size(), 1u);
  EXPECT_EQ(transcript.Of("box").size(), 1u);  // the question only: no stage failed

  // Frozen from the first status to the end of the stages: no tick of the
  // uninstaller between them; it goes on afterwards and finishes.
  const std::int64_t firstStatus = transcript.EpochOf(windows[0]);
  const std::int64_t gone = transcript.EpochOf(transcript.Of("status-window-gone")[0]);
  EXPECT_GE(gone - firstStatus, 3000);
  const std::vector<Event> ticks = EventsOf(trace, "tick");
  int ticksWhileFrozen = 0;
  for (const Event& tick : ticks) {
    // A tick may land within a few ms of the window's edges: the box
    // answerer polls every 20 ms.
    if (tick.ms > firstStatus + 100 && tick.ms < gone - 300) ++ticksWhileFrozen;
  }
  EXPECT_EQ(ticksWhileFrozen, 0);
  EXPECT_EQ(EventsOf(trace, "done").size(), 1u);
  for (const std::string& name : LoggedFiles(kLoggedFiles)) {
    EXPECT_FALSE(FileExists(std::string(kInstallDir) + "\\" + name)) << name;
  }
  // Its progress window was brought forward after the stages.
  const std::vector<Event> raised = EventsOf(trace, "zorder-request");
  ASSERT_FALSE(raised.empty());
  EXPECT_GT(raised.back().ms, firstStatus);

  const DWORD attributes = GetFileAttributesA(options.screenshot.c_str());
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "no screenshot at " << options.screenshot;
  EXPECT_EQ(transcript.Of("exit")[0].Get("code"), "0");
}

TEST_F(UninstallSequenceE2eTest, AMissingUninstallerBehavesAsADecline) {
  DeleteFileA("C:\\windows\\Uninst.exe");
  RunOptions options;
  options.answers = {std::string(kErrorCaption) + "=OK"};
  const Transcript transcript = RunKwuninst(options);
  SCOPED_TRACE(transcript.Text());
  EXPECT_TRUE(transcript.Of("box").empty());
  EXPECT_TRUE(transcript.Of("status-window").empty());
  EXPECT_TRUE(transcript.ProcessesStartedBy("KWUNINST.EXE").empty());
  for (const std::string& name : LoggedFiles(kLoggedFiles)) {
    EXPECT_TRUE(FileExists(std::string(kInstallDir) + "\\" + name)) << name;
  }
  EXPECT_EQ(transcript.Of("exit")[0].Get("code"), "0");
}

TEST_F(UninstallSequenceE2eTest, AQuestionShownLateIsWaitedForBeforeItsAnswer) {
  SetEnv("KW_UNINST_QUESTION_DELAY_MS", "3000");
  RunOptions options;
  options.answers = {std::string(kConfirmTitle) + "=Yes@1500", std::string(kErrorCaption) + "=OK"};
  const Transcript transcript = RunKwuninst(options);
  SCOPED_TRACE(transcript.Text());
  ASSERT_TRUE(WaitForUninstallerExit(30000));
  const std::vector<Event> trace = UninstallerTrace();
  SCOPED_TRACE(TraceText(trace));

  const std::vector<Event> answers = EventsOf(trace, "answer");
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].detail, "yes");
  const std::vector<Event> windows = transcript.Of("status-window");
  ASSERT_FALSE(windows.empty());
  // Nothing happened before the user answered.
  EXPECT_GT(transcript.EpochOf(windows[0]), answers[0].ms);
  EXPECT_EQ(transcript.StatusTexts(), kStatusTexts);
  EXPECT_EQ(EventsOf(trace, "done").size(), 1u);
}

}  // namespace
}  // namespace kw::e2e
