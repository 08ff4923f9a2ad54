// Finding the installation in values that are quoted or point into the
// Windows directory, waiting for the user's answer while another program
// shows a window of the same title, and restarting the agent from a path
// with blanks.
#include <gtest/gtest.h>

#include "app/uninstall_app.h"
#include "tests/support/sim_standins.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

constexpr const char* kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\K-WARD 95";

class LocateAndAwaitTest : public testing::SimTest {};

TEST_F(LocateAndAwaitTest, QuotedValuesAndTheWindowsDirectory) {
  // The three values the installation is looked for in, in their order.
  const struct {
    const char* driver;
    const char* openCommand;
    const char* uninstallString;
    const char* located;
  } rows[] = {
      // A driver registered in the system directory is no installation.
      {"C:\\WINDOWS\\SYSTEM\\ZRP.VXD", "", "C:\\K-WARD\\KWUNINST.EXE /x", "C:\\K-WARD\\"},
      {"C:\\WINDOWS.OLD\\ZRP.VXD", "", "", "C:\\WINDOWS.OLD\\"},  // only alike at the start
      // A quoted program path ends at its closing quote; without one, nobody
      // can tell where the path ends.
      {"", "\"C:\\Program Files\\K-WARD\\K-TASKER.EXE\" %1", "", "C:\\Program Files\\K-WARD\\"},
      {"", "\"C:\\K-WARD\\K-TASKER.EXE %1", "C:\\THIRD\\KWUNINST.EXE /x", "C:\\THIRD\\"},
  };
  for (const auto& row : rows) {
    // An empty value locates nothing: each row overwrites the one before.
    Registry().SetString(kHkeyLocalMachine,
                         "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxds", "ZRP",
                         row.driver);
    Registry().SetString(kHkeyClassesRoot, "kwt_auto_file\\shell\\open\\command", "",
                         row.openCommand);
    Registry().SetString(kHkeyLocalMachine, kUninstallKey, "UninstallString", row.uninstallString);
    CUninstallApp app;
    EXPECT_EQ(app.LocateInstallDir() ? app.GetInstallDir() : "", row.located)
        << row.driver << " | " << row.openCommand << " | " << row.uninstallString;
  }
}

TEST_F(LocateAndAwaitTest, AnotherProgramsProgressWindowIsNoAnswer) {
  // Shown by another program before the uninstaller has even asked.
  testing::InstallProductProgram(Machine(), "C:\\SETUP.EXE",
                                 {testing::kProgressTitle, {}, 0, false, false});
  testing::LaunchProgram(Machine(), "C:\\SETUP.EXE");
  testing::RegisterInstallLocation(Machine());
  testing::InstallProductFiles(Machine());
  testing::UninstallerScript script;
  script.questionAtMs = 3000;
  testing::InstallUninstaller(Machine(), script);
  CUninstallApp app;
  app.InitInstance();
  // Frozen only once the user has answered, not before the question.
  const std::vector<std::string> events = Journal("Uninst.exe: ");
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events[1], "Uninst.exe: closes window \"Confirm File Deletion\"");
  EXPECT_EQ(events[3], "Uninst.exe: main thread suspended");
}

TEST_F(LocateAndAwaitTest, TheAgentIsRestartedFromADirectoryWithBlanks) {
  const std::string agent = "C:\\Program Files\\K-WARD\\K-TASKER.EXE";
  Registry().SetString(kHkeyLocalMachine, kUninstallKey, "UninstallString",
                       "\"C:\\Program Files\\K-WARD\\KWUNINST.EXE\" /x");
  Files().AddFile("C:\\Program Files\\K-WARD\\ACTIVITY.dll");
  testing::InstallProductProgram(Machine(), agent, {"K-Tasker", {}, 0, false, false});
  testing::LaunchProgram(Machine(), agent);
  CUninstallApp app;
  ASSERT_TRUE(app.LocateInstallDir());
  app.StopAgent();
  app.RestartAgent();
  // Located through the quoted uninstall command; started unquoted, the
  // agent would let Windows' search of the command line run C:\Program.
  EXPECT_EQ(Journal("starts "), (std::vector<std::string>{"starts " + agent,
                                                          "starts \"" + agent + "\" (minimised)"}));
}

}  // namespace
}  // namespace kw
