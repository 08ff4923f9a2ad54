#include "arrivals.h"

#include <tlhelp32.h>

namespace boxanswer {
namespace {

// The image name of a running process; "" when it has gone.
std::string ExeOfProcess(DWORD pid) {
  std::string exe;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return exe;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == pid) exe = entry.szExeFile;
  }
  CloseHandle(snapshot);
  // Some systems report a full path; the image name is what readers need.
  return exe.substr(exe.find_last_of("\\/") + 1);
}

}  // namespace

void ArrivalReporter::ReportNewWindows(uint64_t now, const std::vector<TopWindow>& windows) {
  ForgetDestroyedWindows(&reportedWindows_);
  for (const TopWindow& window : windows) {
    HWND hwnd = window.hwnd;
    if (reportedWindows_.count(hwnd) || !window.visible || window.title.empty()) continue;
    const std::string className = ClassName(hwnd);
    // Wine's own helper windows are not part of the program under test.
    if (SameTextNoCase(className.substr(0, 6), "__wine")) continue;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId()) continue;
    reportedWindows_.insert(hwnd);
    transcript_->Write(Event(now, "window")
                           .Add("title", window.title)
                           .Add("class", className)
                           .Add("pid", pid)
                           .Add("exe", ExeOfProcess(pid))
                           .Add("hwnd", HexHandle(hwnd)));
  }
}

}  // namespace boxanswer
