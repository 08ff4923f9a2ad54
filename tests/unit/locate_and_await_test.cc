// Finding the installation in values that are quoted or point into the
// Windows directory, waiting for the user's answer while other programs show
// windows of the same titles, and restarting the agent from a path with
// blanks.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/uninstall_app.h"
#include "tests/support/sim_standins.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

constexpr const char* kNotLocated = "<not located>";

// Sets the three sources the program reads, in order; empty: not set.
void SetSources(sim::SimRegistry& registry, const std::string& driver,
                const std::string& openCommand, const std::string& uninstallString) {
  if (!driver.empty()) {
    registry.SetString(kHkeyLocalMachine,
                       "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxds", "ZRP",
                       driver);
  }
  if (!openCommand.empty()) {
    registry.SetString(kHkeyClassesRoot, "kwt_auto_file\\shell\\open\\command", "", openCommand);
  }
  if (!uninstallString.empty()) {
    registry.SetString(kHkeyLocalMachine,
                       "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\K-WARD 95",
                       "UninstallString", uninstallString);
  }
}

class LocateAndAwaitTest : public testing::SimTest {};

TEST_F(LocateAndAwaitTest, QuotedValuesAndTheWindowsDirectory) {
  struct Row {
    const char* driver;
    const char* openCommand;
    const char* uninstallString;
    const char* located;
  };
  const Row rows[] = {
      // A driver registered in the system directory is no installation.
      {"C:\\WINDOWS\\SYSTEM\\ZRP.VXD", "", "C:\\K-WARD\\KWUNINST.EXE /x", "C:\\K-WARD\\"},
      {"c:\\windows\\system\\iosubsys\\ZRP.VXD", "", "C:\\K-WARD\\KWUNINST.EXE /x", "C:\\K-WARD\\"},
      {"C:\\WINDOWS.OLD\\ZRP.VXD", "", "", "C:\\WINDOWS.OLD\\"},  // only alike at the start
      // A quoted program path ends at its closing quote.
      {"", "\"C:\\Program Files\\K-WARD\\K-TASKER.EXE\" %1", "", "C:\\Program Files\\K-WARD\\"},
      {"", "", "\"C:\\K-WARD\\KWUNINST.EXE\" /x", "C:\\K-WARD\\"},
      {"", "", "\"C:\\Program Files\\K-WARD\\KWUNINST.EXE\"", "C:\\Program Files\\K-WARD\\"},
      // Without it, nobody can tell where the path ends.
      {"", "\"C:\\K-WARD\\K-TASKER.EXE %1", "C:\\THIRD\\KWUNINST.EXE /x", "C:\\THIRD\\"},
      {"", "", "\"C:\\K-WARD\\KWUNINST.EXE /x", kNotLocated},
  };
  for (const Row& row : rows) {
    sim::SimMachine machine;  // each row on a machine of its own
    ScopedPlatformOverride useIt(machine);
    SetSources(machine.Registry(), row.driver, row.openCommand, row.uninstallString);
    CUninstallApp app;
    const std::string located = app.LocateInstallDir() ? app.GetInstallDir() : kNotLocated;
    EXPECT_EQ(located, row.located) << row.driver << " | " << row.openCommand << " | "
                                    << row.uninstallString;
  }
}

TEST_F(LocateAndAwaitTest, AnotherProgramsProgressWindowIsNoAnswer) {
  // Another program shows a window of the uninstaller's progress title
  // before the uninstaller has even asked.
  testing::InstallProductProgram(Machine(), "C:\\OTHER\\SETUP.EXE", {testing::kProgressTitle, {}, 0, false, false});
  testing::LaunchProgram(Machine(), "C:\\OTHER\\SETUP.EXE");
  testing::RegisterInstallLocation(Machine());
  testing::InstallProductFiles(Machine());
  testing::UninstallerScript script;
  script.questionAtMs = 3000;
  script.answerAfterMs = 5000;
  testing::InstallUninstaller(Machine(), script);

  CUninstallApp app;
  app.InitInstance();
  // Frozen only once the user has answered, not before the question.
  const auto closed = Journal("Uninst.exe: closes window \"Confirm File Deletion\"");
  const auto suspended = Journal("Uninst.exe: main thread suspended");
  ASSERT_EQ(closed.size(), 1u);
  ASSERT_EQ(suspended.size(), 1u);
  const std::vector<std::string> order = Journal("Uninst.exe: ");
  EXPECT_LT(std::find(order.begin(), order.end(), closed[0]),
            std::find(order.begin(), order.end(), suspended[0]));
}

TEST_F(LocateAndAwaitTest, TheAgentIsRestartedFromADirectoryWithBlanks) {
  const std::string dir = "C:\\Program Files\\K-WARD\\";
  SetSources(Registry(), "", "", "\"" + dir + "KWUNINST.EXE\" /x");
  Files().AddFile(dir + "ACTIVITY.dll", "library");
  testing::InstallProductProgram(Machine(), dir + "K-TASKER.EXE", {"K-Tasker", {}, 0, false, false});
  testing::LaunchProgram(Machine(), dir + "K-TASKER.EXE");
  // What Windows' search would run for the unquoted command line.
  testing::InstallProductProgram(Machine(), "C:\\Program", {"Impostor", {}, 0, false, false});

  CUninstallApp app;
  ASSERT_TRUE(app.LocateInstallDir());
  app.StopAgent();
  app.RestartAgent();
  EXPECT_EQ(Journal("starts "), (std::vector<std::string>{
                                    "starts " + dir + "K-TASKER.EXE",
                                    "starts \"" + dir + "K-TASKER.EXE\" (minimised)",
                                }));
  EXPECT_EQ(Machine().FindProcess("C:\\Program"), nullptr);
}

}  // namespace
}  // namespace kw
