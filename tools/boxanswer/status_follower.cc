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
  status->initialText = StatusText(hwnd, nullptr);
  status->lastText = status->initialText;
  LoadFont(now, status);
  status->geometry = AnnounceWindow(now, *status, false);
  screenshots_->ScheduleInSeries(now, hwnd, "status", status->initialText);
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
  Event event(now, "status");
  event.Add("text", text);
  AddFit(*status, &event);
  transcript_->Write(event.Add("hwnd", HexHandle(hwnd)));
  screenshots_->ScheduleInSeries(now, hwnd, "status", text);
  if (!status->textChanged && text != status->initialText) {
    status->textChanged = true;
    screenshots_->ScheduleSingle(now);
  }
}

// Emits a status-window event (its text is the last one reported); returns
// the summary used to notice later moves, resizes, hiding, showing, z-band
// or owner changes.
std::string StatusFollower::AnnounceWindow(uint64_t now, const StatusWindow& status,
                                           bool update) {
  HWND hwnd = status.hwnd;
  RECT rect = {};
  GetWindowRect(hwnd, &rect);
  RECT work = {};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
    work.right = GetSystemMetrics(SM_CXSCREEN);
    work.bottom = GetSystemMetrics(SM_CYSCREEN);
  }
  const LONG width = rect.right - rect.left;
  const LONG height = rect.bottom - rect.top;
  // Where a window centred in the work area would be: the middle of the
  // work area less half the window, each truncated on its own.  A window
  // that would stick out of the work area is expected to have been moved
  // back inside, keeping its top-left corner visible first.  Worked out here
  // again, not taken from the program's layout code, so that a mistake there
  // is not repeated by its check.
  LONG left = (work.left + work.right) / 2 - width / 2;
  LONG top = (work.top + work.bottom) / 2 - height / 2;
  if (left + width > work.right) left = work.right - width;
  if (top + height > work.bottom) top = work.bottom - height;
  if (left < work.left) left = work.left;
  if (top < work.top) top = work.top;
  const bool centred = rect.left == left && rect.top == top;
  const bool topmost = IsTopMost(hwnd);
  const bool visible = IsWindowVisible(hwnd) != FALSE;
  const std::string owner = OwnerTitle(hwnd);
  bool hasControl = false;
  StatusText(hwnd, &hasControl);
  Event event(now, "status-window");
  event.Add("caption", WindowText(hwnd))
      .Add("topmost", topmost)
      .Add("rect", RectText(rect))
      .Add("work", RectText(work))
      .Add("centred", centred)
      .Add("expected", std::to_string(left) + "," + std::to_string(top))
      .Add("visible", visible)
      .Add("owner", owner)
      .Add("text", status.lastText);
  AddFit(status, &event);
  transcript_->Write(event.Add("font", status.font)
                         .Add("control", hasControl)
                         .Add("update", update)
                         .Add("hwnd", HexHandle(hwnd)));
  return StatusGeometry(hwnd);
}

// Reads the font the status window's template asks for, from the file of
// the program that shows it.  Without it no status can be judged.
void StatusFollower::LoadFont(uint64_t now, StatusWindow* status) {
  DWORD pid = 0;
  GetWindowThreadProcessId(status->hwnd, &pid);
  const std::string program = ProgramPathOfProcess(pid);
  DialogFont font;
  std::string error = "no program file for pid " + std::to_string(pid);
  if (program.empty() || !ReadDialogFont(program, IDD_KWUNINST_STATUS, &font, &error)) {
    transcript_->Write(Event(now, "error").Add("message", "status font unknown: " + error));
    return;
  }
  status->font = DialogFontText(font);
  status->measure = std::make_shared<DialogFontMeasure>(font);
}

// Whether the status text fits on one line of the status control: its
// width in the template's font against the control's client width
// (GetClientRect reads what the window manager keeps, no message).
void StatusFollower::AddFit(const StatusWindow& status, Event* event) const {
  HWND control = GetDlgItem(status.hwnd, IDC_STATUS_TEXT);
  RECT client = {};
  if (status.measure == nullptr || control == nullptr || !GetClientRect(control, &client)) {
    event->Add("fits", "").Add("width", "").Add("room", "");
    return;
  }
  const int width = status.measure->TextWidth(status.lastText);
  const LONG room = client.right - client.left;
  event->Add("fits", width <= room).Add("width", width).Add("room", room);
}

}  // namespace boxanswer
