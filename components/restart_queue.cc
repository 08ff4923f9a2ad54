#include "components/restart_queue.h"

#include <cstdint>

#include "components/message_catalogue.h"
#include "components/run_record.h"
#include "components/text_file.h"
#include "components/trim_string.h"
#include "platform/platform.h"

namespace kw {
namespace {

constexpr const char* kWininitFile = "WININIT.INI";
constexpr const char* kRenameSection = "rename";
constexpr const char* kDeletion = "NUL=";

// The extensions a file renamed aside takes, in the order tried.
constexpr const char* kAsideExtensions[] = {".~KD",  ".~KD1", ".~KD2", ".~KD3", ".~KD4",
                                            ".~KD5", ".~KD6", ".~KD7", ".~KD8", ".~KD9"};

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Whether the line is a section header, as the profile functions read one
// (and with them Wine's WININIT.INI processing; measured under Wine 8):
// the line, blanks aside, begins with "[" and holds a "]"; the name is what
// lies between the "[" and the last "]", blanks aside.  So "[rename] ;
// pending" and "[ rename ]" are the section rename, "[rename] ; x ]" is not.
bool IsSectionHeader(const std::string& line, std::string* name) {
  const CTrimString text = line;
  const std::string::size_type close = text.rfind(']');
  if (text.empty() || text.front() != '[' || close == std::string::npos) return false;
  *name = CTrimString(text.substr(1, close - 1));
  return true;
}

// Leaves the cursor after the last line of the [rename] section, adding the
// section at the end when there is none.
void GoToEndOfRenameSection(CTextFile& file) {
  file.Rewind();
  std::string line;
  std::string name;
  bool inSection = false;
  while (file.GetCurrentLine(line)) {
    if (IsSectionHeader(line, &name)) {
      if (inSection) return;
      inSection = EqualsNoCase(name, kRenameSection);
    }
    file.SkipLine();
  }
  if (!inSection) file.InsertLine(std::string("[") + kRenameSection + "]");
}

// Whether nothing has the name.
bool IsFree(const std::string& path) {
  std::uint32_t attributes = 0;
  return MeansNothingThere(Os().LookUpEntry(path, &attributes));
}

// The path with the file name's stem and another extension: KWSHEXT.DLL
// gives KWSHEXT.~KD.  A name without an extension, or only one (".profile"),
// keeps all of itself.
std::string WithExtension(const std::string& path, const char* extension) {
  const std::string::size_type nameStart = path.rfind('\\') + 1;
  const std::string::size_type dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > nameStart;
  return (hasExtension ? path.substr(0, dot) : path) + extension;
}

}  // namespace

CRestartQueue::CRestartQueue() : m_bWindowsNT(Os().PlatformId() == kPlatformWin32Nt) {
  LoadTitle(kTitleFileManagement);
}

bool CRestartQueue::TakesDirectories() { return m_bWindowsNT; }

bool CRestartQueue::FoundAtStart(const std::string& path) {
  if (path.size() < 3 || !IsDriveLetter(path[0]) || path[1] != ':' || path[2] != '\\') return false;
  return Os().DriveType(path.substr(0, 3)) == kDriveFixed;
}

std::string CRestartQueue::RenamedAside(const std::string& path) {
  for (const char* extension : kAsideExtensions) {
    const std::string aside = WithExtension(path, extension);
    // A move never replaces a file, yet the look keeps a name that some
    // other entry has (a directory, say) from being tried at all.
    if (IsFree(aside)) return Os().MoveEntry(path, aside) ? aside : std::string();
  }
  return std::string();
}

bool CRestartQueue::AddFile(const std::string& path, std::string* queuedAs) {
  *queuedAs = path;
  if (!FoundAtStart(path)) {
    SetError(kErrNotQueuedForRestart, path);
    return false;
  }
  if (!m_bWindowsNT) {
    const std::string dosPath = Os().ShortPath(path);
    if (dosPath.empty()) {
      SetError(kErrNotQueuedForRestart, path);
      return false;
    }
    m_lstDosPaths.push_back(dosPath);
    ++m_nQueued;
    return true;
  }
  const std::string aside = RenamedAside(path);
  if (!aside.empty()) *queuedAs = aside;
  if (Os().DeleteAtRestart(*queuedAs)) {
    ++m_nQueued;
    return true;
  }
  // Not queued: the file is to stay as it was, under its own name.
  if (!aside.empty() && !Os().MoveEntry(aside, path)) {
    CRunRecord::Note("file: kept " + path + " as " + aside + " (it could not be renamed back)");
  }
  *queuedAs = path;
  SetError(kErrNotQueuedForRestart, path);
  return false;
}

bool CRestartQueue::AddDirectory(const std::string& path) {
  if (!m_bWindowsNT || !FoundAtStart(path) || !Os().DeleteAtRestart(path)) {
    SetError(kErrNotQueuedForRestart, path);
    return false;
  }
  ++m_nQueued;
  return true;
}

bool CRestartQueue::Commit() {
  if (m_lstDosPaths.empty()) return true;
  const CTrimString windowsDir = Os().WindowsDirectory();
  const CTrimString wininitPath = windowsDir.JoinPath(kWininitFile);
  Os().FlushProfileCache(wininitPath);
  CTextFile wininit;
  bool saved = wininit.Open(wininitPath, true, CTextFile::SetAside::kLeave);
  if (saved) {
    GoToEndOfRenameSection(wininit);
    for (const std::string& dosPath : m_lstDosPaths) wininit.InsertLine(kDeletion + dosPath);
    saved = wininit.Close();
  }
  // Whatever the profile functions hold of the file is older than it now.
  Os().FlushProfileCache(wininitPath);
  if (!saved) {
    SetError(kErrSaveFailed, std::string());
    m_nQueued = 0;
  }
  m_lstDosPaths.clear();
  return saved;
}

}  // namespace kw
