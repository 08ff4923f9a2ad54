// Reading pixels back from the screen: icon identification and screenshots.
#ifndef BOXANSWER_SCREEN_H
#define BOXANSWER_SCREEN_H

#include <windows.h>

#include <string>

namespace boxanswer {

// Names the standard icon shown in rect on the screen: "error", "question",
// "warning", "information", or "unknown".  Handles of icons of another
// process mean nothing to us, so each candidate system icon is drawn here at
// the same size over the background colour found in the captured top-left
// corner (icon corners are transparent) and compared pixel for pixel.
std::string IdentifyIconOnScreen(const RECT& rect);

// Captures the whole (virtual) screen and writes it as a 24-bit PNG.
bool SaveScreenshotPng(const std::string& path, int* width, int* height, std::string* error);

}  // namespace boxanswer

#endif
