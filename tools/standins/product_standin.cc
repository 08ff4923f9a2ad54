// Stand-in for the K-WARD programs that may be running while KWUNINST
// removes the product: the tests copy this one executable under each
// program's file name, and it plays the program whose name it runs under.
//
// What matters to KWUNINST is that each program shows a window with a known
// title and keeps some of the product's files open without sharing, so they
// cannot be deleted until the program is closed.  The stand-in does exactly
// that, releases the files when its window is asked to close, and can be
// told by environment variables to close late, refuse to close or hang.
// Everything goes to a trace file.  See README.md for the details.

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/footprint.h"
#include "trace.h"

namespace {

// The programs it plays, their window titles and held files: the product's
// footprint, where the tests read them too.
using kw::footprint::Program;

const char kWindowClass[] = "KWProductStandIn";
const UINT_PTR kShownTimer = 1;
const UINT kShownCheckDelayMs = 300;

struct State {
  std::string trace_path;
  std::string name;        // our file name, upper case (e.g. K-WARD32.EXE)
  std::string env_prefix;  // e.g. KW_STANDIN_K_WARD32_
  std::vector<std::pair<std::string, HANDLE>> held;
  unsigned long exit_delay_ms = 0;
  bool refuse_close = false;
  bool hang = false;
  bool closing_late = false;  // window gone, files still held for a while
};

State g;

void Trace(const std::string& event, const std::string& detail = "") {
  standin::AppendTraceLine(g.trace_path, g.name + "\t" + event + "\t" + detail);
}

int Finish(int code) {
  Trace("exit", std::to_string(code));
  return code;
}

void HoldFiles(const Program& program, const std::string& directory) {
  for (const std::string& file : kw::footprint::HeldBy(program)) {
    const std::string path = directory + "\\" + file;
    // No sharing at all: while we run, nobody can open, replace or delete
    // the file, which is what a running program does to its own files.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      Trace("hold-failed", path + "\t" + std::to_string(GetLastError()));
      continue;
    }
    g.held.emplace_back(path, h);
    Trace("held", path);
  }
}

void ReleaseFiles() {
  for (auto& file : g.held) {
    CloseHandle(file.second);
    Trace("released", file.first);
  }
  g.held.clear();
}

void CALLBACK LateExit(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  ReleaseFiles();
  PostQuitMessage(0);
}

void OnClose(HWND hwnd) {
  Trace("close-request");
  if (g.refuse_close) {
    Trace("close-refused");
    return;
  }
  if (g.hang) {
    Trace("hang");
    // Stuck inside the close request: the sender never gets an answer and
    // the files stay held.
    for (;;) Sleep(INFINITE);
  }
  if (g.exit_delay_ms > 0) {
    // Like a program that closes its window at once but takes a while to
    // shut down: the window goes away, the files stay held until the end.
    // A thread timer keeps the message loop serving without a window.
    // The delay counts from the close request, so start it before the
    // window goes (destroying a window can itself take a while).
    g.closing_late = true;
    SetTimer(nullptr, 0, static_cast<UINT>(g.exit_delay_ms), LateExit);
    DestroyWindow(hwnd);
    return;
  }
  ReleaseFiles();
  DestroyWindow(hwnd);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                            LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kShownTimer) {
        KillTimer(hwnd, kShownTimer);
        // Checked a moment after showing, once the show request (and any
        // activation that comes with it) has settled.
        Trace("shown", std::string("iconic=") + (IsIconic(hwnd) ? "1" : "0") +
                           "\tforeground=" +
                           (GetForegroundWindow() == hwnd ? "1" : "0"));
      }
      return 0;
    case WM_CLOSE:
      OnClose(hwnd);
      return 0;
    case WM_DESTROY:
      if (!g.closing_late) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

// The upper-cased file name of our own executable, and its directory.
void OwnName(std::string* name, std::string* directory) {
  char path[MAX_PATH + 1] = "";
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  const std::string full(path, n < sizeof path ? n : 0);
  const std::size_t slash = full.find_last_of("\\/");
  if (slash == std::string::npos) {
    *name = standin::ToUpperAscii(full);
    *directory = ".";
  } else {
    *name = standin::ToUpperAscii(full.substr(slash + 1));
    *directory = full.substr(0, slash);
  }
}

std::string EnvPrefix(const std::string& name) {
  std::string stem = name.substr(0, name.find_last_of('.'));
  for (char& c : stem) {
    if (c == '-') c = '_';
  }
  return "KW_STANDIN_" + stem + "_";
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  g.trace_path = standin::GetEnv("KW_STANDIN_TRACE");
  std::string directory;
  OwnName(&g.name, &directory);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  Trace("started", "wShowWindow=" + std::to_string(startup.wShowWindow) +
                       "\tdwFlags=" + standin::Hex(startup.dwFlags) + "\t" +
                       GetCommandLineA() +
                       "\tcwd=" + standin::CurrentDirectory());

  const Program* program = nullptr;
  for (const Program& candidate : kw::footprint::kPrograms) {
    if (g.name == candidate.file) program = &candidate;
  }
  if (program == nullptr) {
    Trace("unknown-name", g.name);
    return Finish(2);
  }

  g.env_prefix = EnvPrefix(g.name);
  g.exit_delay_ms =
      standin::GetEnvUnsigned((g.env_prefix + "EXIT_DELAY_MS").c_str(), 0);
  g.refuse_close = standin::GetEnv((g.env_prefix + "REFUSE_CLOSE").c_str()) == "1";
  g.hang = standin::GetEnv((g.env_prefix + "HANG").c_str()) == "1";

  // Hold the files before the window exists: a test that sees the window
  // can rely on the files being held.
  HoldFiles(*program, directory);

  standin::RegisterWindowClass(instance, kWindowClass, WindowProc, COLOR_WINDOW);
  HWND hwnd = CreateWindowExA(0, kWindowClass, program->title,
                              WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 400, 200, nullptr, nullptr,
                              instance, nullptr);
  if (hwnd == nullptr) {
    Trace("window-failed", std::to_string(GetLastError()));
    ReleaseFiles();
    return Finish(1);
  }

  // What SW_SHOWDEFAULT means on Windows: the show state our creator put in
  // STARTUPINFO (e.g. SW_SHOWMINNOACTIVE from a program that starts us in
  // the background), else a normal window.  Spelled out so it does not
  // depend on how a system implements SW_SHOWDEFAULT.
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW)
                       ? static_cast<int>(startup.wShowWindow)
                       : SW_SHOWNORMAL;
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  SetTimer(hwnd, kShownTimer, kShownCheckDelayMs, nullptr);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  ReleaseFiles();  // in case the window went away some other way
  return Finish(0);
}
