// The status dialog on Windows: a real modeless dialog built by the dialog
// manager from the program's template, with the window behaviour the
// application framework used to give it (centring, the minimised icon).
#include <windows.h>

#include "platform/win32/win32_platform.h"
#include "platform/window_layout.h"

namespace kw {
namespace {

HWND AsHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window.value); }
WindowHandle FromHwnd(HWND window) { return WindowHandle{reinterpret_cast<std::uintptr_t>(window)}; }

DialogEvents* EventsOf(HWND dialog) {
  return reinterpret_cast<DialogEvents*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
}

// An unowned dialog that its initialisation did not move is centred in the
// work area before it is first shown (the template puts it at 0, 0).
void CentreIfNotMoved(HWND dialog, const RECT& before) {
  RECT after;
  GetWindowRect(dialog, &after);
  if (after.left != before.left || after.top != before.top) return;
  RECT work;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) return;
  const Rect placed = CentreInWorkArea(after.right - after.left, after.bottom - after.top,
                                       Rect{work.left, work.top, work.right, work.bottom});
  SetWindowPos(dialog, nullptr, placed.left, placed.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// While minimised the dialog shows its icon centred in the client area.
void PaintMinimised(HWND dialog, HICON icon) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  SendMessageA(dialog, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(dialog, &client);
  const Point origin = IconOriginInClient(client.right - client.left, client.bottom - client.top,
                                          GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
  DrawIcon(dc, origin.x, origin.y, icon);
  EndPaint(dialog, &paint);
}

INT_PTR CALLBACK StatusDialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
      RECT before;
      GetWindowRect(dialog, &before);
      DialogEvents* events = EventsOf(dialog);
      const bool result = events == nullptr || events->OnInitDialog(FromHwnd(dialog));
      CentreIfNotMoved(dialog, before);
      return result ? TRUE : FALSE;
    }
    case WM_PAINT: {
      DialogEvents* events = EventsOf(dialog);
      if (events == nullptr || !IsIconic(dialog)) return FALSE;  // the dialog's own painting
      PaintMinimised(dialog, reinterpret_cast<HICON>(events->MinimisedIcon().value));
      return TRUE;
    }
    case WM_QUERYDRAGICON: {
      DialogEvents* events = EventsOf(dialog);
      return events == nullptr ? 0 : static_cast<INT_PTR>(events->MinimisedIcon().value);
    }
    default:
      return FALSE;
  }
}

}  // namespace

IconHandle Win32Platform::LoadProgramIcon(unsigned resourceId) {
  const HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId));
  return IconHandle{reinterpret_cast<std::uintptr_t>(icon)};
}

WindowHandle Win32Platform::CreateDialogWindow(unsigned templateId, DialogEvents* events) {
  const HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId),
                                         nullptr, StatusDialogProc,
                                         reinterpret_cast<LPARAM>(events));
  return FromHwnd(dialog);
}

void Win32Platform::SetWindowIcon(WindowHandle window, IconSize size, IconHandle icon) {
  SendMessageA(AsHwnd(window), WM_SETICON, size == IconSize::kBig ? ICON_BIG : ICON_SMALL,
               static_cast<LPARAM>(icon.value));
}

void Win32Platform::MakeTopmost(WindowHandle window) {
  SetWindowPos(AsHwnd(window), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void Win32Platform::SetItemText(WindowHandle dialog, int itemId, const std::string& text) {
  SetDlgItemTextA(AsHwnd(dialog), itemId, text.c_str());
}

void Win32Platform::RepaintNow(WindowHandle window) {
  UpdateWindow(AsHwnd(window));
  // A window system may keep what was just painted off screen until the
  // thread next looks at its message queue (Wine's does).  The program
  // sleeps instead of running a message loop, so it looks once here, taking
  // nothing out of the queue.
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
}

bool Win32Platform::IsWindowAlive(WindowHandle window) { return IsWindow(AsHwnd(window)) != FALSE; }

void Win32Platform::DestroyWindowNow(WindowHandle window) { DestroyWindow(AsHwnd(window)); }

}  // namespace kw
