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

  // Queues a file, or on Windows NT a directory after its contents.  On
  // Windows 95 the file is only noted until Commit.  144 with the path when
  // it cannot be queued: without an administrator's rights on NT, without a
  // DOS name on 95.
  bool Add(const std::string& path);

  // Writes what Windows 95 is to delete into WININIT.INI; nothing to do on
  // NT.  140 when the file cannot be saved, and then nothing was queued.
  bool Commit();

  // How many entries Add took.
  int GetCount() const { return m_nQueued; }

 private:
  bool m_bWindowsNT;
  int m_nQueued = 0;
  std::vector<std::string> m_lstDosPaths;  // for WININIT.INI, in order
};

}  // namespace kw

#endif  // KWUNINST_COMPONENTS_RESTART_QUEUE_H_
