// The uninstall sequence on the simulated machine: where the installation is
// found, the agent, waiting for the user's answer to the uninstaller, closing
// the product's programs, and how the stages' failures are shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <new>

#include "app/uninstall_app.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using testing::kInstallDir;
using testing::ProductProgramScript;
using testing::UninstallerScript;

constexpr const char* kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\K-WARD 95";

std::string InInstallDir(const std::string& name) { return kInstallDir + name; }
const UninstallerScript kUserAgrees;

class UninstallSequenceTest : public testing::SimTest {
 protected:
  // The three values the installation is looked for in, in their order;
  // null: the value's key refuses reading.
  std::string Located(const char* driver, const char* command, const char* uninstall) {
    const struct {
      RegKey root;
      const char* key;
      const char* name;
      const char* value;
    } sources[] = {
        {kHkeyLocalMachine, "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxds", "ZRP",
         driver},
        {kHkeyClassesRoot, "kwt_auto_file\\shell\\open\\command", "", command},
        {kHkeyLocalMachine, kUninstallKey, "UninstallString", uninstall}};
    for (const auto& s : sources) {
      Registry().SetString(s.root, s.key, s.name, s.value ? s.value : "");
      Registry().Switches(s.root, s.key).refuseRead = s.value == nullptr;
    }
    CUninstallApp app;
    return app.LocateInstallDir() ? app.GetInstallDir() : "<not located>";
  }
  // The product with its agent running and, unless told otherwise, the
  // setup-log uninstaller in the Windows directory.  Elsewhere than in
  // kInstallDir, only its Add/Remove Programs entry locates it.
  sim::SimProcess* InstallProduct(const UninstallerScript* script = &kUserAgrees,
                                  const std::string& dir = kInstallDir, bool hungAgent = false) {
    if (dir == kInstallDir) testing::RegisterInstallLocation(Machine());
    Registry().SetString(kHkeyLocalMachine, kUninstallKey, "UninstallString",
                         "\"" + dir + "KWUNINST.EXE\" /x");
    testing::InstallProductFiles(Machine(), dir);
    if (script != nullptr) testing::InstallUninstaller(Machine(), *script);
    ProductProgramScript agent{"K-Tasker", {dir + "ACTIVITY.dll"}};
    agent.hung = hungAgent;
    return testing::RunProductProgram(Machine(), dir + "K-TASKER.EXE", agent);
  }
  // Where an event stands in the journal: its index, or -1.
  int Index(const std::string& prefix) const {
    const auto& journal = Machine().Journal();
    for (int i = 0; i < static_cast<int>(journal.size()); ++i) {
      if (journal[i].what.rfind(prefix, 0) == 0) return i;
    }
    return -1;
  }
};

