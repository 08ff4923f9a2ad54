#include "arrivals.h"

namespace boxanswer {

namespace {

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && SameTextNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

ArrivalReporter::ArrivalReporter(Transcript* transcript)
    : transcript_(transcript), selfPid_(GetCurrentProcessId()) {
  SnapshotProcesses(&processes_);
}

void ArrivalReporter::ReportNewProcesses(uint64_t now) {
  std::map<DWORD, ProcessInfo> current;
  if (!SnapshotProcesses(&current)) return;
  for (const auto& entry : current) {
    const ProcessInfo& info = entry.second;
    if (info.pid == selfPid_) continue;
    auto before = processes_.find(info.pid);
    if (before != processes_.end() && before->second.exe == info.exe) continue;
    transcript_->Write(Event(now, "process")
                           .Add("exe", info.exe)
                           .Add("pid", info.pid)
                           .Add("ppid", info.parentPid));
  }
  processes_.swap(current);
}

std::string ArrivalReporter::ExeOf(uint64_t now, DWORD pid) {
  auto found = processes_.find(pid);
  if (found == processes_.end()) {
    // The window's process started after this poll's snapshot: take the
    // next one now, so its "process" event still precedes the window.
    ReportNewProcesses(now);
    found = processes_.find(pid);
  }
  return found == processes_.end() ? std::string() : found->second.exe;
}

void ArrivalReporter::ReportNewWindows(uint64_t now, const std::vector<TopWindow>& windows) {
  ForgetDestroyedWindows(&reportedWindows_);
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
    transcript_->Write(Event(now, "window")
                           .Add("title", title)
                           .Add("class", className)
                           .Add("pid", pid)
                           .Add("exe", ExeOf(now, pid))
                           .Add("hwnd", HexHandle(hwnd)));
  }
}

}  // namespace boxanswer
