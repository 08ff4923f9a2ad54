#include "components/restart_queue.h"

#include "components/message_catalogue.h"
#include "components/text_file.h"
#include "components/trim_string.h"
#include "platform/platform.h"

namespace kw {
namespace {

constexpr const char* kWininitFile = "WININIT.INI";
constexpr const char* kRenameSection = "[rename]";
constexpr const char* kDeletion = "NUL=";

bool IsSectionHeader(const std::string& line) {
  const CTrimString text = line;
  return !text.empty() && text.front() == '[';
}

// Leaves the cursor after the last line of the [rename] section, adding the
// section at the end when there is none.
void GoToEndOfRenameSection(CTextFile& file) {
  file.Rewind();
  std::string line;
  bool inSection = false;
  while (file.GetCurrentLine(line)) {
    if (inSection && IsSectionHeader(line)) return;
    if (EqualsNoCase(CTrimString(line), kRenameSection)) inSection = true;
    file.SkipLine();
  }
  if (!inSection) file.InsertLine(kRenameSection);
}

}  // namespace

CRestartQueue::CRestartQueue() : m_bWindowsNT(Os().PlatformId() == kPlatformWin32Nt) {
  LoadTitle(kTitleFileManagement);
}

bool CRestartQueue::TakesDirectories() { return m_bWindowsNT; }

bool CRestartQueue::Add(const std::string& path) {
  if (m_bWindowsNT) {
    if (!Os().DeleteAtRestart(path)) {
      SetError(kErrNotQueuedForRestart, path);
      return false;
    }
  } else {
    const std::string dosPath = Os().ShortPath(path);
    if (dosPath.empty()) {
      SetError(kErrNotQueuedForRestart, path);
      return false;
    }
    m_lstDosPaths.push_back(dosPath);
  }
  ++m_nQueued;
  return true;
}

bool CRestartQueue::Commit() {
  if (m_lstDosPaths.empty()) return true;
  const CTrimString windowsDir = Os().WindowsDirectory();
  CTextFile wininit;
  bool saved = wininit.Open(windowsDir.JoinPath(kWininitFile), true);
  if (saved) {
    GoToEndOfRenameSection(wininit);
    for (const std::string& dosPath : m_lstDosPaths) wininit.InsertLine(kDeletion + dosPath);
    saved = wininit.Close();
  }
  if (!saved) {
    SetError(kErrSaveFailed, std::string());
    m_nQueued = 0;
  }
  m_lstDosPaths.clear();
  return saved;
}

}  // namespace kw