TEST_F(UninstallSequenceTest, TheInstallationIsFoundInTheFirstSafeValue) {
  Machine().SetWindowsDirectory("C:\\OS\\WINDOWS");
  const char* const third = "C:\\THIRD\\KWUNINST.EXE -fC:\\THIRD\\DEISL1.ISU";
  const struct {
    const char* driver;
    const char* command;
    const char* uninstall;
    const char* located;
  } rows[] = {
      {"C:\\K-WARD\\ZRP.VXD", "C:\\SECOND\\K-TASKER.EXE %1", third, "C:\\K-WARD\\"},
      {nullptr, "C:\\SECOND DIR\\K-TASKER.EXE %1", third, "C:\\SECOND DIR\\"},  // no cut
      {nullptr, nullptr, third, "C:\\THIRD\\"},
      // A program path without arguments is the path itself.
      {nullptr, nullptr, "C:\\THIRD\\KWUNINST.EXE", "C:\\THIRD\\"},
      // A driver registered in the system directory is no installation.
      {"C:\\OS\\WINDOWS\\SYSTEM\\ZRP.VXD", "", third, "C:\\THIRD\\"},
      {"C:\\OS\\WINDOWS.OLD\\ZRP.VXD", "", "", "C:\\OS\\WINDOWS.OLD\\"},  // only alike
      {"c:\\os\\win\\ZRP.VXD", "", "", "c:\\os\\win\\"},
      // A quoted program path ends at its closing quote; without one, nobody
      // can tell where the path ends.
      {"", "\"C:\\Program Files\\K-WARD\\K-TASKER.EXE\" %1", "", "C:\\Program Files\\K-WARD\\"},
      {"", "\"C:\\K-WARD\\K-TASKER.EXE %1", third, "C:\\THIRD\\"},
      {"C:\\", "", "C:\\KWUNINST.EXE", "<not located>"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Located(row.driver, row.command, row.uninstall), row.located)
        << (row.driver ? row.driver : "-") << " | " << (row.command ? row.command : "-");
  }
  // Not found (the last row): message 1 alone, nothing started or waited for.
  Machine().AnswerNextBox(kIdOk);
  EXPECT_FALSE(CUninstallApp().InitInstance());
  ASSERT_EQ(Machine().Boxes().size(), 1u);
  EXPECT_EQ(Machine().Boxes()[0].text, "Unable to obtain the location of the K-WARD directory");
  EXPECT_TRUE(Machine().Processes().empty());
  EXPECT_EQ(Machine().PauseCount(), 0);
  // Each of these would later send a recursive deletion somewhere it must
  // never go; the next value is taken instead.
  for (const char* unsafe : {
           "ZRP.VXD", "K-WARD\\ZRP.VXD", "C:\\ZRP.VXD", "D:\\ZRP.VXD", "C:ZRP.VXD",
           "\\\\SERVER\\SHARE\\ZRP.VXD", "C:\\OS\\WINDOWS\\ZRP.VXD", "c:\\os\\windows\\ZRP.VXD",
           "C:\\OS\\ZRP.VXD", "C:\\K-WARD\\..\\ZRP.VXD", "C:\\...\\ZRP.VXD", "C:\\ \\ZRP.VXD",
           "C:\\K-WARD\\\\ZRP.VXD", "C:\\K*\\ZRP.VXD"}) {
    EXPECT_EQ(Located(unsafe, "", third), "C:\\THIRD\\") << unsafe;
  }
}

// Stage 1: whether it succeeds, how long it waits (one budget of 31 pauses
// for all its files), and whether the resident protection (Windows 95 only,
// after the main program) was asked to close.
TEST_F(UninstallSequenceTest, ClosingTheProductsPrograms) {
  const struct {
    const char* name;
    bool windows95;
    int mainExitDelayMs;
    const char* heldLibrary;     // held by the shell, or null
    const char* missingLibrary;  // or null
    bool succeeds;
    int pauses;
  } rows[] = {
      // The main program takes 3 s of the one budget: the shell extension
      // gets what is left.
      {"the shell extension is not required", false, 3000, "KWSHEXT.DLL", nullptr, true, 31},
      {"the network library is", false, 0, nullptr, "NWCALLS.DLL", false, 31},
      {"95 closes ZRP after the main program", true, 3000, nullptr, nullptr, true, 3},  // 95 last
      {"95 requires ZRP's program", true, 0, "ZRP95.EXE", nullptr, false, 31},
      {"and its engine, in the one budget", true, 3000, "ZRPENG.DLL", nullptr, false, 31},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    sim::SimMachine& m = Machine();
    m.Files().ReleaseAllOf("the shell");
    if (row.windows95) m.BecomeWindows95();
    testing::InstallProductFiles(m);
    ProductProgramScript main{"K-WARD Professional", {InInstallDir("K-WARD32.EXE")}};
    main.exitDelayMs = row.mainExitDelayMs;
    sim::SimProcess* mainProgram = testing::RunProductProgram(m, InInstallDir("K-WARD32.EXE"), main);
    sim::SimProcess* resident = testing::RunProductProgram(
        m, InInstallDir("ZRP95.EXE"),
        {"ZRP for Windows 95", {InInstallDir("ZRP95.EXE"), InInstallDir("ZRPENG.DLL")}});
    if (row.heldLibrary != nullptr) Files().Hold(InInstallDir(row.heldLibrary), "the shell");
    if (row.missingLibrary != nullptr) Files().RemoveFile(InInstallDir(row.missingLibrary));
    const int before = m.PauseCount();
    EXPECT_EQ(CUninstallApp(kInstallDir).CloseProductPrograms(), row.succeeds);
    EXPECT_EQ(m.PauseCount() - before, row.pauses);
    EXPECT_FALSE(mainProgram->IsRunning());
    EXPECT_EQ(resident->IsRunning(), !row.windows95);
    EXPECT_TRUE(!row.windows95 || mainProgram->ExitedAtMs() <= resident->ExitedAtMs());
    resident->Exit();
  }
}

