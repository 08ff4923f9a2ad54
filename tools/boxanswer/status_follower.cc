#include "status_follower.h"

// The program's own resource numbers: the status text lives in control
// IDC_STATUS_TEXT of the status window, which the dialog manager builds
// from the program's template IDD_KWUNINST_STATUS.
#include "resource.h"

namespace boxanswer {

namespace {

// A status window that stays hidden this long is reported anyway.
const uint64_t kHiddenStatusReportMs = 1000;

std::string StatusText(HWND hwnd, bool* hasControl) {
  HWND control = GetDlgItem(hwnd, IDC_STATUS_TEXT);
  if (hasControl) *hasControl = control != nullptr;
  return control == nullptr ? std::string() : WindowText(control);
}

std::string StatusGeometry(HWND hwnd) {
  RECT rect = {};
  GetWindowRect(hwnd, &rect);
  return RectText(rect) + "|" + (IsTopMost(hwnd) ? "T" : "t") +
         (IsWindowVisible(hwnd) ? "V" : "v") + "|" + OwnerTitle(hwnd);
}

}  // namespace

StatusFollower::StatusFollower(const std::vector<std::string>& titles, Transcript* transcript,
                               ScreenshotScheduler* screenshots)
    : titles_(titles), transcript_(transcript), screenshots_(screenshots) {}

void StatusFollower::Poll(uint64_t now, const std::vector<TopWindow>& windows) {
  if (titles_.empty()) return;
  std::map<HWND, bool> visibleNow;
  for (const TopWindow& window : windows) {
    if (!IsStatusTitle(window.title)) continue;
    visibleNow[window.hwnd] = window.visible;
    if (followed_.count(window.hwnd)) continue;
    StatusWindow status;
    status.hwnd = window.hwnd;
    status.seenMs = now;
    followed_[window.hwnd] = status;
  }
  for (auto it = followed_.begin(); it != followed_.end();) {
    StatusWindow& status = it->second;
    if (ReportIfGone(now, status)) {
      it = followed_.erase(it);
      continue;
    }
    ++it;
    if (status.announced) {
      FollowChanges(now, &status);
    } else {
      AnnounceOnceShown(now, visibleNow, &status);
    }
  }
}

bool StatusFollower::IsStatusTitle(const std::string& title) const {
  for (const std::string& wanted : titles_) {
    if (SameTextNoCase(title, wanted)) return true;
  }
  return false;
}

bool StatusFollower::ReportIfGone(uint64_t now, const StatusWindow& status) {
  HWND hwnd = status.hwnd;
  if (IsWindow(hwnd) && IsStatusTitle(WindowText(hwnd))) return false;
  if (status.announced) {
    transcript_->Write(Event(now, "status-window-gone")
                           .Add("last", status.lastText)
                           .Add("hwnd", HexHandle(hwnd)));
    ++goneCount_;
  }
  return true;
}

// Reports the window once it is shown, so that position and z-band are the
// final ones, or after a while even if it never shows.
void StatusFollower::AnnounceOnceShown(uint64_t now, const std::map<HWND, bool>& visibleNow,
                                       StatusWindow* status) {
  HWND hwnd = status->hwnd;
  const auto seen = visibleNow.find(hwnd);
  const bool visible = seen != visibleNow.end() ? seen->second : IsWindowVisible(hwnd) != FALSE;
  if (!visible && now - status->seenMs < kHiddenStatusReportMs) return;
  status->announced = true;
  status->lastText = StatusText(hwnd, nullptr);
  status->geometry = AnnounceWindow(now, *status, false);
  screenshots_->ScheduleInSeries(now, hwnd, "status", status->lastText);
}

void StatusFollower::FollowChanges(uint64_t now, StatusWindow* status) {
  HWND hwnd = status->hwnd;
  const std::string geometry = StatusGeometry(hwnd);
  if (geometry != status->geometry) {
    status->geometry = AnnounceWindow(now, *status, true);
  }
  bool hasControl = false;
  const std::string text = StatusText(hwnd, &hasControl);
  // While the window is being destroyed its children go first; a
  // vanished control is not a new (empty) status text.
  if (!hasControl || text == status->lastText) return;
  status->lastText = text;
  transcript_->Write(Event(now, "status").Add("text", text).Add("hwnd", HexHandle(hwnd)));
  screenshots_->ScheduleInSeries(now, hwnd, "status", text);
}

// Emits a status-window event (its text is the last one reported); returns
// the summary used to notice later moves, resizes, hiding, showing, z-band
// or owner changes.  Whether the place is the right one is for the tests
// to say, against numbers of their own.
std::string StatusFollower::AnnounceWindow(uint64_t now, const StatusWindow& status,
                                           bool update) {
  HWND hwnd = status.hwnd;
  RECT rect = {};
  GetWindowRect(hwnd, &rect);
  transcript_->Write(Event(now, "status-window")
                         .Add("caption", WindowText(hwnd))
                         .Add("topmost", IsTopMost(hwnd))
                         .Add("rect", RectText(rect))
                         .Add("visible", IsWindowVisible(hwnd) != FALSE)
                         .Add("owner", OwnerTitle(hwnd))
                         .Add("text", status.lastText)
                         .Add("update", update)
                         .Add("hwnd", HexHandle(hwnd)));
  return StatusGeometry(hwnd);
}

}  // namespace boxanswer
