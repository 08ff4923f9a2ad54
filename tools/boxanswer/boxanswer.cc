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

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cmdline.h"
#include "dialog_font.h"
#include "screen.h"
#include "transcript.h"
#include "window_watch.h"

namespace boxanswer {
namespace {

// Polling period.  Status texts of the program under test stay for about a
// second, boxes for as long as we like; 20 ms leaves a wide margin even when
// the machine (or Wine) is slow.
const DWORD kPollMs = 20;
// After the started process ends, windows of helper processes it left
// behind may still show up; keep watching a little.
const unsigned kDefaultGraceMs = 500;
// How long a freshly shown box may take to paint its icon and to get its
// buttons before we judge it as it is.
const uint64_t kIconSettleMs = 1000;
const uint64_t kButtonSettleMs = 500;
// A status window that stays hidden this long is reported anyway.
const uint64_t kHiddenStatusReportMs = 1000;
// Delay between the first change of the status text and the screenshot, so
// the repaint of the new text has certainly reached the screen.
const uint64_t kScreenshotDelayMs = 400;
// The status text lives in this child control of the status window, which
// the dialog manager builds from this dialog template of the program.
const int kStatusControlId = 1001;
const int kStatusTemplateId = 102;

const int kExitOk = 0;
const int kExitTimeout = 1;
const int kExitUsage = 2;

struct AnswerRule {
  std::string title;     // the whole title; empty in a --answer-text rule
  std::string textPart;  // --answer-text: a part of the box's message text
  std::string button;
  unsigned delayMs = 0;
};

struct Options {
  bool hasRun = false;
  std::string run;
  std::string cwd;
  std::vector<AnswerRule> answers;
  std::vector<std::string> statusTitles;
  std::string screenshot;
  std::string screenshotDir;
  std::string transcript;
  double timeoutSeconds = 60;
  unsigned graceMs = kDefaultGraceMs;
};

const char kUsage[] =
    "usage: boxanswer [--run \"<command line>\"] [--cwd <dir>]\n"
    "                 [--answer \"<title>=<button>[@<delay ms>]\"]...\n"
    "                 [--answer-text \"<part of the text>=<button>[@<delay ms>]\"]...\n"
    "                 [--watch-status \"<title>\"]... [--screenshot <png path>]\n"
    "                 [--screenshots <directory>]\n"
    "                 [--transcript <file>] [--timeout <seconds, default 60>]\n"
    "                 [--grace <ms, default 500>]\n";

bool ParseUnsigned(const std::string& text, unsigned* value) {
  if (text.empty() || text.size() > 9) return false;
  unsigned v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  *value = v;
  return true;
}

// "<title>=<button>[@<delay ms>]".  The last '=' separates, so that titles
// may contain '='; a trailing "@digits" is the delay.
bool ParseAnswer(const std::string& text, AnswerRule* rule) {
  const size_t eq = text.rfind('=');
  if (eq == std::string::npos || eq == 0) return false;
  rule->title = text.substr(0, eq);
  std::string button = text.substr(eq + 1);
  const size_t at = button.rfind('@');
  if (at != std::string::npos) {
    unsigned delay = 0;
    if (ParseUnsigned(button.substr(at + 1), &delay)) {
      rule->delayMs = delay;
      button.erase(at);
    }
  }
  if (button.empty()) return false;
  rule->button = button;
  return true;
}

bool ParseOptions(const std::vector<std::string>& args, Options* options,
                  std::string* error) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (name == "--help" || name == "-h" || name == "/?") {
      *error = "";
      return false;
    }
    static const char* const kKnown[] = {"--run", "--cwd", "--answer", "--answer-text",
                                         "--watch-status", "--screenshot", "--screenshots",
                                         "--transcript", "--timeout", "--grace"};
    if (std::find(std::begin(kKnown), std::end(kKnown), name) == std::end(kKnown)) {
      *error = "unknown option " + name;
      return false;
    }
    if (i + 1 >= args.size()) {
      *error = "missing value after " + name;
      return false;
    }
    const std::string& value = args[++i];
    if (name == "--run") {
      options->hasRun = true;
      options->run = value;
    } else if (name == "--cwd") {
      options->cwd = value;
    } else if (name == "--answer") {
      AnswerRule rule;
      if (!ParseAnswer(value, &rule)) {
        *error = "bad --answer \"" + value + "\" (want <title>=<button>[@<ms>])";
        return false;
      }
      options->answers.push_back(rule);
    } else if (name == "--answer-text") {
      AnswerRule rule;
      if (!ParseAnswer(value, &rule)) {
        *error = "bad --answer-text \"" + value + "\" (want <text part>=<button>[@<ms>])";
        return false;
      }
      rule.textPart.swap(rule.title);
      options->answers.push_back(rule);
    } else if (name == "--watch-status") {
      options->statusTitles.push_back(value);
    } else if (name == "--screenshot") {
      options->screenshot = value;
    } else if (name == "--screenshots") {
      options->screenshotDir = value;
    } else if (name == "--transcript") {
      options->transcript = value;
    } else if (name == "--timeout") {
      char* end = nullptr;
      const double seconds = strtod(value.c_str(), &end);
      if (end == value.c_str() || *end != '\0' || !(seconds > 0)) {
        *error = "bad --timeout " + value;
        return false;
      }
      options->timeoutSeconds = seconds;
    } else if (name == "--grace") {
      if (!ParseUnsigned(value, &options->graceMs)) {
        *error = "bad --grace " + value;
        return false;
      }
    }
  }
  if (options->hasRun && options->run.empty()) {
    *error = "--run needs a command line";
    return false;
  }
  return true;
}

