#include "components/execute.h"

#include "components/message_catalogue.h"

namespace kw {
namespace {

constexpr std::uint32_t kPollIntervalMs = 1000;

}  // namespace

CExecute::CExecute(const std::string& commandLine, const std::string& windowTitle)
    : m_strCommandLine(commandLine), m_strWindowTitle(windowTitle) {
  LoadTitle(kTitleExecute);
}

bool CExecute::ChooseTitle(const std::string& windowTitle, std::string& chosen) {
  // Titles are used exactly as given: a title of blanks is a title.
  chosen = windowTitle.empty() ? m_strWindowTitle : windowTitle;
  if (chosen.empty()) {
    SetError(kErrNoWindowTitle, std::string());
    return false;
  }
  return true;
}

bool CExecute::BringWindowToFront(const std::string& windowTitle) {
  std::string title;
  if (!ChooseTitle(windowTitle, title)) return false;
  const WindowHandle window = Os().FindTopLevelWindow(title);
  if (!window || !Os().BringToTop(window)) {
    SetError(kErrWindowNotBroughtForward, title);
    return false;
  }
  return true;
}

bool CExecute::CloseWindow(const std::string& windowTitle) {
  std::string title;
  if (!ChooseTitle(windowTitle, title)) return false;
  const WindowHandle window = Os().FindTopLevelWindow(title);
  if (!window) {
    SetError(kErrWindowNotFound, title);
    return false;
  }
  // Whether the window answered in time does not matter to the callers:
  // the request was delivered to a window that existed.
  Os().SendCloseRequest(window, kCloseRequestTimeoutMs);
  return true;
}

void CExecute::WaitWhileWindowExists(const std::string& windowTitle) {
  while (Os().FindTopLevelWindow(windowTitle)) Os().Pause(kPollIntervalMs, false);
}

bool CExecute::IsStartedProcessWindow(WindowHandle window) {
  if (!m_bHasProcess || !window) return false;
  return Os().WindowProcessId(window) == m_ProcessInfo.processId;
}

bool CExecute::WaitUntilWindowAppears(const std::vector<std::string>& windowTitles,
                                      const std::vector<std::string>& ownWindowTitles) {
  for (;;) {
    for (const std::string& title : windowTitles) {
      if (Os().FindTopLevelWindow(title)) return true;
    }
    for (const std::string& title : ownWindowTitles) {
      if (IsStartedProcessWindow(Os().FindTopLevelWindow(title))) return true;
    }
    if (!IsProcessAlive()) return false;
    Os().Pause(kPollIntervalMs, false);
  }
}

bool CExecute::Execute(const std::string& commandLine, bool minimised) {
  // Chosen afresh for every start: the show state is all the start-up
  // information the platform takes from us.
  const ShowState show = minimised ? ShowState::kMinimizedNoActivate : ShowState::kNormal;
  const std::string command = commandLine.empty() ? m_strCommandLine : commandLine;
  if (command.empty()) {
    SetError(kErrNoCommandLine, std::string());
    return false;
  }
  if (m_strWorkingDir.empty()) m_strWorkingDir = kDefaultWorkingDir;
  ProcessInfo started;
  if (!Os().StartProcess(command, m_strWorkingDir, show, &started)) {
    SetError(kErrExecuteFailed, command);
    return false;
  }
  // The handles of a process this replaces stay open: nothing needs them
  // closed before the program ends, and closing them could race a caller
  // that still thinks in terms of the older process.
  m_ProcessInfo = started;
  m_bHasProcess = true;
  return true;
}

std::uint32_t CExecute::SuspendMainThread() {
  if (!m_bHasProcess) return kSuspendFailed;
  return Os().SuspendProcessThread(m_ProcessInfo.thread);
}

std::uint32_t CExecute::ResumeMainThread() {
  if (!m_bHasProcess) return kSuspendFailed;
  return Os().ResumeProcessThread(m_ProcessInfo.thread);
}

bool CExecute::IsProcessAlive() {
  if (!m_bHasProcess) return false;
  return Os().ProcessVersion(m_ProcessInfo.processId) != 0;
}

}  // namespace kw
