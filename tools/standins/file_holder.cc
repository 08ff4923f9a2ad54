// Stand-in for another program that has one of the product's files open
// when KWUNINST comes to delete it: a log viewer, say, or a virus scanner
// of the user's.  KWUNINST then shows its Retry/Cancel box for that file.
//
// The holder opens the file without sharing (or, with --load, loads it as a
// library, as the shell loads the product's shell extension) and shows a
// small window that says so.  It lets go of the file when its window is
// asked to close, or, with --release-when, a while after a window with the
// given title has appeared: the user reads the box, closes the program that
// held the file, and answers Retry.  See README.md.

#include <windows.h>

#include <cstdlib>
#include <string>

#include "trace.h"

namespace {

const char kWindowClass[] = "KWFileHolder";
const UINT_PTR kWatchTimer = 1;
const UINT kWatchPeriodMs = 50;

struct State {
  std::string trace_path;
  std::string name;          // our own file name, upper case
  std::string path;          // the held file
  HANDLE file = INVALID_HANDLE_VALUE;
  bool load = false;          // loads the file as a library instead
  HMODULE library = nullptr;
  std::string release_when;  // window title that makes us let go; "" never
  unsigned long after_ms = 0;
  std::uint64_t seen_ms = 0; // when that window was first seen, 0 not yet
};

State g;

void Trace(const std::string& event, const std::string& detail = "") {
  standin::AppendTraceLine(g.trace_path, g.name + "\t" + event + "\t" + detail);
}

bool Holds() { return g.file != INVALID_HANDLE_VALUE || g.library != nullptr; }

void Release() {
  if (!Holds()) return;
  if (g.library != nullptr) FreeLibrary(g.library);
  if (g.file != INVALID_HANDLE_VALUE) CloseHandle(g.file);
  g.library = nullptr;
  g.file = INVALID_HANDLE_VALUE;
  Trace("released", g.path);
}

void WatchForReleaseWindow(HWND hwnd) {
  const std::uint64_t now = standin::UnixMillisNow();
  if (g.seen_ms == 0) {
    if (FindWindowA(nullptr, g.release_when.c_str()) == nullptr) return;
    g.seen_ms = now;
    Trace("window-seen", g.release_when);
  }
  if (now - g.seen_ms < g.after_ms) return;
  KillTimer(hwnd, kWatchTimer);
  Release();
  DestroyWindow(hwnd);
}

void Paint(HWND hwnd) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  RECT client;
  GetClientRect(hwnd, &client);
  InflateRect(&client, -12, -12);
  const std::string text = !Holds() ? "Could not open " + g.path
                                    : g.path + (g.load ? " is loaded" : " is open") + " in this program.";
  SetBkMode(dc, TRANSPARENT);
  DrawTextA(dc, text.c_str(), -1, &client, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  EndPaint(hwnd, &paint);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kWatchTimer) WatchForReleaseWindow(hwnd);
      return 0;
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_CLOSE:
      Trace("close-request");
      Release();
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

std::string OwnName() {
  char path[MAX_PATH + 1] = "";
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  const std::string full(path, n < sizeof path ? n : 0);
  return standin::ToUpperAscii(full.substr(full.find_last_of("\\/") + 1));
}

bool ParseArguments(int argc, char** argv) {
  if (argc < 2) return false;
  g.path = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--load") {
      g.load = true;
    } else if (option == "--release-when" && i + 1 < argc) {
      g.release_when = argv[++i];
    } else if (option == "--after" && i + 1 < argc) {
      g.after_ms = std::strtoul(argv[++i], nullptr, 10);
    } else {
      return false;
    }
  }
  return true;
}

// As a library: another program cannot delete it while it is loaded, yet
// (on Windows NT, and under Wine) can rename it and read it.
void Load() {
  g.library = LoadLibraryA(g.path.c_str());
  if (g.library == nullptr) {
    Trace("load-failed", g.path + "\t" + std::to_string(GetLastError()));
  } else {
    Trace("loaded", g.path);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  g.trace_path = standin::GetEnv("KW_STANDIN_TRACE");
  g.name = OwnName();
  Trace("started", GetCommandLineA());
  if (!ParseArguments(__argc, __argv)) {
    Trace("bad-args", GetCommandLineA());
    Trace("exit", "2");
    return 2;
  }

  if (g.load) {
    Load();
  } else {
    // No sharing at all, as a program that keeps a file to itself: nobody
    // else can open or delete it while we hold it.
    g.file = CreateFileA(g.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g.file == INVALID_HANDLE_VALUE) {
      Trace("hold-failed", g.path + "\t" + std::to_string(GetLastError()));
    } else {
      Trace("held", g.path);
    }
  }

  standin::RegisterWindowClass(instance, kWindowClass, WindowProc, COLOR_WINDOW);
  const std::string file_name = g.path.substr(g.path.find_last_of('\\') + 1);
  HWND hwnd = CreateWindowExA(0, kWindowClass, (file_name + " - File Viewer").c_str(),
                              WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 360, 120,
                              nullptr, nullptr, instance, nullptr);
  if (hwnd == nullptr) {
    Trace("window-failed", std::to_string(GetLastError()));
    Release();
    Trace("exit", "1");
    return 1;
  }
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  if (!g.release_when.empty()) SetTimer(hwnd, kWatchTimer, kWatchPeriodMs, nullptr);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  Release();
  Trace("exit", "0");
  return 0;
}
