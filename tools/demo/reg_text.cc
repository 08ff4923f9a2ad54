#include "tools/demo/reg_text.h"

#include <algorithm>
#include <cstdlib>

#include "tools/demo/text.h"

namespace kw::demo {
namespace {

std::string ShortRoot(const std::string& root) {
  if (root == "HKEY_CURRENT_USER") return "HKCU";
  if (root == "HKEY_CLASSES_ROOT") return "HKCR";
  return root == "HKEY_LOCAL_MACHINE" ? "HKLM" : root;
}

// .reg escapes a quote or backslash with a backslash.
std::string RegUnescape(const std::string& text) {
  std::string out;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '\\' && at + 1 < text.size()) ++at;
    out += text[at];
  }
  return out;
}

// "[HKEY_...\rest]" as the picture's key.
std::string KeyOf(const std::string& line) {
  const std::string inside = line.substr(1, line.size() - 2);
  const std::string::size_type slash = inside.find('\\');
  if (slash == std::string::npos) return ShortRoot(inside);
  return ShortRoot(inside.substr(0, slash)) + inside.substr(slash);
}

// "name"=data, the name ending at the first quote that no backslash escapes.
bool ReadNamedValue(const std::string& line, std::string& name, std::string& data) {
  std::size_t at = 1;
  for (; at < line.size() && line[at] != '"'; ++at) {
    if (line[at] == '\\' && ++at == line.size()) return false;
  }
  if (at + 1 >= line.size() || line[at + 1] != '=') return false;
  name = RegUnescape(line.substr(1, at - 1));
  data = line.substr(at + 2);
  return true;
}

}  // namespace

std::vector<RegItem> RegItems(const std::string& text) {
  std::vector<RegItem> items;
  std::string key, pending, name, data;
  for (std::string line : Split(text, '\n')) {
    line = Join(Split(line, '\r'), "");
    if (!pending.empty()) {
      line = pending + line.substr(std::min(line.find_first_not_of(' '), line.size()));
      pending.clear();
    }
    if (EndsWith(line, "\\") && !StartsWith(line, "[")) {
      pending = line.substr(0, line.size() - 1);
    } else if (StartsWith(line, "[") && EndsWith(line, "]")) {
      key = KeyOf(line);
      items.push_back({"K", key});
    } else if (StartsWith(line, "@=")) {
      items.push_back({"V", key, "(default)", line.substr(2)});
    } else if (StartsWith(line, "\"") && ReadNamedValue(line, name, data)) {
      items.push_back({"V", key, name, data});
    }
  }
  return items;
}

std::string RegItemName(const RegItem& item) {
  return item[0] == "K" ? item[1] : item[1] + "|" + item[2];
}

std::string KeyParent(const std::string& key) {
  const std::string::size_type slash = key.rfind('\\');
  return slash == std::string::npos ? key : key.substr(0, slash);
}

std::string ShownData(const std::string& data) {
  if (data.size() >= 2 && data.front() == '"' && data.back() == '"') {
    return "\"" + RegUnescape(data.substr(1, data.size() - 2)) + "\"";
  }
  return data;
}

std::vector<std::string> MultiStrings(const std::string& data) {
  const std::string::size_type colon = data.find(':');
  if (colon == std::string::npos) return {};
  std::string bytes;
  for (const std::string& byte : Split(data.substr(colon + 1), ',')) {
    if (!byte.empty()) bytes += static_cast<char>(std::strtoul(byte.c_str(), nullptr, 16));
  }
  return Split(FromUtf16(bytes), '\0');
}

}  // namespace kw::demo
