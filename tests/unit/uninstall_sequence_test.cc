#include <gtest/gtest.h>

#include "app/uninstall_app.h"
#include "tests/support/sim_standins.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using testing::kInstallDir;
using testing::UninstallerScript;

// Stages that all fail, to see the sequence report each and go on.
class FailingStagesApp : public CUninstallApp {
 public:
  bool CloseProductPrograms() override { return Fail("stage 1"); }
  bool RemoveRegistryItems(CTrimString&) override { return Fail("stage 2"); }
  bool RemoveStartupBatchEntries() override { return Fail("stage 3"); }
  bool RemoveProductFiles(const CTrimString&) override { return Fail("stage 4"); }

 private:
  static bool Fail(const std::string& stage) {
    // The journal shows where each stage ran between statuses and boxes.
    static_cast<sim::SimMachine&>(Os()).Note(stage + " runs");
    return false;
  }
};

class UninstallSequenceTest : public testing::SimTest {
 protected:
  // The product with its agent running and, unless told otherwise, the
  // setup-log uninstaller in the Windows directory.
  sim::SimProcess* InstallProduct(const UninstallerScript* script) {
    testing::RegisterInstallLocation(Machine());
    testing::InstallProductFiles(Machine());
    if (script != nullptr) testing::InstallUninstaller(Machine(), *script);
    const std::string agent = std::string(kInstallDir) + "K-TASKER.EXE";
    testing::InstallProductProgram(Machine(), agent,
                                   {"K-Tasker", {std::string(kInstallDir) + "ACTIVITY.dll"}});
    return testing::LaunchProgram(Machine(), agent);
  }
  // Where an event stands in the journal: its index, or -1.
  int Index(const std::string& prefix, int from = 0) const {
    const auto& journal = Machine().Journal();
    for (int i = from; i < static_cast<int>(journal.size()); ++i) {
      if (journal[i].what.rfind(prefix, 0) == 0) return i;
    }
    return -1;
  }
  std::int64_t Time(const std::string& prefix) const {
    const int index = Index(prefix);
    return index < 0 ? -1 : Machine().Journal()[index].atMs;
  }
};

TEST_F(UninstallSequenceTest, WithoutTheProductOnlyMessage1IsShown) {
  Machine().AnswerNextBox(kIdOk);
  CUninstallApp app;
  EXPECT_FALSE(app.InitInstance());
  ASSERT_EQ(Machine().Boxes().size(), 1u);
  const sim::SimMessageBox& box = Machine().Boxes()[0];
  EXPECT_EQ(box.text, "Unable to obtain the location of the K-WARD directory");
  EXPECT_EQ(box.caption, "K-WARD Uninstall Error");
  EXPECT_EQ(box.style, kMbOk | kMbIconError);
  EXPECT_FALSE(box.owner);
  EXPECT_TRUE(Machine().Processes().empty());
  EXPECT_TRUE(Journal("dialog created").empty());
  EXPECT_EQ(Machine().PauseCount(), 0);
}

// How the uninstaller and its user behave decides between a clean-up run
// (uninstaller frozen once the question is answered, four statuses, agent
// left closed) and a declined one (nothing shown, agent restarted).
struct AnswerCase {
  const char* name;
  bool installed;
  UninstallerScript script;
  std::int64_t suspendedAtMs;  // -1: never frozen
  int pauses;
};

const AnswerCase kAnswerCases[] = {
    // Start pause, three more until the question closes, four statuses.
    {"Confirmed", true, {0, 3500, true, 5, false}, 4000, 1 + 3 + 4},
    // A slow question is waited for before its answer.
    {"LateQuestion", true, {3000, 5000, true, 5, false}, 8000, 8 + 4},
    // Yes before the first look: the progress window tells it.
    {"YesWithinTheFirstSecond", true, {0, 500, true, 20, false}, 1000, 1 + 4},
    {"Declined", true, {0, 3500, false, 5, false}, -1, 1 + 3},
    {"LateQuestionDeclined", true, {3000, 5000, false, 5, false}, -1, 8},
    {"EndsWithoutAsking", true, {0, 0, true, 5, true}, -1, 1},
    {"UninstExeMissing", false, {}, -1, 1},
};

void PrintTo(const AnswerCase& c, std::ostream* out) { *out << c.name; }

