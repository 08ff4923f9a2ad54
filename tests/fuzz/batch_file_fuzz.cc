// The start-up batch clean-up on whatever DOSSTART.BAT holds.  Input: the
// file's bytes.  The file is either left byte for byte, or rewritten with a
// subsequence of its lines, each followed by CR LF, and then everything from
// its first Ctrl-Z on as it was; only lines naming the guard or holding the
// letters CLS may go, and no guard line may stay.
#include "app/uninstall_app.h"
#include "components/trim_string.h"
#include "tests/fuzz/fuzz_support.h"

namespace kw {
namespace {

constexpr const char* kBatchPath = "C:\\WINDOWS\\DOSSTART.BAT";

// The lines as COMMAND.COM reads a batch file: each ends at CR LF, LF or a
// CR alone, and the text ends at the first Ctrl-Z.
std::vector<std::string> TextLines(const std::string& bytes) {
  const std::string text = bytes.substr(0, bytes.find('\x1a'));
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    const std::string::size_type end = std::min(text.find_first_of("\r\n", start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
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
  const std::string::size_type endOfText = before.find('\x1a');
  FUZZ_CHECK(after.substr(next) == (endOfText == std::string::npos ? "" : before.substr(endOfText)));
  return 0;
}
