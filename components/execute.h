// CExecute: starts other programs and deals with their windows.  It keeps the
// last started process, so that its main thread can be frozen and released
// and its survival tested; and it finds top-level windows by title to close
// them, bring them forward or wait for them.
#ifndef KWUNINST_COMPONENTS_EXECUTE_H_
#define KWUNINST_COMPONENTS_EXECUTE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "components/error_info.h"
#include "components/trim_string.h"
#include "platform/platform.h"

namespace kw {

class CExecute : public CErrorInfo {
 public:
  // How long a close request waits for the window's thread before giving
  // up on it: a program that does not answer must not hang the uninstall.
  static constexpr std::uint32_t kCloseRequestTimeoutMs = 30000;
  // The started processes' current directory.
  static constexpr const char* kDefaultWorkingDir = "C:\\";

  CExecute(const std::string& commandLine, const std::string& windowTitle);

  // Brings the window with that title (or the stored title when empty) to
  // the top.  102 when there is none or the platform refuses; 137 when no
  // title is known at all.
  bool BringWindowToFront(const std::string& windowTitle);

  // Delivers a close request to the window with that title and waits, at
  // most kCloseRequestTimeoutMs, for its thread to handle it.  True whenever
  // the window existed, also when it did not answer or stayed open.  101 when
  // there is no such window; 137 when no title is known.
  bool CloseWindow(const std::string& windowTitle);

  // Returns once no top-level window has that exact title, polling once a
  // second; at once when there is none.  No time limit: the user may take as
  // long as he likes to answer.
  void WaitWhileWindowExists(const std::string& windowTitle);

  // Polls once a second until a window with one of windowTitles exists, a
  // window with one of ownWindowTitles exists that the started process made,
  // or the started process has ended (or none was started).  True when such
  // a window is there.  Lets the caller wait for a question before waiting
  // for its answer, so that a slow program is not taken for one already
  // answered; a title that proves the answer counts only from that program,
  // since any other program may show a window of the same title.
  bool WaitUntilWindowAppears(const std::vector<std::string>& windowTitles,
                              const std::vector<std::string>& ownWindowTitles = {});

  // Starts the command line (or the stored one when empty) in kDefaultWorkingDir,
  // normally or minimised without activation.  Does not wait for it.  103 when
  // the process cannot be created; 138 when no command line is known.
  bool Execute(const std::string& commandLine, bool minimised);

  // The platform's answers: the previous suspend count, or kSuspendFailed
  // (also when no process was started).
  std::uint32_t SuspendMainThread();
  std::uint32_t ResumeMainThread();

  // Whether the started process still runs; false when none was started.
  bool IsProcessAlive();

 private:
  // Whether the window exists and belongs to the started process.
  bool IsStartedProcessWindow(WindowHandle window);
  // The title to use, or empty after recording 137.
  bool ChooseTitle(const std::string& windowTitle, std::string& chosen);

  bool m_bHasProcess = false;
  ProcessInfo m_ProcessInfo;
  std::string m_strCommandLine;
  std::string m_strWindowTitle;
  CTrimString m_strWorkingDir;
};

}  // namespace kw

#endif  // KWUNINST_COMPONENTS_EXECUTE_H_