// Milliseconds since boxanswer started, from the performance counter
// (GetTickCount moves in 10-16 ms steps on real Windows).
class Clock {
 public:
  Clock() {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&start_);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    epochMs_ = ticks / 10000 - 11644473600000ULL;  // FILETIME counts from 1601
  }
  // The Unix-epoch time of Ms() == 0, so that events can be put on one time
  // line with the traces of other programs, which use that clock.
  uint64_t EpochMs() const { return epochMs_; }
  uint64_t Ms() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<uint64_t>((now.QuadPart - start_.QuadPart) * 1000 /
                                 frequency_.QuadPart);
  }

 private:
  LARGE_INTEGER frequency_;
  LARGE_INTEGER start_;
  uint64_t epochMs_ = 0;
};

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() &&
         SameTextNoCase(text.substr(0, prefix.size()), prefix);
}

std::string JoinButtons(const std::vector<Button>& buttons) {
  std::string out;
  for (size_t i = 0; i < buttons.size(); ++i) {
    if (i > 0) out += ',';
    out += buttons[i].text;
  }
  return out;
}

class Watcher {
 public:
  Watcher(const Options& options, const Clock& clock, Transcript* transcript)
      : options_(options), clock_(clock), transcript_(transcript),
        selfPid_(GetCurrentProcessId()) {
    // Processes that exist before we start are not news.
    SnapshotProcesses(&processes_);
  }

  void Emit(const Event& event) { transcript_->Write(event); }
  uint64_t Now() const { return clock_.Ms(); }

  void Poll() {
    const uint64_t now = Now();
    PollProcesses(now);
    // Visibility and titles are read once per poll, so that the window,
    // status-window and box events of one poll agree with each other.
    std::vector<TopWindow> windows;
    for (HWND hwnd : TopLevelWindows()) {
      windows.push_back({hwnd, IsWindowVisible(hwnd) != FALSE, WindowText(hwnd)});
    }
    PollNewWindows(now, windows);
    PollStatusWindows(now, windows);
    PollBoxes(now, windows);
    PollScreenshot(now);
  }

  // Without --run we stop after the first box was answered (or given up).
  bool FirstBoxFinished() const { return boxesFinished_ > 0; }
  bool StatusWindowGone() const { return statusGoneCount_ > 0; }
  // Work that must not be cut short by the end of the grace period.
  bool HasPendingWork() const {
    return !boxes_.empty() || !shots_.empty();
  }

 private:
  struct TopWindow {
    HWND hwnd;
    bool visible;
    std::string title;
  };

  struct Box {
    HWND hwnd = nullptr;
    size_t rule = 0;
    uint64_t seenMs = 0;
    bool topmost = false;     // as found, before we possibly raise it
    bool raised = false;      // we made it top-most to see its icon
    bool reported = false;
    uint64_t pressAtMs = 0;
    Button target = {nullptr, 0, std::string()};
    std::string caption;
  };

