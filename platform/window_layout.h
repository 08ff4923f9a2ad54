// Window geometry rules shared by the Win32 window layer and the simulated
// machine, kept free of any system header so that they are tested natively.
#ifndef KWUNINST_PLATFORM_WINDOW_LAYOUT_H_
#define KWUNINST_PLATFORM_WINDOW_LAYOUT_H_

namespace kw {

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(Point a, Point b) { return a.x == b.x && a.y == b.y; }
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  friend bool operator==(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  }
};

// Where the icon of a minimised window is drawn in its client area: centred,
// with the halves truncated toward zero as integer division does, so a 36 x 36
// client area and a 32 x 32 icon put the icon at 2, 2.
inline Point IconOriginInClient(int clientWidth, int clientHeight, int iconWidth,
                                int iconHeight) {
  return Point{(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

// A window of the given size centred in the work area (the screen without
// the task bar), moved back inside where it would stick out.  The middle of
// the work area and half the window are each truncated on their own, as the
// application framework has always placed its dialogs: for an odd width this
// is one pixel further right than halving the difference.
inline Rect CentreInWorkArea(int width, int height, const Rect& workArea) {
  int left = (workArea.left + workArea.right) / 2 - width / 2;
  int top = (workArea.top + workArea.bottom) / 2 - height / 2;
  if (left + width > workArea.right) left = workArea.right - width;
  if (top + height > workArea.bottom) top = workArea.bottom - height;
  if (left < workArea.left) left = workArea.left;
  if (top < workArea.top) top = workArea.top;
  return Rect{left, top, left + width, top + height};
}

}  // namespace kw

#endif  // KWUNINST_PLATFORM_WINDOW_LAYOUT_H_
