#include "started_process.h"

#include <vector>

namespace boxanswer {

namespace {

// A relative program path is looked up from `cwd`, which is what a test
// writer expects, so we briefly switch our own current directory
// (CreateProcess searches ours, not the child's).
bool CreateInDirectory(const std::string& commandLine, const std::string& cwd,
                       PROCESS_INFORMATION* process, std::string* error) {
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  char saved[MAX_PATH * 4] = {};
  const bool switchDir = !cwd.empty();
  if (switchDir) {
    GetCurrentDirectoryA(sizeof(saved), saved);
    if (!SetCurrentDirectoryA(cwd.c_str())) {
      *error = "cannot enter directory " + cwd + ", error " + std::to_string(GetLastError());
      return false;
    }
  }
  // No handle inheritance: the program under test must not keep our
  // stdout pipe open after we exit.
  const BOOL ok = CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0,
                                 nullptr, switchDir ? cwd.c_str() : nullptr, &startup, process);
  const DWORD lastError = GetLastError();
  if (switchDir) SetCurrentDirectoryA(saved);
  if (!ok) {
    *error = "CreateProcess failed, error " + std::to_string(lastError);
    return false;
  }
  return true;
}

}  // namespace

StartedProcess::~StartedProcess() {
  if (process_.hThread != nullptr) CloseHandle(process_.hThread);
  if (process_.hProcess != nullptr) CloseHandle(process_.hProcess);
}

bool StartedProcess::Start(const std::string& commandLine, const std::string& cwd,
                           const Clock& clock, Transcript* transcript) {
  std::string error;
  if (!CreateInDirectory(commandLine, cwd, &process_, &error)) {
    transcript->Write(Event(clock.Ms(), "error").Add("message", error).Add("cmd", commandLine));
    return false;
  }
  transcript->Write(Event(clock.Ms(), "started")
                        .Add("cmd", commandLine)
                        .Add("pid", process_.dwProcessId)
                        .Add("cwd", cwd)
                        .Add("epoch", clock.EpochMs()));
  return true;
}

void StartedProcess::NoteEnd(const Clock& clock) {
  if (ended_ || WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) return;
  ended_ = true;
  endedMs_ = clock.Ms();
  GetExitCodeProcess(process_.hProcess, &exitCode_);
}

Event StartedProcess::ExitEvent(uint64_t now) const {
  return Event(now, "exit").Add("code", exitCode_).Add("pid", process_.dwProcessId);
}

}  // namespace boxanswer
