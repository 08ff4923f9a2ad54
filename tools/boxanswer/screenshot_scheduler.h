// Whole-screen shots of what the user sees, each taken a moment after what
// it is to show appeared: the single --screenshot of the first status
// change, and the numbered --screenshots series of status texts and boxes.
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
  // singlePath (--screenshot) and seriesDir (--screenshots) may be empty:
  // then those shots are not taken.
  ScreenshotScheduler(const std::string& singlePath, const std::string& seriesDir,
                      const Clock& clock, Transcript* transcript);

  // The --screenshot, once, after the status text first changed.
  void ScheduleSingle(uint64_t now);
  // The next shot of the --screenshots series, of `window` showing `text`
  // (`of` is "status" or "box").  A window whose text changes again before
  // its shot is due gets the shot of the new text: the old one is no
  // longer on the screen.
  void ScheduleInSeries(uint64_t now, HWND window, const char* of, const std::string& text);
  // Takes every shot that is due.
  void TakeDue(uint64_t now);
  bool HasPending() const { return !shots_.empty(); }

 private:
  // A screenshot that is due: the single one (no window), or one of the
  // series, of a status text or a box.
  struct Shot {
    uint64_t dueMs;
    std::string path;
    HWND window;
    std::string of;
    std::string text;
  };

  void Take(const Shot& shot);

  const std::string singlePath_;
  const std::string seriesDir_;
  const Clock& clock_;
  Transcript* transcript_;
  bool singleScheduled_ = false;
  std::vector<Shot> shots_;
  int seriesCount_ = 0;
};

}  // namespace boxanswer

#endif
