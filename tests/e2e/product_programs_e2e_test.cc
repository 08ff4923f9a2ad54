// The real program closing and restarting the product's programs, on a
// Windows NT machine and on a Windows 95 machine.
#include <windows.h>

#include <gtest/gtest.h>


#include "tests/e2e/e2e_machine.h"

namespace kw::e2e {
namespace {

constexpr const char* kAgentTitle = "K-Tasker";
constexpr const char* kMainTitle = "K-WARD Professional";
constexpr const char* kResidentTitle = "ZRP for Windows 95";
constexpr std::int64_t kClockSlackMs = 50;

class ProductProgramsE2eTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ResetMachine();
    SetWindows95(Windows95());
    // A log long enough to keep the uninstaller busy well past the
    // program's one-second look after the answer.
    ProductLayout layout;
    for (int i = 1; i <= 24; ++i) layout.loggedFiles.push_back("PART" + std::to_string(i) + ".DAT");
    InstallProduct(layout);
    InstallUninstaller();
  }
  void TearDown() override { ResetMachine(); }

  bool Windows95() const { return GetParam(); }

  static RunOptions Answering(const std::string& answer) {
    RunOptions options;
    options.answers = {std::string(kConfirmTitle) + "=" + answer + "@300",
                       std::string(kErrorCaption) + "=OK"};
    options.timeoutSeconds = 120;
    return options;
  }
};

TEST_P(ProductProgramsE2eTest, DecliningClosesTheAgentFirstAndRestartsItMinimised) {
  ASSERT_TRUE(StartProductProgram("K-TASKER.EXE", kAgentTitle));
  const Transcript transcript = RunKwuninst(Answering("No"));
  SCOPED_TRACE(transcript.Text());
  // The restarted agent reports how it was shown a moment after it starts.
  auto restartedAndShown = [] {
    const std::vector<Event> trace = ProductTrace();
    const std::vector<Event> starts = EventsOf(trace, "started", "K-TASKER.EXE");
    const std::vector<Event> shown = EventsOf(trace, "shown", "K-TASKER.EXE");
    return starts.size() >= 2 && !shown.empty() && shown.back().ms > starts[1].ms;
  };
  for (int waited = 0; waited < 10000 && !restartedAndShown(); waited += 100) Sleep(100);
  ASSERT_TRUE(restartedAndShown()) << TraceText(ProductTrace());
  const std::vector<Event> trace = ProductTrace();
  SCOPED_TRACE(TraceText(trace));

  // Closed before the question was asked...
  const std::vector<Event> closes = EventsOf(trace, "close-request", "K-TASKER.EXE");
  const std::vector<Event> questions = EventsOf(UninstallerTrace(), "question-shown");
  const std::vector<Event> answers = EventsOf(UninstallerTrace(), "answer");
  ASSERT_EQ(closes.size(), 1u);
  ASSERT_EQ(questions.size(), 1u);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_LT(closes[0].ms, questions[0].ms);
  // ...and started again after the answer, minimised and not activated.
  const std::vector<Event> starts = EventsOf(trace, "started", "K-TASKER.EXE");
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_GT(starts[1].ms, answers[0].ms);
  EXPECT_EQ(starts[1].detail.rfind("wShowWindow=7\tdwFlags=0x1\tC:\\K-WARD\\K-TASKER.EXE", 0), 0u)
      << starts[1].detail;
  EXPECT_EQ(EventsOf(trace, "shown", "K-TASKER.EXE").back().detail, "iconic=1\tforeground=0");
  EXPECT_TRUE(transcript.Of("status-window").empty());
}

