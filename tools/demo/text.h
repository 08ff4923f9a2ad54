// Text as the demo's report meets it on the Linux side: files of lines, the
// Windows machine's ANSI texts turned into the UTF-8 the terminal shows, and
// the paths and keys of the pictures.
#ifndef KW_DEMO_TEXT_H
#define KW_DEMO_TEXT_H

#include <cstddef>
#include <string>
#include <vector>

namespace kw::demo {

// A file's bytes; "" when there is none.
std::string ReadBytes(const std::string& path);
// A file's lines without their line ends (CR LF or LF); none when there is
// no file.
std::vector<std::string> ReadLines(const std::string& path);
// The same, of a file of the Windows machine, in UTF-8.
std::vector<std::string> ReadAnsiLines(const std::string& path);

// Windows-1252, the ANSI code page of the Wine machine, as UTF-8 (iconv).
std::string FromAnsi(const std::string& text);

std::string Upper(std::string text);  // ASCII letters only, as Windows compares names
std::vector<std::string> Split(const std::string& text, char separator);
std::string Join(const std::vector<std::string>& parts, const std::string& separator);
bool StartsWith(const std::string& text, const std::string& start);
bool EndsWith(const std::string& text, const std::string& end);
std::string TrimTrailing(std::string text, char c);                            // every c at the end
std::string LastPart(const std::string& text, const std::string& separators);  // after the last one
// Filled with blanks to width characters (not bytes), left or right aligned.
std::string Left(const std::string& text, std::size_t width);
std::string Right(const std::string& text, std::size_t width);
// A number with the given decimals, as printf's "%.<decimals>f".
std::string Fixed(double value, int decimals);

// Items of the pictures: a path (a directory's with a trailing backslash),
// a key, or "<key>|<value name>".
std::string Parent(const std::string& item);  // "C:\A\B\" -> "C:\A\", "K\S|v" -> "K\S"
bool Under(const std::string& item, const std::string& top);  // below it, not it

}  // namespace kw::demo

#endif
