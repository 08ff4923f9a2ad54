#include "components/file_management_prompt.h"

#include "components/cursor_string_list.h"
#include "components/message_catalogue.h"
#include "components/run_record.h"
#include "platform/scoped_handles.h"

namespace kw {
namespace {

// The directory given to the outermost EmptyDirectory is level 1; levels
// down to 7 are emptied.
constexpr std::int32_t kMaxDepth = 7;

// Retry and Cancel, the error icon, and above the status window, which is
// itself always on top.
constexpr std::uint32_t kPromptStyle = kMbRetryCancel | kMbIconError | kMbTopmost;

// A listed name's path, the name joined exactly as listed: JoinPath would
// trim a name that begins with a blank into another entry's name.  A pattern
// without a directory part was searched in the current directory, so its
// names are used as they are: joining them to the empty text would put them
// in the root of the current drive.
std::string PathInDirectory(const CTrimString& directory, const std::string& name) {
  if (directory.empty()) return name;
  std::string path = directory;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path + "\\" + name;
}

}  // namespace

std::int32_t CFileManagementPrompt::s_nDepth = 0;

CFileManagementPrompt::CFileManagementPrompt() : m_nMaxDepth(kMaxDepth) {
  LoadTitle(kTitleFileManagementPrompt);
}

bool CFileManagementPrompt::DeleteFiles(const std::string& pattern) {
  CCursorStringList names;
  // Nothing found at all: nothing to do.  Found, but nothing listed (only
  // directories, or only excluded names), leaves 142 recorded and nothing
  // to delete.
  if (!ListFilesIfAny(pattern, names)) return true;
  return DeleteListed(pattern, names, Confirm::kBySearch);
}

bool CFileManagementPrompt::DeleteListed(const std::string& pattern, CCursorStringList& names,
                                         Confirm confirm) {
  CTrimString directory;
  CTrimString(pattern).GetDirectoryPart(directory);
  names.Rewind();
  std::string name;
  while (names.GetNextString(name)) {
    // The read-only mark is left as it is: whoever set it wanted the file
    // kept, so the user decides through the prompt.
    if (!DeleteAsking(PathInDirectory(directory, name), false)) return false;
  }
  return confirm == Confirm::kByRemoval || DeleteStillThere(pattern);
}

bool CFileManagementPrompt::DeleteAsking(const std::string& path, bool lookAfterwards) {
  // A file that no path reaches is never deleted through one: the call
  // would delete another.  It is asked about like any file that will not go.
  const bool reached = ReachesItself(path);
  while (!(reached && (lookAfterwards ? RemoveFileForGood(path) : Os().RemoveFile(path)))) {
    // Listed a while ago, it may have gone since, which is all a deletion
    // is for: asking the user about a file that is not there would only
    // puzzle them.
    if (!IsThere(path)) {
      CRunRecord::Note("file: gone before its deletion " + path);
      return true;
    }
    if (!PromptRetry(kErrFileNotDeleted, path)) {
      SetError(kErrFileNotDeleted, path);
      return false;
    }
  }
  CRunRecord::Note("file: removed " + path);
  return true;
}

bool CFileManagementPrompt::DeleteStillThere(const std::string& pattern) {
  // Whatever the search finds was deleted just before (or has appeared
  // since, and is the directory's to lose as well): from here on each
  // deletion is looked for at once, so that a file that keeps coming back
  // is asked about until the user cancels.
  SearchResult found;
  Search(pattern, found);
  CTrimString directory;
  CTrimString(pattern).GetDirectoryPart(directory);
  for (const FindEntry& file : found.files) {
    if (!DeleteAsking(PathInDirectory(directory, file.name), true)) return false;
  }
  return true;
}

bool CFileManagementPrompt::EmptyDirectory(const std::string& directory) {
  if (!Exists(directory)) return true;
  // The directory stays, so nothing will prove its files gone but a look.
  return EmptyExisting(directory, Confirm::kBySearch);
}

bool CFileManagementPrompt::EmptyExisting(const std::string& directory, Confirm confirm) {
  // The depth is raised and lowered around the whole call, so that it is 0
  // again after every outermost call, whichever way it ends.
  ++s_nDepth;
  bool emptied = false;
  if (s_nDepth > m_nMaxDepth) {
    SetError(kErrTooDeep, std::string());
  } else {
    emptied = EmptyLevel(directory, confirm);
  }
  --s_nDepth;
  return emptied;
}

bool CFileManagementPrompt::EmptyLevel(const CTrimString& directory, Confirm confirm) {
  const CTrimString everything = directory.JoinPath("*.*");
  // One search serves as the listing of the subdirectories and, where there
  // are none, of the files too: nothing has happened in between that a
  // second search could see.
  SearchResult found;
  Search(everything, found);
  if (!found.looked) {
    // Too long a path to list.  A directory that is removed next fails
    // there, and the user is asked about it; one that stays can only say
    // so here.
    if (confirm == Confirm::kByRemoval) return true;
    SetError(kErrNoFiles, everything);
    return false;
  }
  if (found.directories.empty()) {
    // No subdirectory leaves 141 recorded and nothing to remove.
    SetError(kErrNoDirectories, everything);
    CCursorStringList names;
    if (!TakeFilesIfAny(found, everything, names)) return true;
    return DeleteListed(everything, names, confirm);
  }
  // Last found first, as the listings give them.
  for (auto subdirectory = found.directories.rbegin(); subdirectory != found.directories.rend();
       ++subdirectory) {
    // The first failure stops the whole emptying: its error is the one the
    // caller reads, and nothing after it is touched.
    if (!RemoveFoundTree(PathInDirectory(directory, subdirectory->name), *subdirectory)) {
      return false;
    }
  }
  // The files are those the search found: listing them again would cost as
  // much as all the listings of the subdirectories.  Removing those took
  // time, and perhaps the user's answers to prompts; a file that has gone
  // since counts as deleted, and one that has appeared is found by the look
  // that confirms the deletions.
  CCursorStringList names;
  for (const FindEntry& file : found.files) names.AddHead(file.name);
  return DeleteListed(everything, names, confirm);
}

bool CFileManagementPrompt::RemoveTree(const std::string& directory) {
  if (!Exists(directory)) return true;
  // A link shows another directory's contents, which are not this tree's to
  // remove, wherever they lie: the link goes, its target stays untouched.
  if (IsDirectoryLink(directory)) return RemoveDirectory(directory);
  if (!ReachesItself(directory)) return AskUntilRemoved(directory);
  if (!EmptyDirectory(directory)) return false;
  // Emptied, it can still hold what is to stay: an excluded name (the
  // uninstall program, its log, a file whose retry the user cancelled).
  // Then the directory stays with it.  Its removal could only fail, Retry
  // after Retry, and the Cancel that ends it would leave the rest of the
  // emptying undone.
  if (KeepsForExcluded(directory)) return true;
  return RemoveDirectory(directory);
}

bool CFileManagementPrompt::RemoveFoundTree(const std::string& directory, const FindEntry& entry) {
  // As RemoveTree, the search's entry standing in for its looks at the
  // directory: it is there, and the entry tells whether it is a link.
  if (entry.IsReparsePoint()) return RemoveDirectory(directory);
  // Neither what is in it nor the directory itself can be reached by name:
  // the user is asked, as about any directory that will not go.
  if (!ReachesItself(directory)) return AskUntilRemoved(directory);
  if (!EmptyExisting(directory, Confirm::kByRemoval)) return false;
  // Emptied, it normally goes at once, which proves every deletion in it
  // done; only one that will not go is looked into.  A file that came back
  // is deleted again; then the directory stays, as in RemoveTree, while it
  // holds what is to stay.
  if (RemoveEmpty(directory)) return true;
  const CTrimString everything = CTrimString(directory).JoinPath("*.*");
  if (!DeleteStillThere(everything)) return false;
  if (RemoveEmpty(directory)) return true;
  if (KeepsForExcluded(directory)) return true;
  return AskUntilRemoved(directory);
}

bool CFileManagementPrompt::KeepsForExcluded(const std::string& directory) {
  // Kept without a word only on the evidence of a listing: anything else
  // in it, or a listing that cannot be made, is asked about.
  CTrimString path = directory;
  path.StripTrailingBackslashes();
  SearchResult found;
  Search(path.JoinPath("*.*"), found);
  if (!found.looked || !found.anyEntry || !found.directories.empty() || !found.files.empty()) {
    return false;
  }
  // Left out from now on, like what it holds, so that the directory above
  // it is kept too.
  AddExclusion(path);
  CRunRecord::Note("directory: kept " + path + " (it holds what is kept)");
  return true;
}

bool CFileManagementPrompt::RemoveDirectory(const std::string& directory) {
  // Removed at once: the callers have just emptied it or seen it.
  if (ReachesItself(directory) && RemoveEmpty(directory)) return true;
  return AskUntilRemoved(directory);
}

bool CFileManagementPrompt::RemoveEmpty(const std::string& directory) {
  if (!Os().RemoveEmptyDirectory(directory)) return false;
  CTrimString removed = directory;
  removed.StripTrailingBackslashes();
  CRunRecord::Note("directory: removed " + removed);
  return true;
}

bool CFileManagementPrompt::AskUntilRemoved(const std::string& directory) {
  // Only a removal that failed asks whether the directory was there at all,
  // since one that is gone counts as removed.  A directory that no path
  // reaches is never removed through one; a Retry looks again whether
  // somebody else removed it.
  const bool reached = ReachesItself(directory);
  while (IsThere(directory)) {
    if (!PromptRetry(kErrDirectoryNotRemoved, directory)) {
      SetError(kErrDirectoryNotRemoved, directory);
      CRunRecord::Note("directory: kept " + directory + " (cancelled)");
      return false;
    }
    if (reached && RemoveEmpty(directory)) return true;
  }
  return true;
}

bool CFileManagementPrompt::PromptRetry(std::int32_t messageId, const std::string& argument) {
  const std::string message = LoadMessage(static_cast<unsigned>(messageId));
  const std::string text = message.find("%s") != std::string::npos
                               ? FormatMessageText(message, argument)
                               : message + "\n\n" + argument;
  const int answer = Os().ShowMessageBox(WindowHandle{}, text, m_strTitle, kPromptStyle);
  CRunRecord::NoteBox(m_strTitle, text, answer);
  // Only Retry tries again.  A box that could not be shown (0) was answered
  // by nobody; taking it for Retry would spin the caller's loop for ever.
  if (answer == kIdRetry) return true;
  SetError(kErrUserAborted, std::string());
  return false;
}

bool CFileManagementPrompt::IsDirectoryLink(const std::string& path) {
  // The search reports an entry itself, not what it points to; it finds
  // nothing for a path that ends in a backslash.
  CTrimString entryPath = path;
  entryPath.StripTrailingBackslashes();
  ScopedFind search;
  FindEntry entry;
  return search.First(entryPath, &entry) && entry.IsReparsePoint();
}

}  // namespace kw