// How the uninstaller and its user behave decides between a clean-up run
// (uninstaller frozen once the question is answered, four statuses, agent
// left closed) and a declined one (nothing shown, agent restarted).  The
// status window's absence is shown and changes nothing else.
struct AnswerCase {
  const char* name;
  bool installed;
  UninstallerScript script;
  bool noDialog;
  bool otherProgress;  // another program shows a progress window of that title
  std::int64_t suspendedAtMs;  // -1: never frozen
  int pauses;
  // A hung agent never answers the close request, yet its window was there:
  // it counts as running, keeps its library (a wait of 31 pauses of its own)
  // and is started again quoted (unquoted, Windows' search of the command
  // line would run C:\Program).
  bool hungAgentInProgramFiles = false;
};
void PrintTo(const AnswerCase& c, std::ostream* out) { *out << c.name; }

const AnswerCase kAnswerCases[] = {
    // Start pause, three more until the question closes, four statuses.
    {"Confirmed", true, {0, 3500, true, 5, false}, false, false, 4000, 1 + 3 + 4},
    // A slow question is waited for before its answer, also while another
    // program shows a window of the uninstaller's progress title.
    {"LateQuestion", true, {3000, 5000, true, 5, false}, false, false, 8000, 8 + 4},
    {"AnotherProgramsProgressWindow", true, {3000, 5000, true, 5, false}, false, true, 8000, 8 + 4},
    // Yes before the first look: the progress window tells it.
    {"YesWithinTheFirstSecond", true, {0, 500, true, 20, false}, false, false, 1000, 1 + 4},
    {"NoStatusWindow", true, {}, true, false, 4000, 1 + 3 + 4},
    {"UninstExeMissing", false, {}, false, false, -1, 1},
    {"DeclinedWithAHungAgentUnderProgramFiles", true, {0, 3500, false, 5, false}, false, false, -1,
     31 + 1 + 3, true},
};

class TheAnswerTest : public UninstallSequenceTest,
                      public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(TheAnswerTest, DecidesTheRun) {
  const AnswerCase& c = GetParam();
  const std::string dir = c.hungAgentInProgramFiles ? "C:\\Program Files\\K-WARD\\" : kInstallDir;
  sim::SimProcess* agent =
      InstallProduct(c.installed ? &c.script : nullptr, dir, c.hungAgentInProgramFiles);
  if (c.otherProgress) {
    testing::RunProductProgram(Machine(), "C:\\SETUP.EXE", {testing::kProgressTitle, {}});
  }
  Machine().FailDialogCreation(c.noDialog);
  if (c.noDialog) Machine().AnswerNextBox(kIdOk);
  EXPECT_FALSE(CUninstallApp().InitInstance());
  const bool confirmed = c.suspendedAtMs >= 0;
  const int at = Index("Uninst.exe: main thread suspended");
  EXPECT_EQ(at < 0 ? -1 : Machine().Journal()[at].atMs, c.suspendedAtMs);
  EXPECT_EQ(Machine().PauseCount(), c.pauses);
  EXPECT_EQ(Machine().PaintedStatuses().size(), confirmed && !c.noDialog ? 4u : 0u);
  // The agent: closed in either case (but the hung one), started again only
  // on a decline, minimised and without taking the focus.
  EXPECT_EQ(agent->IsRunning(), c.hungAgentInProgramFiles);
  sim::SimProcess* latest = Machine().FindProcess(dir + "K-TASKER.EXE");
  EXPECT_EQ(latest != agent, !confirmed);
  EXPECT_TRUE(latest == agent || latest->Show() == ShowState::kMinimizedNoActivate);
  EXPECT_TRUE(!c.hungAgentInProgramFiles || latest->CommandLine() == "\"" + dir + "K-TASKER.EXE\"");
}

