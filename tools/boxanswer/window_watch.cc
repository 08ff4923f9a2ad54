#include "window_watch.h"

#include <cstdint>
#include <cstdio>
#include <iterator>

namespace boxanswer {

std::string WindowText(HWND hwnd) {
  // GetWindowTextLength would send WM_GETTEXTLENGTH, so grow the buffer
  // instead until the text fits.
  for (int size = 1024; size <= (1 << 20); size *= 8) {
    std::string buffer(static_cast<size_t>(size), '\0');
    const int length = GetWindowTextA(hwnd, &buffer[0], size);
    if (length < size - 1) {
      buffer.resize(length > 0 ? static_cast<size_t>(length) : 0);
      return buffer;
    }
  }
  return std::string();
}

std::string ClassName(HWND hwnd) {
  char name[256] = {};
  const int length = GetClassNameA(hwnd, name, sizeof(name));
  return std::string(name, length > 0 ? static_cast<size_t>(length) : 0);
}

bool IsTopMost(HWND hwnd) {
  return (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

std::string OwnerTitle(HWND hwnd) {
  HWND owner = GetWindow(hwnd, GW_OWNER);
  if (owner == nullptr) return "none";
  return WindowText(owner);
}

bool SameTextNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  std::string ua = a;
  std::string ub = b;
  if (!ua.empty()) CharUpperBuffA(&ua[0], static_cast<DWORD>(ua.size()));
  if (!ub.empty()) CharUpperBuffA(&ub[0], static_cast<DWORD>(ub.size()));
  return ua == ub;
}

std::string StripMnemonics(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += text[i];
  }
  return out;
}

namespace {

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

bool IsButtonClass(HWND hwnd) {
  return SameTextNoCase(ClassName(hwnd), "Button");
}

bool IsStaticClass(HWND hwnd) {
  return SameTextNoCase(ClassName(hwnd), "Static");
}

}  // namespace

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<HWND> DescendantWindows(HWND parent) {
  std::vector<HWND> windows;
  EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<TopWindow> ReadTopWindows() {
  std::vector<TopWindow> windows;
  for (HWND hwnd : TopLevelWindows()) {
    windows.push_back({hwnd, IsWindowVisible(hwnd) != FALSE, WindowText(hwnd)});
  }
  return windows;
}

void ForgetDestroyedWindows(std::set<HWND>* windows) {
  for (auto it = windows->begin(); it != windows->end();) {
    it = IsWindow(*it) ? std::next(it) : windows->erase(it);
  }
}

std::vector<Button> Buttons(HWND dialog) {
  std::vector<Button> buttons;
  for (HWND child : DescendantWindows(dialog)) {
    if (!IsButtonClass(child) || !IsWindowVisible(child)) continue;
    buttons.push_back({child, GetDlgCtrlID(child), StripMnemonics(WindowText(child))});
  }
  return buttons;
}

HWND MessageTextControl(HWND dialog) {
  for (HWND child : DescendantWindows(dialog)) {
    if ((GetDlgCtrlID(child) & 0xFFFF) != 0xFFFF || !IsStaticClass(child)) continue;
    const LONG type = GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK;
    if (type == SS_ICON || type == SS_BITMAP || type == SS_ENHMETAFILE) continue;
    return child;
  }
  return nullptr;
}

HWND IconControl(HWND dialog) {
  for (HWND child : DescendantWindows(dialog)) {
    if (!IsStaticClass(child)) continue;
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return child;
  }
  return nullptr;
}

bool IsCoveredByWindowAbove(HWND window, const RECT& screenRect) {
  // Walk up the Z order; GW_HWNDPREV gives the window just above.  The
  // bound protects against a Z order changing under our feet.
  HWND above = GetWindow(window, GW_HWNDPREV);
  for (int guard = 0; above != nullptr && guard < 10000; ++guard) {
    if (IsWindowVisible(above)) {
      RECT r;
      RECT overlap;
      if (GetWindowRect(above, &r) && IntersectRect(&overlap, &r, &screenRect)) {
        return true;
      }
    }
    above = GetWindow(above, GW_HWNDPREV);
  }
  return false;
}

std::string HexHandle(const void* handle) {
  char text[32];
  snprintf(text, sizeof(text), "0x%llx",
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
  return text;
}

std::string RectText(const RECT& rect) {
  return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
         std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

}  // namespace boxanswer
