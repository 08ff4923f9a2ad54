#include "components/file_management.h"

#include "components/message_catalogue.h"
#include "components/run_record.h"
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

bool EndsIn(const std::string& text, const char* characters) {
  return !text.empty() && std::string(characters).find(text.back()) != std::string::npos;
}

}  // namespace

bool CFileManagement::s_bBudgetSet = false;
std::int32_t CFileManagement::s_nBudget = 0;
std::int32_t CFileManagement::s_nElapsed = 0;

CFileManagement::CFileManagement() { LoadTitle(kTitleFileManagement); }

void CFileManagement::ResetWaitBudgetForTesting() {
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
    if (IsDriveRoot(searched)) {
      std::uint32_t attributes = 0;
      return Os().LookUpEntry(searched + "\\", &attributes) == kErrorSuccess &&
             (attributes & kFileAttributeDirectory) != 0;
    }
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

void CFileManagement::Search(const std::string& pattern, SearchResult& result) {
  result = SearchResult();
  // The directory part as searched, to tell an excluded path from its name.
  const std::string directory = pattern.substr(0, pattern.rfind('\\') + 1);
  // A repetition is looked for among the names of the same kind only.
  std::string lastDirectory;
  std::string lastFile;
  ScopedFind search;
  FindEntry entry;
  if (!search.First(pattern, &entry)) {
    result.looked = search.FoundNothing();
    return;
  }
  do {
    // Exactly as found: a name may begin with a blank, and the trimmed
    // name would be another entry's, or nobody's.
    if (IsSelfOrParent(entry.name)) continue;
    result.anyEntry = true;
    const bool isDirectory = entry.IsDirectory();
    std::string& last = isDirectory ? lastDirectory : lastFile;
    if (EqualsNoCase(entry.name, last) || IsExcluded(entry.name) ||
        IsExcluded(directory + entry.name)) {
      continue;
    }
    last = entry.name;
    (isDirectory ? result.directories : result.files).push_back(entry);
  } while (search.Next(&entry));
}

bool CFileManagement::List(const std::string& pattern, CCursorStringList& list, bool directories) {
  SearchResult result;
  Search(pattern, result);
  list.Clear();
  for (const FindEntry& entry : directories ? result.directories : result.files) {
    list.AddHead(entry.name);
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

bool CFileManagement::ListFilesIfAny(const std::string& pattern, CCursorStringList& list) {
  if (!pattern.empty() && pattern.back() == '\\') {
    // Exists answers such a path by its own rule for directories, which the
    // listing's search cannot follow.
    list.Clear();
    if (!Exists(pattern)) return false;
    ListFiles(pattern, list);
    return true;
  }
  SearchResult result;
  Search(pattern, result);
  return TakeFilesIfAny(result, pattern, list);
}

bool CFileManagement::TakeFilesIfAny(const SearchResult& result, const std::string& pattern,
                                     CCursorStringList& list) {
  list.Clear();
  if (!result.anyEntry) return false;
  for (const FindEntry& file : result.files) list.AddHead(file.name);
  if (list.IsEmpty()) SetError(kErrNoFiles, pattern);
  return true;
}

bool CFileManagement::IsBusy(const std::string& path) {
  if (!Exists(path)) return true;
  ScopedFile file;
  return !file.Open(path, FileOpenMode::kReadExisting);
}

bool CFileManagement::RemoveFileForGood(const std::string& path) {
  // A deletion reported done is believed only once the file cannot be
  // found: a resident guard or a synchronising tool may put it straight back.
  return ReachesItself(path) && Os().RemoveFile(path) && !IsThere(path);
}

bool CFileManagement::ReachesItself(const std::string& path) {
  // The ANSI calls drop the dots at the end of every name on the way and
  // the blanks at the end of the last one: "DATA." would be read as "DATA",
  // another file or none.
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type end = path.find('\\', start);
    const std::string name = path.substr(start, end - start);
    const bool last = end == std::string::npos;
    if (!IsSelfOrParent(name) && EndsIn(name, last ? ". " : ".")) return false;
    if (last) return true;
    start = end + 1;
  }
}

bool CFileManagement::IsThere(const std::string& path) {
  // A path that names one entry is looked at by its name: a search, as
  // Exists makes, costs several calls for every file deleted.  Patterns,
  // paths that end in a backslash, "." and ".." keep Exists's own rules.
  const std::string::size_type lastBackslash = path.rfind('\\');
  const std::string name = lastBackslash == std::string::npos ? path : path.substr(lastBackslash + 1);
  if (name.empty() || IsSelfOrParent(name) || path.find_first_of("*?") != std::string::npos) {
    return Exists(path);
  }
  if (!ReachesItself(path)) return IsListed(path);
  std::uint32_t attributes = 0;
  return !MeansNothingThere(Os().LookUpEntry(path, &attributes));
}

bool CFileManagement::IsListed(const std::string& path) {
  // A name that no path reaches is seen only in its directory's listing.
  const std::string::size_type lastBackslash = path.rfind('\\');
  const std::string directory = lastBackslash == std::string::npos ? "" : path.substr(0, lastBackslash);
  const std::string name = path.substr(lastBackslash + 1);
  ScopedFind search;
  FindEntry entry;
  if (!search.First(directory.empty() ? "*" : directory + "\\*", &entry)) {
    // Only a directory that is reached and not there holds nothing.
    return !(search.FoundNothing() && ReachesItself(directory));
  }
  do {
    if (EqualsNoCase(entry.name, name)) return true;
  } while (search.Next(&entry));
  return false;
}

bool CFileManagement::DeleteFile(const std::string& path) {
  if (!IsThere(path)) return true;
  if (ReachesItself(path)) Os().ClearReadOnly(path);
  if (RemoveFileForGood(path)) {
    CRunRecord::Note("file: removed " + path);
    return true;
  }
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
