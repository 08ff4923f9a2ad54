// Key-path normalisation on any text.  A path built as the program builds
// them (trimmed) comes out with no backslash or blank at either end, and a
// second pass changes nothing.  A raw path (a name that kept its blanks)
// only loses characters at its ends, and never keeps a trailing backslash.
#include "components/registry.h"
#include "tests/fuzz/fuzz_support.h"

namespace kw {
namespace {

bool IsBlankOrBackslash(char c) { return c == '\\' || IsTrimmedSpace(c); }

CTrimString Normalized(const CTrimString& path) {
  CTrimString copy = path;
  CRegistry::NormalizeKeyPath(copy);
  return copy;
}

}  // namespace
}  // namespace kw

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kw;
  const std::string text(reinterpret_cast<const char*>(data), size);

  const CTrimString once = Normalized(CTrimString(text));
  FUZZ_CHECK(once.empty() ||
             (!IsBlankOrBackslash(once.front()) && !IsBlankOrBackslash(once.back())));
  FUZZ_CHECK(Normalized(once) == once);
  // Inner text, doubled backslashes included, stays as it was.
  FUZZ_CHECK(text.find(once) != std::string::npos);

  CTrimString raw;
  raw.append(text);
  const CTrimString rawOnce = Normalized(raw);
  FUZZ_CHECK(text.find(rawOnce) != std::string::npos);
  FUZZ_CHECK(rawOnce.empty() || rawOnce.back() != '\\');
  const bool touched = !text.empty() && (text.front() == '\\' || text.back() == '\\');
  if (!touched) FUZZ_CHECK(rawOnce == text);
  return 0;
}
