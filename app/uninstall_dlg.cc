#include "app/uninstall_dlg.h"

#include "components/message_catalogue.h"
#include "resources/resource.h"

namespace kw {
namespace {

constexpr std::uint32_t kStatusPauseMs = 1000;

}  // namespace

CUninstallDlg::CUninstallDlg() : m_hIcon(Os().LoadProgramIcon(IDR_MAINFRAME)) {}

CUninstallDlg::~CUninstallDlg() { DestroyWindow(); }

void CUninstallDlg::DestroyWindow() {
  if (m_hWnd && Os().IsWindowAlive(m_hWnd)) Os().DestroyWindowNow(m_hWnd);
  m_hWnd = WindowHandle{};
}

bool CUninstallDlg::Create() {
  m_hWnd = Os().CreateDialogWindow(IDD_KWUNINST_STATUS, this);
  return static_cast<bool>(m_hWnd);
}

bool CUninstallDlg::OnInitDialog(WindowHandle dialog) {
  m_hWnd = dialog;
  // One icon serves both the caption and the task bar.
  Os().SetWindowIcon(dialog, IconSize::kBig, m_hIcon);
  Os().SetWindowIcon(dialog, IconSize::kSmall, m_hIcon);
  // Above every ordinary window, the uninstaller's included, also while it
  // is not the active window.
  Os().MakeTopmost(dialog);
  return true;
}

void CUninstallDlg::ShowStatus(unsigned messageId) {
  const std::string text = LoadMessage(messageId);
  if (m_hWnd) {
    Os().SetItemText(m_hWnd, IDC_STATUS_TEXT, text);
    // The thread runs no message loop while the stages work: without this
    // repaint the new text would never reach the screen.
    Os().RepaintNow(m_hWnd);
  }
  Os().Pause(kStatusPauseMs, false);
}

}  // namespace kw
