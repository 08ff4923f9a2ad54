// Measuring text as a dialog of another process shows it, without sending
// that process a message.
//
// The font of a control cannot be asked for: WM_GETFONT blocks while the
// program sleeps, and a font handle of another process means nothing here.
// The dialog manager builds the font from the dialog template, though, so we
// read the template from the program's own file and build the same font.
#ifndef BOXANSWER_DIALOG_FONT_H
#define BOXANSWER_DIALOG_FONT_H

#include <windows.h>

#include <string>

namespace boxanswer {

// The font a dialog template asks for (DS_SETFONT).
struct DialogFont {
  std::wstring face;
  int points = 0;
  int weight = 0;
  bool italic = false;
  int charset = DEFAULT_CHARSET;
};

// "face,points,weight,italic,charset", for the transcript.
std::string DialogFontText(const DialogFont& font);

// The full path of the program file of a running process; empty when it
// cannot be found.
std::string ProgramPathOfProcess(DWORD pid);

// Reads the font of dialog template `templateId` from the program file at
// `programPath`.  False (and `*error` says why) when the file, the template
// or its font cannot be read.
bool ReadDialogFont(const std::string& programPath, int templateId, DialogFont* font,
                    std::string* error);

// The font made as the dialog manager makes it for a template, at the
// screen's DPI: the template's points, weight, italic flag, character set
// and face.
class DialogFontMeasure {
 public:
  explicit DialogFontMeasure(const DialogFont& font);
  ~DialogFontMeasure();
  DialogFontMeasure(const DialogFontMeasure&) = delete;
  DialogFontMeasure& operator=(const DialogFontMeasure&) = delete;

  // The width in pixels of `text` drawn on one line, as a static control
  // draws it (tabs expanded, '&' marking a mnemonic), trailing blanks
  // included.
  int TextWidth(const std::string& text) const;

 private:
  HDC dc_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

}  // namespace boxanswer

#endif
