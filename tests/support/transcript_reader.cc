#include "tests/support/transcript_reader.h"

#include <fstream>

namespace kw::transcript {
namespace {

std::vector<std::string> SplitAtTabs(const std::string& line) {
  std::vector<std::string> parts(1);
  for (char c : line) c == '\t' ? parts.emplace_back() : parts.back() += c;
  return parts;
}

// Milliseconds: unsigned decimal, short enough not to overflow.
bool ReadMs(const std::string& text, std::int64_t& ms) {
  if (text.empty() || text.size() > 18) return false;
  ms = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    ms = ms * 10 + (c - '0');
  }
  return true;
}

// The kinds and keys are fixed words: letters, digits and '-'.
bool IsWord(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && !(c >= '0' && c <= '9') && c != '-') return false;
  }
  return true;
}

// The four pairs boxanswer writes, replaced in one pass from the left; any
// other backslash is not its.
bool Unescape(const std::string& value, std::string& out) {
  for (std::size_t at = 0; at < value.size(); ++at) {
    if (value[at] != '\\') {
      out += value[at];
      continue;
    }
    const char next = ++at < value.size() ? value[at] : '\0';  // a line holds no NUL
    const char meant = next == '\\' ? '\\'
                       : next == 't' ? '\t'
                       : next == 'n' ? '\n'
                       : next == 'r' ? '\r'
                                     : '\0';
    if (meant == '\0') return false;
    out += meant;
  }
  return true;
}

std::string ParseField(const std::string& field, Event& event) {
  const std::string::size_type equals = field.find('=');
  if (equals == std::string::npos) return "a field without '=': \"" + field + "\"";
  const std::string key = field.substr(0, equals);
  if (!IsWord(key)) return "a key that is no word: \"" + key + "\"";
  if (event.fields.count(key)) return "the key \"" + key + "\" twice";
  if (!Unescape(field.substr(equals + 1), event.fields[key])) {
    return "a backslash in \"" + key + "\" that is none of \\\\ \\t \\n \\r";
  }
  return "";
}

// "<epoch ms>\t[<program>\t]<event>\t<detail>...": raw text, never escaped.
bool ParseTraceLine(const std::string& line, bool namesProgram, Event& event) {
  const std::vector<std::string> parts = SplitAtTabs(line);
  const std::size_t kindAt = namesProgram ? 2 : 1;
  if (parts.size() <= kindAt || !ReadMs(parts[0], event.ms)) return false;
  if (namesProgram) event.program = parts[1];
  event.kind = parts[kindAt];
  event.detail.assign(parts.begin() + static_cast<std::ptrdiff_t>(kindAt + 1), parts.end());
  return true;
}

}  // namespace

std::string Event::Get(const std::string& key) const {
  const auto found = fields.find(key);
  return found == fields.end() ? std::string() : found->second;
}

std::string Event::Detail(std::size_t index) const {
  return index < detail.size() ? detail[index] : std::string();
}

std::string ParseTranscriptLine(const std::string& line, Event& event) {
  if (line.find('\r') != std::string::npos) return "a CR";
  if (line.find('\0') != std::string::npos) return "a NUL";
  std::vector<std::string> parts = SplitAtTabs(line);
  if (!ReadMs(parts[0], event.ms)) return "a time that is no unsigned number: \"" + parts[0] + "\"";
  if (parts.size() < 2 || !IsWord(parts[1])) return "no kind";
  event.kind = parts[1];
  event.detail.assign(parts.begin() + 2, parts.end());
  for (const std::string& field : event.detail) {
    const std::string error = ParseField(field, event);
    if (!error.empty()) return error;
  }
  return "";
}

void ReadTranscript(std::istream& in, const OnLine& onLine) {
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    Event event;
    std::string error = in.eof() ? "no line end" : ParseTranscriptLine(line, event);
    if (!error.empty()) error = "line " + std::to_string(number) + ": " + error;
    onLine(event, error);
  }
}

// Binary: a text-mode reader on Windows would stop at a byte 0x1A.
Reading ReadTranscriptFile(const std::string& path) {
  Reading reading;
  std::ifstream file(path, std::ios::binary);
  ReadTranscript(file, [&](const Event& event, const std::string& error) {
    error.empty() ? reading.events.push_back(event) : reading.errors.push_back(error);
  });
  return reading;
}

Reading ReadTraceFile(const std::string& path, bool namesProgram) {
  Reading reading;
  std::ifstream file(path, std::ios::binary);
  std::string line;
  for (int number = 1; std::getline(file, line) && !file.eof(); ++number) {
    Event event;
    if (ParseTraceLine(line, namesProgram, event)) {
      reading.events.push_back(event);
    } else {
      reading.errors.push_back("line " + std::to_string(number) + ": not a trace line: \"" + line +
                               "\"");
    }
  }
  return reading;
}

}  // namespace kw::transcript
