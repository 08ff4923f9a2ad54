// Reports what appears while boxanswer watches: each new top-level window
// that is visible with a title, and the program that shows it.
#ifndef BOXANSWER_ARRIVALS_H
#define BOXANSWER_ARRIVALS_H

#include <windows.h>

#include <cstdint>
#include <set>
#include <vector>

#include "transcript.h"
#include "window_watch.h"

namespace boxanswer {

class ArrivalReporter {
 public:
  explicit ArrivalReporter(Transcript* transcript) : transcript_(transcript) {}
  void ReportNewWindows(uint64_t now, const std::vector<TopWindow>& windows);

 private:
  Transcript* transcript_;
  std::set<HWND> reportedWindows_;
};

}  // namespace boxanswer

#endif
