// The real program under Wine, driving the stand-ins of the setup-log
// uninstaller and the product's programs: what only real windows,
// processes and clocks can show.  The sequence's decisions themselves are
// covered on the simulated machine.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/e2e/e2e_machine.h"

namespace kw::e2e {
namespace {

constexpr const char* kAgentTitle = "K-Tasker";
constexpr const char* kMainTitle = "K-WARD Professional";
constexpr const char* kResidentTitle = "ZRP for Windows 95";
// The box answerer's times come from another clock than the traces': a few
// milliseconds either way are not an order.
constexpr std::int64_t kClockSlackMs = 50;

const std::vector<std::string> kStatusTexts = {
    "Closing down the K-WARD programs . . . ",
    "Removing registry items . . . ",
    "Removing Sentryx from DOSSTART.BAT . . . ",
    "Removing K-WARD files . . .",
};

// Log entries enough to keep the uninstaller busy, at its fastest tick, well
// past the program's one-second look after the answer.
constexpr int kMoreLoggedFiles = 80;

class UninstallE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTestMachine();
    PrepareMachine();
    InstallProduct({kMoreLoggedFiles});
  }
  void TearDown() override { ResetTestMachine(); }
};

// On Windows NT and on Windows 95 (the resident protection is closed there
// only): the whole confirmed run with the main program and the resident
// protection running.
class ConfirmedE2eTest : public UninstallE2eTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ConfirmedE2eTest, CleansUpWhileTheUninstallerIsFrozen) {
  const bool windows95 = GetParam();
  SetWindowsVersion(windows95 ? "win95" : "");
  SetEnv("KW_STANDIN_K_WARD32_EXIT_DELAY_MS", "2000");  // slow to let go of its file
  // The uninstaller notes z-order requests from its first tick on, which must
  // come before it is frozen: with its usual 250 ms the answer may come too
  // close to the program's look.
  SetEnv("KW_UNINST_TICK_MS", "20");
  DeleteFileA("C:\\WINDOWS\\DOSSTART.BAT");  // a machine that never had one
  ASSERT_TRUE(StartProductProgram("K-WARD32.EXE", kMainTitle));
  ASSERT_TRUE(StartProductProgram("ZRP95.EXE", kResidentTitle));
  RunOptions options = Answering("Yes");
  options.screenshots = ArtifactsDir();
  const Transcript transcript = RunKwuninst(options);
  SCOPED_TRACE(transcript.Text());
  ASSERT_EQ(transcript.answererExitCode, 0);
  ASSERT_TRUE(WaitForUninstallerExit(30000));
  const std::vector<Event> uninstaller = UninstallerTrace();
  const std::vector<Event> products = ProductTrace();
  SCOPED_TRACE(TraceText(uninstaller) + TraceText(products));

  // The uninstaller was started on the install log, in C:\.
  const std::vector<Event> started = EventsOf(uninstaller, "started");
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(DetailText(started[0]), "C:\\windows\\Uninst.exe -fC:\\K-WARD\\DEISL1.ISU\tcwd=C:\\");

  // The status window as the user sees it, above the uninstaller's, and its
  // four statuses (how it looks is checked in the test process, from the
  // template).
  const std::vector<Event> windows = transcript.Of("status-window");
  ASSERT_FALSE(windows.empty());
  for (const auto& [field, value] : std::map<std::string, std::string>{
           {"caption", kStatusCaption}, {"topmost", "1"}, {"visible", "1"}, {"owner", "none"}}) {
    EXPECT_EQ(windows[0].Get(field), value) << field;
  }
  EXPECT_EQ(transcript.StatusTexts(), kStatusTexts);
  ASSERT_EQ(transcript.Of("status-window-gone").size(), 1u);
  for (const Event& box : transcript.Of("box")) EXPECT_NE(box.Get("caption"), kErrorCaption);
  // Windows 95 closed every program; on NT the resident protection holds two
  // files, which go when Windows restarts.
  const std::vector<Event> boxes = transcript.Of("box");
  ASSERT_EQ(boxes.size(), windows95 ? 1u : 4u);
  EXPECT_TRUE(windows95 || boxes[3].Get("caption") == kNoticeCaption);
  EXPECT_TRUE(FileExists("C:\\WINDOWS\\DOSSTART.BAT"));  // created, empty
  EXPECT_EQ(ReadFile("C:\\WINDOWS\\DOSSTART.BAT"), "");
  ASSERT_FALSE(transcript.Of("screenshot").empty());  // of the status window over the uninstaller's
  EXPECT_NE(GetFileAttributesA(transcript.Of("screenshot")[0].Get("path").c_str()), INVALID_FILE_ATTRIBUTES);

