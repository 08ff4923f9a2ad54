// Stand-in for the setup-log uninstaller (Uninst.exe in the Windows
// directory) that KWUNINST starts as "Uninst.exe -f<install log>".
//
// It behaves like the real one as far as KWUNINST can see it: it asks
// "Confirm File Deletion" with Yes/No, and on Yes shows a "Remove Programs
// From Your Computer" window that removes the logged files, directories and
// registry entries one by one on timer ticks.  Everything it does goes to a
// trace file so the tests can check how KWUNINST drove it.  Environment
// variables make it slow, hang or crash, so that KWUNINST's handling of a
// misbehaving uninstaller can be tested too.  See README.md for the details.

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "trace.h"

namespace {

const char kQuestionTitle[] = "Confirm File Deletion";
const char kQuestionText[] =
    "Are you sure you want to completely remove the selected application and "
    "all of its components?";
const char kProgressTitle[] = "Remove Programs From Your Computer";
const char kProgressClass[] = "KWUninstStandInProgress";
const UINT_PTR kTickTimer = 1;

// Exit code of the abrupt endings (crash modes), so a test can tell them
// from an ordinary end (0) and from a refused command line (2).
const UINT kCrashExitCode = 3;

std::string g_trace_path;

void Trace(const std::string& event, const std::string& detail = "") {
  standin::AppendTraceLine(g_trace_path, event + "\t" + detail);
}

[[noreturn]] void Crash() {
  Trace("crash");
  // TerminateProcess rather than ExitProcess: no DLL detach, no clean-up,
  // the way a faulting program disappears.
  TerminateProcess(GetCurrentProcess(), kCrashExitCode);
  for (;;) Sleep(INFINITE);
}

[[noreturn]] void Hang() {
  Trace("hang");
  // Never returns to the message loop: the window stops answering messages
  // exactly like a program stuck in a loop or a blocking call.
  for (;;) Sleep(INFINITE);
}

// The real uninstaller is started as `<program> -f<log path>` with no quotes
// around the log path and nothing after it.  Anything else means KWUNINST
// built a command line the real program would misread, so refuse it.
bool ParseCommandLine(const char* command_line, std::string* log_path) {
  const char* p = command_line;
  if (*p == '"') {
    p = std::strchr(p + 1, '"');
    if (p == nullptr) return false;
    ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }
  if (std::strncmp(p, " -f", 3) != 0) return false;
  p += 3;
  const std::string path = p;
  if (path.empty()) return false;
  if (path.find('"') != std::string::npos) return false;
  if (path.front() == ' ' || path.front() == '\t') return false;
  if (path.back() == ' ' || path.back() == '\t') return false;
  *log_path = path;
  return true;
}

std::string Trim(const std::string& text) {
  const char* kSpace = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string::npos) return std::string();
  const std::size_t last = text.find_last_not_of(kSpace);
  return text.substr(first, last - first + 1);
}

// Reads the install log: one entry per line, blank lines and '#' comments
// skipped.  Returns false when the file cannot be read.
bool ReadInstallLog(const std::string& path, std::vector<std::string>* entries,
                    DWORD* error) {
  // Share everything: the log may be open elsewhere, and is usually one of
  // the files the log itself asks to delete.
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return false;
  }
  std::string content;
  char buffer[4096];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(h, buffer, sizeof buffer, &got, nullptr)) {
      *error = GetLastError();
      CloseHandle(h);
      return false;
    }
    if (got == 0) break;
    content.append(buffer, got);
  }
  CloseHandle(h);

  std::size_t start = 0;
  while (start <= content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    const std::string line = Trim(content.substr(start, end - start));
    if (!line.empty() && line[0] != '#') entries->push_back(line);
    start = end + 1;
  }
  return true;
}

