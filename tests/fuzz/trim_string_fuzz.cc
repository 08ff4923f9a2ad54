// The path helpers of CTrimString on any text: trimmed, as the program builds
// its paths, and raw, as a registry name with blanks at its ends reaches them.
#include <algorithm>

#include "components/trim_string.h"
#include "tests/fuzz/fuzz_support.h"

namespace kw {
namespace {

// The white space that trimming removes, and the backslash.
constexpr const char* kRun = "\\ \t\n\v\f\r";

bool IsTrimmed(const std::string& s) { return Trimmed(s) == s; }
std::string WithoutTrailingRun(const std::string& s) {
  return s.substr(0, s.find_last_not_of(kRun) + 1);
}
std::string WithoutLeadingRun(const std::string& s) {
  return s.substr(std::min(s.find_first_not_of(kRun), s.size()));
}

void CheckParts(const CTrimString& path) {
  CTrimString name, directory;
  path.GetFileNamePart(name);
  path.GetDirectoryPart(directory);
  const std::string::size_type last = path.rfind('\\');
  if (last == std::string::npos) {
    FUZZ_CHECK(directory.empty() && name == path);
    return;
  }
  FUZZ_CHECK(!directory.empty() && directory.back() == '\\' && IsTrimmed(directory));
  FUZZ_CHECK(name.find('\\') == std::string::npos && IsTrimmed(name));
  // Together they are the path, less the blanks at its ends and at the seam.
  FUZZ_CHECK(directory + name ==
             Trimmed(path.substr(0, last + 1)) + Trimmed(path.substr(last + 1)));
}

void CheckHelpers(const CTrimString& left, const std::string& right, bool leftIsTrimmed) {
  CheckParts(left);
  const CTrimString before = left;
  const CTrimString joined = left.JoinPath(right);
  const std::string piece = WithoutLeadingRun(Trimmed(right));
  FUZZ_CHECK(left == before && IsTrimmed(joined));
  FUZZ_CHECK(joined.size() > piece.size() && joined.compare(joined.size() - piece.size() - 1,
                                                            std::string::npos, "\\" + piece) == 0);
  // Exactly one backslash between the pieces (a raw left piece may end in a
  // name of blanks, which is kept).
  if (leftIsTrimmed) FUZZ_CHECK(joined == WithoutTrailingRun(left) + "\\" + piece);
  CTrimString stripped = left;
  stripped.StripTrailingBackslashes();
  const bool endsInBackslash = !left.empty() && left.back() == '\\';
  FUZZ_CHECK(stripped == (endsInBackslash ? Trimmed(WithoutTrailingRun(left)) : std::string(left)));
}

}  // namespace
}  // namespace kw

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kw;
  const std::vector<std::string> pieces = fuzz::Pieces(data, size, 2);
  const std::string right = pieces.size() > 1 ? pieces[1] : std::string();
  const CTrimString trimmed = pieces[0];
  const std::string::size_type first = pieces[0].find(trimmed);
  FUZZ_CHECK(IsTrimmed(trimmed) && first != std::string::npos);
  const std::string removed = pieces[0].substr(0, first) + pieces[0].substr(first + trimmed.size());
  FUZZ_CHECK(Trimmed(removed).empty());  // only white space, only at the ends
  CheckHelpers(trimmed, right, true);
  CTrimString raw;
  raw.append(pieces[0]);
  CheckHelpers(raw, right, false);
  return 0;
}
