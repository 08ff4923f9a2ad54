// The time of boxanswer's transcript and the pace of its polling.
#ifndef BOXANSWER_CLOCK_H
#define BOXANSWER_CLOCK_H

#include <windows.h>

#include <cstdint>

namespace boxanswer {

// Polling period.  Status texts of the program under test stay for about a
// second, boxes for as long as we like; 20 ms leaves a wide margin even when
// the machine (or Wine) is slow.
const DWORD kPollMs = 20;

// Milliseconds since boxanswer started, from the performance counter
// (GetTickCount moves in 10-16 ms steps on real Windows).
class Clock {
 public:
  Clock();
  // The Unix-epoch time of Ms() == 0, so that events can be put on one time
  // line with the traces of other programs, which use that clock.
  uint64_t EpochMs() const { return epochMs_; }
  uint64_t Ms() const;

 private:
  LARGE_INTEGER frequency_;
  LARGE_INTEGER start_;
  uint64_t epochMs_ = 0;
};

}  // namespace boxanswer

#endif
