// CFileManagementPrompt: the file component that removes whole directory
// trees and, unlike every other component, talks to the user: when a file
// cannot be deleted or a directory cannot be removed, it asks Retry or
// Cancel and tries again for as long as the answer is Retry.  The file
// clean-up uses it to delete the task files and to empty the installation
// directory; a Cancel there leaves that one file in place.
#ifndef KWUNINST_COMPONENTS_FILE_MANAGEMENT_PROMPT_H_
#define KWUNINST_COMPONENTS_FILE_MANAGEMENT_PROMPT_H_

#include <cstdint>
#include <string>

#include "components/file_management.h"
#include "components/trim_string.h"

namespace kw {

class CFileManagementPrompt : public CFileManagement {
 public:
  CFileManagementPrompt();

  // Deletes the files that the pattern (a directory part and a file pattern)
  // matches, leaving out excluded names; a read-only file is not made
  // writable first, and a file still there after its deletion was not
  // deleted.  True unless the user cancelled a deletion: then 113 with that
  // file's path, and the files not yet reached are left.
  bool DeleteFiles(const std::string& pattern);

  // Removes everything inside the directory except excluded names (and what
  // lies inside excluded directories), subdirectories first, depth first;
  // the directory itself stays.  A directory link inside is removed as a
  // link, never entered.  Fails with 122 when a directory lies more than
  // six levels below the outermost one, or with the error of the first
  // nested failure (113, 123); what was not reached by then is left.
  bool EmptyDirectory(const std::string& directory);

  // EmptyDirectory, then removes the directory itself, unless it still
  // holds excluded names: then it stays, and that is no failure.  A
  // directory link is removed as it stands and its target is left untouched.
  bool RemoveTree(const std::string& directory);

  // Removes an empty directory (or a directory link), asking Retry or Cancel
  // while it fails.  Cancel: false with 123 and the directory.
  bool RemoveDirectory(const std::string& directory);

  // The Retry/Cancel box for a catalogue message and its argument.  True for
  // Retry.  Cancel, and a box that could not be shown at all, give false
  // with 124.
  bool PromptRetry(std::int32_t messageId, const std::string& argument);

  // How many EmptyDirectory calls are running now, over every object.
  static std::int32_t CurrentDepthForTesting() { return s_nDepth; }

 private:
  // How the deletions in one directory are confirmed.  A deletion reported
  // done is believed only once the file cannot be found, since a resident
  // guard may put the file straight back; but looking for each file costs
  // nearly as much as deleting it, so a directory is looked at once, after
  // all its deletions.
  enum class Confirm {
    kBySearch,   // one search of the pattern afterwards
    kByRemoval,  // the caller removes the directory next: that proves it empty
  };

  // EmptyDirectory on a directory just found to be there.
  bool EmptyExisting(const std::string& directory, Confirm confirm);
  bool EmptyLevel(const CTrimString& directory, Confirm confirm);
  // Deletes the listed names of the pattern's directory, as DeleteFiles does.
  bool DeleteListed(const std::string& pattern, CCursorStringList& names, Confirm confirm);
  // Deletes one file, asking Retry or Cancel while it fails; with
  // lookAfterwards a file still found after its deletion has failed too.
  bool DeleteAsking(const std::string& path, bool lookAfterwards);
  // Deletes again, each deletion then looked for, the files that a search of
  // the pattern still finds once they were deleted.
  bool DeleteStillThere(const std::string& pattern);
  // RemoveTree on a directory that a search has just found: what the search
  // told of it (there, and whether a link) stands in for RemoveTree's look.
  bool RemoveFoundTree(const std::string& directory, const FindEntry& entry);
  // RemoveDirectory once its first removal has failed.
  bool AskUntilRemoved(const std::string& directory);
  // RemoveDirectoryA, and a line in the record when it worked.
  bool RemoveEmpty(const std::string& directory);
  // Whether a listing of the directory shows entries, every one of them
  // excluded: then the directory is kept without asking, and excluded too.
  bool KeepsForExcluded(const std::string& directory);
  // Whether the path names a reparse point (junction, symbolic link, mount
  // point) rather than a directory of its own.
  bool IsDirectoryLink(const std::string& path);

  std::int32_t m_nMaxDepth;

  // One recursion depth for the whole program, shared by every object.
  static std::int32_t s_nDepth;
};

}  // namespace kw

#endif  // KWUNINST_COMPONENTS_FILE_MANAGEMENT_PROMPT_H_
