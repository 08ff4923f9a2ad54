// CFileManagement: files and directories for the rest of the program.  It
// answers whether a path or pattern finds anything, lists subdirectories or
// files (leaving out the names on its exclusion list), tells whether a file
// is in use, waits for a file to become free within one budget shared by the
// whole program, and deletes single files.
#ifndef KWUNINST_COMPONENTS_FILE_MANAGEMENT_H_
#define KWUNINST_COMPONENTS_FILE_MANAGEMENT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "components/cursor_string_list.h"
#include "components/error_info.h"
#include "platform/platform.h"

namespace kw {

class CFileManagement : public CErrorInfo {
 public:
  CFileManagement();
  virtual ~CFileManagement() = default;

  // Whether the program runs on Windows NT (not Windows 95).
  bool IsWindowsNT();

  // Whether a search for the path or pattern finds an entry other than "."
  // and "..".  A directory written with trailing backslashes is found as
  // that directory; a drive root exists when its drive does.
  bool Exists(const std::string& path);

  // Lists, at the head of the list (so in the reverse of the order found),
  // the subdirectories (or files) that the pattern matches, leaving out "."
  // and "..", excluded names and a repetition of the name added just before.
  // Names are listed exactly as found, blanks at their ends included.
  // 141 (142) with the pattern when nothing was listed.
  bool ListDirectories(const std::string& pattern, CCursorStringList& list);
  bool ListFiles(const std::string& pattern, CCursorStringList& list);
  // ListFiles, but only where Exists(pattern) answers yes: otherwise false,
  // with the list emptied and nothing recorded.  One search does both.
  bool ListFilesIfAny(const std::string& pattern, CCursorStringList& list);

  // True when the file is missing or cannot be opened with sharing denied.
  bool IsBusy(const std::string& path);

  // Deletes a file, clearing its read-only attribute first.  True when it is
  // gone (or was never there); 113 with the path otherwise, also when the
  // deletion was reported but the file is still there, and when no path
  // reaches it (see IsThere).
  bool DeleteFile(const std::string& path);

  // Waits in one-second pauses until the file is free.  A non-zero budget
  // starts a new count; 0 goes on with the count of the calls before, so a
  // series that starts with 30 shares 31 pauses in all.  114 when spent.
  bool WaitUntilFree(const std::string& path, std::int32_t seconds);

  // A name on the list is left out wherever it is found; a path (a text
  // with a backslash) leaves out that one file or directory only.
  void AddExclusion(const std::string& nameOrPath);
  bool IsExcluded(const std::string& nameOrPath);

  // Whether the entry is there, for a path that a listing gave or a
  // deletion was meant for.  Only "not found" counts as gone: a look that
  // fails for any other reason (a path too long for the ANSI calls) leaves
  // the entry there.  A name that no path reaches is looked for in its
  // directory's listing.
  bool IsThere(const std::string& path);

  // Whether the ANSI file calls, given the path, reach the entry it names
  // rather than another or none: not when a name on the way ends in a dot,
  // or the last one in a dot or a blank.  Such an entry is never handed to
  // a call that removes: it would remove another.
  static bool ReachesItself(const std::string& path);

  // The program starts with no budget set; tests that play several program
  // runs in one process start each from there.
  static void ResetWaitBudgetForTesting();

 protected:
  // Deletes the file; true only when it is then gone.  Records nothing.
  bool RemoveFileForGood(const std::string& path);

  // One search of a pattern, sorted out as the listings sort it: the
  // subdirectories and the files that ListDirectories and ListFiles would
  // list, in the order found.
  struct SearchResult {
    std::vector<FindEntry> directories;
    std::vector<FindEntry> files;
    bool anyEntry = false;  // what Exists(pattern) answers
    bool looked = true;     // false: the search could not look at all
  };
  // Records nothing.
  void Search(const std::string& pattern, SearchResult& result);
  // The files of a search as ListFilesIfAny gives them.
  bool TakeFilesIfAny(const SearchResult& result, const std::string& pattern,
                      CCursorStringList& list);

  CCursorStringList m_lstExclusions;

 private:
  bool List(const std::string& pattern, CCursorStringList& list, bool directories);
  // IsThere for a name that no path reaches.
  bool IsListed(const std::string& path);

  // One waiting budget for the whole program, shared by every object.
  static bool s_bBudgetSet;
  static std::int32_t s_nBudget;
  static std::int32_t s_nElapsed;
};

}  // namespace kw

#endif  // KWUNINST_COMPONENTS_FILE_MANAGEMENT_H_