class TheAnswerTest : public UninstallSequenceTest,
                      public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(TheAnswerTest, DecidesTheRun) {
  const AnswerCase& c = GetParam();
  sim::SimProcess* agent = InstallProduct(c.installed ? &c.script : nullptr);
  CUninstallApp app;
  EXPECT_FALSE(app.InitInstance());
  const bool confirmed = c.suspendedAtMs >= 0;
  EXPECT_EQ(Time("Uninst.exe: main thread suspended"), c.suspendedAtMs);
  EXPECT_EQ(Machine().PauseCount(), c.pauses);
  EXPECT_EQ(Machine().PaintedStatuses().size(), confirmed ? 4u : 0u);
  EXPECT_TRUE(Machine().Boxes().empty());
  if (!confirmed) {
    EXPECT_TRUE(Journal("Uninst.exe: removes entry").empty());
  }
  // The agent: closed in either case, started again only on a decline,
  // minimised and without taking the focus.
  EXPECT_FALSE(agent->IsRunning());
  sim::SimProcess* latest = Machine().FindProcess(std::string(kInstallDir) + "K-TASKER.EXE");
  EXPECT_EQ(latest != agent, !confirmed);
  if (latest != agent) {
    EXPECT_EQ(latest->Show(), ShowState::kMinimizedNoActivate);
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, TheAnswerTest, ::testing::ValuesIn(kAnswerCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(UninstallSequenceTest, ConfirmedRunCleansUpWhileTheUninstallerIsFrozen) {
  UninstallerScript script;
  InstallProduct(&script);
  CUninstallApp app;
  app.InitInstance();

  const sim::SimProcess* uninstaller = Machine().FindProcess(testing::kUninstallerPath);
  ASSERT_NE(uninstaller, nullptr);
  EXPECT_EQ(uninstaller->CommandLine(), "C:\\WINDOWS\\Uninst.exe -fC:\\K-WARD\\DEISL1.ISU");
  EXPECT_EQ(uninstaller->CurrentDirectory(), "C:\\");
  // The agent is closed before the uninstaller starts.
  EXPECT_LT(Index("close request to \"K-Tasker\""), Index("starts C:\\WINDOWS\\Uninst.exe"));

  // The four statuses in stage order, one second apart.
  const auto& painted = Machine().PaintedStatuses();
  ASSERT_EQ(painted.size(), 4u);
  EXPECT_EQ(painted[0].text, "Closing down the K-WARD programs . . . ");
  EXPECT_EQ(painted[1].text, "Removing registry items . . . ");
  EXPECT_EQ(painted[2].text, "Removing Sentryx from DOSSTART.BAT . . . ");
  EXPECT_EQ(painted[3].text, "Removing K-WARD files . . .");
  for (int i = 1; i < 4; ++i) EXPECT_EQ(painted[i].atMs - painted[i - 1].atMs, 1000);

  // Frozen from the answer to the end of the clean-up: suspended before the
  // first status, resumed after the last stage and the change of directory.
  const int suspended = Index("Uninst.exe: main thread suspended");
  const int resumed = Index("Uninst.exe: main thread resumed");
  ASSERT_GE(suspended, 0);
  EXPECT_LT(suspended, Index("status: "));
  EXPECT_LT(Index("status: "), Index("current directory C:\\"));
  EXPECT_LT(Index("current directory C:\\"), resumed);
  EXPECT_LT(resumed, Index("brought to top: \"Remove Programs From Your Computer\""));
  EXPECT_LT(Index("brought to top: \"Remove"), Index("dialog destroyed"));
  EXPECT_EQ(Index("Uninst.exe: removes entry"), -1);
  EXPECT_EQ(Machine().CurrentDirectory(), "C:\\");
}

TEST_F(UninstallSequenceTest, EveryStageFailingGivesFourBoxesInStageOrder) {
  UninstallerScript script;
  InstallProduct(&script);
  for (int i = 0; i < 4; ++i) Machine().AnswerNextBox(kIdOk);
  FailingStagesApp app;
  app.InitInstance();
  const char* failures[] = {
      "Unable to close the K-WARD programs",
      "Unable to remove some of the registry items ",
      "Error trying to remove Sentryx from DOSSTART.BAT ",
      "Unable to remove some of the K-WARD files ",
  };
  ASSERT_EQ(Machine().Boxes().size(), 4u);
  // Each box comes after its status and its stage, before the next status,
  // owned by the status window.
  int at = 0;
  for (int stage = 0; stage < 4; ++stage) {
    const sim::SimMessageBox& box = Machine().Boxes()[stage];
    EXPECT_EQ(box.text, failures[stage]);
    EXPECT_EQ(box.caption, "K-WARD Uninstall Error");
    EXPECT_EQ(box.ownerTitle, "  K-WARD Uninstall");
    const int status = Index("status: ", at);
    const int ran = Index("stage " + std::to_string(stage + 1) + " runs", at);
    const int shown = Index("box ", at);
    ASSERT_GE(status, 0);
    EXPECT_LT(status, ran);
    EXPECT_LT(ran, shown);
    at = shown + 1;
  }
  // The uninstaller still gets released at the end.
  EXPECT_GE(Index("Uninst.exe: main thread resumed", at), 0);
}

TEST_F(UninstallSequenceTest, NoStatusWindowStillRunsEveryStageWithItsPause) {
  UninstallerScript script;
  InstallProduct(&script);
  Machine().FailDialogCreation(true);
  Machine().AnswerNextBox(kIdOk);
  CUninstallApp app;
  app.InitInstance();
  ASSERT_EQ(Machine().Boxes().size(), 1u);
  EXPECT_EQ(Machine().Boxes()[0].text, "Unable to create the K-WARD Uninstall dialog");
  EXPECT_FALSE(Machine().Boxes()[0].owner);
  EXPECT_TRUE(Machine().PaintedStatuses().empty());
  EXPECT_EQ(Machine().PauseCount(), 1 + 3 + 4);
  EXPECT_GE(Index("Uninst.exe: main thread resumed"), 0);
}

}  // namespace
}  // namespace kw
