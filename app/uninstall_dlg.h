// The status window: a small always-on-top window with one line that names
// the clean-up stage running now.  It asks nothing and has no buttons.
#ifndef KWUNINST_APP_UNINSTALL_DLG_H_
#define KWUNINST_APP_UNINSTALL_DLG_H_

#include "app/win_app.h"
#include "platform/platform.h"

namespace kw {

class CUninstallDlg : public CMainWindow, public DialogEvents {
 public:
  // Loads the program icon; no window exists yet.
  CUninstallDlg();
  // Destroys the window if it still exists.
  ~CUninstallDlg() override;
  CUninstallDlg(const CUninstallDlg&) = delete;
  CUninstallDlg& operator=(const CUninstallDlg&) = delete;

  // Creates the window from the status template, without owner; true when it
  // exists.
  bool Create();

  // Shows a catalogue text in the status line, repaints at once and pauses
  // one second, so every stage's name stays readable before the stage runs.
  // Without a window only the pause remains.
  void ShowStatus(unsigned messageId);

  // Destroys the window if it exists; the object stays usable and shows
  // nothing from then on.
  void DestroyWindow();

  WindowHandle GetSafeHwnd() const override { return m_hWnd; }

  // DialogEvents:
  bool OnInitDialog(WindowHandle dialog) override;
  IconHandle MinimisedIcon() const override { return m_hIcon; }

 private:
  IconHandle m_hIcon;  // a shared resource icon: never released
  WindowHandle m_hWnd;
};

}  // namespace kw

#endif  // KWUNINST_APP_UNINSTALL_DLG_H_
