// Whole-screen shots of what the user sees, each taken a moment after what
// it is to show appeared: the numbered --screenshots series of status texts
// and boxes.
#ifndef BOXANSWER_SCREENSHOT_SCHEDULER_H
#define BOXANSWER_SCREENSHOT_SCHEDULER_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "clock.h"
#include "transcript.h"

namespace boxanswer {

// Delay between a change on the screen and its screenshot, so that the
// repaint has certainly reached the screen.
const uint64_t kScreenshotDelayMs = 400;

class ScreenshotScheduler {
 public:
  // seriesDir (--screenshots) may be empty: then no shots are taken.
  ScreenshotScheduler(const std::string& seriesDir, const Clock& clock, Transcript* transcript);

  // The next shot of the --screenshots series, of `window` showing `text`
  // (`of` is "status" or "box").  A window whose text changes again before
  // its shot is due gets the shot of the new text: the old one is no
  // longer on the screen.
  void ScheduleInSeries(uint64_t now, HWND window, const char* of, const std::string& text);
  // Takes every shot that is due.
  void TakeDue(uint64_t now);
  bool HasPending() const { return !shots_.empty(); }

 private:
  // A screenshot that is due, of a status text or a box.
  struct Shot {
    uint64_t dueMs;
    std::string path;
    HWND window;
    std::string of;
    std::string text;
  };

  void Take(const Shot& shot);

  const std::string seriesDir_;
  const Clock& clock_;
  Transcript* transcript_;
  std::vector<Shot> shots_;
  int seriesCount_ = 0;
};

}  // namespace boxanswer

#endif