INSTANTIATE_TEST_SUITE_P(Runs, TheAnswerTest, ::testing::ValuesIn(kAnswerCases),
                         [](const auto& test) { return std::string(test.param.name); });

// A question nobody ever answers: the program would wait for ever; the
// simulated clock stops the test instead of letting it spin.
TEST_F(UninstallSequenceTest, AWaitThatNeverEndsStopsTheTest) {
  UninstallerScript script;
  script.answerAfterMs = std::numeric_limits<std::int64_t>::max();
  InstallProduct(&script);
  EXPECT_THROW(CUninstallApp().InitInstance(), sim::TimeLimitExceeded);
}

TEST_F(UninstallSequenceTest, ConfirmedRunCleansUpWhileTheUninstallerIsFrozen) {
  Machine().SetWindowsDirectory("C:\\WINDOWS\\");  // one backslash before Uninst.exe all the same
  InstallProduct();
  CUninstallApp().InitInstance();
  const sim::SimProcess* uninstaller = Machine().FindProcess(testing::kUninstallerPath);
  ASSERT_NE(uninstaller, nullptr);
  EXPECT_EQ(uninstaller->CommandLine(), "C:\\WINDOWS\\Uninst.exe -fC:\\K-WARD\\DEISL1.ISU");
  EXPECT_EQ(uninstaller->Show(), ShowState::kNormal);
  EXPECT_EQ(uninstaller->CurrentDirectory(), "C:\\");
  // The four statuses in stage order, one second apart.
  const auto& painted = Machine().PaintedStatuses();
  ASSERT_EQ(painted.size(), 4u);
  const char* statuses[] = {"Closing down the K-WARD programs . . . ", "Removing registry items . . . ",
                            "Removing Sentryx from DOSSTART.BAT . . . ", "Removing K-WARD files . . ."};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(painted[i].text, statuses[i]);
    EXPECT_EQ(painted[i].atMs - painted[i > 0 ? i - 1 : 0].atMs, i > 0 ? 1000 : 0);
  }
  // Frozen from the answer to the end of the clean-up: suspended before the
  // first status, resumed after the last stage and the change of directory.
  const int order[] = {Index("Uninst.exe: main thread suspended"), Index("status: "),
                       Index("current directory C:\\"), Index("Uninst.exe: main thread resumed"),
                       Index("brought to top: \"Remove Programs From Your Computer\""),
                       Index("dialog destroyed")};
  for (int i = 1; i < 6; ++i) EXPECT_LT(order[i - 1], order[i]) << i;
  EXPECT_GE(order[0], 0);
  EXPECT_EQ(Index("Uninst.exe: removes entry"), -1);
  EXPECT_EQ(Files().CurrentDirectory(), "C:\\");
}

