#include "components/file_management.h"

#include "components/message_catalogue.h"
#include "components/trim_string.h"
#include "platform/scoped_handles.h"

namespace kw {
namespace {

constexpr std::uint32_t kWaitPauseMs = 1000;

bool IsSelfOrParent(const std::string& name) { return name == "." || name == ".."; }

bool IsDriveRoot(const std::string& path) {
  // "C:" once its backslashes are gone.
  return path.size() == 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

}  // namespace

bool CFileManagement::s_bBudgetSet = false;
std::int32_t CFileManagement::s_nBudget = 0;
std::int32_t CFileManagement::s_nElapsed = 0;

CFileManagement::CFileManagement() { LoadTitle(kTitleFileManagement); }

void CFileManagement::ResetWaitBudget() {
  s_bBudgetSet = false;
  s_nBudget = 0;
  s_nElapsed = 0;
}

bool CFileManagement::IsWindowsNT() { return Os().PlatformId() == kPlatformWin32Nt; }

bool CFileManagement::Exists(const std::string& path) {
  std::string searched = path;
  if (!searched.empty() && searched.back() == '\\') {
    // A directory search never reports a path that ends in a backslash, yet
    // the installation directory is written that way: look for the
    // directory itself.
    while (!searched.empty() && searched.back() == '\\') searched.pop_back();
    if (IsDriveRoot(searched)) return Os().IsExistingDirectory(searched + "\\");
    if (searched.empty()) return false;
  }
  ScopedFind search;
  FindEntry entry;
  if (!search.First(searched, &entry)) return false;
  do {
    // Only the two entries every directory lists for itself and its parent
    // are nothing.  A name of its own may begin with a dot (".profile"), and
    // a directory of that name skipped here would be left, full, by the
    // emptying that asks this first.
    if (!IsSelfOrParent(entry.name)) return true;
  } while (search.Next(&entry));
  return false;
}

bool CFileManagement::List(const std::string& pattern, CCursorStringList& list, bool directories) {
  list.Clear();
  // The directory part as searched, to tell an excluded path from its name.
  const std::string directory = pattern.substr(0, pattern.rfind('\\') + 1);
  std::string addedLast;
  ScopedFind search;
  FindEntry entry;
  if (search.First(pattern, &entry)) {
    do {
      // Exactly as found: a name may begin with a blank, and the trimmed
      // name would be another entry's, or nobody's.
      const std::string& name = entry.name;
      if (directories) {
        if (IsSelfOrParent(name) || !entry.IsDirectory()) continue;
      } else if (entry.IsDirectory()) {
        continue;
      }
      if (EqualsNoCase(name, addedLast) || IsExcluded(name) || IsExcluded(directory + name)) {
        continue;
      }
      list.AddHead(name);
      addedLast = name;
    } while (search.Next(&entry));
  }
  if (list.IsEmpty()) {
    SetError(directories ? kErrNoDirectories : kErrNoFiles, pattern);
    return false;
  }
  return true;
}

bool CFileManagement::ListDirectories(const std::string& pattern, CCursorStringList& list) {
  return List(pattern, list, true);
}

bool CFileManagement::ListFiles(const std::string& pattern, CCursorStringList& list) {
  return List(pattern, list, false);
}

bool CFileManagement::IsBusy(const std::string& path) {
  if (!Exists(path)) return true;
  ScopedFile file;
  return !file.Open(path, FileOpenMode::kReadExisting);
}

bool CFileManagement::RemoveFileForGood(const std::string& path) {
  // A deletion reported done is believed only once the file cannot be
  // found: a resident guard or a synchronising tool may put it straight back.
  return Os().RemoveFile(path) && !Exists(path);
}

bool CFileManagement::DeleteFile(const std::string& path) {
  if (!Exists(path)) return true;
  Os().ClearReadOnly(path);
  if (RemoveFileForGood(path)) return true;
  SetError(kErrFileNotDeleted, path);
  return false;
}

bool CFileManagement::WaitUntilFree(const std::string& path, std::int32_t seconds) {
  if (!s_bBudgetSet) {
    s_bBudgetSet = true;
    s_nBudget = seconds;
  }
  if (seconds != 0) {
    s_nElapsed = 0;
    s_nBudget = seconds;
  }
  while (IsBusy(path)) {
    if (s_nElapsed > s_nBudget) {
      SetError(kErrTimeExceeded, std::string());
      return false;
    }
    ++s_nElapsed;
    Os().Pause(kWaitPauseMs, true);
  }
  return true;
}

void CFileManagement::AddExclusion(const std::string& nameOrPath) {
  m_lstExclusions.AddHead(nameOrPath);
}

bool CFileManagement::IsExcluded(const std::string& nameOrPath) {
  m_lstExclusions.Rewind();
  std::string excluded;
  while (m_lstExclusions.GetNextString(excluded)) {
    if (EqualsNoCase(excluded, nameOrPath)) return true;
  }
  return false;
}

}  // namespace kw
