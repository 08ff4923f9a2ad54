// The start-up batch clean-up on whatever DOSSTART.BAT holds.  Input: the
// file's bytes.  The file is either left byte for byte, or rewritten with a
// subsequence of its lines, each followed by CR LF; only lines naming the
// guard or holding the letters CLS may go, and no guard line may stay.
#include "app/uninstall_app.h"
#include "components/trim_string.h"
#include "tests/fuzz/fuzz_support.h"

namespace kw {
namespace {

constexpr const char* kBatchPath = "C:\\WINDOWS\\DOSSTART.BAT";

// The lines as a DOS program reads them in text mode.
std::vector<std::string> TextLines(std::string bytes) {
  bytes = bytes.substr(0, bytes.find('\x1a'));
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < bytes.size()) {
    std::string::size_type end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (end < bytes.size() && !line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool Holds(const std::string& line, const char* text) {
  return UpperCased(line).find(text) != std::string::npos;
}

}  // namespace
}  // namespace kw

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kw;
  const std::string before(reinterpret_cast<const char*>(data), size);
  fuzz::CFuzzMachine machine;
  machine->SetWindowsDirectory("C:\\WINDOWS");
  machine->Files().AddFile(kBatchPath, before);
  CUninstallApp app;
  FUZZ_CHECK(app.RemoveStartupBatchEntries());
  const std::string after = machine->Files().Content(kBatchPath);
  if (after == before) {
    for (const std::string& line : TextLines(before)) FUZZ_CHECK(!Holds(line, "SENTRYX.EXE"));
    return 0;
  }
  std::string rewritten;
  std::size_t next = 0;  // the kept lines, in order, each with CR LF
  const std::vector<std::string> lines = TextLines(before);
  for (const std::string& line : lines) {
    if (after.compare(next, line.size() + 2, line + "\r\n") == 0) {
      FUZZ_CHECK(!Holds(line, "SENTRYX.EXE"));
      next += line.size() + 2;
    } else {
      FUZZ_CHECK(Holds(line, "SENTRYX.EXE") || Holds(line, "CLS"));
    }
  }
  FUZZ_CHECK(next == after.size());
  return 0;
}
