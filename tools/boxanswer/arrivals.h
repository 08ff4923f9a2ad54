// Reports what appears while boxanswer watches: each new process and each
// new top-level window that is visible with a title.
#ifndef BOXANSWER_ARRIVALS_H
#define BOXANSWER_ARRIVALS_H

#include <windows.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "transcript.h"
#include "window_watch.h"

namespace boxanswer {

class ArrivalReporter {
 public:
  // Processes that exist now are not news: construct this before starting
  // the program under test, so that its process is reported.
  explicit ArrivalReporter(Transcript* transcript);

  void ReportNewProcesses(uint64_t now);
  void ReportNewWindows(uint64_t now, const std::vector<TopWindow>& windows);

 private:
  std::string ExeOf(uint64_t now, DWORD pid);

  Transcript* transcript_;
  const DWORD selfPid_;
  std::map<DWORD, ProcessInfo> processes_;
  std::set<HWND> reportedWindows_;
};

}  // namespace boxanswer

#endif
