// The program under test that boxanswer starts with --run, and its end.
#ifndef BOXANSWER_STARTED_PROCESS_H
#define BOXANSWER_STARTED_PROCESS_H

#include <windows.h>

#include <cstdint>
#include <string>

#include "clock.h"
#include "transcript.h"

namespace boxanswer {

class StartedProcess {
 public:
  StartedProcess() = default;
  ~StartedProcess();
  StartedProcess(const StartedProcess&) = delete;
  StartedProcess& operator=(const StartedProcess&) = delete;

  // Starts `commandLine` in `cwd` (may be empty: ours) and writes the
  // "started" event, or the "error" event and returns false.
  bool Start(const std::string& commandLine, const std::string& cwd, const Clock& clock,
             Transcript* transcript);
  // Notes the time and exit code once the process has ended.
  void NoteEnd(const Clock& clock);
  bool Ended() const { return ended_; }
  uint64_t EndedMs() const { return endedMs_; }
  DWORD Pid() const { return process_.dwProcessId; }
  // The "exit" event: the exit code and pid of the ended process.
  Event ExitEvent(uint64_t now) const;

 private:
  PROCESS_INFORMATION process_ = {};
  bool ended_ = false;
  DWORD exitCode_ = 0;
  uint64_t endedMs_ = 0;
};

}  // namespace boxanswer

#endif
