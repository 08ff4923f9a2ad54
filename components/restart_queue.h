// CRestartQueue: files (and on Windows NT empty directories) to be deleted
// when Windows next starts, for what is in use now and cannot go before.
//
// Windows NT keeps the list itself: MoveFileExA with no new name.  Windows
// 95 lacks that call; its WININIT.EXE reads the [rename] section of
// WININIT.INI in the Windows directory before Windows starts, and a line
// NUL=<path> there deletes that file.  WININIT.EXE runs before long file
// names exist, so the path is the file's DOS (8.3) name, and it deletes
// files only, never directories.  The section is written through CTextFile,
// with the save that never loses the file: the lines other programs left
// there are their pending work and stay as they are.
//
// Only what Windows finds by the same path when it starts is queued: a
// full path on a local fixed drive.  A relative path would be read from
// wherever the starting system stands, a network drive is not connected
// yet, a removable or RAM disk may hold another disk or nothing.
#ifndef KWUNINST_COMPONENTS_RESTART_QUEUE_H_
#define KWUNINST_COMPONENTS_RESTART_QUEUE_H_

#include <string>
#include <vector>

#include "components/error_info.h"

namespace kw {

class CRestartQueue : public CErrorInfo {
 public:
  CRestartQueue();

  // Whether the system can delete directories when it starts (Windows NT).
  bool TakesDirectories();

  // Whether Windows, as it starts, finds what the path names now: a full
  // path ("C:\...") on a drive that GetDriveTypeA calls fixed.
  bool FoundAtStart(const std::string& path);

  // Queues a file.  On Windows NT the file is first given a name of its
  // own in its directory, its name's stem with the extension .~KD (then
  // .~KD1 to .~KD9 while that is taken), and that name is queued: a file of
  // the old name written before the restart (the product installed again)
  // is then not deleted with it.  Where it cannot be renamed (a program
  // holds it open without letting others rename it), its own name is
  // queued.  *queuedAs is the name queued.  On Windows 95 (where a file in
  // use cannot be renamed) the file is only noted until Commit.  144 with
  // the path when it cannot be queued: not FoundAtStart, without an
  // administrator's rights on NT (a renamed file then gets its name back),
  // without a DOS name on 95.
  bool AddFile(const std::string& path, std::string* queuedAs);

  // Queues a directory on Windows NT, which removes it when it starts if
  // it is empty by then; after the files in it.  144 with the path when it
  // cannot be queued.
  bool AddDirectory(const std::string& path);

  // Writes what Windows 95 is to delete into WININIT.INI; nothing to do on
  // NT.  Windows 95 may hold WININIT.INI in the profile functions' cache,
  // for a program that wrote to it through them, and write that back later
  // over this save: the cache is flushed before the file is read and after
  // it is saved.  A WININIT.INI that is missing is not made up from what
  // an interrupted save set aside: WININIT.EXE consumes the file, and old
  // lines put back would run again.  140 when the file cannot be saved,
  // and then nothing was queued.
  bool Commit();

  // How many entries were queued.
  int GetCount() const { return m_nQueued; }

 private:
  // The file under a name of its own in its directory; empty when it keeps
  // its name.
  static std::string RenamedAside(const std::string& path);

  bool m_bWindowsNT;
  int m_nQueued = 0;
  std::vector<std::string> m_lstDosPaths;  // for WININIT.INI, in order
};

}  // namespace kw

#endif  // KWUNINST_COMPONENTS_RESTART_QUEUE_H_
