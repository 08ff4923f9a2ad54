// Stopping and restarting the product's programs.  While they run they hold
// files of the installation directory open, and open files can be removed
// neither by the setup-log uninstaller nor by the file clean-up.
#include "app/uninstall_app.h"

#include "components/execute.h"
#include "components/file_management.h"
#include "components/run_record.h"

namespace kw {
namespace {

constexpr const char* kAgentWindow = "K-Tasker";
constexpr const char* kAgentProgram = "K-TASKER.EXE";
constexpr const char* kAgentLibrary = "ACTIVITY.dll";
constexpr const char* kMainWindow = "K-WARD Professional";
constexpr const char* kResidentWindow = "ZRP for Windows 95";

// A program path as the start of a command line.  Unquoted, a path with
// blanks would let Windows' search of the command line run C:\Program.exe
// (or the like) in its place.
std::string CommandLineOf(const std::string& programPath) {
  if (programPath.find(' ') == std::string::npos) return programPath;
  return "\"" + programPath + "\"";
}

// Waits share one budget: the first wait of a series starts it, the others
// go on with what is left.
constexpr std::int32_t kWaitBudgetSeconds = 30;
constexpr std::int32_t kContinueBudget = 0;

// Asks the program with that window to close; records whether it was there.
bool AskToClose(CExecute& execute, const char* kind, const char* windowTitle) {
  const bool asked = execute.CloseWindow(windowTitle);
  CRunRecord::Note(std::string(kind) + ": \"" + windowTitle + "\" " +
                   (asked ? "asked to close" : "not running"));
  return asked;
}

// Waits for a program's file; the record tells whether the program let go.
bool WaitForFile(CFileManagement& files, const CTrimString& path, std::int32_t seconds) {
  const bool free = files.WaitUntilFree(path, seconds);
  CRunRecord::Note("file: " + path +
                   (free ? " let go" : files.IsThere(path) ? " still in use" : " missing"));
  return free;
}

}  // namespace

void CUninstallApp::StopAgent() {
  m_bAgentWasRunning = 0;
  CExecute execute("", "");
  if (AskToClose(execute, "agent", kAgentWindow)) m_bAgentWasRunning = 1;
  // Whether or not the agent's window was found, give its library the time
  // to be let go; the sequence goes on either way.
  CFileManagement files;
  WaitForFile(files, m_strInstallDir.JoinPath(kAgentLibrary), kWaitBudgetSeconds);
}

void CUninstallApp::RestartAgent() {
  if (!m_bAgentWasRunning) return;
  // Minimised and not activated: the user is not to be disturbed by it.
  CExecute execute("", "");
  const bool started = execute.Execute(CommandLineOf(m_strInstallDir.JoinPath(kAgentProgram)), true);
  CRunRecord::Note(started ? "agent: started again" : "agent: could not be started again");
}

bool CUninstallApp::CloseProductPrograms() {
  CExecute execute("", "");
  AskToClose(execute, "program", kMainWindow);
  CFileManagement files;
  if (!WaitForFile(files, m_strInstallDir.JoinPath("K-WARD32.EXE"), kWaitBudgetSeconds)) {
    return false;
  }
  if (!files.IsWindowsNT()) {
    // The resident protection exists on Windows 95 only; it is asked to
    // close once the main program has let go of its file.
    AskToClose(execute, "program", kResidentWindow);
    if (!WaitForFile(files, m_strInstallDir.JoinPath("ZRP95.EXE"), kContinueBudget)) return false;
    if (!WaitForFile(files, m_strInstallDir.JoinPath("ZRPENG.DLL"), kContinueBudget)) return false;
  }
  // The network library's name is written both ways by the product's
  // installers; both are waited for, the second normally at once.
  if (!WaitForFile(files, m_strInstallDir.JoinPath("NWCALLS.dll"), kContinueBudget)) return false;
  if (!WaitForFile(files, m_strInstallDir.JoinPath("NWCALLS.DLL"), kContinueBudget)) return false;
  // The shell extension stays loaded in the shell until it restarts: waited
  // for, but not required.
  WaitForFile(files, m_strInstallDir.JoinPath("KWSHEXT.DLL"), kContinueBudget);
  return true;
}

}  // namespace kw
