// The program's windows as the dialog manager builds them from its own
// resources, looked at in this process as Wine's user32 tests look at
// message boxes: a WH_CBT hook catches each box as it is activated, reads
// it, and presses a button.  Only what needs other processes (the live
// status window over the uninstaller, the freeze) is left to the
// end-to-end tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/uninstall_app.h"
#include "app/uninstall_dlg.h"
#include "components/file_management_prompt.h"
#include "components/message_catalogue.h"
#include "platform/win32/win32_platform.h"
#include "resources/resource.h"

namespace kw {
namespace {

// The real port, but a status stays only as long as the test looks at it.
class CNoPausePlatform : public Win32Platform {
 public:
  void Pause(std::uint32_t, bool) override {}
};

std::string TextOf(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

HWND AsHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window.value); }

// What a box showed: "<caption> | <text> | <buttons> | <icon> | <owner's
// caption or none>".  Whether it is top-most is the system's to say: Wine 8
// does not make a box of MB_TOPMOST top-most.
std::vector<std::string> g_boxes;
const char* g_press = "";
HHOOK g_hook = nullptr;

std::string IconName(HICON icon) {
  const std::pair<LPCSTR, const char*> kIcons[] = {
      {IDI_HAND, "error"}, {IDI_QUESTION, "question"}, {IDI_EXCLAMATION, "warning"}, {IDI_ASTERISK, "information"}};
  for (const auto& [id, name] : kIcons) {
    if (icon == LoadIconA(nullptr, id)) return name;
  }
  return icon == nullptr ? "none" : "unknown";
}

// Reads a box once it shows, as the user sees it, and presses g_press.
void CALLBACK ReadAndAnswerBox(HWND box, UINT, UINT_PTR timer, DWORD) {
  KillTimer(box, timer);
  std::string buttons;
  HICON icon = nullptr;
  int press = 0;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char kind[16] = "";
    GetClassNameA(child, kind, sizeof kind);
    if (lstrcmpiA(kind, "Button") == 0 && IsWindowVisible(child)) {
      std::string text = TextOf(child);
      text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
      buttons += (buttons.empty() ? "" : ",") + text;
      if (text == g_press) press = GetDlgCtrlID(child);
    }
    if (lstrcmpiA(kind, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    }
  }
  const HWND owner = GetWindow(box, GW_OWNER);
  g_boxes.push_back(TextOf(box) + " | " + TextOf(GetDlgItem(box, 0xFFFF)) + " | " + buttons + " | " +
                    IconName(icon) + " | " + (owner ? TextOf(owner) : "none"));
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), 0);
}

// A box is activated before it shows: it is read a moment later, from its
// own message loop.
LRESULT CALLBACK CatchBox(int code, WPARAM wparam, LPARAM lparam) {
  const HWND box = reinterpret_cast<HWND>(wparam);
  if (code == HCBT_ACTIVATE && GetDlgItem(box, 0xFFFF) != nullptr) {  // a message box's text
    SetTimer(box, 1, 50, ReadAndAnswerBox);
  }
  return CallNextHookEx(g_hook, code, wparam, lparam);
}

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_boxes.clear();
    g_hook = SetWindowsHookExA(WH_CBT, CatchBox, nullptr, GetCurrentThreadId());
  }
  void TearDown() override { UnhookWindowsHookEx(g_hook); }

  CNoPausePlatform m_port;
  ScopedPlatformOverride m_use{m_port};
};

// The status window on Xvfb's 1024 x 768 screen, which has no task bar:
// template 102's 144 x 32 dialog units in MS Sans Serif 8 at 96 DPI, with the
// caption and the modal frame, make a window of 275 x 77 pixels.  Centred,
// its left edge is the middle 512 less half its width 137 = 375 (not
// (1024 - 275) / 2 = 374), its top 384 less 38 = 346 (not 345).
TEST_F(DialogsTest, TheStatusWindowIsTopMostCentredAndShowsEveryStatusOnItsLine) {
  CUninstallDlg dialog;
  ASSERT_TRUE(dialog.Create());
  const HWND window = AsHwnd(dialog.GetSafeHwnd());
  EXPECT_EQ(TextOf(window), "  K-WARD Uninstall");
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
  RECT rect;
  GetWindowRect(window, &rect);
  ASSERT_EQ(std::vector<long>({rect.right - rect.left, rect.bottom - rect.top}), std::vector<long>({275, 77}))
      << "the place below is worked out for a window of 275 x 77";
  EXPECT_EQ(std::vector<long>({rect.left, rect.top}), std::vector<long>({375, 346}));

  // Each status whole on the one line of the status control, in its own
  // font: a wrapped status would show only its first part.
  const HWND line = GetDlgItem(window, IDC_STATUS_TEXT);
  for (unsigned status : {kMsgStatusClosingPrograms, kMsgStatusRemovingRegistry, kMsgStatusBatchFile,
                          kMsgStatusRemovingFiles}) {
    dialog.ShowStatus(status);
    const std::string text = TextOf(line);
    EXPECT_EQ(text, LoadMessage(status));
    HDC dc = GetDC(line);
    const HGDIOBJ before = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(line, WM_GETFONT, 0, 0)));
    RECT needed = {0, 0, 0, 0}, room;
    DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
    SelectObject(dc, before);
    ReleaseDC(line, dc);
    GetClientRect(line, &room);
    EXPECT_LE(needed.right, room.right) << "\"" << text << "\" does not fit on its line";
  }
  EXPECT_TRUE(g_boxes.empty());
}

// Every box the program shows: its caption, text, buttons, icon and owner.
class CTestApp : public CUninstallApp {
 public:
  CTestApp() : CUninstallApp(CTrimString("C:\\K-WARD\\")) {}
  void QueueOne() { m_nQueuedForRestart = 1; }
  void SetMainWindow(CMainWindow* window) { m_pMainWnd = window; }
};

TEST_F(DialogsTest, EveryBoxWithItsButtonsIconAndOwner) {
  CTestApp app;
  g_press = "OK";
  app.ReportFailure(kMsgInstallDirNotFound);  // before the status window
  CUninstallDlg dialog;
  ASSERT_TRUE(dialog.Create());
  app.SetMainWindow(&dialog);
  app.ReportFailure(kMsgCloseProgramsFailed);
  app.QueueOne();
  app.ReportQueuedForRestart();
  g_press = "Cancel";
  CFileManagementPrompt prompt;
  EXPECT_FALSE(prompt.PromptRetry(kErrFileNotDeleted, "C:\\K-WARD\\KWSCAN.LOG"));
  g_press = "Retry";
  EXPECT_TRUE(prompt.PromptRetry(kErrFileNotDeleted, "C:\\K-WARD\\KWSCAN.LOG"));
  app.SetMainWindow(nullptr);

  const std::string prompted =
      "File Management Prompt Error! | The file C:\\K-WARD\\KWSCAN.LOG failed to be deleted. | Retry,Cancel | "
      "error | none";
  EXPECT_EQ(g_boxes,
            (std::vector<std::string>{
                "K-WARD Uninstall Error | Unable to obtain the location of the K-WARD directory | OK | error | "
                "none",
                "K-WARD Uninstall Error | Unable to close the K-WARD programs | OK | error |   K-WARD Uninstall",
                "K-WARD Uninstall | Some K-WARD files are in use and will be removed when Windows restarts. Please "
                "restart your computer before you install K-WARD again. | OK | information |   K-WARD Uninstall",
                prompted, prompted}));
}

}  // namespace
}  // namespace kw