  // A screenshot that is due: the single --screenshot one (no window), or
  // one of the --screenshots series, of a status text or a box.
  struct Shot {
    uint64_t dueMs;
    std::string path;
    HWND window;
    std::string of;
    std::string text;
  };

  struct StatusWindow {
    HWND hwnd = nullptr;
    uint64_t seenMs = 0;
    bool announced = false;
    std::string initialText;
    std::string lastText;
    bool textChanged = false;
    // What the last status-window event said, to report changes.
    std::string geometry;
    // The template's font, to tell whether a status fits on the line.
    std::string font;
    std::shared_ptr<DialogFontMeasure> measure;
  };

  void PollProcesses(uint64_t now) {
    std::map<DWORD, ProcessInfo> current;
    if (!SnapshotProcesses(&current)) return;
    for (const auto& entry : current) {
      const ProcessInfo& info = entry.second;
      if (info.pid == selfPid_) continue;
      auto before = processes_.find(info.pid);
      if (before != processes_.end() && before->second.exe == info.exe) continue;
      Emit(Event(now, "process")
               .Add("exe", info.exe)
               .Add("pid", info.pid)
               .Add("ppid", info.parentPid));
    }
    processes_.swap(current);
  }

  std::string ExeOf(uint64_t now, DWORD pid) {
    auto found = processes_.find(pid);
    if (found == processes_.end()) {
      // The window's process started after this poll's snapshot: take the
      // next one now, so its "process" event still precedes the window.
      PollProcesses(now);
      found = processes_.find(pid);
    }
    return found == processes_.end() ? std::string() : found->second.exe;
  }

  static void ForgetDestroyed(std::set<HWND>* windows) {
    for (auto it = windows->begin(); it != windows->end();) {
      it = IsWindow(*it) ? std::next(it) : windows->erase(it);
    }
  }

  void PollNewWindows(uint64_t now, const std::vector<TopWindow>& windows) {
    // Forget destroyed windows so that a recycled handle counts as new.
    // IsWindow decides, not this poll's enumeration: a window that slips
    // through one enumeration while the z-order is being changed must not
    // be reported twice.
    ForgetDestroyed(&reportedWindows_);
    for (const TopWindow& window : windows) {
      HWND hwnd = window.hwnd;
      const std::string& title = window.title;
      if (reportedWindows_.count(hwnd) || !window.visible || title.empty()) continue;
      const std::string className = ClassName(hwnd);
      // Wine's own helper windows are not part of the program under test.
      if (StartsWithNoCase(className, "__wine")) continue;
      DWORD pid = 0;
      GetWindowThreadProcessId(hwnd, &pid);
      if (pid == selfPid_) continue;
      reportedWindows_.insert(hwnd);
      Emit(Event(now, "window")
               .Add("title", title)
               .Add("class", className)
               .Add("pid", pid)
               .Add("exe", ExeOf(now, pid))
               .Add("hwnd", HexHandle(hwnd)));
    }
  }

  bool IsStatusTitle(const std::string& title) const {
    for (const std::string& wanted : options_.statusTitles) {
      if (SameTextNoCase(title, wanted)) return true;
    }
    return false;
  }

  static std::string StatusText(HWND hwnd, bool* hasControl) {
    HWND control = GetDlgItem(hwnd, kStatusControlId);
    if (hasControl) *hasControl = control != nullptr;
    return control == nullptr ? std::string() : WindowText(control);
  }

  // Emits a status-window event (its text is the last one reported);
  // returns the summary used to notice later moves, resizes, hiding,
  // showing, z-band or owner changes.
  std::string AnnounceStatusWindow(uint64_t now, const StatusWindow& status,
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
    // back inside, keeping its top-left corner visible first.
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
    Emit(event.Add("font", status.font)
             .Add("control", hasControl)
             .Add("update", update)
             .Add("hwnd", HexHandle(hwnd)));
    return StatusGeometry(hwnd);
  }

