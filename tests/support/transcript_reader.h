// The one reader of the box answerer's transcript and of the stand-ins'
// traces, following their formats as tools/boxanswer/README.md and
// tools/standins/README.md write them down.  The end-to-end harness reads them
// under Windows, the demo's report on Linux: standard library only.
#ifndef KWUNINST_TESTS_SUPPORT_TRANSCRIPT_READER_H_
#define KWUNINST_TESTS_SUPPORT_TRANSCRIPT_READER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <map>
#include <string>
#include <vector>

namespace kw::transcript {

// One line of a transcript or of a trace.
struct Event {
  std::int64_t ms = 0;  // transcript: since boxanswer started; trace: since the Unix epoch
  std::string program;  // traces whose lines name it: the program that wrote the line
  std::string kind;
  std::map<std::string, std::string> fields;  // transcript: its key=value fields, unescaped
  std::vector<std::string> detail;            // every field after the kind, as written

  std::string Get(const std::string& key) const;
  std::string Detail(std::size_t index) const;  // "" past the last
};

// What a file holds: its events in order, and for each line its writer
// never writes, "line <n>: <why>".
struct Reading {
  std::vector<Event> events;
  std::vector<std::string> errors;
};

// One transcript line without its LF: "" when boxanswer writes such lines,
// else why it does not.
std::string ParseTranscriptLine(const std::string& line, Event& event);

// A transcript as it comes, line by line (a file, or boxanswer's output
// followed live): each line goes to onLine with "" or "line <n>: <why>".
using OnLine = std::function<void(const Event& event, const std::string& error)>;
void ReadTranscript(std::istream& in, const OnLine& onLine);

// No file, nothing read.  A trace is read while its programs may still
// write it, so its last line without a line end is left for later.
Reading ReadTranscriptFile(const std::string& path);
Reading ReadTraceFile(const std::string& path, bool namesProgram);

}  // namespace kw::transcript

#endif
