#include "screen.h"

#include <cstdint>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace boxanswer {
namespace {

// 0x00RRGGBB pixels, top row first.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> rgb;
};

// Copies a rectangle of what `source` shows through a top-down 32-bit DIB
// section, whose bits are then plain memory.
bool Capture(HDC source, const RECT& rect, Pixels* out) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (source == nullptr || width <= 0 || height <= 0) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // negative: top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(source);
  bool copied = false;
  if (bitmap != nullptr && memory != nullptr && bits != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    copied = BitBlt(memory, 0, 0, width, height, source, rect.left, rect.top, SRCCOPY) != FALSE;
    GdiFlush();  // GDI has finished writing into the section
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    out->width = width;
    out->height = height;
    // B, G, R, X in memory: 0xXXRRGGBB as a DWORD, X undefined on screens.
    out->rgb.assign(p, p + static_cast<size_t>(width) * height);
    for (uint32_t& px : out->rgb) px &= 0x00FFFFFF;
    SelectObject(memory, old);
  }
  if (memory != nullptr) DeleteDC(memory);
  if (bitmap != nullptr) DeleteObject(bitmap);
  return copied;
}

// The screen as the window manager composed it: whatever covers the
// rectangle is what we get.
bool CaptureScreen(const RECT& rect, Pixels* out) {
  HDC screen = GetDC(nullptr);
  const bool copied = Capture(screen, rect, out);
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return copied;
}

// The icon drawn at the given size over a plain background.
bool DrawnIcon(HICON icon, int width, int height, uint32_t background, Pixels* out) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  bool drawn = false;
  if (memory != nullptr && bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    const RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(RGB(background >> 16, (background >> 8) & 0xFF, background & 0xFF));
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    drawn = DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL) &&
            Capture(memory, all, out);
    SelectObject(memory, old);
  }
  if (memory != nullptr) DeleteDC(memory);
  if (bitmap != nullptr) DeleteObject(bitmap);
  return drawn;
}

}  // namespace

std::string IdentifyIconOnScreen(const RECT& rect) {
  Pixels shown;
  if (!CaptureScreen(rect, &shown)) return "unknown";
  static const struct {
    LPCSTR id;
    const char* name;
  } kCandidates[] = {
      {IDI_HAND, "error"},
      {IDI_QUESTION, "question"},
      {IDI_EXCLAMATION, "warning"},
      {IDI_ASTERISK, "information"},
  };
  for (const auto& candidate : kCandidates) {
    Pixels drawn;
    HICON icon = LoadIconA(nullptr, candidate.id);
    if (icon != nullptr && DrawnIcon(icon, shown.width, shown.height, shown.rgb[0], &drawn) &&
        drawn.rgb == shown.rgb) {
      return candidate.name;
    }
  }
  return "unknown";
}

bool SaveScreenshotPng(const std::string& path, int* width, int* height, std::string* error) {
  // The virtual screen covers every monitor; on one display it is the screen.
  RECT all;
  all.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  all.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  all.right = all.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
  all.bottom = all.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  Pixels shot;
  if (!CaptureScreen(all, &shot)) {
    *error = "BitBlt from the screen failed";
    return false;
  }
  std::vector<uint8_t> rgb;
  rgb.reserve(shot.rgb.size() * 3);
  for (uint32_t px : shot.rgb) {
    rgb.insert(rgb.end(), {static_cast<uint8_t>(px >> 16), static_cast<uint8_t>(px >> 8),
                           static_cast<uint8_t>(px)});
  }
  if (!stbi_write_png(path.c_str(), shot.width, shot.height, 3, rgb.data(), shot.width * 3)) {
    *error = "cannot write " + path;
    return false;
  }
  *width = shot.width;
  *height = shot.height;
  return true;
}

}  // namespace boxanswer
