// Read-only inspection of other processes' windows.
//
// Everything here avoids sending messages to the observed windows: the
// program under test may be sleeping or busy, and a SendMessage (which
// GetDlgItemText and GetWindowTextLength do) would then block the watcher
// and make it miss status texts.  GetWindowTextA on a window of another
// process only reads the text the window manager keeps, so it never blocks.
#ifndef BOXANSWER_WINDOW_WATCH_H
#define BOXANSWER_WINDOW_WATCH_H

#include <windows.h>

#include <set>
#include <string>
#include <vector>

namespace boxanswer {

std::string WindowText(HWND hwnd);
std::string ClassName(HWND hwnd);
bool IsTopMost(HWND hwnd);
// Title of the owner window, or "none" when there is no owner.
std::string OwnerTitle(HWND hwnd);

// Case-insensitive equality of whole strings, in the ANSI code page, the
// same notion of "same title" that FindWindowA uses.  No trimming: titles
// with leading blanks are distinct from the trimmed ones.
bool SameTextNoCase(const std::string& a, const std::string& b);
// Button text as the user reads it: a single '&' (mnemonic marker) is
// removed, "&&" stands for one literal '&'.
std::string StripMnemonics(const std::string& text);

std::vector<HWND> TopLevelWindows();   // in Z order, topmost first
std::vector<HWND> DescendantWindows(HWND parent);  // EnumChildWindows order

// A top-level window as one poll saw it.  Visibility and titles are read
// once per poll, so that the window, status-window and box events of one
// poll agree with each other.
struct TopWindow {
  HWND hwnd;
  bool visible;
  std::string title;
};
std::vector<TopWindow> ReadTopWindows();  // in Z order, topmost first

// Forgets destroyed windows, so that a recycled handle counts as new.
// IsWindow decides, not a poll's enumeration: a window that slips through
// one enumeration while the z-order is being changed must not be taken for
// a new one.
void ForgetDestroyedWindows(std::set<HWND>* windows);

struct Button {
  HWND hwnd;
  int id;
  std::string text;  // without mnemonics
};
// Visible "Button" children, in EnumChildWindows order.
std::vector<Button> Buttons(HWND dialog);
// The message text control of a message box: a Static with id 0xFFFF that
// is not a picture.  Returns nullptr if there is none.
HWND MessageTextControl(HWND dialog);
// The first Static child with the SS_ICON style, or nullptr.
HWND IconControl(HWND dialog);

// True when some visible top-level window above `window` in the Z order
// overlaps `screenRect` (then the screen does not show `window` there).
bool IsCoveredByWindowAbove(HWND window, const RECT& screenRect);

std::string HexHandle(const void* handle);
std::string RectText(const RECT& rect);  // "left,top,right,bottom"

}  // namespace boxanswer

#endif