HKEY ParseRoot(const std::string& name) {
  const std::string upper = standin::ToUpperAscii(name);
  if (upper == "HKLM" || upper == "HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
  if (upper == "HKCU" || upper == "HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
  if (upper == "HKCR" || upper == "HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
  return nullptr;
}

// Splits "<root>\<key path>" into the root key and the path below it.
bool ParseKeyPath(const std::string& text, HKEY* root, std::string* path) {
  const std::size_t slash = text.find('\\');
  if (slash == std::string::npos) return false;
  *root = ParseRoot(text.substr(0, slash));
  *path = text.substr(slash + 1);
  // An empty path would mean the root itself: never delete that.
  return *root != nullptr && !path->empty();
}

// Deletes a key with everything below it, deepest first.  Windows NT's
// RegDeleteKey refuses keys that still have subkeys (Windows 95's does not),
// so do the recursion ourselves and behave the same on both.
LONG DeleteKeyTree(HKEY parent, const std::string& path) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExA(parent, path.c_str(), 0,
                          KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, &key);
  if (rc != ERROR_SUCCESS) return rc;
  for (;;) {
    char name[1024];
    DWORD length = sizeof name;
    // Always index 0: the previous subkey is gone by the next round.
    rc = RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr,
                       nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_SUCCESS) rc = DeleteKeyTree(key, std::string(name, length));
    if (rc != ERROR_SUCCESS) {
      RegCloseKey(key);
      return rc;
    }
  }
  RegCloseKey(key);
  return RegDeleteKeyA(parent, path.c_str());
}

// Removes what one log entry names.  Returns ERROR_SUCCESS or a Win32 error
// number (ERROR_INVALID_PARAMETER for an entry we cannot understand).
DWORD RemoveEntry(const std::string& entry) {
  const std::size_t space = entry.find(' ');
  if (space == std::string::npos) return ERROR_INVALID_PARAMETER;
  const std::string kind = standin::ToUpperAscii(entry.substr(0, space));
  const std::string target = Trim(entry.substr(space + 1));
  if (target.empty()) return ERROR_INVALID_PARAMETER;

  if (kind == "FILE") {
    // A read-only file cannot be deleted; the real uninstaller clears the
    // attribute first.
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY)) {
      SetFileAttributesA(target.c_str(),
                         attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    return DeleteFileA(target.c_str()) ? ERROR_SUCCESS : GetLastError();
  }
  if (kind == "DIR") {
    return RemoveDirectoryA(target.c_str()) ? ERROR_SUCCESS : GetLastError();
  }
  if (kind == "KEY") {
    HKEY root;
    std::string path;
    if (!ParseKeyPath(target, &root, &path)) return ERROR_INVALID_PARAMETER;
    return static_cast<DWORD>(DeleteKeyTree(root, path));
  }
  if (kind == "VALUE") {
    // Key paths never contain '|', value names may: split at the first one.
    const std::size_t bar = target.find('|');
    if (bar == std::string::npos) return ERROR_INVALID_PARAMETER;
    HKEY root;
    std::string path;
    if (!ParseKeyPath(target.substr(0, bar), &root, &path)) {
      return ERROR_INVALID_PARAMETER;
    }
    const std::string value_name = target.substr(bar + 1);
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, &key);
    if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
    // An empty name is the key's unnamed (default) value.
    rc = RegDeleteValueA(key, value_name.empty() ? nullptr : value_name.c_str());
    RegCloseKey(key);
    return static_cast<DWORD>(rc);
  }
  return ERROR_INVALID_PARAMETER;
}

// State of the removal, driven by the progress window's timer.
struct Removal {
  std::string log_path;
  std::vector<std::string> entries;
  std::size_t next = 0;
  unsigned long ticks = 0;
  // Z-order changes are watched once the window's own creation and showing
  // are over, until the window starts going away (hiding it on destruction
  // is a z-order change too).  Not from the first tick: the thread may be
  // frozen before it, and a request sent meanwhile is handled on thawing,
  // before any timer message.
  bool watch_zorder = false;
  std::string status = "Preparing to remove files...";
};

Removal g_removal;

void OnTick(HWND hwnd) {
  ++g_removal.ticks;
  Trace("tick", std::to_string(g_removal.ticks));
  if (g_removal.next < g_removal.entries.size()) {
    const std::string& entry = g_removal.entries[g_removal.next++];
    const DWORD rc = RemoveEntry(entry);
    Trace("removed",
          entry + "\t" + (rc == ERROR_SUCCESS ? std::string("ok")
                                              : std::to_string(rc)));
    g_removal.status = "Removing: " + entry;
    InvalidateRect(hwnd, nullptr, TRUE);
    return;
  }
  // One tick after the last entry, like the real program that shows its
  // final state for a moment before closing.
  KillTimer(hwnd, kTickTimer);
  g_removal.watch_zorder = false;
  Trace("done", std::to_string(g_removal.entries.size()));
  DestroyWindow(hwnd);
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wparam,
                              LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kTickTimer) OnTick(hwnd);
      return 0;
    case WM_WINDOWPOSCHANGING: {
      // A z-order request from outside (e.g. BringWindowToTop).  Seen even
      // when the window is already on top, where the system drops the
      // request and no WM_WINDOWPOSCHANGED follows.
      const WINDOWPOS* pos = reinterpret_cast<const WINDOWPOS*>(lparam);
      if (g_removal.watch_zorder && !(pos->flags & SWP_NOZORDER)) {
        Trace("zorder-request",
              "flags=" + standin::Hex(pos->flags) + "\tinsert_after=" +
                  standin::Hex(reinterpret_cast<std::uintptr_t>(
                      pos->hwndInsertAfter)));
      }
      break;
    }
    case WM_WINDOWPOSCHANGED: {
      // The z-order really changed, at someone else's request (for
      // KWUNINST: bringing the window to the top).
      const WINDOWPOS* pos = reinterpret_cast<const WINDOWPOS*>(lparam);
      if (g_removal.watch_zorder && !(pos->flags & SWP_NOZORDER)) {
        Trace("zorder-raised",
              "flags=" + standin::Hex(pos->flags) + "\tinsert_after=" +
                  standin::Hex(reinterpret_cast<std::uintptr_t>(
                      pos->hwndInsertAfter)) +
                  "\ttop=" + (GetTopWindow(nullptr) == hwnd ? "1" : "0"));
      }
      break;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      SetBkMode(dc, TRANSPARENT);
      const std::string line1 =
          "Removing the application listed in " + g_removal.log_path;
      TextOutA(dc, 16, 20, line1.c_str(), static_cast<int>(line1.size()));
      TextOutA(dc, 16, 50, g_removal.status.c_str(),
               static_cast<int>(g_removal.status.size()));
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_CLOSE:
      // The removal cannot be cancelled half-way: the window closes itself
      // when it is done.
      Trace("close-ignored");
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

// Traces the moment the question box really appears (it is shown by
// MessageBoxA's own modal loop, which we do not control).
HHOOK g_question_hook = nullptr;
bool g_question_traced = false;

LRESULT CALLBACK QuestionHook(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION && !g_question_traced) {
    const CWPSTRUCT* msg = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (msg->message == WM_SHOWWINDOW && msg->wParam) {
      char title[128] = "";
      GetWindowTextA(msg->hwnd, title, sizeof title);
      if (std::strcmp(title, kQuestionTitle) == 0) {
        g_question_traced = true;
        Trace("question-shown",
              "hwnd=" + standin::Hex(reinterpret_cast<std::uintptr_t>(msg->hwnd)));
      }
    }
  }
  return CallNextHookEx(g_question_hook, code, wparam, lparam);
}