  // Reads the font the status window's template asks for, from the file of
  // the program that shows it.  Without it no status can be judged.
  void LoadStatusFont(uint64_t now, StatusWindow* status) {
    DWORD pid = 0;
    GetWindowThreadProcessId(status->hwnd, &pid);
    const std::string program = ProgramPathOfProcess(pid);
    DialogFont font;
    std::string error = "no program file for pid " + std::to_string(pid);
    if (program.empty() || !ReadDialogFont(program, kStatusTemplateId, &font, &error)) {
      Emit(Event(now, "error").Add("message", "status font unknown: " + error));
      return;
    }
    status->font = DialogFontText(font);
    status->measure = std::make_shared<DialogFontMeasure>(font);
  }

  // Whether the status text fits on one line of the status control: its
  // width in the template's font against the control's client width
  // (GetClientRect reads what the window manager keeps, no message).
  void AddFit(const StatusWindow& status, Event* event) const {
    HWND control = GetDlgItem(status.hwnd, kStatusControlId);
    RECT client = {};
    if (status.measure == nullptr || control == nullptr || !GetClientRect(control, &client)) {
      event->Add("fits", "").Add("width", "").Add("room", "");
      return;
    }
    const int width = status.measure->TextWidth(status.lastText);
    const LONG room = client.right - client.left;
    event->Add("fits", width <= room).Add("width", width).Add("room", room);
  }

  std::string StatusGeometry(HWND hwnd) const {
    RECT rect = {};
    GetWindowRect(hwnd, &rect);
    return RectText(rect) + "|" + (IsTopMost(hwnd) ? "T" : "t") +
           (IsWindowVisible(hwnd) ? "V" : "v") + "|" + OwnerTitle(hwnd);
  }

  void PollStatusWindows(uint64_t now, const std::vector<TopWindow>& windows) {
    if (options_.statusTitles.empty()) return;
    std::map<HWND, bool> visibleNow;
    for (const TopWindow& window : windows) {
      if (!IsStatusTitle(window.title)) continue;
      visibleNow[window.hwnd] = window.visible;
      if (statusWindows_.count(window.hwnd)) continue;
      StatusWindow status;
      status.hwnd = window.hwnd;
      status.seenMs = now;
      statusWindows_[window.hwnd] = status;
    }
    for (auto it = statusWindows_.begin(); it != statusWindows_.end();) {
      StatusWindow& status = it->second;
      HWND hwnd = status.hwnd;
      if (!IsWindow(hwnd) || !IsStatusTitle(WindowText(hwnd))) {
        if (status.announced) {
          Emit(Event(now, "status-window-gone")
                   .Add("last", status.lastText)
                   .Add("hwnd", HexHandle(hwnd)));
          ++statusGoneCount_;
        }
        it = statusWindows_.erase(it);
        continue;
      }
      ++it;
      if (!status.announced) {
        // Report it once it is shown, so that position and z-band are the
        // final ones, or after a while even if it never shows.
        const auto seen = visibleNow.find(hwnd);
        const bool visible = seen != visibleNow.end() ? seen->second : IsWindowVisible(hwnd) != FALSE;
        if (!visible && now - status.seenMs < kHiddenStatusReportMs) continue;
        status.announced = true;
        status.initialText = StatusText(hwnd, nullptr);
        status.lastText = status.initialText;
        LoadStatusFont(now, &status);
        status.geometry = AnnounceStatusWindow(now, status, false);
        ScheduleShot(now + kScreenshotDelayMs, hwnd, "status", status.initialText);
        continue;
      }
      const std::string geometry = StatusGeometry(hwnd);
      if (geometry != status.geometry) {
        status.geometry = AnnounceStatusWindow(now, status, true);
      }
      bool hasControl = false;
      const std::string text = StatusText(hwnd, &hasControl);
      // While the window is being destroyed its children go first; a
      // vanished control is not a new (empty) status text.
      if (!hasControl || text == status.lastText) continue;
      status.lastText = text;
      Event event(now, "status");
      event.Add("text", text);
      AddFit(status, &event);
      Emit(event.Add("hwnd", HexHandle(hwnd)));
      ScheduleShot(now + kScreenshotDelayMs, hwnd, "status", text);
      if (!status.textChanged && text != status.initialText) {
        status.textChanged = true;
        if (!options_.screenshot.empty() && !screenshotScheduled_) {
          screenshotScheduled_ = true;
          shots_.push_back({now + kScreenshotDelayMs, options_.screenshot, nullptr,
                            std::string(), std::string()});
        }
      }
    }
  }

