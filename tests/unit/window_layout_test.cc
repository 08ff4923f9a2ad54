#include "platform/window_layout.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

TEST(WindowLayoutTest, MinimisedIconIsCentredWithTruncatingHalves) {
  EXPECT_EQ(IconOriginInClient(36, 36, 32, 32), (Point{2, 2}));
  EXPECT_EQ(IconOriginInClient(37, 40, 32, 32), (Point{3, 4}));
  // A client area smaller than the icon: (-4 + 1) / 2 truncates toward zero.
  EXPECT_EQ(IconOriginInClient(28, 28, 32, 32), (Point{-1, -1}));
}

TEST(WindowLayoutTest, CentredInTheWorkAreaAndKeptInside) {
  const Rect work{0, 0, 800, 572};
  EXPECT_EQ(CentreInWorkArea(222, 77, work), (Rect{289, 248, 511, 325}));
  const Rect shifted{100, 50, 500, 350};
  EXPECT_EQ(CentreInWorkArea(200, 100, shifted), (Rect{200, 150, 400, 250}));
  // Odd sizes: the middle and the half are truncated each on its own, not
  // their difference ((1024 - 275) / 2 would give 374).
  EXPECT_EQ(CentreInWorkArea(275, 77, Rect{0, 0, 1024, 768}), (Rect{375, 346, 650, 423}));
  // Too big for the work area: pinned to its top-left corner.
  EXPECT_EQ(CentreInWorkArea(900, 700, work), (Rect{0, 0, 900, 700}));
}

}  // namespace
}  // namespace kw
