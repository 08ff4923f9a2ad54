// The little application framework the program is written against: one
// global application object whose start-up routine is the whole program, and
// the window that counts as its main window while it exists.
#ifndef KWUNINST_APP_WIN_APP_H_
#define KWUNINST_APP_WIN_APP_H_

#include "platform/platform.h"

namespace kw {

// A window the application can name as its main window.
class CMainWindow {
 public:
  virtual ~CMainWindow() = default;
  // The window's handle while it exists, else no handle.
  virtual WindowHandle GetSafeHwnd() const = 0;
};

class CWinApp {
 public:
  CWinApp() = default;
  virtual ~CWinApp() = default;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Called once by the program's entry point.  Returning false ends the
  // program at once, without a message loop.
  virtual bool InitInstance() = 0;

 protected:
  // The owner of the application's error boxes while it exists.
  CMainWindow* m_pMainWnd = nullptr;
};

}  // namespace kw

#endif  // KWUNINST_APP_WIN_APP_H_
