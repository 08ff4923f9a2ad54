// Stage 3: the product's DOS guard, SENTRYX.EXE, is started from DOSSTART.BAT,
// the batch file Windows 95 runs when it restarts in MS-DOS mode.  Its lines
// go, and so do the lines that clear the screen after it; every other line
// is the user's and stays byte for byte.
#include <string>
#include <vector>

#include "app/uninstall_app.h"
#include "components/run_record.h"
#include "components/text_file.h"
#include "platform/platform.h"

namespace kw {
namespace {

constexpr const char* kBatchFileName = "DOSSTART.BAT";
constexpr const char* kGuardProgram = "SENTRYX.EXE";
constexpr const char* kClearScreen = "CLS";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Whether the batch line runs the CLS command: blanks, an optional "@" that
// hides the echo, the word CLS in any case, and then nothing, a blank, or a
// redirection or command separator.  A line that merely holds the letters
// (CALL CLSETUP.BAT, REM CLS) runs something else.
bool RunsClearScreen(const std::string& line) {
  std::size_t at = 0;
  while (at < line.size() && IsBlank(line[at])) ++at;
  if (at < line.size() && line[at] == '@') {
    ++at;
    while (at < line.size() && IsBlank(line[at])) ++at;
  }
  const std::size_t wordLength = std::string(kClearScreen).size();
  if (!EqualsNoCase(line.substr(at, wordLength), kClearScreen)) return false;
  at += wordLength;
  return at == line.size() || IsBlank(line[at]) || std::string("<>|&").find(line[at]) != std::string::npos;
}

}  // namespace

bool CUninstallApp::RemoveStartupBatchEntries() {
  const CTrimString windowsDir = Os().WindowsDirectory();
  const CTrimString batchPath = windowsDir.JoinPath(kBatchFileName);
  CTextFile batchFile;
  // Windows keeps DOSSTART.BAT: missing, with its lines set aside, it is
  // what an interrupted save of ours left, and they go back.
  if (!batchFile.Open(batchPath, true, CTextFile::SetAside::kPutBack)) {
    CRunRecord::Note("DOSSTART.BAT: " + batchPath + " could not be opened");
    return false;
  }

  std::vector<std::string> removed;
  std::string line;
  batchFile.Rewind();
  while (batchFile.FindLine(kGuardProgram, "")) {
    batchFile.GetCurrentLine(line);
    removed.push_back(line);
    batchFile.DeleteCurrentLine();
  }

  // Only the lines that are the command itself: the search narrows the
  // lines down, the test decides.
  batchFile.Rewind();
  while (batchFile.FindLine(kClearScreen, "")) {
    batchFile.GetCurrentLine(line);
    if (RunsClearScreen(line)) {
      removed.push_back(line);
      batchFile.DeleteCurrentLine();
    } else {
      batchFile.SkipLine();
    }
  }

  // Closed here rather than by the destructor, so that a failed rewrite
  // fails the stage; the file then keeps its lines.
  const bool saved = batchFile.Close();
  for (const std::string& gone : removed) {
    CRunRecord::Note("DOSSTART.BAT: " + std::string(saved ? "removed" : "kept, not saved:") +
                     " line \"" + gone + "\"");
  }
  return saved;
}

}  // namespace kw