  // With --screenshots, one numbered shot of what the user sees shortly
  // after each status text and each box.  A window whose text changes again
  // before its shot is due gets the shot of the new text: the old one is no
  // longer on the screen.
  void ScheduleShot(uint64_t dueMs, HWND window, const char* of, const std::string& text) {
    if (options_.screenshotDir.empty()) return;
    for (Shot& shot : shots_) {
      if (shot.window != window) continue;
      shot.dueMs = dueMs;
      shot.text = text;
      return;
    }
    char name[32];
    snprintf(name, sizeof(name), "\\%02d-%s.png", ++shotCount_, of);
    shots_.push_back({dueMs, options_.screenshotDir + name, window, of, text});
  }

  void PollScreenshot(uint64_t now) {
    for (auto it = shots_.begin(); it != shots_.end();) {
      if (now < it->dueMs) {
        ++it;
        continue;
      }
      TakeShot(*it);
      it = shots_.erase(it);
    }
  }

  void TakeShot(const Shot& shot) {
    int width = 0;
    int height = 0;
    std::string error;
    const uint64_t at = Now();
    if (SaveScreenshotPng(shot.path, &width, &height, &error)) {
      Event event(at, "screenshot");
      event.Add("path", shot.path).Add("width", width).Add("height", height);
      if (shot.window != nullptr) event.Add("of", shot.of).Add("text", shot.text);
      Emit(event);
    } else {
      Emit(Event(at, "error").Add("message", "screenshot failed: " + error)
               .Add("path", shot.path));
    }
  }

  // The first rule, in the order given, that the window matches.
  int MatchingRule(HWND hwnd, const std::string& title) const {
    for (size_t i = 0; i < options_.answers.size(); ++i) {
      const AnswerRule& rule = options_.answers[i];
      const bool matches = rule.textPart.empty()
                               ? SameTextNoCase(title, rule.title)
                               : ContainsNoCase(MessageText(hwnd), rule.textPart);
      if (matches) return static_cast<int>(i);
    }
    return -1;
  }

  static std::string MessageText(HWND hwnd) {
    HWND textControl = MessageTextControl(hwnd);
    return textControl ? WindowText(textControl) : std::string();
  }

  static bool ContainsNoCase(const std::string& text, const std::string& part) {
    for (size_t at = 0; at + part.size() <= text.size(); ++at) {
      if (SameTextNoCase(text.substr(at, part.size()), part)) return true;
    }
    return false;
  }

  void PollBoxes(uint64_t now, const std::vector<TopWindow>& windows) {
    ForgetDestroyed(&handledBoxes_);
    const bool onlyOne = !options_.hasRun;
    for (const TopWindow& window : windows) {
      if (onlyOne && (boxesFinished_ > 0 || !boxes_.empty())) break;
      HWND hwnd = window.hwnd;
      if (handledBoxes_.count(hwnd) || !window.visible) continue;
      const int rule = MatchingRule(hwnd, window.title);
      if (rule < 0) continue;
      handledBoxes_.insert(hwnd);
      Box box;
      box.hwnd = hwnd;
      box.rule = static_cast<size_t>(rule);
      box.seenMs = now;
      box.topmost = IsTopMost(hwnd);
      box.caption = window.title;
      boxes_.push_back(box);
    }
    for (auto it = boxes_.begin(); it != boxes_.end();) {
      const bool finished = it->reported ? TryPress(now, &*it) : TryInspect(now, &*it);
      if (finished) {
        ++boxesFinished_;
        it = boxes_.erase(it);
      } else {
        ++it;
      }
    }
  }

