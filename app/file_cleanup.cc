// The fourth clean-up stage: what the product created outside its install
// log.  The agent's task files, the marker file in the root of drive C:, and
// whatever is left in the installation directory, except the product's
// uninstall program and the install log that the frozen setup-log
// uninstaller still has to read.

#include <cstdint>
#include <functional>
#include <string>

#include "app/uninstall_app.h"
#include "components/cursor_string_list.h"
#include "components/file_management_prompt.h"
#include "components/message_catalogue.h"

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

}  // namespace

bool CUninstallApp::RemoveProductFiles(const CTrimString& taskDir) {
  // No task directory was read: an empty one would make the patterns name
  // the root of the current drive.  One equal to the installation directory
  // is emptied with it below.
  if (!taskDir.empty() && taskDir != m_strInstallDir) RemoveTaskFiles(taskDir);
  // Nobody is asked about the marker, so a marker left fails the stage: its
  // failure message is the only word the user gets of it.
  CFileManagementPrompt files;
  const bool markerGone = files.DeleteFile(kMarkerFile);

  // The task files and the marker carry the product's own names and do not
  // depend on the installation directory, so they go even when that turns
  // out not to be the product's.  Everything else in it goes only when it is.
  if (!HoldsUninstallProgram(files, m_strInstallDir)) return false;
  files.AddExclusion(kUninstallProgram);
  files.AddExclusion(kInstallLog);
  // Emptied: a file whose retry the user cancelled stays, and so does every
  // file of its name.
  const bool emptied =
      SkippingCancelledFiles(files, [&] { return files.EmptyDirectory(m_strInstallDir); });
  return emptied && markerGone;
}

}  // namespace kw
