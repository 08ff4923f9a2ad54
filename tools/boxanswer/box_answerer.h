// Answers the boxes the --answer and --answer-text rules match: looks each
// one over (text, buttons, icon, owner), reports it, and presses the rule's
// button when its delay is up.
#ifndef BOXANSWER_BOX_ANSWERER_H
#define BOXANSWER_BOX_ANSWERER_H

#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "options.h"
#include "screenshot_scheduler.h"
#include "transcript.h"
#include "window_watch.h"

namespace boxanswer {

class BoxAnswerer {
 public:
  // With onlyFirst, only the first box that matches is answered (boxanswer
  // without --run waits for one box).
  BoxAnswerer(const std::vector<AnswerRule>& rules, bool onlyFirst, Transcript* transcript,
              ScreenshotScheduler* screenshots);

  void Poll(uint64_t now, const std::vector<TopWindow>& windows);
  // Whether a box was answered, or given up.
  bool AnyBoxFinished() const { return finishedCount_ > 0; }
  // Boxes seen but not yet answered.
  bool HasPending() const { return !boxes_.empty(); }

 private:
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

  void TakeNewBoxes(uint64_t now, const std::vector<TopWindow>& windows);
  int MatchingRule(HWND hwnd, const std::string& title) const;
  bool TryInspect(uint64_t now, Box* box);
  bool TryPress(uint64_t now, Box* box);

  const std::vector<AnswerRule> rules_;
  const bool onlyFirst_;
  Transcript* transcript_;
  ScreenshotScheduler* screenshots_;
  std::set<HWND> handled_;
  std::vector<Box> boxes_;
  int finishedCount_ = 0;
};

}  // namespace boxanswer

#endif
