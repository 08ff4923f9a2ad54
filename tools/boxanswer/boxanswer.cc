// boxanswer: the end-to-end tests' stand-in for a user in front of the
// screen.  It optionally starts the program under test, answers its message
// boxes by "clicking" the requested buttons, follows its status window, and
// writes everything it sees as a tab-separated transcript (see README.md).
//
// It only polls: no hooks, no injected code, no messages sent to the
// observed windows (a sent message would block us whenever the program
// under test sleeps).  Buttons are pressed with a posted WM_COMMAND, which
// is what the dialog manager itself generates for a click, and the one
// z-order change we may make is requested asynchronously.
//
// This file wires the parts together and runs the polling loop.

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "arrivals.h"
#include "box_answerer.h"
#include "clock.h"
#include "options.h"
#include "screenshot_scheduler.h"
#include "started_process.h"
#include "status_follower.h"
#include "transcript.h"
#include "window_watch.h"

namespace boxanswer {
namespace {

const int kExitOk = 0;
const int kExitTimeout = 1;
const int kExitUsage = 2;

std::string FullPath(const std::string& path) {
  if (path.empty()) return path;
  char full[MAX_PATH * 4];
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
  if (length == 0 || length >= sizeof(full)) return path;
  return full;
}

// Reads and checks the command line; false after printing the usage.
bool ReadOptions(int argc, char** argv, Options* options) {
  std::string error;
  if (!ParseOptions(argc, argv, options, &error)) {
    if (!error.empty()) fprintf(stderr, "boxanswer: %s\n", error.c_str());
    fputs(kUsage, stderr);
    return false;
  }
  if (!options->hasRun && options->answers.empty() && options->statusTitles.empty()) {
    fputs("boxanswer: nothing to wait for (give --run, --answer or --watch-status)\n", stderr);
    fputs(kUsage, stderr);
    return false;
  }
  options->transcript = FullPath(options->transcript);
  options->screenshotDir = FullPath(options->screenshotDir);
  return true;
}

// Everything that looks at the screen, in the order of each poll.
class Observers {
 public:
  Observers(const Options& options, const Clock& clock, Transcript* transcript)
      : arrivals_(transcript),
        screenshots_(options.screenshotDir, clock, transcript),
        status_(options.statusTitles, transcript, &screenshots_),
        boxes_(options.answers, !options.hasRun, transcript, &screenshots_) {}

  void Poll(uint64_t now) {
    const std::vector<TopWindow> windows = ReadTopWindows();
    arrivals_.ReportNewWindows(now, windows);
    status_.Poll(now, windows);
    boxes_.Poll(now, windows);
    screenshots_.TakeDue(now);
  }

  bool AnyBoxFinished() const { return boxes_.AnyBoxFinished(); }
  bool AnyStatusWindowGone() const { return status_.AnyWindowGone(); }
  // Work that must not be cut short by the end of the grace period.
  bool HasPendingWork() const { return boxes_.HasPending() || screenshots_.HasPending(); }

 private:
  ArrivalReporter arrivals_;
  ScreenshotScheduler screenshots_;
  StatusFollower status_;
  BoxAnswerer boxes_;
};

// With --run: the process has ended and the grace period is over.  Without
// it: the first box was answered (or given up), or else a status window
// came and went.
bool IsDone(const Options& options, const StartedProcess& process, const Observers& observers,
            uint64_t now) {
  if (observers.HasPendingWork()) return false;
  if (options.hasRun) return process.Ended() && now >= process.EndedMs() + kGraceMs;
  if (!options.answers.empty()) return observers.AnyBoxFinished();
  return observers.AnyStatusWindowGone();
}

// Leaves everything running: the test decides what to clean up, and
// killing here could hide what state the program was stuck in.
void ReportTimeout(const Options& options, const StartedProcess& process, uint64_t now,
                   Transcript* transcript) {
  Event timeout(now, "timeout");
  char seconds[32];
  snprintf(seconds, sizeof(seconds), "%g", options.timeoutSeconds);
  timeout.Add("seconds", seconds);
  if (options.hasRun) timeout.Add("running", !process.Ended()).Add("pid", process.Pid());
  transcript->Write(timeout);
  if (process.Ended()) transcript->Write(process.ExitEvent(now));
}

int Run(int argc, char** argv) {
  // Bare \n line ends on stdout whatever it is redirected to.
  _setmode(_fileno(stdout), _O_BINARY);

  Options options;
  if (!ReadOptions(argc, argv, &options)) return kExitUsage;
  if (!options.screenshotDir.empty()) CreateDirectoryA(options.screenshotDir.c_str(), nullptr);

  Clock clock;
  Transcript transcript(options.transcript);
  Observers observers(options, clock, &transcript);
  const uint64_t timeoutMs = static_cast<uint64_t>(options.timeoutSeconds * 1000.0);

  StartedProcess process;
  if (options.hasRun && !process.Start(options.run, options.cwd, clock, &transcript)) {
    return kExitUsage;
  }
  for (;;) {
    const uint64_t pollStart = clock.Ms();
    observers.Poll(clock.Ms());
    if (options.hasRun) process.NoteEnd(clock);

    const uint64_t now = clock.Ms();
    if (IsDone(options, process, observers, now)) {
      if (options.hasRun) transcript.Write(process.ExitEvent(now));
      return kExitOk;
    }
    if (now >= timeoutMs) {
      ReportTimeout(options, process, now, &transcript);
      return kExitTimeout;
    }
    const uint64_t spent = clock.Ms() - pollStart;
    Sleep(spent >= kPollMs ? 1 : static_cast<DWORD>(kPollMs - spent));
  }
}

}  // namespace
}  // namespace boxanswer

// The runtime splits the command line as every console program's, quotes
// and backslashes included.
int main(int argc, char** argv) { return boxanswer::Run(argc, argv); }