  // Looks the box over and reports it once its icon and buttons can be
  // judged.  Returns true when nothing more is to be done with it.
  bool TryInspect(uint64_t now, Box* box) {
    HWND hwnd = box->hwnd;
    const AnswerRule& rule = options_.answers[box->rule];
    if (!IsWindow(hwnd)) {
      Emit(Event(now, "error")
               .Add("message", "window closed before it could be answered")
               .Add("caption", box->caption));
      return true;
    }
    const uint64_t age = now - box->seenMs;

    std::string icon = "none";
    HWND iconControl = IconControl(hwnd);
    if (iconControl != nullptr) {
      RECT rect = {};
      GetWindowRect(iconControl, &rect);
      icon = IdentifyIconOnScreen(rect);
      if (icon == "unknown" && age < kIconSettleMs) {
        // Either the box has not painted yet, or another window (say a
        // top-most status window) hides the icon.  In the second case lift
        // the box above everything; it is about to be dismissed anyway,
        // and its original z-band is restored once we have looked.
        if (!box->raised && IsCoveredByWindowAbove(hwnd, rect)) {
          box->raised = true;
          SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
        }
        return false;
      }
    }

    const std::vector<Button> buttons = Buttons(hwnd);
    const Button* target = nullptr;
    for (const Button& button : buttons) {
      if (SameTextNoCase(button.text, rule.button)) {
        target = &button;
        break;
      }
    }
    // A window that is not a message box may add its buttons after it
    // shows; give it a moment before declaring the button missing.
    if (target == nullptr && age < kButtonSettleMs) return false;

    if (box->raised && !box->topmost) {
      SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    }
    Emit(Event(box->seenMs, "box")
             .Add("caption", WindowText(hwnd))
             .Add("text", MessageText(hwnd))
             .Add("buttons", JoinButtons(buttons))
             .Add("icon", icon)
             .Add("owner", OwnerTitle(hwnd))
             .Add("topmost", box->topmost)
             .Add("pressed", target ? target->text : std::string())
             .Add("delay", rule.delayMs)
             .Add("raised", box->raised)
             .Add("hwnd", HexHandle(hwnd)));
    if (target == nullptr) {
      Emit(Event(now, "error")
               .Add("message", "no button \"" + rule.button + "\" in the window")
               .Add("caption", box->caption)
               .Add("buttons", JoinButtons(buttons)));
      return true;
    }
    box->reported = true;
    box->target = *target;
    box->pressAtMs = box->seenMs + rule.delayMs;
    // Only a box that stays long enough to be painted and shot.
    if (box->pressAtMs >= now + kScreenshotDelayMs + kPollMs * 5) {
      ScheduleShot(now + kScreenshotDelayMs, hwnd, "box", box->caption);
    }
    return TryPress(now, box);
  }

  bool TryPress(uint64_t now, Box* box) {
    if (now < box->pressAtMs) return false;
    if (!IsWindow(box->hwnd)) {
      Emit(Event(now, "error")
               .Add("message", "window closed before the button was pressed")
               .Add("caption", box->caption));
      return true;
    }
    // Exactly what the dialog manager posts when the button is clicked.
    const WPARAM wparam = MAKEWPARAM(static_cast<WORD>(box->target.id), BN_CLICKED);
    if (!PostMessageA(box->hwnd, WM_COMMAND, wparam,
                      reinterpret_cast<LPARAM>(box->target.hwnd))) {
      Emit(Event(now, "error")
               .Add("message", "PostMessage failed, error " + std::to_string(GetLastError()))
               .Add("caption", box->caption));
    }
    return true;
  }

  const Options& options_;
  const Clock& clock_;
  Transcript* transcript_;
  const DWORD selfPid_;
  std::map<DWORD, ProcessInfo> processes_;
  std::set<HWND> reportedWindows_;
  std::set<HWND> handledBoxes_;
  std::vector<Box> boxes_;
  int boxesFinished_ = 0;
  std::map<HWND, StatusWindow> statusWindows_;
  int statusGoneCount_ = 0;
  bool screenshotScheduled_ = false;
  std::vector<Shot> shots_;
  int shotCount_ = 0;
};

// Starts the program under test.  A relative program path is looked up
// from --cwd, which is what a test writer expects, so we briefly switch our
// own current directory (CreateProcess searches ours, not the child's).
bool StartProgram(const Options& options, PROCESS_INFORMATION* process,
                  std::string* error) {
  std::vector<char> commandLine(options.run.begin(), options.run.end());
  commandLine.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  char saved[MAX_PATH * 4] = {};
  const bool switchDir = !options.cwd.empty();
  if (switchDir) {
    GetCurrentDirectoryA(sizeof(saved), saved);
    if (!SetCurrentDirectoryA(options.cwd.c_str())) {
      *error = "cannot enter directory " + options.cwd + ", error " +
               std::to_string(GetLastError());
      return false;
    }
  }
  // No handle inheritance: the program under test must not keep our
  // stdout pipe open after we exit.
  const BOOL ok = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr,
                                 FALSE, 0, nullptr,
                                 switchDir ? options.cwd.c_str() : nullptr,
                                 &startup, process);
  const DWORD lastError = GetLastError();
  if (switchDir) SetCurrentDirectoryA(saved);
  if (!ok) {
    *error = "CreateProcess failed, error " + std::to_string(lastError);
    return false;
  }
  return true;
}

