#include "box_answerer.h"

#include "clock.h"
#include "screen.h"

namespace boxanswer {

namespace {

// How long a freshly shown box may take to paint its icon and to get its
// buttons before we judge it as it is.
const uint64_t kIconSettleMs = 1000;
const uint64_t kButtonSettleMs = 500;

std::string JoinButtons(const std::vector<Button>& buttons) {
  std::string out;
  for (size_t i = 0; i < buttons.size(); ++i) {
    if (i > 0) out += ',';
    out += buttons[i].text;
  }
  return out;
}

std::string MessageText(HWND hwnd) {
  HWND textControl = MessageTextControl(hwnd);
  return textControl ? WindowText(textControl) : std::string();
}

bool ContainsNoCase(const std::string& text, const std::string& part) {
  for (size_t at = 0; at + part.size() <= text.size(); ++at) {
    if (SameTextNoCase(text.substr(at, part.size()), part)) return true;
  }
  return false;
}

}  // namespace

BoxAnswerer::BoxAnswerer(const std::vector<AnswerRule>& rules, bool onlyFirst,
                         Transcript* transcript, ScreenshotScheduler* screenshots)
    : rules_(rules), onlyFirst_(onlyFirst), transcript_(transcript), screenshots_(screenshots) {}

void BoxAnswerer::Poll(uint64_t now, const std::vector<TopWindow>& windows) {
  TakeNewBoxes(now, windows);
  for (auto it = boxes_.begin(); it != boxes_.end();) {
    const bool finished = it->reported ? TryPress(now, &*it) : TryInspect(now, &*it);
    if (finished) {
      ++finishedCount_;
      it = boxes_.erase(it);
    } else {
      ++it;
    }
  }
}

void BoxAnswerer::TakeNewBoxes(uint64_t now, const std::vector<TopWindow>& windows) {
  ForgetDestroyedWindows(&handled_);
  for (const TopWindow& window : windows) {
    if (onlyFirst_ && (finishedCount_ > 0 || !boxes_.empty())) break;
    HWND hwnd = window.hwnd;
    if (handled_.count(hwnd) || !window.visible) continue;
    const int rule = MatchingRule(hwnd, window.title);
    if (rule < 0) continue;
    handled_.insert(hwnd);
    Box box;
    box.hwnd = hwnd;
    box.rule = static_cast<size_t>(rule);
    box.seenMs = now;
    box.topmost = IsTopMost(hwnd);
    box.caption = window.title;
    boxes_.push_back(box);
  }
}

// The first rule, in the order given, that the window matches.
int BoxAnswerer::MatchingRule(HWND hwnd, const std::string& title) const {
  for (size_t i = 0; i < rules_.size(); ++i) {
    const AnswerRule& rule = rules_[i];
    const bool matches = rule.textPart.empty() ? SameTextNoCase(title, rule.title)
                                               : ContainsNoCase(MessageText(hwnd), rule.textPart);
    if (matches) return static_cast<int>(i);
  }
  return -1;
}

// Looks the box over and reports it once its icon and buttons can be
// judged.  Returns true when nothing more is to be done with it.
bool BoxAnswerer::TryInspect(uint64_t now, Box* box) {
  HWND hwnd = box->hwnd;
  const AnswerRule& rule = rules_[box->rule];
  if (!IsWindow(hwnd)) {
    transcript_->Write(Event(now, "error")
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
  transcript_->Write(Event(box->seenMs, "box")
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
    transcript_->Write(Event(now, "error")
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
    screenshots_->ScheduleInSeries(now, hwnd, "box", box->caption);
  }
  return TryPress(now, box);
}

bool BoxAnswerer::TryPress(uint64_t now, Box* box) {
  if (now < box->pressAtMs) return false;
  if (!IsWindow(box->hwnd)) {
    transcript_->Write(Event(now, "error")
                           .Add("message", "window closed before the button was pressed")
                           .Add("caption", box->caption));
    return true;
  }
  // Exactly what the dialog manager posts when the button is clicked.
  const WPARAM wparam = MAKEWPARAM(static_cast<WORD>(box->target.id), BN_CLICKED);
  if (!PostMessageA(box->hwnd, WM_COMMAND, wparam, reinterpret_cast<LPARAM>(box->target.hwnd))) {
    transcript_->Write(Event(now, "error")
                           .Add("message", "PostMessage failed, error " +
                                               std::to_string(GetLastError()))
                           .Add("caption", box->caption));
  }
  return true;
}

}  // namespace boxanswer
