#include <gtest/gtest.h>

#include <algorithm>

#include "app/uninstall_app.h"
#include "tests/support/sim_standins.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using testing::UninstallerScript;

// Where an event stands in the machine's journal: its index, or -1.
int JournalIndex(const sim::SimMachine& machine, const std::string& prefix, int from = 0) {
  const auto& journal = machine.Journal();
  for (int i = from; i < static_cast<int>(journal.size()); ++i) {
    if (journal[i].what.rfind(prefix, 0) == 0) return i;
  }
  return -1;
}

std::int64_t JournalTime(const sim::SimMachine& machine, const std::string& prefix) {
  const int index = JournalIndex(machine, prefix);
  return index < 0 ? -1 : machine.Journal()[index].atMs;
}

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
  void InstallProduct(const UninstallerScript& script) {
    testing::RegisterInstallLocation(Machine());
    testing::InstallProductFiles(Machine());
    testing::InstallUninstaller(Machine(), script);
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const sim::SimMessageBox& box : Machine().Boxes()) texts.push_back(box.text);
    return texts;
  }
  bool DialogWasCreated() const { return !Journal("dialog created").empty(); }
};

TEST_F(UninstallSequenceTest, WithoutTheProductOnlyMessage1IsShown) {
  Machine().AnswerNextBox(kIdOk);
  CUninstallApp app;
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Unable to obtain the location of the K-WARD directory"});
  EXPECT_TRUE(Machine().Processes().empty());
  EXPECT_FALSE(DialogWasCreated());
  EXPECT_EQ(Machine().PauseCount(), 0);
}

TEST_F(UninstallSequenceTest, DeclinedRunShowsNothingAndLeavesTheUninstallerEnded) {
  UninstallerScript script;
  script.userAgrees = false;
  InstallProduct(script);
  CUninstallApp app;
  EXPECT_FALSE(app.InitInstance());
  EXPECT_FALSE(DialogWasCreated());
  EXPECT_TRUE(Machine().Boxes().empty());
  EXPECT_FALSE(Machine().FindProcess(testing::kUninstallerPath)->IsRunning());
  EXPECT_EQ(Journal("Uninst.exe: removes entry").size(), 0u);
  EXPECT_TRUE(Journal("current directory").empty());
}

TEST_F(UninstallSequenceTest, ConfirmedRunCleansUpWhileTheUninstallerIsFrozen) {
  UninstallerScript script;
  script.answerAfterMs = 3500;
  script.logEntries = 5;
  InstallProduct(script);
  CUninstallApp app;
  EXPECT_FALSE(app.InitInstance());

  const sim::SimProcess* uninstaller = Machine().FindProcess(testing::kUninstallerPath);
  ASSERT_NE(uninstaller, nullptr);
  EXPECT_EQ(uninstaller->CommandLine(), "C:\\WINDOWS\\Uninst.exe -fC:\\K-WARD\\DEISL1.ISU");
  EXPECT_EQ(uninstaller->CurrentDirectory(), "C:\\");

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
  const int suspended = JournalIndex(Machine(), "Uninst.exe: main thread suspended");
  const int firstStatus = JournalIndex(Machine(), "status: ");
  const int changedDir = JournalIndex(Machine(), "current directory C:\\");
  const int resumed = JournalIndex(Machine(), "Uninst.exe: main thread resumed");
  const int broughtForward =
      JournalIndex(Machine(), "brought to top: \"Remove Programs From Your Computer\"");
  const int destroyed = JournalIndex(Machine(), "dialog destroyed");
  ASSERT_GE(suspended, 0);
  EXPECT_LT(suspended, firstStatus);
  EXPECT_LT(firstStatus, changedDir);
  EXPECT_LT(changedDir, resumed);
  EXPECT_LT(resumed, broughtForward);
  EXPECT_LT(broughtForward, destroyed);
  for (int i = suspended; i < resumed; ++i) {
    EXPECT_EQ(Machine().Journal()[i].what.find("removes entry"), std::string::npos)
        << "the uninstaller worked while frozen: " << Machine().Journal()[i].what;
  }
  EXPECT_EQ(Machine().CurrentDirectory(), "C:\\");
  EXPECT_TRUE(Machine().Boxes().empty());

  // Released, it finishes its work.
  for (int second = 0; second < 10; ++second) Machine().AdvanceMs(1000);
  EXPECT_EQ(Journal("Uninst.exe: removes entry").size(), 5u);
  EXPECT_FALSE(uninstaller->IsRunning());
}

TEST_F(UninstallSequenceTest, PausesOfAConfirmedRun) {
  UninstallerScript script;
  script.answerAfterMs = 3500;
  InstallProduct(script);
  CUninstallApp app;
  app.InitInstance();
  // One pause after the start, three more until the question closes at the
  // uninstaller's 4th second, four status pauses.
  EXPECT_EQ(Machine().PauseCount(), 1 + 3 + 4);
  EXPECT_EQ(JournalTime(Machine(), "Uninst.exe: main thread suspended"), 4000);
}

