#include "screenshot_scheduler.h"

#include <cstdio>

#include "screen.h"

namespace boxanswer {

ScreenshotScheduler::ScreenshotScheduler(const std::string& seriesDir, const Clock& clock,
                                         Transcript* transcript)
    : seriesDir_(seriesDir), clock_(clock), transcript_(transcript) {}

void ScreenshotScheduler::ScheduleInSeries(uint64_t now, HWND window, const char* of,
                                           const std::string& text) {
  if (seriesDir_.empty()) return;
  for (Shot& shot : shots_) {
    if (shot.window != window) continue;
    shot.dueMs = now + kScreenshotDelayMs;
    shot.text = text;
    return;
  }
  char name[32];
  snprintf(name, sizeof(name), "\\%02d-%s.png", ++seriesCount_, of);
  shots_.push_back({now + kScreenshotDelayMs, seriesDir_ + name, window, of, text});
}

void ScreenshotScheduler::TakeDue(uint64_t now) {
  for (auto it = shots_.begin(); it != shots_.end();) {
    if (now < it->dueMs) {
      ++it;
      continue;
    }
    Take(*it);
    it = shots_.erase(it);
  }
}

void ScreenshotScheduler::Take(const Shot& shot) {
  int width = 0;
  int height = 0;
  std::string error;
  const uint64_t at = clock_.Ms();
  if (SaveScreenshotPng(shot.path, &width, &height, &error)) {
    Event event(at, "screenshot");
    transcript_->Write(event.Add("path", shot.path)
                           .Add("width", width)
                           .Add("height", height)
                           .Add("of", shot.of)
                           .Add("text", shot.text));
  } else {
    transcript_->Write(Event(at, "error")
                           .Add("message", "screenshot failed: " + error)
                           .Add("path", shot.path));
  }
}

}  // namespace boxanswer
