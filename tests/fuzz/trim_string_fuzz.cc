// The path helpers of CTrimString on any text, trimmed as the program builds
// paths and raw as a registry name with blanks at its ends reaches them, by
// what every result must be.  Input: a path, a right piece, bytes read as
// backslashes and blanks to put at the seam.
#include <algorithm>

#include "components/trim_string.h"
#include "tests/fuzz/fuzz_support.h"

namespace kw {
namespace {

// Trimming takes only white space, only at the ends, and leaves none there.
bool IsTrimmingOf(const std::string& result, const std::string& text) {
  const std::string::size_type at = text.find(result);
  if (at == std::string::npos) return false;
  const std::string removed = text.substr(0, at) + text.substr(at + result.size());
  return std::all_of(removed.begin(), removed.end(), IsTrimmedSpace) &&
         (result.empty() || (!IsTrimmedSpace(result.front()) && !IsTrimmedSpace(result.back())));
}

// A directory part is empty or ends in a backslash, and the path goes on
// from it to the file name with no other backslash.
void CheckParts(const CTrimString& path) {
  CTrimString directory, name;
  path.GetDirectoryPart(directory);
  path.GetFileNamePart(name);
  if (path.find('\\') == std::string::npos) {
    FUZZ_CHECK(directory.empty() && name == path);  // the name as it is, blanks and all
    return;
  }
  const std::string whole = Trimmed(path);
  FUZZ_CHECK(!directory.empty() && directory.back() == '\\' && whole.rfind(directory, 0) == 0);
  const std::string rest = whole.substr(directory.size());
  FUZZ_CHECK(rest.find('\\') == std::string::npos && IsTrimmingOf(name, rest));
}

// Exactly one backslash at the seam, whatever backslashes and blanks the
// pieces bring there.
void CheckJoin(const CTrimString& left, const std::string& right, const std::string& seam) {
  const CTrimString joined = left.JoinPath(right);
  const CTrimString piece = right;
  // A raw left piece ending in a blank keeps it: it is part of a name.
  if ((left.empty() || left.back() != '\\') && (piece.empty() || piece.front() != '\\')) {
    FUZZ_CHECK(joined == CTrimString(left + "\\" + piece));
  }
  FUZZ_CHECK(left.JoinPath(seam + right) == joined);
}

}  // namespace
}  // namespace kw

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kw;
  std::vector<std::string> pieces = fuzz::Pieces(data, size, 3);
  pieces.resize(3);
  std::string& seam = pieces[2];  // any bytes, as backslashes and blanks
  for (char& c : seam) c = "\\ \t\n\v\f\r"[static_cast<unsigned char>(c) % 7];
  const CTrimString trimmed = pieces[0];
  FUZZ_CHECK(IsTrimmingOf(trimmed, pieces[0]));
  CTrimString raw;
  raw.append(pieces[0]);
  for (const CTrimString& path : {trimmed, raw}) {
    CheckParts(path);
    CheckJoin(path, pieces[1], seam);
  }
  // A trimmed path's own backslashes and blanks at its end go, when joined and when stripped.
  FUZZ_CHECK(CTrimString(trimmed + seam).JoinPath(pieces[1]) == trimmed.JoinPath(pieces[1]));
  CTrimString stripped = CTrimString(trimmed + seam + "\\");
  stripped.StripTrailingBackslashes();
  if (trimmed.empty() || trimmed.back() != '\\') FUZZ_CHECK(stripped == trimmed);
  return 0;
}
