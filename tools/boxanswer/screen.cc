#include "screen.h"

#include "png_writer.h"

namespace boxanswer {

namespace {

// A top-down 32-bit DIB section selected into a memory DC, so that both
// drawing and reading the pixels back are plain memory accesses.
class DibCanvas {
 public:
  DibCanvas(int width, int height) : width_(width), height_(height) {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (dc_ != nullptr && bitmap_ != nullptr) old_ = SelectObject(dc_, bitmap_);
  }
  ~DibCanvas() {
    if (old_ != nullptr) SelectObject(dc_, old_);
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  DibCanvas(const DibCanvas&) = delete;
  DibCanvas& operator=(const DibCanvas&) = delete;

  bool ok() const { return old_ != nullptr && bits_ != nullptr; }
  HDC dc() const { return dc_; }
  uint32_t* bits() const { return static_cast<uint32_t*>(bits_); }

  void Fill(uint32_t rgb) {
    uint32_t* p = bits();
    for (size_t i = 0, n = static_cast<size_t>(width_) * height_; i < n; ++i) p[i] = rgb;
  }
  void CopyTo(Pixels* out) const {
    GdiFlush();  // make sure GDI has finished writing into the section
    out->width = width_;
    out->height = height_;
    const uint32_t* p = bits();
    // The DIB stores B, G, R, X in memory, i.e. 0xXXRRGGBB as a DWORD; the
    // fourth byte is undefined for screen contents and is dropped.
    out->rgb.assign(p, p + static_cast<size_t>(width_) * height_);
    for (uint32_t& px : out->rgb) px &= 0x00FFFFFF;
  }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
};

}  // namespace

bool CaptureScreenRect(const RECT& rect, Pixels* out) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  DibCanvas canvas(width, height);
  if (!canvas.ok()) return false;
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return false;
  const BOOL copied = BitBlt(canvas.dc(), 0, 0, width, height, screen,
                             rect.left, rect.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  if (!copied) return false;
  canvas.CopyTo(out);
  return true;
}

std::string IdentifyIconOnScreen(const RECT& rect) {
  Pixels shown;
  if (!CaptureScreenRect(rect, &shown) || shown.rgb.empty()) return "unknown";

  struct Candidate {
    LPCSTR id;
    const char* name;
  };
  static const Candidate kCandidates[] = {
      {IDI_HAND, "error"},
      {IDI_QUESTION, "question"},
      {IDI_EXCLAMATION, "warning"},
      {IDI_ASTERISK, "information"},
  };
  const uint32_t background = shown.rgb[0];
  for (const Candidate& candidate : kCandidates) {
    HICON icon = LoadIconA(nullptr, candidate.id);
    if (icon == nullptr) continue;
    DibCanvas canvas(shown.width, shown.height);
    if (!canvas.ok()) continue;
    canvas.Fill(background);
    if (!DrawIconEx(canvas.dc(), 0, 0, icon, shown.width, shown.height, 0,
                    nullptr, DI_NORMAL)) {
      continue;
    }
    Pixels drawn;
    canvas.CopyTo(&drawn);
    if (drawn.rgb == shown.rgb) return candidate.name;
  }
  return "unknown";
}

bool SaveScreenshotPng(const std::string& path, int* width, int* height,
                       std::string* error) {
  // The virtual screen covers every monitor; on a single display it is the
  // primary screen.
  RECT all;
  all.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  all.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  all.right = all.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
  all.bottom = all.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (all.right <= all.left || all.bottom <= all.top) {
    all.left = all.top = 0;
    all.right = GetSystemMetrics(SM_CXSCREEN);
    all.bottom = GetSystemMetrics(SM_CYSCREEN);
  }
  const int w = all.right - all.left;
  const int h = all.bottom - all.top;
  if (w <= 0 || h <= 0) {
    if (error) *error = "screen has no size";
    return false;
  }

  // A 24-bit DIB: rows are B, G, R triplets padded to 4 bytes.
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) {
    if (error) *error = "GetDC(NULL) failed";
    return false;
  }
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool copied = false;
  if (memory != nullptr && bitmap != nullptr && bits != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    copied = BitBlt(memory, 0, 0, w, h, screen, all.left, all.top, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
  }
  ReleaseDC(nullptr, screen);

  std::vector<uint8_t> rgb;
  if (copied) {
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~static_cast<size_t>(3);
    rgb.resize(static_cast<size_t>(w) * h * 3);
    const uint8_t* src = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < h; ++y) {
      const uint8_t* row = src + stride * y;
      uint8_t* dst = rgb.data() + static_cast<size_t>(w) * 3 * y;
      for (int x = 0; x < w; ++x) {
        dst[x * 3 + 0] = row[x * 3 + 2];
        dst[x * 3 + 1] = row[x * 3 + 1];
        dst[x * 3 + 2] = row[x * 3 + 0];
      }
    }
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (memory != nullptr) DeleteDC(memory);
  if (!copied) {
    if (error) *error = "BitBlt from the screen failed";
    return false;
  }
  if (!WritePngRgb(path, w, h, rgb, error)) return false;
  if (width) *width = w;
  if (height) *height = h;
  return true;
}

}  // namespace boxanswer