TEST_F(UninstallSequenceTest, AMissingUninstallerBehavesAsADecline) {
  testing::RegisterInstallLocation(Machine());
  testing::InstallProductFiles(Machine());
  CUninstallApp app;
  app.InitInstance();
  EXPECT_EQ(Journal("cannot start C:\\WINDOWS\\Uninst.exe").size(), 1u);
  EXPECT_FALSE(DialogWasCreated());
  EXPECT_TRUE(Machine().Boxes().empty());
  EXPECT_EQ(Machine().PauseCount(), 1);
}

TEST_F(UninstallSequenceTest, ALateQuestionIsWaitedForBeforeItsAnswer) {
  UninstallerScript script;
  script.questionAtMs = 3000;   // slow to start
  script.answerAfterMs = 5000;  // and the user thinks it over
  InstallProduct(script);
  CUninstallApp app;
  app.InitInstance();
  const std::int64_t asked = JournalTime(Machine(), "Uninst.exe: opens window \"Confirm File Deletion\"");
  const std::int64_t answered = JournalTime(Machine(), "Uninst.exe: closes window \"Confirm File Deletion\"");
  const std::int64_t suspended = JournalTime(Machine(), "Uninst.exe: main thread suspended");
  EXPECT_EQ(asked, 3000);
  EXPECT_EQ(answered, 8000);
  EXPECT_EQ(suspended, 8000);
  EXPECT_GT(JournalTime(Machine(), "dialog created"), answered - 1);
  ASSERT_EQ(Machine().PaintedStatuses().size(), 4u);
}

TEST_F(UninstallSequenceTest, AQuestionAnsweredYesWithinTheFirstSecondIsStillAConfirmation) {
  UninstallerScript script;
  script.answerAfterMs = 500;  // answered before the program first looks
  script.logEntries = 20;
  InstallProduct(script);
  // The program's first look comes after one second: let the uninstaller's
  // first turn (its answer) happen within it.
  CUninstallApp app;
  app.InitInstance();
  ASSERT_EQ(Machine().PaintedStatuses().size(), 4u);
  EXPECT_EQ(JournalTime(Machine(), "Uninst.exe: main thread suspended"), 1000);
  EXPECT_GE(JournalIndex(Machine(), "Uninst.exe: main thread resumed"), 0);
}

TEST_F(UninstallSequenceTest, ALateQuestionDeclinedRunsNoStage) {
  UninstallerScript script;
  script.questionAtMs = 3000;
  script.userAgrees = false;
  InstallProduct(script);
  CUninstallApp app;
  app.InitInstance();
  EXPECT_FALSE(DialogWasCreated());
  EXPECT_TRUE(Machine().PaintedStatuses().empty());
}

TEST_F(UninstallSequenceTest, AnUninstallerThatEndsWithoutAskingIsADecline) {
  UninstallerScript script;
  script.endsBeforeQuestion = true;
  InstallProduct(script);
  CUninstallApp app;
  app.InitInstance();
  EXPECT_FALSE(DialogWasCreated());
  EXPECT_EQ(Machine().PauseCount(), 1);
}

TEST_F(UninstallSequenceTest, EveryStageFailingGivesFourBoxesInStageOrder) {
  InstallProduct(UninstallerScript{});
  for (int i = 0; i < 4; ++i) Machine().AnswerNextBox(kIdOk);
  FailingStagesApp app;
  app.InitInstance();
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            "Unable to close the K-WARD programs",
                            "Unable to remove some of the registry items ",
                            "Error trying to remove Sentryx from DOSSTART.BAT ",
                            "Unable to remove some of the K-WARD files ",
                        }));
  // Each box comes after its status and its stage, before the next status.
  const char* statuses[] = {"status: Closing", "status: Removing registry",
                            "status: Removing Sentryx", "status: Removing K-WARD files"};
  int at = 0;
  for (int stage = 0; stage < 4; ++stage) {
    const int status = JournalIndex(Machine(), statuses[stage], at);
    const int ran = JournalIndex(Machine(), "stage " + std::to_string(stage + 1) + " runs", at);
    const int box = JournalIndex(Machine(), "box ", at);
    ASSERT_GE(status, 0);
    EXPECT_LT(status, ran);
    EXPECT_LT(ran, box);
    at = box + 1;
  }
  for (const sim::SimMessageBox& box : Machine().Boxes()) {
    EXPECT_EQ(box.caption, "K-WARD Uninstall Error");
    EXPECT_EQ(box.ownerTitle, "  K-WARD Uninstall");  // owned by the status window
  }
  // The uninstaller still gets released at the end.
  EXPECT_GE(JournalIndex(Machine(), "Uninst.exe: main thread resumed"), at);
}

TEST_F(UninstallSequenceTest, NoStatusWindowStillRunsEveryStageWithItsPause) {
  InstallProduct(UninstallerScript{});
  Machine().FailDialogCreation(true);
  Machine().AnswerNextBox(kIdOk);
  CUninstallApp app;
  app.InitInstance();
  ASSERT_EQ(Machine().Boxes().size(), 1u);
  EXPECT_EQ(Machine().Boxes()[0].text, "Unable to create the K-WARD Uninstall dialog");
  EXPECT_FALSE(Machine().Boxes()[0].owner);
  EXPECT_TRUE(Machine().PaintedStatuses().empty());
  EXPECT_EQ(Machine().PauseCount(), 1 + 3 + 4);
  EXPECT_GE(JournalIndex(Machine(), "Uninst.exe: main thread resumed"), 0);
}

}  // namespace
}  // namespace kw
