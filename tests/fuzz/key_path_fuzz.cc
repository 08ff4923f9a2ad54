// Key-path normalisation on any text.  A path built as the program builds
// them (trimmed) comes out with no backslash or blank at either end, and a
// second pass changes nothing.  A raw path (a name that kept its blanks)
// only loses characters at its ends, and never keeps a trailing backslash.
#include "components/registry.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kw;
  const auto blankOrBackslash = [](char c) { return c == '\\' || IsTrimmedSpace(c); };
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto normalized = [](CTrimString path) {
    CRegistry::NormalizeKeyPath(path);
    return path;
  };
  const CTrimString once = normalized(CTrimString(text));
  FUZZ_CHECK(once.empty() ||
             (!blankOrBackslash(once.front()) && !blankOrBackslash(once.back())));
  FUZZ_CHECK(normalized(once) == once);
  // Inner text, doubled backslashes included, stays as it was.
  FUZZ_CHECK(text.find(once) != std::string::npos);

  CTrimString raw;
  raw.append(text);
  const CTrimString rawOnce = normalized(raw);
  FUZZ_CHECK(text.find(rawOnce) != std::string::npos);
  FUZZ_CHECK(rawOnce.empty() || rawOnce.back() != '\\');
  if (text.empty() || (text.front() != '\\' && text.back() != '\\')) FUZZ_CHECK(rawOnce == text);
  return 0;
}
