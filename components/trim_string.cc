#include "components/trim_string.h"

#include <algorithm>

namespace kw {

bool IsTrimmedSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string Trimmed(const std::string& text) {
  std::string::size_type first = 0;
  while (first < text.size() && IsTrimmedSpace(text[first])) ++first;
  std::string::size_type end = text.size();
  while (end > first && IsTrimmedSpace(text[end - 1])) --end;
  return text.substr(first, end - first);
}

std::string UpperCased(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool IsInDirectory(const std::string& path, const std::string& directory) {
  CTrimString prefix = directory;
  prefix.StripTrailingBackslashes();
  return !prefix.empty() && UpperCased(path).rfind(UpperCased(prefix + "\\"), 0) == 0;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && UpperCased(a) == UpperCased(b);
}

CTrimString::CTrimString(const std::string& text) : std::string(Trimmed(text)) {}

CTrimString::CTrimString(const char* text)
    : std::string(text == nullptr ? std::string() : Trimmed(text)) {}

CTrimString& CTrimString::operator=(const std::string& text) {
  std::string::operator=(Trimmed(text));
  return *this;
}

CTrimString& CTrimString::operator=(const char* text) {
  std::string::operator=(text == nullptr ? std::string() : Trimmed(text));
  return *this;
}

CTrimString CTrimString::JoinPath(const std::string& right) const {
  std::string left = *this;
  std::string piece = Trimmed(right);
  while (!left.empty() && left.back() == '\\') left = Trimmed(left.substr(0, left.size() - 1));
  while (!piece.empty() && piece.front() == '\\') piece = Trimmed(piece.substr(1));
  return CTrimString(left + "\\" + piece);
}

void CTrimString::GetFileNamePart(CTrimString& fileName) const {
  const std::string::size_type lastBackslash = rfind('\\');
  if (lastBackslash == npos) {
    fileName = static_cast<const CTrimString&>(*this);  // unchanged copy
    return;
  }
  fileName = substr(lastBackslash + 1);
}

void CTrimString::GetDirectoryPart(CTrimString& directory) const {
  // Cut right after the last backslash itself.  Cutting at the length of the
  // (trimmed) file name instead goes wrong for a name that kept a blank at
  // its end: A\KEY with a blank after it would give A\K, another key's path.
  const std::string::size_type lastBackslash = rfind('\\');
  directory = lastBackslash == npos ? std::string() : substr(0, lastBackslash + 1);
}

void CTrimString::StripTrailingBackslashes() {
  while (!empty() && back() == '\\') *this = substr(0, size() - 1);
}

}  // namespace kw
