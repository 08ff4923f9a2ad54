// One stand-in for every outside program KWUNINST meets on a Wine machine.
// As the product's programs are told apart, it plays the program whose file
// name it runs under (README.md):
//
//   Uninst.exe                 the setup-log uninstaller: asks "Confirm File
//                              Deletion", then removes its log's entries
//   a program of the product's footprint (K-TASKER.EXE, ...)
//                              that program: holds its files, shows its
//                              window, lets go when asked to close
//   any other name             a program of the user's that holds one file
//                              open: <name> <file> [--release-when <title>]
//                              [--after <ms>]
//
// Everything it does is appended to a trace file, which the tests and the
// demo read to see what KWUNINST did to it, and when.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/footprint.h"

namespace {

const UINT_PTR kTimer = 1;

enum class Role { kUninstaller, kProgram, kHolder };

struct State {
  Role role = Role::kHolder;
  std::string trace;       // the trace file, "" for none
  std::string prefix;      // before each event: the program's name and a TAB, but for Uninst.exe
  std::string name;        // our own file name, upper-cased
  std::vector<std::string> lines;  // what the window shows
  std::vector<std::pair<std::string, HANDLE>> held;
  HMODULE library = nullptr;  // the holder's file, loaded as a library
  std::string libraryPath;
  // Uninst.exe
  std::vector<std::string> entries;
  std::size_t next = 0;
  unsigned long ticks = 0;
  bool watchZorder = false;
  // the product's programs
  unsigned long exitDelayMs = 0;
  bool refuseClose = false, hang = false, closingLate = false;
  // the holder of a file
  std::string releaseWhen;
  unsigned long afterMs = 0;
  ULONGLONG seenAt = 0;
} g;

// Milliseconds since the Unix epoch: every process on the machine reads the
// same clock, so the lines of several traces make one time line.
unsigned long long UnixMillisNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return ticks / 10000 - 11644473600000ULL;  // FILETIME counts 100 ns from 1601
}

// Appends "<ms>\t[<name>\t]<event>\t<detail>\n", opened and closed for every
// line, so that what was traced is on disk even if the process is killed.
// Shared for reading only: programs appending at the same moment take turns
// (under Wine, two appends shared for writing landed one over the other).
// A line that cannot be written is dropped: the program behaves the same.
void Trace(const std::string& event, std::string detail = "") {
  if (g.trace.empty()) return;
  const DWORD savedError = GetLastError();
  for (char& c : detail) c = c == '\r' || c == '\n' ? ' ' : c;
  const std::string line =
      std::to_string(UnixMillisNow()) + "\t" + g.prefix + event + "\t" + detail + "\n";
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    file = CreateFileA(g.trace.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Sleep(10);
  }
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
  }
  SetLastError(savedError);
}

int Finish(int code) {
  Trace("exit", std::to_string(code));
  return code;
}

std::string Env(const std::string& name) {
  char value[1024] = "";
  const DWORD length = GetEnvironmentVariableA(name.c_str(), value, sizeof value);
  return length < sizeof value ? std::string(value, length) : std::string();
}

std::string Upper(std::string text) {
  CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::string Hex(const void* value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(value)));
  return text;
}

std::string CurrentDirectory() {
  char directory[MAX_PATH] = "";
  return std::string(directory, GetCurrentDirectoryA(MAX_PATH, directory));
}

// Holds a file as a running program holds its own: no sharing at all, so
// that nobody can open, replace or delete it meanwhile.
void Hold(const std::string& path) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Trace("hold-failed", path + "\t" + std::to_string(GetLastError()));
    return;
  }
  g.held.emplace_back(path, file);
  Trace("held", path);
}

void ReleaseAll() {
  for (const auto& [path, file] : g.held) {
    CloseHandle(file);
    Trace("released", path);
  }
  g.held.clear();
  if (g.library == nullptr) return;
  FreeLibrary(g.library);
  g.library = nullptr;
  Trace("released", g.libraryPath);
}

// --- Uninst.exe ----------------------------------------------------------------

