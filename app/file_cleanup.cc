// The fourth clean-up stage: what the product created outside its install
// log.  The agent's task files, the marker file in the root of drive C:, and
// whatever is left in the installation directory, except the product's
// uninstall program and the install log that the frozen setup-log
// uninstaller still has to read.

#include <cstdint>
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

// The agent's task files, and their directory once nothing else is in it.
// Leftovers here harm nothing, so they do not fail the stage; the user has
// been asked about each task file that would not go.
void RemoveTaskFiles(CFileManagementPrompt& files, const CTrimString& taskDir) {
  files.DeleteFiles(taskDir.JoinPath(kTaskFilePattern));
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

// Empties the installation directory.  A file whose retry the user cancelled
// stays: its name joins the exclusions (in every subdirectory) and the
// emptying starts over, so each pass either finishes or skips one more name.
bool EmptyInstallDir(CFileManagementPrompt& files, const CTrimString& installDir) {
  while (!files.EmptyDirectory(installDir)) {
    std::int32_t code = 0;
    std::string argument;
    files.GetError(code, argument);
    if (code != kErrFileNotDeleted) return false;
    CTrimString name;
    CTrimString(argument).GetFileNamePart(name);
    // An excluded name is never listed, so it cannot fail again; should it,
    // starting over would never end.
    if (name.empty() || files.IsExcluded(name)) return false;
    files.AddExclusion(name);
  }
  return true;
}

}  // namespace

bool CUninstallApp::RemoveProductFiles(const CTrimString& taskDir) {
  CFileManagementPrompt files;
  // No task directory was read: an empty one would make the patterns name
  // the root of the current drive.  One equal to the installation directory
  // is emptied with it below.
  if (!taskDir.empty() && taskDir != m_strInstallDir) RemoveTaskFiles(files, taskDir);
  files.DeleteFile(kMarkerFile);

  // The task files and the marker carry the product's own names and do not
  // depend on the installation directory, so they go even when that turns
  // out not to be the product's.  Everything else in it goes only when it is.
  if (!HoldsUninstallProgram(files, m_strInstallDir)) return false;
  files.AddExclusion(kUninstallProgram);
  files.AddExclusion(kInstallLog);
  return EmptyInstallDir(files, m_strInstallDir);
}

}  // namespace kw