// Memory runs out while the uninstaller is frozen: reading a DOSSTART.BAT
// too large for what is left, in the third stage.  The run ends as a failed
// stage does, but for good: the uninstaller is let go first and goes on,
// the user is told, the record is written, and the program ends there.
TEST_F(UninstallSequenceTest, MemoryRunningOutLetsTheUninstallerGoAndEndsTheProgram) {
  InstallProduct();
  const std::string batch = "@ECHO OFF\r\nC:\\K-WARD\\SENTRYX.EXE\r\n" + std::string(100000, ' ');
  Files().AddFile(testing::kDosStartPath, batch);
  Machine().FailAllocationsFrom(64 * 1024);
  Machine().AnswerNextBox(kIdOk);
  CUninstallApp app;
  try {
    app.InitInstance();
    ADD_FAILURE() << "the program went on after memory ran out";
  } catch (const sim::ProgramEnded& ended) {
    EXPECT_EQ(ended.ExitCode(), static_cast<std::uint32_t>(kErrorNotEnoughMemory));
  }
  SCOPED_TRACE(JournalText());
  const int order[] = {Index("status: Removing Sentryx"), Index("memory runs out"),
                       Index("Uninst.exe: main thread resumed"), Index("box \"K-WARD Uninstall Error\""),
                       Index("the program ends")};
  for (int i = 1; i < 5; ++i) EXPECT_LT(order[i - 1], order[i]) << i;
  EXPECT_GE(order[0], 0);
  ASSERT_EQ(Machine().Boxes().size(), 1u);
  const sim::SimMessageBox& box = Machine().Boxes()[0];
  EXPECT_EQ(box.text,
            "Unable to finish removing K-WARD: there is not enough memory. Some of its files or "
            "registry items may remain.");
  EXPECT_EQ(box.style, kMbOk | kMbIconError);
  EXPECT_EQ(box.ownerTitle, "  K-WARD Uninstall");  // over the status window, as every failure
  // Nothing of the rest: DOSSTART.BAT as it was, no fourth stage.
  EXPECT_EQ(Files().Content(testing::kDosStartPath), batch);
  EXPECT_EQ(Machine().PaintedStatuses().size(), 3u);
  // The record, up to where the run stopped.
  const std::string record = Files().Content(testing::kRecordPath);
  const std::string ending =
      "run: out of memory\r\nbox \"K-WARD Uninstall Error\": " + box.text + " -> OK\r\nrun: ended\r\n";
  EXPECT_EQ(record.substr(record.size() - std::min(record.size(), ending.size())), ending) << record;
  // The uninstaller carries on with its log.
  Machine().AdvanceMs(2000);
  EXPECT_FALSE(Journal("Uninst.exe: removes entry").empty());
  // The program's handler went with the run.
  EXPECT_EQ(std::get_new_handler(), nullptr);
}

// The record of a run on the standard machine, line by line as in
// standard_record.txt: the product as installed, its agent running, its task
// file and marker, the guard in DOSSTART.BAT, its shell extension held by
// the shell, and a user who agrees and cancels the prompt about that file,
// which is then queued for the next start.
TEST_F(UninstallSequenceTest, TheRecordOfAStandardRun) {
  InstallProduct();
  Registry().SetString(kHkeyCurrentUser, "Software\\Halvern Software\\K-WARD32", "TaskLocation",
                       "C:\\K-WARD\\TASKS\\");
  Files().AddFile("C:\\K-WARD\\TASKS\\DAILY.KWT");
  Files().AddFile("C:\\K-WARD.SYS");
  Files().AddFile(testing::kDosStartPath, "@ECHO OFF\r\nC:\\K-WARD\\SENTRYX.EXE\r\nTYPE SENTRYX.TXT\r\n");
  Files().Hold(InInstallDir("KWSHEXT.DLL"), "the shell");
  Files().AddFile(testing::kRecordPath, "an older run's record\r\n");  // replaced, not added to
  CancelEveryPrompt();
  CUninstallApp().InitInstance();
  std::ifstream table(KW_TESTS_DIR "/unit/standard_record.txt");
  std::string expected;
  for (std::string line; std::getline(table, line);) expected += line + "\r\n";
  EXPECT_EQ(Files().Content(testing::kRecordPath), expected);
}

}  // namespace
}  // namespace kw