// The real uninstaller is started as "<program> -f<log path>", the path
// unquoted and up to the end; anything else is a command line it would
// misread.
bool LogPathOf(const char* commandLine, std::string* logPath) {
  const char* p = commandLine;
  p = *p == '"' ? std::strchr(p + 1, '"') : p + std::strcspn(p, " \t");
  if (p == nullptr || std::strncmp(p + (*p == '"'), " -f", 3) != 0) return false;
  *logPath = p + (*p == '"') + 3;
  return !logPath->empty() && logPath->find('"') == std::string::npos &&
         logPath->find_first_of(" \t") != 0 && logPath->find_last_of(" \t") != logPath->size() - 1;
}

// One entry a line, blank lines and '#' comments left out; none when the
// log cannot be read (traced no-log).
void ReadInstallLog(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Trace("no-log", path + "\t" + std::to_string(GetLastError()));
    return;
  }
  std::string text, line;
  char buffer[4096];
  for (DWORD got = 0; ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0;) text.append(buffer, got);
  CloseHandle(file);
  for (char c : text + "\n") {
    if (c != '\n') {
      line += c;
      continue;
    }
    const std::size_t first = line.find_first_not_of(" \t\r"), last = line.find_last_not_of(" \t\r");
    if (first != std::string::npos && line[first] != '#') g.entries.push_back(line.substr(first, last - first + 1));
    line.clear();
  }
}

// "HKLM\path" (or the long root names): the root, and the path below it,
// never empty: the root itself is never deleted.
HKEY KeyOf(const std::string& text, std::string* path) {
  const std::string root = Upper(text.substr(0, text.find('\\')));
  *path = text.find('\\') == std::string::npos ? "" : text.substr(text.find('\\') + 1);
  if (path->empty()) return nullptr;
  if (root == "HKLM" || root == "HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
  if (root == "HKCU" || root == "HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
  return root == "HKCR" || root == "HKEY_CLASSES_ROOT" ? HKEY_CLASSES_ROOT : nullptr;
}

// FILE, DIR, KEY (with everything below it) or VALUE ("<key>|<name>", an
// empty name for the unnamed value): ERROR_SUCCESS or the Win32 error.
DWORD RemoveEntry(const std::string& entry) {
  const std::string kind = Upper(entry.substr(0, entry.find(' ')));
  const std::string target = entry.find(' ') == std::string::npos ? "" : entry.substr(entry.find(' ') + 1);
  std::string path;
  if (kind == "FILE") {
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);  // as the real one, read-only too
    return DeleteFileA(target.c_str()) ? ERROR_SUCCESS : GetLastError();
  }
  if (kind == "DIR") return RemoveDirectoryA(target.c_str()) ? ERROR_SUCCESS : GetLastError();
  if (kind == "KEY") {
    const HKEY root = KeyOf(target, &path);
    if (root == nullptr) return ERROR_INVALID_PARAMETER;
    return RegDeleteTreeA(root, path.c_str());  // the key itself too
  }
  const std::size_t bar = target.find('|');
  const HKEY root = KeyOf(target.substr(0, bar), &path);
  HKEY key = nullptr;
  if (kind != "VALUE" || bar == std::string::npos || root == nullptr) return ERROR_INVALID_PARAMETER;
  LONG result = RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, &key);
  if (result != ERROR_SUCCESS) return result;
  result = RegDeleteValueA(key, target.substr(bar + 1).c_str());
  RegCloseKey(key);
  return result;
}

// Each tick removes the log's next entry; the tick after the last ends it.
void OnUninstallTick(HWND window) {
  Trace("tick", std::to_string(++g.ticks));
  if (g.next < g.entries.size()) {
    const std::string& entry = g.entries[g.next++];
    const DWORD result = RemoveEntry(entry);
    Trace("removed", entry + "\t" + (result == ERROR_SUCCESS ? "ok" : std::to_string(result)));
    g.lines[1] = "Removing: " + entry;
    InvalidateRect(window, nullptr, TRUE);
    return;
  }
  KillTimer(window, kTimer);
  g.watchZorder = false;
  Trace("done", std::to_string(g.entries.size()));
  DestroyWindow(window);
}

// --- The product's programs and the user's -------------------------------------

void CALLBACK EndLate(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  ReleaseAll();
  PostQuitMessage(0);
}

