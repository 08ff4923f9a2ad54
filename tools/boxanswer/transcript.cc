#include "transcript.h"

#include <cstdio>

namespace boxanswer {

std::string EscapeValue(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c; break;
    }
  }
  return out;
}

Event& Event::Add(const std::string& key, const std::string& value) {
  fields_.emplace_back(key, value);
  return *this;
}

std::string Event::Line() const {
  std::string line = std::to_string(ms_);
  line += '\t';
  line += kind_;
  for (const auto& field : fields_) {
    line += '\t';
    line += field.first;
    line += '=';
    line += EscapeValue(field.second);
  }
  line += '\n';
  return line;
}

void Transcript::Write(const Event& event) {
  const std::string line = event.Line();
  // stdout is switched to binary mode in main, so lines end in a bare \n
  // everywhere; flushing per line lets a test follow the run live.
  fwrite(line.data(), 1, line.size(), stdout);
  fflush(stdout);
  if (path_.empty()) return;
  // Open, append, close for every line: a crash or a kill of boxanswer then
  // never loses what was already observed.
  FILE* f = fopen(path_.c_str(), "ab");
  if (f == nullptr) {
    if (!reportedFileError_) {
      fprintf(stderr, "boxanswer: cannot append to transcript %s\n",
              path_.c_str());
      reportedFileError_ = true;
    }
    return;
  }
  fwrite(line.data(), 1, line.size(), f);
  fclose(f);
}

}  // namespace boxanswer
