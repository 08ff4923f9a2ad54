// Follows the program's status windows: where they are, whether they stay
// on top, and each status text, as the user sees them.
#ifndef BOXANSWER_STATUS_FOLLOWER_H
#define BOXANSWER_STATUS_FOLLOWER_H

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "screenshot_scheduler.h"
#include "transcript.h"
#include "window_watch.h"

namespace boxanswer {

class StatusFollower {
 public:
  // Follows top-level windows with any of these whole titles (no windows
  // when there are none).
  StatusFollower(const std::vector<std::string>& titles, Transcript* transcript,
                 ScreenshotScheduler* screenshots);

  void Poll(uint64_t now, const std::vector<TopWindow>& windows);
  // Whether a status window that was reported has gone again.
  bool AnyWindowGone() const { return goneCount_ > 0; }

 private:
  struct StatusWindow {
    HWND hwnd = nullptr;
    uint64_t seenMs = 0;
    bool announced = false;
    std::string lastText;
    // What the last status-window event said, to report changes.
    std::string geometry;
  };

  bool IsStatusTitle(const std::string& title) const;
  // Reports a followed window that was destroyed or retitled; true then.
  bool ReportIfGone(uint64_t now, const StatusWindow& status);
  void AnnounceOnceShown(uint64_t now, const std::map<HWND, bool>& visibleNow,
                         StatusWindow* status);
  void FollowChanges(uint64_t now, StatusWindow* status);
  std::string AnnounceWindow(uint64_t now, const StatusWindow& status, bool update);

  const std::vector<std::string> titles_;
  Transcript* transcript_;
  ScreenshotScheduler* screenshots_;
  std::map<HWND, StatusWindow> followed_;
  int goneCount_ = 0;
};

}  // namespace boxanswer

#endif