void OnProgramClose(HWND window) {
  Trace("close-request");
  if (g.refuseClose) return Trace("close-refused");
  if (g.hang) {
    // Stuck inside the close request: the sender gets no answer, the files
    // stay held.
    Trace("hang");
    for (;;) Sleep(INFINITE);
  }
  if (g.exitDelayMs > 0) {
    // The window goes at once, the files only when the program has ended,
    // counted from the close request; a thread timer serves the wait.
    g.closingLate = true;
    SetTimer(nullptr, 0, static_cast<UINT>(g.exitDelayMs), EndLate);
  } else {
    ReleaseAll();  // free by the time the close request returns
  }
  DestroyWindow(window);
}

// The holder lets go a while after the window it waits for has appeared:
// the user reads the box, closes the program, and answers Retry.
void OnHolderTick(HWND window) {
  if (g.seenAt == 0) {
    if (FindWindowA(nullptr, g.releaseWhen.c_str()) == nullptr) return;
    g.seenAt = GetTickCount64();
    Trace("window-seen", g.releaseWhen);
  }
  if (GetTickCount64() - g.seenAt < g.afterMs) return;
  KillTimer(window, kTimer);
  ReleaseAll();
  DestroyWindow(window);
}

// --- The window every role shows ---------------------------------------------

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const bool uninstaller = g.role == Role::kUninstaller;
  const bool program = g.role == Role::kProgram;
  switch (message) {
    case WM_TIMER:
      if (wparam != kTimer) break;
      if (uninstaller) {
        OnUninstallTick(window);
      } else if (program) {
        // A moment after showing, once any activation has settled.
        KillTimer(window, kTimer);
        Trace("shown", std::string("iconic=") + (IsIconic(window) ? "1" : "0") +
                           "\tforeground=" + (GetForegroundWindow() == window ? "1" : "0"));
      } else {
        OnHolderTick(window);
      }
      return 0;
    case WM_WINDOWPOSCHANGING: {
      // A z-order request from outside (BringWindowToTop): seen even when
      // the window is on top already and nothing changes.
      const auto* position = reinterpret_cast<const WINDOWPOS*>(lparam);
      if (uninstaller && g.watchZorder && !(position->flags & SWP_NOZORDER)) {
        Trace("zorder-request", "flags=" + Hex(reinterpret_cast<void*>(static_cast<UINT_PTR>(position->flags))) +
                                    "\tinsert_after=" + Hex(position->hwndInsertAfter));
      }
      break;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      SetBkMode(dc, TRANSPARENT);
      for (std::size_t i = 0; i < g.lines.size(); ++i) {
        TextOutA(dc, 16, 16 + 30 * static_cast<int>(i), g.lines[i].c_str(), static_cast<int>(g.lines[i].size()));
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_CLOSE:
      if (uninstaller) return 0;  // the removal cannot be cancelled half-way
      if (program) {
        OnProgramClose(window);
      } else {
        Trace("close-request");
        ReleaseAll();
        DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      if (!g.closingLate) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// Shows the role's window and serves it until it goes; the exit code.
int ShowAndServe(HINSTANCE instance, const std::string& title, int width, int height, int show,
                 UINT timerMs) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = "KWStandIn";
  RegisterClassA(&windowClass);
  // Centred in the work area, where the real uninstaller puts its window:
  // KWUNINST's status window then shows over it.
  RECT work = {0, 0, 1024, 768};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const HWND window = CreateWindowExA(0, "KWStandIn", title.c_str(), WS_OVERLAPPEDWINDOW,
                                      (work.left + work.right - width) / 2, (work.top + work.bottom - height) / 2,
                                      width, height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    Trace("window-failed", std::to_string(GetLastError()));
    ReleaseAll();
    return Finish(1);
  }
  ShowWindow(window, show);
  UpdateWindow(window);
  if (g.role == Role::kUninstaller) Trace("progress-window", "hwnd=" + Hex(window));
  g.watchZorder = true;
  if (timerMs > 0) SetTimer(window, kTimer, timerMs, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  ReleaseAll();  // in case the window went some other way
  return Finish(0);
}

int PlayUninstaller(HINSTANCE instance) {
  std::string logPath;
  if (!LogPathOf(GetCommandLineA(), &logPath)) {
    Trace("bad-args", GetCommandLineA());
    return Finish(2);
  }
  ReadInstallLog(logPath);
  Trace("question-shown");
  const int answer =
      MessageBoxA(nullptr, "Are you sure you want to completely remove the selected application and all of its components?",
                  "Confirm File Deletion", MB_YESNO | MB_ICONQUESTION);
  Trace("answer", answer == IDYES ? "yes" : "no");
  if (answer != IDYES) return Finish(0);
  g.lines = {"Removing the application listed in " + logPath, "Preparing to remove files..."};
  const char* tick = std::getenv("KW_UNINST_TICK_MS");
  return ShowAndServe(instance, "Remove Programs From Your Computer", 420, 200, SW_SHOWNORMAL,
                      tick != nullptr && std::atoi(tick) > 0 ? static_cast<UINT>(std::atoi(tick)) : 250);
}

int PlayProgram(HINSTANCE instance, const kw::footprint::Program& program, const std::string& directory) {
  // Its options: KW_STANDIN_<NAME>_..., the name without extension, '-' as '_'.
  std::string options = "KW_STANDIN_" + g.name.substr(0, g.name.rfind('.')) + "_";
  for (char& c : options) c = c == '-' ? '_' : c;
  g.exitDelayMs = std::strtoul(Env(options + "EXIT_DELAY_MS").c_str(), nullptr, 10);
  g.refuseClose = Env(options + "REFUSE_CLOSE") == "1";
  g.hang = Env(options + "HANG") == "1";
  // Held before the window exists: whoever sees the window can rely on it.
  for (const std::string& file : kw::footprint::HeldBy(program)) Hold(directory + "\\" + file);
  // What SW_SHOWDEFAULT means: the show state the creator put in
  // STARTUPINFO, else a normal window.
  STARTUPINFOA startup = {};
  GetStartupInfoA(&startup);
  return ShowAndServe(instance, program.title, 400, 200,
                      startup.dwFlags & STARTF_USESHOWWINDOW ? startup.wShowWindow : SW_SHOWNORMAL, 300);
}

int PlayHolder(HINSTANCE instance) {
  bool load = false, understood = __argc >= 2;
  for (int i = 2; i < __argc && understood; ++i) {
    const std::string option = __argv[i];
    if (option == "--load") {
      load = true;
    } else if (option == "--release-when" && i + 1 < __argc) {
      g.releaseWhen = __argv[++i];
    } else if (option == "--after" && i + 1 < __argc) {
      g.afterMs = std::strtoul(__argv[++i], nullptr, 10);
    } else {
      understood = false;
    }
  }
  if (!understood) {
    Trace("bad-args", GetCommandLineA());
    return Finish(2);
  }
  const std::string path = __argv[1];
  g.lines = {path};
  if (!load) {
    Hold(path);
  } else if ((g.library = LoadLibraryA(path.c_str())) != nullptr) {
    g.libraryPath = path;
    // As the shell loads the product's shell extension: the file cannot
    // be deleted, yet can be renamed and read.
    Trace("loaded", path);
  } else {
    Trace("load-failed", path + "\t" + std::to_string(GetLastError()));
  }
  g.lines.push_back(g.held.empty() && g.library == nullptr ? "could not be opened."
                                                           : load ? "is loaded in this program." : "is open in this program.");
  return ShowAndServe(instance, path.substr(path.rfind('\\') + 1) + " - File Viewer", 360, 120, SW_SHOWNORMAL,
                      g.releaseWhen.empty() ? 0 : 50);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH] = "";
  const std::string own(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  const std::string directory = own.substr(0, own.find_last_of("\\/"));
  g.name = Upper(own.substr(own.find_last_of("\\/") + 1));
  const bool uninstaller = g.name == "UNINST.EXE";
  g.trace = Env(uninstaller ? "KW_UNINST_TRACE" : "KW_STANDIN_TRACE");
  g.prefix = uninstaller ? "" : g.name + "\t";
  STARTUPINFOA startup = {};
  GetStartupInfoA(&startup);
  Trace("started", (uninstaller ? std::string()
                                : "wShowWindow=" + std::to_string(startup.wShowWindow) +
                                      "\tdwFlags=" + Hex(reinterpret_cast<void*>(static_cast<UINT_PTR>(startup.dwFlags))) +
                                      "\t") +
                       GetCommandLineA() + "\tcwd=" + CurrentDirectory());
  if (uninstaller) {
    g.role = Role::kUninstaller;
    return PlayUninstaller(instance);
  }
  for (const kw::footprint::Program& program : kw::footprint::kPrograms) {
    if (g.name != program.file) continue;
    g.role = Role::kProgram;
    return PlayProgram(instance, program, directory);
  }
  return PlayHolder(instance);
}
