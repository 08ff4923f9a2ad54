#include "tools/demo/text.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace kw::demo {
namespace {

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
    return;
  }
  // The lead byte marks how many continuation bytes of 6 bits follow.
  const int more = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
  const std::uint32_t lead[] = {0, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(lead[more] | code >> (6 * more));
  for (int shift = 6 * (more - 1); shift >= 0; shift -= 6) {
    out += static_cast<char>(0x80 | (code >> shift & 0x3F));
  }
}

constexpr std::uint32_t kReplacement = 0xFFFD;

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

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  WriteText(path, text);
}

std::string FromAnsi(const std::string& text) {
  // What 0x80 to 0x9F stand for; 0 where the code page has nothing.  The
  // rest of the code page is Latin-1.
  static const std::uint16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string out;
  for (char c : text) {
    const std::uint32_t byte = static_cast<unsigned char>(c);
    const std::uint32_t code = byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
    AppendUtf8(out, code == 0 && byte != 0 ? kReplacement : code);
  }
  return out;
}

std::string FromUtf16(const std::string& bytes) {
  std::string out;
  std::size_t at = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE' ? 2 : 0;
  auto unit = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]) |
                                      static_cast<unsigned char>(bytes[i + 1]) << 8);
  };
  for (; at + 1 < bytes.size(); at += 2) {
    std::uint32_t code = unit(at);
    if (code >= 0xD800 && code < 0xDC00 && at + 3 < bytes.size() && unit(at + 2) >= 0xDC00 &&
        unit(at + 2) < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
      at += 2;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = kReplacement;  // half a pair
    }
    AppendUtf8(out, code);
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