bool AskQuestion() {
  g_question_hook = SetWindowsHookExA(WH_CALLWNDPROC, QuestionHook, nullptr,
                                      GetCurrentThreadId());
  if (g_question_hook == nullptr) {
    g_question_traced = true;
    Trace("question-shown", "hwnd=unknown");
  }
  const int answer = MessageBoxA(nullptr, kQuestionText, kQuestionTitle,
                                 MB_YESNO | MB_ICONQUESTION);
  if (g_question_hook != nullptr) UnhookWindowsHookEx(g_question_hook);
  if (!g_question_traced) Trace("question-shown", "hwnd=unknown");
  Trace("answer", answer == IDYES ? "yes" : "no");
  return answer == IDYES;
}

int Finish(int code) {
  Trace("exit", std::to_string(code));
  return code;
}

int RunRemoval(HINSTANCE instance, const std::string& mode) {
  standin::RegisterWindowClass(instance, kProgressClass, ProgressProc, COLOR_BTNFACE);

  // Centred in the work area, where the real uninstaller puts its dialog:
  // the status window of the program under test then shows over it.
  RECT work = {0, 0, 1024, 768};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const int width = 420;
  const int height = 200;
  HWND hwnd = CreateWindowExA(0, kProgressClass, kProgressTitle,
                              WS_OVERLAPPEDWINDOW,
                              work.left + (work.right - work.left - width) / 2,
                              work.top + (work.bottom - work.top - height) / 2,
                              width, height, nullptr, nullptr, instance,
                              nullptr);
  if (hwnd == nullptr) {
    Trace("progress-window", "failed\t" + std::to_string(GetLastError()));
    return Finish(1);
  }
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  Trace("progress-window",
        "hwnd=" + standin::Hex(reinterpret_cast<std::uintptr_t>(hwnd)));
  g_removal.watch_zorder = true;

  if (mode == "hang") Hang();

  const unsigned long tick_ms = standin::GetEnvUnsigned("KW_UNINST_TICK_MS", 250);
  SetTimer(hwnd, kTickTimer, static_cast<UINT>(tick_ms), nullptr);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return Finish(0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  g_trace_path = standin::GetEnv("KW_UNINST_TRACE");
  const char* command_line = GetCommandLineA();
  Trace("started",
        std::string(command_line) + "\tcwd=" + standin::CurrentDirectory());

  if (!ParseCommandLine(command_line, &g_removal.log_path)) {
    Trace("bad-args", command_line);
    return Finish(2);
  }

  std::string mode = standin::GetEnv("KW_UNINST_MODE");
  if (mode.empty()) mode = "normal";
  if (mode == "crash-before-question") Crash();

  DWORD error = 0;
  if (!ReadInstallLog(g_removal.log_path, &g_removal.entries, &error)) {
    Trace("no-log", g_removal.log_path + "\t" + std::to_string(error));
    g_removal.entries.clear();
  }

  const unsigned long delay_ms =
      standin::GetEnvUnsigned("KW_UNINST_QUESTION_DELAY_MS", 0);
  if (delay_ms > 0) Sleep(delay_ms);

  if (!AskQuestion()) return Finish(0);
  if (mode == "crash") Crash();
  return RunRemoval(instance, mode);
}
