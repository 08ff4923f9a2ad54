#include <gtest/gtest.h>

#include "app/uninstall_app.h"
#include "tests/support/sim_standins.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using testing::kInstallDir;
using testing::ProductProgramScript;

std::string InInstallDir(const std::string& name) { return kInstallDir + name; }

// The app with its installation directory already located.
class LocatedApp : public CUninstallApp {
 public:
  LocatedApp() { m_strInstallDir = kInstallDir; }
};

class ProductProgramsTest : public testing::SimTest {
 protected:
  ProductProgramsTest() { testing::InstallProductFiles(Machine()); }

  sim::SimProcess* Run(const std::string& name, const ProductProgramScript& script) {
    testing::InstallProductProgram(Machine(), InInstallDir(name), script);
    return testing::LaunchProgram(Machine(), InInstallDir(name));
  }
};

TEST_F(ProductProgramsTest, TheAgentIsRestartedOnlyWhenItWasRunning) {
  LocatedApp idle;
  idle.StopAgent();
  EXPECT_FALSE(idle.AgentWasRunning());
  EXPECT_EQ(Machine().PauseCount(), 0);
  idle.RestartAgent();
  EXPECT_TRUE(Machine().Processes().empty());

  // A hung agent never answers the close request, yet its window was there:
  // it counts as running.  It keeps its library: the wait takes a budget of
  // its own.
  ProductProgramScript hung{"K-Tasker", {InInstallDir("ACTIVITY.dll")}};
  hung.hung = true;
  sim::SimProcess* agent = Run("K-TASKER.EXE", hung);
  LocatedApp app;
  app.StopAgent();
  EXPECT_TRUE(app.AgentWasRunning());
  EXPECT_EQ(Machine().PauseCount(), 31);
  app.RestartAgent();
  sim::SimProcess* restarted = Machine().FindProcess(InInstallDir("K-TASKER.EXE"));
  ASSERT_NE(restarted, agent);
  EXPECT_EQ(restarted->CommandLine(), "C:\\K-WARD\\K-TASKER.EXE");
  EXPECT_EQ(restarted->Show(), ShowState::kMinimizedNoActivate);
}

// Stage 1 on machines that differ in the platform, the main program's
// manners and the libraries: whether it succeeds, how long it waits (one
// budget of 31 pauses for all its files), and whether the resident
// protection (Windows 95 only, after the main program) was asked to close.
struct StageCase {
  const char* name;
  bool windows95;
  int mainExitDelayMs;
  bool mainRefuses;
  const char* heldLibrary;     // held by the shell, or null
  const char* missingLibrary;  // or null
  bool succeeds;
  int pauses;
  bool residentClosed;
};

const StageCase kStageCases[] = {
    {"NtLeavesZrpAlone", false, 0, false, nullptr, nullptr, true, 0, false},
    {"Windows95ClosesZrpAfterTheMainProgram", true, 3000, false, nullptr, nullptr, true, 3, true},
    {"MainProgramNeverEnds", true, 0, true, nullptr, nullptr, false, 31, false},
    {"ShellExtensionNotRequired", false, 0, false, "KWSHEXT.DLL", nullptr, true, 31, false},
    {"NetworkLibraryRequired", false, 0, false, nullptr, "NWCALLS.DLL", false, 31, false},
};

void PrintTo(const StageCase& c, std::ostream* out) { *out << c.name; }

class ClosingProgramsTest : public ProductProgramsTest,
                            public ::testing::WithParamInterface<StageCase> {};

TEST_P(ClosingProgramsTest, Stage1) {
  const StageCase& c = GetParam();
  if (c.windows95) Machine().BecomeWindows95();
  ProductProgramScript main{"K-WARD Professional", {InInstallDir("K-WARD32.EXE")}};
  main.exitDelayMs = c.mainExitDelayMs;
  main.refusesToClose = c.mainRefuses;
  sim::SimProcess* mainProgram = Run("K-WARD32.EXE", main);
  sim::SimProcess* resident =
      Run("ZRP95.EXE", {"ZRP for Windows 95", {InInstallDir("ZRP95.EXE"), InInstallDir("ZRPENG.DLL")}});
  if (c.heldLibrary != nullptr) Files().Hold(InInstallDir(c.heldLibrary), "the shell");
  if (c.missingLibrary != nullptr) Files().RemoveFile(InInstallDir(c.missingLibrary));

  LocatedApp app;
  EXPECT_EQ(app.CloseProductPrograms(), c.succeeds);
  EXPECT_EQ(Machine().PauseCount(), c.pauses);
  EXPECT_EQ(mainProgram->IsRunning(), c.mainRefuses);
  EXPECT_EQ(resident->IsRunning(), !c.residentClosed);
  if (c.residentClosed) {
    EXPECT_LE(mainProgram->ExitedAtMs(), resident->ExitedAtMs());
  }
}

INSTANTIATE_TEST_SUITE_P(Machines, ClosingProgramsTest, ::testing::ValuesIn(kStageCases),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace kw