TEST_P(ProductProgramsE2eTest, ConfirmingLeavesTheAgentClosedAndClosesTheProductsPrograms) {
  SetEnv("KW_STANDIN_K_WARD32_EXIT_DELAY_MS", "2000");  // slow to let go of its file
  ASSERT_TRUE(StartProductProgram("K-TASKER.EXE", kAgentTitle));
  ASSERT_TRUE(StartProductProgram("K-WARD32.EXE", kMainTitle));
  ASSERT_TRUE(StartProductProgram("ZRP95.EXE", kResidentTitle));
  const Transcript transcript = RunKwuninst(Answering("Yes"));
  SCOPED_TRACE(transcript.Text());
  const std::vector<Event> trace = ProductTrace();
  SCOPED_TRACE(TraceText(trace));

  EXPECT_EQ(EventsOf(trace, "started", "K-TASKER.EXE").size(), 1u);  // never restarted
  EXPECT_FALSE(ProcessRunning("K-TASKER.EXE"));
  EXPECT_EQ(transcript.Of("box").size(), 1u);  // the question; no stage failed

  // The main program is closed in stage 1, which waits until its file is
  // free: the next status comes only after it has let go.
  const std::vector<Event> mainReleased = EventsOf(trace, "released", "K-WARD32.EXE");
  ASSERT_EQ(mainReleased.size(), 1u);
  ASSERT_EQ(transcript.StatusTexts().size(), 4u);
  std::int64_t registryStatusAt = -1;
  for (const Event& status : transcript.Of("status")) {
    if (status.Get("text") == "Removing registry items . . . ") registryStatusAt = transcript.EpochOf(status);
  }
  // The box answerer's times come from another clock than the traces':
  // a few milliseconds either way are not an order.
  EXPECT_GT(registryStatusAt + kClockSlackMs, mainReleased[0].ms);
  const std::vector<Event> windows = transcript.Of("status-window");
  ASSERT_FALSE(windows.empty());
  EXPECT_GE(registryStatusAt - transcript.EpochOf(windows[0]), 1000 + 2000 - kClockSlackMs);
  EXPECT_FALSE(ProcessRunning("K-WARD32.EXE"));

  // The resident protection exists on Windows 95 only: on NT a window of
  // that title is left alone.
  const std::vector<Event> residentCloses = EventsOf(trace, "close-request", "ZRP95.EXE");
  if (Windows95()) {
    ASSERT_EQ(residentCloses.size(), 1u);
    EXPECT_GE(residentCloses[0].ms, mainReleased[0].ms);  // both from the same clock
    EXPECT_FALSE(ProcessRunning("ZRP95.EXE"));
  } else {
    EXPECT_TRUE(residentCloses.empty());
    EXPECT_TRUE(ProcessRunning("ZRP95.EXE"));
  }
}

TEST_P(ProductProgramsE2eTest, AMainProgramThatRefusesToEndCostsTheWholeBudgetThenMessage4) {
  SetEnv("KW_STANDIN_K_WARD32_REFUSE_CLOSE", "1");
  ASSERT_TRUE(StartProductProgram("K-WARD32.EXE", kMainTitle));
  const Transcript transcript = RunKwuninst(Answering("Yes"));
  SCOPED_TRACE(transcript.Text());

  const std::vector<Event> boxes = transcript.Of("box");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].Get("caption"), kErrorCaption);
  EXPECT_EQ(boxes[1].Get("text"), "Unable to close the K-WARD programs");
  EXPECT_EQ(boxes[1].Get("owner"), kStatusCaption);  // owned by the status window
  // 31 one-second pauses after the first status's own second.
  const std::vector<Event> windows = transcript.Of("status-window");
  ASSERT_FALSE(windows.empty());
  EXPECT_GE(boxes[1].ms - windows[0].ms, 31000);
  EXPECT_LT(boxes[1].ms - windows[0].ms, 36000);
  // The next stages still ran, after the box.
  const std::vector<std::string> texts = transcript.StatusTexts();
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[3], "Removing K-WARD files . . .");
  const std::vector<Event> statuses = transcript.Of("status");
  EXPECT_GT(statuses.back().ms, boxes[1].ms);
  EXPECT_EQ(EventsOf(ProductTrace(), "close-refused", "K-WARD32.EXE").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Platforms, ProductProgramsE2eTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& platform) {
                           return platform.param ? std::string("Windows95") : std::string("WindowsNT");
                         });

}  // namespace
}  // namespace kw::e2e
