// Small text helpers of the simulated machine (it cannot use the program's
// components, which sit above the platform).
#ifndef KWUNINST_PLATFORM_SIM_SIM_TEXT_H_
#define KWUNINST_PLATFORM_SIM_SIM_TEXT_H_

#include <string>
#include <vector>

namespace kw::sim {

inline std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

inline bool SameNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && Upper(a) == Upper(b);
}

// Splits at backslashes, dropping empty elements (a doubled backslash or one
// at either end names nothing, as the Windows object manager treats it).
inline std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '\\') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

}  // namespace kw::sim

#endif  // KWUNINST_PLATFORM_SIM_SIM_TEXT_H_
