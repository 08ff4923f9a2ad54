#include "dialog_font.h"

#include <tlhelp32.h>

#include <cstdint>

namespace boxanswer {
namespace {

// Reads a dialog template's fields in order, never past its end.
class TemplateReader {
 public:
  TemplateReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Word(uint16_t* value) {
    if (pos_ + 2 > size_) return false;
    *value = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return true;
  }
  bool Dword(uint32_t* value) {
    uint16_t low = 0;
    uint16_t high = 0;
    if (!Word(&low) || !Word(&high)) return false;
    *value = low | (static_cast<uint32_t>(high) << 16);
    return true;
  }
  bool Byte(uint8_t* value) {
    if (pos_ + 1 > size_) return false;
    *value = data_[pos_++];
    return true;
  }
  bool Skip(size_t bytes) {
    if (pos_ + bytes > size_) return false;
    pos_ += bytes;
    return true;
  }
  // A zero-terminated UTF-16 text.
  bool Text(std::wstring* text) {
    text->clear();
    for (uint16_t c = 0; Word(&c);) {
      if (c == 0) return true;
      text->push_back(static_cast<wchar_t>(c));
    }
    return false;
  }
  // A menu or class field: nothing (0), an ordinal (0xFFFF, then the
  // number) or a name.
  bool NameOrOrdinal() {
    uint16_t first = 0;
    if (!Word(&first)) return false;
    if (first == 0) return true;
    if (first == 0xFFFF) return Skip(2);
    std::wstring rest;
    return Text(&rest);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// DLGTEMPLATEEX (signature 0xFFFF) or the older DLGTEMPLATE, up to its font.
bool ParseTemplateFont(const uint8_t* data, size_t size, DialogFont* font, std::string* error) {
  TemplateReader reader(data, size);
  uint16_t version = 0;
  uint16_t signature = 0;
  if (!reader.Word(&version) || !reader.Word(&signature)) {
    *error = "dialog template too short";
    return false;
  }
  const bool extended = version == 1 && signature == 0xFFFF;
  uint32_t style = 0;
  bool ok = true;
  if (extended) {
    uint32_t helpId = 0;
    uint32_t exStyle = 0;
    ok = reader.Dword(&helpId) && reader.Dword(&exStyle) && reader.Dword(&style);
  } else {
    // The old form starts with the style itself.
    style = version | (static_cast<uint32_t>(signature) << 16);
    ok = reader.Skip(4);  // extended style
  }
  // Item count, x, y, cx, cy; menu, class, caption.
  std::wstring caption;
  ok = ok && reader.Skip(2 + 4 * 2) && reader.NameOrOrdinal() && reader.NameOrOrdinal() &&
       reader.Text(&caption);
  if (!ok) {
    *error = "dialog template cut short";
    return false;
  }
  if ((style & DS_SETFONT) == 0) {
    *error = "dialog template names no font (no DS_SETFONT)";
    return false;
  }
  uint16_t points = 0;
  uint16_t weight = 0;
  uint8_t italic = 0;
  uint8_t charset = DEFAULT_CHARSET;
  ok = reader.Word(&points);
  if (extended) ok = ok && reader.Word(&weight) && reader.Byte(&italic) && reader.Byte(&charset);
  ok = ok && reader.Text(&font->face);
  if (!ok) {
    *error = "dialog template's font cut short";
    return false;
  }
  font->points = points;
  font->weight = weight;
  font->italic = italic != 0;
  font->charset = charset;
  return true;
}

}  // namespace

std::string DialogFontText(const DialogFont& font) {
  std::string face;
  for (wchar_t c : font.face) face.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return face + "," + std::to_string(font.points) + "," + std::to_string(font.weight) + "," +
         (font.italic ? "1" : "0") + "," + std::to_string(font.charset);
}

std::string ProgramPathOfProcess(DWORD pid) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  if (snapshot == INVALID_HANDLE_VALUE) return std::string();
  MODULEENTRY32 module = {};
  module.dwSize = sizeof(module);
  // The first module of a process is its program file.
  std::string path;
  if (Module32First(snapshot, &module)) path = module.szExePath;
  CloseHandle(snapshot);
  return path;
}

bool ReadDialogFont(const std::string& programPath, int templateId, DialogFont* font,
                    std::string* error) {
  // As data only: nothing of the program runs in this process.
  HMODULE module = LoadLibraryExA(programPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) {
    *error = "cannot open " + programPath + ", error " + std::to_string(GetLastError());
    return false;
  }
  bool ok = false;
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(5));
  HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) {
    *error = "no dialog template " + std::to_string(templateId) + " in " + programPath;
  } else {
    ok = ParseTemplateFont(static_cast<const uint8_t*>(data), SizeofResource(module, resource),
                           font, error);
  }
  FreeLibrary(module);
  return ok;
}

DialogFontMeasure::DialogFontMeasure(const DialogFont& font) {
  dc_ = CreateCompatibleDC(nullptr);
  // The dialog manager's own rule: the template's points at the screen's
  // vertical DPI, as a character height.
  const int height = -MulDiv(font.points, GetDeviceCaps(dc_, LOGPIXELSY), 72);
  font_ = CreateFontW(height, 0, 0, 0, font.weight, font.italic, FALSE, FALSE,
                      static_cast<DWORD>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                      DEFAULT_QUALITY, FF_DONTCARE, font.face.c_str());
  previous_ = SelectObject(dc_, font_);
}

DialogFontMeasure::~DialogFontMeasure() {
  SelectObject(dc_, previous_);
  DeleteObject(font_);
  DeleteDC(dc_);
}

int DialogFontMeasure::TextWidth(const std::string& text) const {
  RECT rect = {0, 0, 0, 0};
  DrawTextA(dc_, text.c_str(), static_cast<int>(text.size()), &rect,
            DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS | DT_LEFT);
  return rect.right - rect.left;
}

}  // namespace boxanswer
