// Simulated stand-ins of the outside programs, and a machine with the product
// installed, for the unit tests.
#ifndef KWUNINST_TESTS_SUPPORT_SIM_STANDINS_H_
#define KWUNINST_TESTS_SUPPORT_SIM_STANDINS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "app/uninstall_app.h"
#include "platform/sim/sim_machine.h"

namespace kw::testing {

constexpr const char* kInstallDir = "C:\\K-WARD\\";
constexpr const char* kUninstallerPath = "C:\\WINDOWS\\Uninst.exe";
constexpr const char* kConfirmTitle = "Confirm File Deletion";
constexpr const char* kProgressTitle = "Remove Programs From Your Computer";

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

// The application with the installation directory already located.
class LocatedApp : public CUninstallApp {
 public:
  LocatedApp() { m_strInstallDir = kInstallDir; }
};

}  // namespace kw::testing

#endif  // KWUNINST_TESTS_SUPPORT_SIM_STANDINS_H_
