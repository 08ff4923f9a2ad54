#include "app/uninstall_app.h"

#include <functional>
#include <new>

#include "app/uninstall_dlg.h"
#include "components/execute.h"
#include "components/message_catalogue.h"
#include "components/registry.h"
#include "components/run_record.h"

namespace kw {
namespace {

// Window titles of the setup-log uninstaller.
constexpr const char* kConfirmWindowTitle = "Confirm File Deletion";
constexpr const char* kProgressWindowTitle = "Remove Programs From Your Computer";

constexpr std::uint32_t kStartupPauseMs = 1000;

// How a source's value holds the path of a program of the product.
enum class ValueForm {
  kPath,               // the path alone
  kCommand,            // a command line: the path, perhaps quoted, then arguments
  kCommandCutAtSpace,  // as kCommand, but unquoted the path ends at the first blank
};

// Where the product records its installation, in the order they are tried.
struct InstallDirSource {
  RegKey root;
  const char* keyPath;
  const char* valueName;
  ValueForm form;
};


const InstallDirSource kInstallDirSources[] = {
    // The resident driver's path.
    {kHkeyLocalMachine, "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxds", "ZRP",
     ValueForm::kPath},
    // The open command of the product's task files.
    {kHkeyClassesRoot, "kwt_auto_file\\shell\\open\\command", "", ValueForm::kCommand},
    // The product's entry in Add/Remove Programs.
    {kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\K-WARD 95",
     "UninstallString", ValueForm::kCommandCutAtSpace},
};

// The program path in a source's value; false when the value cannot hold one.
bool ProgramPathOf(const CTrimString& value, ValueForm form, CTrimString& path) {
  if (form != ValueForm::kPath && !value.empty() && value.front() == '"') {
    // Quoted as Windows quotes a command line, typically because the path
    // holds blanks: the path is what the first two quotes enclose.  Without
    // the closing quote there is no telling where the path ends.
    const std::string::size_type close = value.find('"', 1);
    if (close == std::string::npos) return false;
    path = value.substr(1, close - 1);
    return true;
  }
  path = value;
  if (form == ValueForm::kCommandCutAtSpace) {
    // A program path followed by its arguments.  Without a space it is a
    // program path alone, and all of it is the path.
    const std::string::size_type space = path.find(' ');
    if (space != std::string::npos) path = path.substr(0, space);
  }
  return true;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A name that Windows would take for something other than itself: empty,
// "." and ".." (and other runs of dots, which path normalisation turns into
// a parent or nothing), or a name with a character no file name can hold.
bool IsPlainDirectoryName(const std::string& name) {
  if (name.find_first_not_of(". ") == std::string::npos) return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (std::string("<>:\"/|?*").find(c) != std::string::npos) return false;
  }
  return true;
}

}  // namespace

bool CUninstallApp::InitInstance() {
  RunUninstallSequence();
  return false;
}

bool CUninstallApp::IsUsableInstallDir(const CTrimString& directory) {
  // The directory is later emptied recursively: anything but a plain
  // directory below a drive root (C:\, a relative path, a path that climbs
  // with "..") could take the whole drive with it.
  if (directory.size() < 4 || !IsAsciiLetter(directory[0]) || directory[1] != ':' ||
      directory[2] != '\\' || directory.back() != '\\') {
    return false;
  }
  std::string::size_type start = 3;
  while (start < directory.size()) {
    const std::string::size_type end = directory.find('\\', start);
    if (!IsPlainDirectoryName(directory.substr(start, end - start))) return false;
    start = end + 1;
  }
  // Nor the Windows directory, a directory that holds it, or one inside it
  // (a resident driver may well be registered in the system directory).
  CTrimString windowsDir = Os().WindowsDirectory();
  windowsDir.StripTrailingBackslashes();
  if (!windowsDir.empty()) {
    const std::string windows = UpperCased(windowsDir + "\\");
    const std::string candidate = UpperCased(directory);
    if (windows.compare(0, candidate.size(), candidate) == 0) return false;
    if (candidate.compare(0, windows.size(), windows) == 0) return false;
  }
  return true;
}

bool CUninstallApp::LocateInstallDir() {
  CRegistry registry;
  for (const InstallDirSource& source : kInstallDirSources) {
    std::string value;
    if (!registry.ReadStringValue(source.root, source.keyPath, source.valueName, value)) continue;
    CTrimString text;
    if (!ProgramPathOf(value, source.form, text)) continue;
    CTrimString directory;
    text.GetDirectoryPart(directory);
    if (!IsUsableInstallDir(directory)) continue;
    m_strInstallDir = directory;
    CRunRecord::Note("installation: " + directory + " (from " + std::string(RootName(source.root)) + "\\" +
                     source.keyPath + ", value \"" + source.valueName + "\")");
    return true;
  }
  CRunRecord::Note("installation: not found");
  return false;
}

void CUninstallApp::BuildUninstallCommand(CTrimString& command) {
  const CTrimString windowsDir = Os().WindowsDirectory();
  command = windowsDir.JoinPath("Uninst.exe");
  // The log path follows -f directly, unquoted: that is the form the
  // setup-log uninstaller parses.
  command += " -f";
  command += m_strInstallDir.JoinPath("DEISL1.ISU");
}

void CUninstallApp::ReportFailure(unsigned messageId) {
  // The caption goes through the message formatting with no argument; it
  // holds no placeholder, so it shows as it is.
  ShowBox(LoadMessage(messageId), FormatMessageText(LoadMessage(kMsgUninstallErrorTitle), ""),
          kMbIconError);
}

void CUninstallApp::ReportQueuedForRestart() {
  if (m_nQueuedForRestart == 0) return;
  // Not an error: the user has only to restart, and before installing the
  // product again, whose new files the queued deletions would take.
  ShowBox(LoadMessage(kMsgRemovedAtRestart), LoadMessage(kTitleUninstall), kMbIconInformation);
}

void CUninstallApp::ShowBox(const std::string& text, const std::string& caption, std::uint32_t icon) {
  const WindowHandle owner = m_pMainWnd != nullptr ? m_pMainWnd->GetSafeHwnd() : WindowHandle{};
  CRunRecord::NoteBox(caption, text, Os().ShowMessageBox(owner, text, caption, kMbOk | icon));
}

CUninstallApp* CUninstallApp::s_pRunning = nullptr;

void CUninstallApp::FinishRecord() {
  // A run that memory cut short has written it already.
  if (m_bRecordFinished) return;
  m_bRecordFinished = true;
  CRunRecord::Note("run: ended");
  // Outside the directories the run removes things from.
  CRunRecord::Write({m_strInstallDir, m_pTaskDir != nullptr ? *m_pTaskDir : CTrimString()});
}

void CUninstallApp::EndForLackOfMemory() {
  // What follows needs a little memory itself; should that fail too, the
  // program ends at once rather than begin this again.
  std::set_new_handler(nullptr);
  if (CUninstallApp* app = s_pRunning; app != nullptr) {
    // First what needs no memory: the uninstaller must never stay frozen.
    if (app->m_pFrozenUninstaller != nullptr) {
      app->m_pFrozenUninstaller->ResumeMainThread();
      app->m_pFrozenUninstaller = nullptr;
    }
    CRunRecord::Note("run: out of memory");
    app->ReportFailure(kMsgOutOfMemory);
    app->FinishRecord();
  }
  Os().EndProgram(kErrorNotEnoughMemory);
}

void CUninstallApp::RunUninstallSequence() {
  CTrimString taskDir;
  // However the run ends, its record is written last; and memory that runs
  // out while it runs ends it (EndForLackOfMemory) rather than leave the
  // uninstaller frozen for good.
  struct RunInProgress {
    CUninstallApp& app;
    std::new_handler previousHandler;
    RunInProgress(CUninstallApp& running, const CTrimString& runsTaskDir)
        : app(running), previousHandler(std::set_new_handler(&EndForLackOfMemory)) {
      s_pRunning = &app;
      app.m_pTaskDir = &runsTaskDir;
      app.m_bRecordFinished = false;
    }
    ~RunInProgress() {
      app.FinishRecord();
      std::set_new_handler(previousHandler);
      s_pRunning = nullptr;
      app.m_pTaskDir = nullptr;
      app.m_pFrozenUninstaller = nullptr;
    }
    RunInProgress(const RunInProgress&) = delete;
    RunInProgress& operator=(const RunInProgress&) = delete;
  } runInProgress(*this, taskDir);
  CRunRecord::Start();
  CRunRecord::Note("run: started");

  if (!LocateInstallDir()) {
    ReportFailure(kMsgInstallDirNotFound);
    return;
  }
  CTrimString command;
  BuildUninstallCommand(command);
  StopAgent();

  CExecute uninstaller("", "");
  CRunRecord::Note(uninstaller.Execute(command, false) ? "uninstaller: started " + command
                                                       : "uninstaller: could not start " + command);
  Os().Pause(kStartupPauseMs, false);
  // First the question must be asked, then answered: a slow uninstaller whose
  // question is not up yet has not been answered, and freezing it now would
  // let the clean-up run before the user had a say.  Its progress window
  // means the user has already said yes (a quick answer, within the first
  // second), and its end means no.  Only its own progress window counts:
  // another program showing one of that title says nothing about our user's
  // answer.
  uninstaller.WaitUntilWindowAppears({kConfirmWindowTitle}, {kProgressWindowTitle});
  uninstaller.WaitWhileWindowExists(kConfirmWindowTitle);
  uninstaller.SuspendMainThread();
  m_pFrozenUninstaller = &uninstaller;
  if (!uninstaller.IsProcessAlive()) {
    // Declined (or never started): the product stays, so does its agent.
    m_pFrozenUninstaller = nullptr;
    CRunRecord::Note("uninstaller: ended, the user declined");
    RestartAgent();
    return;
  }
  CRunRecord::Note("uninstaller: frozen, the user agreed");

  CUninstallDlg dialog;
  m_pMainWnd = &dialog;
  if (!dialog.Create()) ReportFailure(kMsgDialogNotCreated);

  struct Stage {
    unsigned status;
    std::function<bool()> run;
    unsigned failure;
  };
  const Stage stages[] = {
      {kMsgStatusClosingPrograms, [&] { return CloseProductPrograms(); }, kMsgCloseProgramsFailed},
      {kMsgStatusRemovingRegistry, [&] { return RemoveRegistryItems(taskDir); }, kMsgRegistryFailed},
      {kMsgStatusBatchFile, [&] { return RemoveStartupBatchEntries(); }, kMsgBatchFileFailed},
      {kMsgStatusRemovingFiles, [&] { return RemoveProductFiles(taskDir); }, kMsgFilesFailed},
  };
  for (const Stage& stage : stages) {
    dialog.ShowStatus(stage.status);
    const bool done = stage.run();
    CRunRecord::Note("stage \"" + LoadMessage(stage.status) + "\": " + (done ? "done" : "failed"));
    if (!done) ReportFailure(stage.failure);
  }
  ReportQueuedForRestart();

  // Out of the installation directory, so that the uninstaller can remove it.
  Os().ChangeDirectory("C:\\");
  uninstaller.ResumeMainThread();
  m_pFrozenUninstaller = nullptr;
  uninstaller.BringWindowToFront(kProgressWindowTitle);
  m_pMainWnd = nullptr;
  dialog.DestroyWindow();
}

}  // namespace kw
