#include "tools/demo/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace kw::demo {
namespace {

std::size_t Characters(const std::string& text) {
  std::size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

}  // namespace

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines = Split(ReadBytes(path), '\n');
  // A CR ends a line only with the LF after it.
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (EndsWith(lines[i], "\r")) lines[i].pop_back();
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

std::vector<std::string> ReadAnsiLines(const std::string& path) {
  std::vector<std::string> lines = ReadLines(path);
  for (std::string& line : lines) line = FromAnsi(line);
  return lines;
}

std::string FromAnsi(const std::string& text) {
  // The Wine machine's ANSI code page; a byte it does not define becomes
  // U+FFFD, as Windows shows it.
  static const iconv_t convert = iconv_open("UTF-8", "WINDOWS-1252");
  std::string out;
  char buffer[256];
  char* in = const_cast<char*>(text.data());
  for (std::size_t left = text.size(); left > 0;) {
    char* to = buffer;
    std::size_t room = sizeof buffer;
    if (iconv(convert, &in, &left, &to, &room) == static_cast<std::size_t>(-1) && errno != E2BIG) {
      ++in, --left;
      out.append(buffer, to) += "\xEF\xBF\xBD";
      continue;
    }
    out.append(buffer, to);
  }
  return out;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) c == separator ? parts.emplace_back() : parts.back() += c;
  return parts;
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) text += (i ? separator : "") + parts[i];
  return text;
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string TrimTrailing(std::string text, char c) {
  while (!text.empty() && text.back() == c) text.pop_back();
  return text;
}

std::string LastPart(const std::string& text, const std::string& separators) {
  const std::string::size_type at = text.find_last_of(separators);
  return at == std::string::npos ? text : text.substr(at + 1);
}

std::string Left(const std::string& text, std::size_t width) {
  const std::size_t length = Characters(text);
  return length < width ? text + std::string(width - length, ' ') : text;
}

std::string Right(const std::string& text, std::size_t width) {
  const std::size_t length = Characters(text);
  return length < width ? std::string(width - length, ' ') + text : text;
}

std::string Fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::string Parent(const std::string& item) {
  const std::string::size_type bar = item.rfind('|');
  if (bar != std::string::npos) return item.substr(0, bar);
  const std::string path = TrimTrailing(item, '\\');
  const std::string::size_type slash = path.rfind('\\');
  return (slash == std::string::npos ? path : path.substr(0, slash)) +
         (EndsWith(item, "\\") ? "\\" : "");
}

bool Under(const std::string& item, const std::string& top) {
  const std::string base = TrimTrailing(top, '\\');
  return TrimTrailing(item, '\\') != base &&
         (StartsWith(item, base + "\\") || StartsWith(item, base + "|"));
}

}  // namespace kw::demo
