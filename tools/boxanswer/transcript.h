// Event output: one line per event, to stdout and to an optional file.
#ifndef BOXANSWER_TRANSCRIPT_H
#define BOXANSWER_TRANSCRIPT_H

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace boxanswer {

// One event line under construction: "<ms>\t<kind>\t<key>=<value>...".
class Event {
 public:
  Event(uint64_t ms, const std::string& kind) : ms_(ms), kind_(kind) {}
  Event& Add(const std::string& key, const std::string& value);
  Event& Add(const std::string& key, const char* value) {
    return Add(key, std::string(value == nullptr ? "" : value));
  }
  Event& Add(const std::string& key, bool value) {
    return Add(key, std::string(value ? "1" : "0"));
  }
  // Any integer (DWORD, LONG, size_t...) is written in decimal.
  template <typename T, typename = std::enable_if_t<std::is_integral_v<T>>>
  Event& Add(const std::string& key, T value) {
    return Add(key, std::to_string(value));
  }
  std::string Line() const;

 private:
  uint64_t ms_;
  std::string kind_;
  std::vector<std::pair<std::string, std::string>> fields_;
};

// Escapes a value so that a line stays one line and fields stay split by
// tabs: backslash, tab, newline and carriage return become \\ \t \n \r.
std::string EscapeValue(const std::string& value);

class Transcript {
 public:
  // path may be empty (stdout only).  The file is appended to, never
  // truncated, so several boxanswer runs may share one transcript.
  explicit Transcript(const std::string& path) : path_(path) {}
  void Write(const Event& event);

 private:
  std::string path_;
  bool reportedFileError_ = false;
};

}  // namespace boxanswer

#endif
