// CUninstallApp: the program's one application object.  Its start-up routine
// is the whole program: find the product, start the setup-log uninstaller,
// wait for the user's answer, freeze the uninstaller, clean up what its log
// does not cover, and let it go on.
#ifndef KWUNINST_APP_UNINSTALL_APP_H_
#define KWUNINST_APP_UNINSTALL_APP_H_

#include <cstdint>
#include <string>

#include "app/win_app.h"
#include "components/trim_string.h"

namespace kw {

class CExecute;
class CFileManagement;

class CUninstallApp : public CWinApp {
 public:
  CUninstallApp() = default;
  // For an installation already located: installDir with its trailing
  // backslash, as LocateInstallDir finds it.
  explicit CUninstallApp(const CTrimString& installDir) : m_strInstallDir(installDir) {}

  // Runs the uninstall sequence once and returns false, so the program ends
  // as soon as the sequence is over.
  bool InitInstance() override;

  // Finds the installation directory in the registry; true when found, and
  // then m_strInstallDir holds it (with its trailing backslash).
  bool LocateInstallDir();

  // The setup-log uninstaller's command line:
  // <Windows directory>\Uninst.exe -f<installation directory>\DEISL1.ISU
  void BuildUninstallCommand(CTrimString& command);

  // Shows the application's error box for a catalogue message and returns
  // when the user has closed it.
  void ReportFailure(unsigned messageId);

  // The product's scheduling agent: closed before the uninstaller starts,
  // started again (minimised) only when the user declines.
  void StopAgent();
  void RestartAgent();

  // The four clean-up stages, in the order they run.  Each returns false
  // when something it had to do failed; the sequence reports it and goes on.
  bool CloseProductPrograms();
  bool RemoveRegistryItems(CTrimString& taskDir);
  bool RemoveStartupBatchEntries();
  bool RemoveProductFiles(const CTrimString& taskDir);

  // Shows that files will be removed when Windows restarts, when the file
  // stage queued any.
  void ReportQueuedForRestart();

  const CTrimString& GetInstallDir() const { return m_strInstallDir; }
  bool AgentWasRunning() const { return m_bAgentWasRunning != 0; }

 protected:
  void RunUninstallSequence();
  // Whether a directory found in the registry is safe to clean up: a full
  // path below a drive root, not the Windows directory, one that holds it or
  // one inside it.
  static bool IsUsableInstallDir(const CTrimString& directory);
  // An OK box with the icon, owned by the main window while there is one,
  // and its line in the record.
  void ShowBox(const std::string& text, const std::string& caption, std::uint32_t icon);
  // After the file stage: queues what is left of the product for deletion
  // when Windows next starts: the task files and the marker left, and, when
  // the installation directory was emptied (by emptying), the files whose
  // deletion it gave up; but no read-only file.  What cannot be queued is
  // recorded and changes nothing else: the stage's outcome is the
  // clean-up's.
  void QueueLeftovers(const CTrimString& taskDir, CFileManagement* emptying);

  // The program's new handler while the sequence runs: memory has run out
  // and the run cannot go on.  Lets a frozen uninstaller go, reports message
  // 147 as a failed stage reports its own, writes the record and ends the
  // program; never returns.  Memory that runs out again meanwhile ends the
  // program at once, the uninstaller let go already.
  static void EndForLackOfMemory();
  // The record's last line and the file, once a run.
  void FinishRecord();

  CTrimString m_strInstallDir;
  int m_bAgentWasRunning = 0;
  int m_nQueuedForRestart = 0;  // by the file stage

  // While the sequence runs, for its new handler: the application running
  // it, its task directory, the uninstaller while it is frozen, and whether
  // the record has been written.
  static CUninstallApp* s_pRunning;
  const CTrimString* m_pTaskDir = nullptr;
  CExecute* m_pFrozenUninstaller = nullptr;
  bool m_bRecordFinished = false;
};

}  // namespace kw

#endif  // KWUNINST_APP_UNINSTALL_APP_H_
