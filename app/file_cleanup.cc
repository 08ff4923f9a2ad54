// The fourth clean-up stage: what the product created outside its install
// log.  The agent's task files, the marker file in the root of drive C:, and
// whatever is left in the installation directory, except the product's
// uninstall program and the install log that the frozen setup-log
// uninstaller still has to read.  What is in use and cannot go now is
// queued to go when Windows next starts.

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/uninstall_app.h"
#include "components/cursor_string_list.h"
#include "components/file_management_prompt.h"
#include "components/message_catalogue.h"
#include "components/restart_queue.h"
#include "components/run_record.h"
#include "platform/scoped_handles.h"

namespace kw {
namespace {

constexpr const char* kTaskFilePattern = "*.KWT";
constexpr const char* kMarkerFile = "C:\\K-WARD.SYS";
constexpr const char* kUninstallProgram = "KWUNINST.EXE";
constexpr const char* kInstallLog = "DEISL1.ISU";

// Runs a removal again and again, each time skipping one more file: the one
// whose retry the user cancelled.  That file only: another of its name in
// another directory is still removed, or asked about.  So each file is
// either removed or asked about, and each run either ends the removal or
// skips one more file.  False for any other failure.
bool SkippingCancelledFiles(CFileManagementPrompt& files, const std::function<bool()>& removal) {
  while (!removal()) {
    std::int32_t code = 0;
    std::string argument;
    files.GetError(code, argument);
    if (code != kErrFileNotDeleted) return false;
    // An excluded file is never listed, so it cannot fail again; should it,
    // starting over would never end.
    if (argument.empty() || files.IsExcluded(argument)) return false;
    files.AddExclusion(argument);
    CRunRecord::Note("file: kept " + argument + " (cancelled)");
  }
  return true;
}

// The agent's task files, and their directory once nothing else is in it.
// Leftovers here harm nothing, so they do not fail the stage; the user has
// been asked about each task file that would not go.  Their own component,
// so that a task file's name left here is not skipped in the installation
// directory too.
void RemoveTaskFiles(const CTrimString& taskDir) {
  CFileManagementPrompt files;
  const CTrimString pattern = taskDir.JoinPath(kTaskFilePattern);
  SkippingCancelledFiles(files, [&] { return files.DeleteFiles(pattern); });
  if (!files.Exists(taskDir.JoinPath("*.*"))) files.RemoveDirectory(taskDir);
}

// Whether the directory is the product's: its own uninstall program lies in
// it.  The directory comes from registry values that another program (every
// program of the same setup tool has a DEISL1.ISU) may have written; this is
// the last check before everything in it is deleted.
bool HoldsUninstallProgram(CFileManagementPrompt& files, const CTrimString& installDir) {
  if (installDir.empty()) return false;
  CCursorStringList found;
  return files.ListFiles(installDir.JoinPath(kUninstallProgram), found);
}

// Queues what is left of the product for the next start of Windows, and
// records what stays for good.  Queuing is an addition to the clean-up: it
// never changes the stage's outcome, and what cannot be queued is only
// recorded.  A file whose deletion the user cancelled is queued only when
// it failed because a program holds it: a read-only one is the user's to
// decide, and the user kept it.
class LeftoverQueue {
 public:
  explicit LeftoverQueue(const CTrimString& windowsDir) : m_windowsDir(windowsDir) {}

  // Never anything in the Windows directory: the system's own files are
  // there, whatever a registry value says.
  void File(const std::string& path) {
    if (IsInDirectory(path, m_windowsDir)) {
      CRunRecord::Note("file: kept " + path + " (in the Windows directory)");
      return;
    }
    std::uint32_t attributes = 0;
    QueueFile(path, Os().LookUpEntry(path, &attributes) == kErrorSuccess ? attributes : 0);
  }

  // What is left in a directory of the installation, its subdirectories
  // first: the files the emptying asked the user about and could not
  // delete.  What it never reached, because it stopped before, is left as
  // it is: the stage has failed and said so.  True when everything in the
  // directory was queued, so that the directory itself can be, where the
  // system removes directories when it starts.
  bool DirectoryContents(const std::string& directory, CFileManagement& emptying) {
    bool allQueued = true;
    for (const FindEntry& entry : Listing(directory)) {
      const std::string path = directory + "\\" + entry.name;
      if (entry.IsReparsePoint()) {
        CRunRecord::Note("directory: kept " + path + " (a link to another directory)");
        allQueued = false;
      } else if (entry.IsDirectory()) {
        const bool emptied = DirectoryContents(path, emptying);
        if (emptied && m_queue.TakesDirectories()) {
          allQueued = QueueDirectory(path) && allQueued;
        } else {
          CRunRecord::Note("directory: kept " + path +
                           (emptied ? " (Windows 95 removes no directories when it starts)" : ""));
          allQueued = false;
        }
      } else if (EqualsNoCase(entry.name, kUninstallProgram) || EqualsNoCase(entry.name, kInstallLog)) {
        CRunRecord::Note("file: kept " + path + " (the setup-log uninstaller removes it)");
        allQueued = false;
      } else if (emptying.IsExcluded(path)) {  // its retry cancelled, or no answer
        allQueued = QueueFile(path, entry.attributes) && allQueued;
      } else {
        CRunRecord::Note("file: kept " + path + " (not reached)");
        allQueued = false;
      }
    }
    return allQueued;
  }