std::string FullPath(const std::string& path) {
  if (path.empty()) return path;
  char full[MAX_PATH * 4];
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
  if (length == 0 || length >= sizeof(full)) return path;
  return full;
}

int Run() {
  // Bare \n line ends on stdout whatever it is redirected to.
  _setmode(_fileno(stdout), _O_BINARY);

  Options options;
  std::string error;
  if (!ParseOptions(SplitCommandLine(GetCommandLineA()), &options, &error)) {
    if (!error.empty()) fprintf(stderr, "boxanswer: %s\n", error.c_str());
    fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (!options.hasRun && options.answers.empty() && options.statusTitles.empty()) {
    fputs("boxanswer: nothing to wait for (give --run, --answer or --watch-status)\n", stderr);
    fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (!options.screenshot.empty() && options.statusTitles.empty()) {
    fputs("boxanswer: warning: --screenshot is only taken for a --watch-status window\n",
          stderr);
  }
  options.transcript = FullPath(options.transcript);
  options.screenshot = FullPath(options.screenshot);
  options.screenshotDir = FullPath(options.screenshotDir);
  if (!options.screenshotDir.empty()) CreateDirectoryA(options.screenshotDir.c_str(), nullptr);

  Clock clock;
  Transcript transcript(options.transcript);
  Watcher watcher(options, clock, &transcript);
  const uint64_t timeoutMs = static_cast<uint64_t>(options.timeoutSeconds * 1000.0);

  PROCESS_INFORMATION process = {};
  if (options.hasRun) {
    if (!StartProgram(options, &process, &error)) {
      watcher.Emit(Event(clock.Ms(), "error").Add("message", error).Add("cmd", options.run));
      return kExitUsage;
    }
    watcher.Emit(Event(clock.Ms(), "started")
                     .Add("cmd", options.run)
                     .Add("pid", process.dwProcessId)
                     .Add("cwd", options.cwd)
                     .Add("epoch", clock.EpochMs()));
  }

  bool exited = false;
  DWORD exitCode = 0;
  uint64_t exitedMs = 0;
  for (;;) {
    const uint64_t pollStart = clock.Ms();
    watcher.Poll();

    if (options.hasRun && !exited &&
        WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
      exited = true;
      exitedMs = clock.Ms();
      GetExitCodeProcess(process.hProcess, &exitCode);
    }

    const uint64_t now = clock.Ms();
    bool done = false;
    if (options.hasRun) {
      done = exited && now >= exitedMs + options.graceMs && !watcher.HasPendingWork();
    } else if (!options.answers.empty()) {
      done = watcher.FirstBoxFinished() && !watcher.HasPendingWork();
    } else {
      done = watcher.StatusWindowGone() && !watcher.HasPendingWork();
    }
    if (done) {
      if (options.hasRun) {
        watcher.Emit(Event(now, "exit").Add("code", exitCode).Add("pid", process.dwProcessId));
      }
      break;
    }

    if (now >= timeoutMs) {
      // Leave everything running: the test decides what to clean up, and
      // killing here could hide what state the program was stuck in.
      Event timeout(now, "timeout");
      char seconds[32];
      snprintf(seconds, sizeof(seconds), "%g", options.timeoutSeconds);
      timeout.Add("seconds", seconds);
      if (options.hasRun) {
        timeout.Add("running", !exited).Add("pid", process.dwProcessId);
      }
      watcher.Emit(timeout);
      if (exited) {
        watcher.Emit(Event(now, "exit").Add("code", exitCode).Add("pid", process.dwProcessId));
      }
      if (options.hasRun) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
      }
      return kExitTimeout;
    }

    const uint64_t spent = clock.Ms() - pollStart;
    Sleep(spent >= kPollMs ? 1 : static_cast<DWORD>(kPollMs - spent));
  }
  if (options.hasRun) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  return kExitOk;
}

}  // namespace
}  // namespace boxanswer

int main() { return boxanswer::Run(); }
