// A test fixture that puts a fresh simulated machine in place of the
// platform for the length of one test, and checks afterwards that the code
// under test left no registry key, search or file open and no box unanswered;
// and the simulated stand-ins of the outside programs, with the product as
// its installer leaves it.
#ifndef KWUNINST_TESTS_SUPPORT_SIM_TEST_H_
#define KWUNINST_TESTS_SUPPORT_SIM_TEST_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_machine.h"

namespace kw::testing {

// A component's recorded error as "code argument"; reading it clears it.
template <typename Component>
std::string ErrorOf(Component& component) {
  std::int32_t code = 0;
  std::string argument;
  component.GetError(code, argument);
  return std::to_string(code) + " " + argument;
}

class SimTest : public ::testing::Test {
 protected:
  SimTest();
  ~SimTest() override;
  void TearDown() override;

  sim::SimMachine& Machine() { return m_machine; }
  const sim::SimMachine& Machine() const { return m_machine; }
  sim::SimRegistry& Registry() { return m_machine.Registry(); }
  sim::SimFileSystem& Files() { return m_machine.Files(); }

  // The journal lines starting with a prefix.
  std::vector<std::string> Journal(const std::string& prefix = "") const {
    return m_machine.JournalOf(prefix);
  }
  // Every journal line, with its time, for failure messages.
  std::string JournalText() const;
  // The user cancels every Retry/Cancel prompt and acknowledges every other box.
  void CancelEveryPrompt();

 private:
  sim::SimMachine m_machine;
  std::unique_ptr<ScopedPlatformOverride> m_override;
};

constexpr const char* kInstallDir = "C:\\K-WARD\\";  // as the footprint places it
constexpr const char* kUninstallerPath = "C:\\WINDOWS\\Uninst.exe";
constexpr const char* kDosStartPath = "C:\\WINDOWS\\DOSSTART.BAT";
constexpr const char* kWininitPath = "C:\\WINDOWS\\WININIT.INI";
constexpr const char* kRecordPath = "C:\\WINDOWS\\TEMP\\KWUNINST.LOG";
constexpr const char* kConfirmTitle = "Confirm File Deletion";
constexpr const char* kProgressTitle = "Remove Programs From Your Computer";

inline bool IsPrompt(const sim::SimMessageBox& box) { return (box.style & 0xF) == kMbRetryCancel; }

// How the simulated setup-log uninstaller and its user behave.  Times count
// the uninstaller's own running time: while it is frozen, nothing happens.
struct UninstallerScript {
  std::int64_t questionAtMs = 0;        // when "Confirm File Deletion" appears
  std::int64_t answerAfterMs = 3500;    // how long the user takes to answer
  bool userAgrees = true;
  int logEntries = 5;                   // removed one per turn after Yes
  bool endsBeforeQuestion = false;      // crashes before it asks anything
  bool crashesWhileFrozen = false;      // ends at the first pause it spends frozen
};

// The setup-log uninstaller: asks its question, ends on No, and on Yes shows
// its progress window and removes one log entry per turn, noting each in the
// machine's journal ("Uninst.exe: removes entry N").
void InstallUninstaller(sim::SimMachine& machine, const UninstallerScript& script);

// A product program: opens its window, holds its files while it runs, and
// ends when its window gets a close request.
struct ProductProgramScript {
  std::string windowTitle;
  std::vector<std::string> heldFiles;   // full paths
  std::int64_t exitDelayMs = 0;         // keeps holding this long after the request
  bool refusesToClose = false;          // ignores the request
  bool hung = false;                    // never answers messages
  std::int64_t releaseAtMs = -1;        // lets go of its files at this run time
};
// Installs the program and starts it as the user had (outside the program
// under test); starting the path again later runs the same script.
sim::SimProcess* RunProductProgram(sim::SimMachine& machine, const std::string& path,
                                   const ProductProgramScript& script);

// The product as its installer leaves it: the registry entries that locate
// it, and its installation directory with the install log and the uninstall
// program.
void InstallProductFiles(sim::SimMachine& machine, const std::string& dir = kInstallDir);
void RegisterInstallLocation(sim::SimMachine& machine);

}  // namespace kw::testing

#endif  // KWUNINST_TESTS_SUPPORT_SIM_TEST_H_