  // Writes what waits for WININIT.EXE.
  void Commit() {
    if (!m_queue.Commit()) {
      CRunRecord::Note("restart: WININIT.INI could not be saved; nothing was queued");
    }
  }
  int Count() const { return m_queue.GetCount(); }

 private:
  // Not queued either: a path that reaches another entry than its own (see
  // CFileManagement::ReachesItself), which would queue that one, and one
  // that Windows would not find as it starts.
  bool QueueFile(const std::string& path, std::uint32_t attributes) {
    // The task directory may lie in the installation directory.
    if (!m_queued.insert(UpperCased(path)).second) return true;
    if ((attributes & kFileAttributeReadOnly) != 0) {
      return Kept("file", path, "read-only, so not queued for restart: the user was asked and kept it");
    }
    if (!m_queue.FoundAtStart(path)) return Kept("file", path, kNotFoundAtStart);
    std::string queuedAs;
    if (!CFileManagement::ReachesItself(path) || !m_queue.AddFile(path, &queuedAs)) {
      return Kept("file", path, kNotQueued);
    }
    CRunRecord::Note("file: queued for restart " + queuedAs +
                     (queuedAs == path ? "" : " (" + path + " renamed, so that a new file of its name stays)"));
    return true;
  }

  bool QueueDirectory(const std::string& path) {
    if (!m_queued.insert(UpperCased(path)).second) return true;
    if (!m_queue.FoundAtStart(path)) return Kept("directory", path, kNotFoundAtStart);
    if (!CFileManagement::ReachesItself(path) || !m_queue.AddDirectory(path)) {
      return Kept("directory", path, kNotQueued);
    }
    CRunRecord::Note("directory: queued for restart " + path);
    return true;
  }

  // Records what stays after the restart too; false.
  static bool Kept(const char* kind, const std::string& path, const char* why) {
    CRunRecord::Note(std::string(kind) + ": kept " + path + " (" + why + ")");
    return false;
  }
  static constexpr const char* kNotFoundAtStart =
      "not queued for restart: no full path on a local fixed drive, which Windows would find as it starts";
  static constexpr const char* kNotQueued = "it could not be queued for restart";

  // The directory's entries but "." and "..", read to the end before any
  // is looked into, so that no search stays open on the way down.
  static std::vector<FindEntry> Listing(const std::string& directory) {
    std::vector<FindEntry> entries;
    ScopedFind search;
    FindEntry entry;
    for (bool found = search.First(directory + "\\*", &entry); found; found = search.Next(&entry)) {
      if (entry.name != "." && entry.name != "..") entries.push_back(entry);
    }
    return entries;
  }

  CTrimString m_windowsDir;
  CRestartQueue m_queue;
  std::set<std::string> m_queued;  // upper-cased
};

}  // namespace

bool CUninstallApp::RemoveProductFiles(const CTrimString& taskDir) {
  // No task directory was read: an empty one would make the patterns name
  // the root of the current drive.  One equal to the installation directory
  // is emptied with it below.
  const bool separateTaskDir = !taskDir.empty() && taskDir != m_strInstallDir;
  if (separateTaskDir) RemoveTaskFiles(taskDir);
  // Nobody is asked about the marker, so a marker left fails the stage: its
  // failure message is the only word the user gets of it.
  CFileManagementPrompt files;
  const bool markerGone = files.DeleteFile(kMarkerFile);

  // The task files and the marker carry the product's own names and do not
  // depend on the installation directory, so they go even when that turns
  // out not to be the product's.  Everything else in it goes only when it is.
  const bool ours = HoldsUninstallProgram(files, m_strInstallDir);
  bool emptied = false;
  if (ours) {
    files.AddExclusion(kUninstallProgram);
    files.AddExclusion(kInstallLog);
    // Emptied: a file whose retry the user cancelled stays, and so does
    // every file of its name.
    emptied = SkippingCancelledFiles(files, [&] { return files.EmptyDirectory(m_strInstallDir); });
  } else {
    CRunRecord::Note("directory: kept " + m_strInstallDir + " (" + kUninstallProgram +
                     " is not in it: not the product's)");
  }
  QueueLeftovers(separateTaskDir ? taskDir : CTrimString(), ours ? &files : nullptr);
  return ours && emptied && markerGone;
}

void CUninstallApp::QueueLeftovers(const CTrimString& taskDir, CFileManagement* emptying) {
  LeftoverQueue leftovers(Os().WindowsDirectory());
  CFileManagementPrompt files;
  if (!taskDir.empty()) {
    CCursorStringList names;
    if (files.ListFilesIfAny(taskDir.JoinPath(kTaskFilePattern), names)) {
      std::string name;
      for (names.Rewind(); names.GetNextString(name);) {
        CTrimString path = taskDir;
        path.StripTrailingBackslashes();
        leftovers.File(path + "\\" + name);
      }
    }
  }
  if (files.IsThere(kMarkerFile)) leftovers.File(kMarkerFile);
  if (emptying != nullptr) {
    CTrimString installDir = m_strInstallDir;
    installDir.StripTrailingBackslashes();
    leftovers.DirectoryContents(installDir, *emptying);
  }
  leftovers.Commit();
  m_nQueuedForRestart = leftovers.Count();
}

}  // namespace kw
