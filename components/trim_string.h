// CTrimString: the string type of paths, key paths, names, window titles and
// command lines.  Whatever reaches it from plain text loses its white space
// at both ends; copying one CTrimString into another keeps the text as it is,
// which is how a registry name with a blank at its end survives a copy.
#ifndef KWUNINST_COMPONENTS_TRIM_STRING_H_
#define KWUNINST_COMPONENTS_TRIM_STRING_H_

#include <string>

namespace kw {

class CTrimString : public std::string {
 public:
  CTrimString() = default;
  CTrimString(const CTrimString&) = default;
  CTrimString(CTrimString&&) = default;
  CTrimString& operator=(const CTrimString&) = default;
  CTrimString& operator=(CTrimString&&) = default;

  // From plain text: copied, then trimmed.  A null pointer is empty text.
  CTrimString(const std::string& text);  // NOLINT(google-explicit-constructor)
  CTrimString(const char* text);         // NOLINT(google-explicit-constructor)
  CTrimString& operator=(const std::string& text);
  CTrimString& operator=(const char* text);

  // This text, one backslash, the right piece: exactly one backslash at the
  // seam, also when a piece is empty.
  CTrimString JoinPath(const std::string& right) const;
  // The text after the last backslash (trimmed), or the whole text when there
  // is none.
  void GetFileNamePart(CTrimString& fileName) const;
  // Everything up to and including the last backslash; empty without one.
  void GetDirectoryPart(CTrimString& directory) const;
  // Removes backslashes from the end, trimming after each.
  void StripTrailingBackslashes();
};

// The white space that trimming removes: blank, tab, LF, VT, FF, CR.
bool IsTrimmedSpace(char c);
std::string Trimmed(const std::string& text);

// Upper-case copy, ASCII letters only (every text this program compares is
// ASCII: paths, window titles, registry values).
std::string UpperCased(std::string text);

// Whole-text comparison without regard to case.
bool EqualsNoCase(const std::string& a, const std::string& b);

// Whether the path lies below the directory (written with or without its
// trailing backslash), compared without regard to case.  Nothing lies below
// an empty directory.
bool IsInDirectory(const std::string& path, const std::string& directory);

}  // namespace kw

#endif  // KWUNINST_COMPONENTS_TRIM_STRING_H_