  // Frozen from the first status to the end of the stages: no tick of the
  // uninstaller between them (a tick may land within the answerer's 20 ms
  // polling of the edges); it goes on afterwards, finishes, and its
  // progress window was brought forward after the stages.
  const std::int64_t firstStatus = transcript.EpochOf(windows[0]);
  const std::int64_t gone = transcript.EpochOf(transcript.Of("status-window-gone")[0]);
  for (const Event& tick : EventsOf(uninstaller, "tick")) {
    EXPECT_FALSE(tick.ms > firstStatus + 100 && tick.ms < gone - 300) << "tick at " << tick.ms;
  }
  EXPECT_EQ(EventsOf(uninstaller, "done").size(), 1u);
  const std::vector<Event> raised = EventsOf(uninstaller, "zorder-request");
  ASSERT_FALSE(raised.empty());
  EXPECT_GT(raised.back().ms, firstStatus);

  // Stage 1 waits until the main program has let go of its file before the
  // next status.
  const std::vector<Event> mainReleased = EventsOf(products, "released", "K-WARD32.EXE");
  ASSERT_EQ(mainReleased.size(), 1u);
  const std::int64_t registryStatusAt = transcript.EpochOfStatus(kStatusTexts[1]);
  EXPECT_GT(registryStatusAt + kClockSlackMs, mainReleased[0].ms);
  EXPECT_GE(registryStatusAt - firstStatus, 1000 + 2000 - kClockSlackMs);
  EXPECT_FALSE(ProcessRunning("K-WARD32.EXE"));
  // The resident protection: closed after the main program on Windows 95; on
  // NT a window of that title is left alone.
  const std::vector<Event> residentCloses = EventsOf(products, "close-request", "ZRP95.EXE");
  if (windows95) {
    ASSERT_EQ(residentCloses.size(), 1u);
    EXPECT_GE(residentCloses[0].ms, mainReleased[0].ms);  // both from the same clock
    EXPECT_FALSE(ProcessRunning("ZRP95.EXE"));
  } else {
    EXPECT_TRUE(residentCloses.empty());
    EXPECT_TRUE(ProcessRunning("ZRP95.EXE"));
  }
}

INSTANTIATE_TEST_SUITE_P(Platforms, ConfirmedE2eTest, ::testing::Bool(), [](const auto& platform) {
  return std::string(platform.param ? "Windows95" : "WindowsNT");
});

TEST_F(UninstallE2eTest, AMainProgramThatRefusesToEndCostsTheWholeBudgetThenMessage4) {
  SetEnv("KW_STANDIN_K_WARD32_REFUSE_CLOSE", "1");
  ASSERT_TRUE(StartProductProgram("K-WARD32.EXE", kMainTitle));
  const Transcript transcript = RunKwuninst(Answering("Yes"));
  SCOPED_TRACE(transcript.Text());

  const std::vector<Event> boxes = transcript.Of("box");
  ASSERT_EQ(boxes.size(), 4u);  // its file held, its deletion cancelled, queued for the restart
  EXPECT_EQ(boxes[2].Get("text"), "The file C:\\K-WARD\\K-WARD32.EXE failed to be deleted.");
  EXPECT_EQ(boxes[3].Get("caption"), kNoticeCaption);
  EXPECT_EQ(boxes[1].Get("caption"), kErrorCaption);  // how it looks: dialogs_win32_test.cc
  EXPECT_EQ(boxes[1].Get("text"), "Unable to close the K-WARD programs");
  // 31 one-second pauses after the first status's own second.
  const std::vector<Event> windows = transcript.Of("status-window");
  ASSERT_FALSE(windows.empty());
  EXPECT_GE(boxes[1].ms - windows[0].ms, 31000);
  EXPECT_LT(boxes[1].ms - windows[0].ms, 36000);
  // The next stages still ran, after the box.
  EXPECT_EQ(transcript.StatusTexts(), kStatusTexts);
  EXPECT_GT(transcript.Of("status").back().ms, boxes[1].ms);
  EXPECT_EQ(EventsOf(ProductTrace(), "close-refused", "K-WARD32.EXE").size(), 1u);
}

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
  EXPECT_EQ(boxes[1].Get("owner"), kStatusCaption);
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
  EXPECT_TRUE(FileExists("C:\\K-WARD\\KWARD.INI"));  // no log lists it: only the fourth stage would
  const std::string text = ReadFile(record);
  const std::string ending = "run: out of memory\r\nbox \"" + std::string(kErrorCaption) + "\": " +
                             boxes[1].Get("text") + " -> OK\r\nrun: ended\r\n";
  ASSERT_GE(text.size(), ending.size()) << text;
  EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
  EXPECT_FALSE(ProcessRunning("KWUNINST.EXE"));
}

}  // namespace
}  // namespace kw::e2e
