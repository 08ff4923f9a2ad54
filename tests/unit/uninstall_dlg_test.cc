#include "app/uninstall_dlg.h"

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using UninstallDlgTest = testing::SimTest;

const sim::SimWindow* TheDialog(sim::SimMachine& machine) {
  for (const sim::SimWindow* window : machine.Windows()) {
    if (window->isDialog) return window;
  }
  return nullptr;
}

TEST_F(UninstallDlgTest, CreatedTopmostCentredWithItsIconAndInitialText) {
  CUninstallDlg dialog;
  EXPECT_FALSE(dialog.GetSafeHwnd());
  ASSERT_TRUE(dialog.Create());
  const sim::SimWindow* window = TheDialog(Machine());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->title, "  K-WARD Uninstall");
  EXPECT_TRUE(window->visible);
  EXPECT_TRUE(window->topmost);
  EXPECT_TRUE(window->centred);
  EXPECT_TRUE(window->bigIcon);
  EXPECT_EQ(window->bigIcon.value, window->smallIcon.value);
  EXPECT_EQ(window->itemTexts.at(IDC_STATUS_TEXT), "Static");
  EXPECT_EQ(dialog.GetSafeHwnd(), window->handle);
}

TEST_F(UninstallDlgTest, EveryStatusIsPaintedAtOnceAndStaysForASecond) {
  CUninstallDlg dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.ShowStatus(3);
  dialog.ShowStatus(5);
  dialog.ShowStatus(99);  // an id without text empties the line
  const auto& painted = Machine().PaintedStatuses();
  ASSERT_EQ(painted.size(), 3u);
  EXPECT_EQ(painted[0].text, "Closing down the K-WARD programs . . . ");
  EXPECT_EQ(painted[0].atMs, 0);
  EXPECT_EQ(painted[1].text, "Removing registry items . . . ");
  EXPECT_EQ(painted[1].atMs, 1000);
  EXPECT_EQ(painted[2].text, "");
  EXPECT_EQ(Machine().PauseCount(), 3);
}

TEST_F(UninstallDlgTest, WithoutAWindowStatusesOnlyPause) {
  Machine().FailDialogCreation(true);
  CUninstallDlg dialog;
  EXPECT_FALSE(dialog.Create());
  dialog.ShowStatus(3);
  dialog.ShowStatus(7);
  EXPECT_TRUE(Machine().PaintedStatuses().empty());
  EXPECT_EQ(Machine().PauseCount(), 2);
  EXPECT_TRUE(Machine().Boxes().empty());
}

TEST_F(UninstallDlgTest, AMissingIconIsNotReported) {
  Machine().LoseProgramIcon(true);
  CUninstallDlg dialog;
  ASSERT_TRUE(dialog.Create());
  EXPECT_FALSE(TheDialog(Machine())->bigIcon);
  EXPECT_TRUE(Machine().Boxes().empty());
}

TEST_F(UninstallDlgTest, TheWindowGoesWithTheObject) {
  WindowHandle handle;
  {
    CUninstallDlg dialog;
    ASSERT_TRUE(dialog.Create());
    handle = dialog.GetSafeHwnd();
  }
  EXPECT_FALSE(Machine().IsWindowAlive(handle));
}

}  // namespace
}  // namespace kw
