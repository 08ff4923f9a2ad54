// ReadStringValue on any value type and bytes.  Input lines: the type (its
// first byte modulo 12, so "1" is text and "7" a multi-string) with a second
// byte whose bit 0 makes the key refuse reading and bit 1 leaves the value
// unset; the key path to read; the value name; then the value's bytes.
#include "components/message_catalogue.h"
#include "components/registry.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kw;
  const std::vector<std::string> pieces = fuzz::Pieces(data, size, 4);
  if (pieces.size() < 4 || pieces[0].empty()) return 0;
  const std::uint32_t type = static_cast<unsigned char>(pieces[0][0]) % 12;
  const unsigned flags = pieces[0].size() > 1 ? static_cast<unsigned char>(pieces[0][1]) : 0;
  const bool refused = (flags & 1) != 0, present = (flags & 2) == 0;
  const std::string& bytes = pieces[3];
  CTrimString name;  // exactly as given: a name may keep blanks at its ends
  name.append(pieces[2]);
  const char* key = "Software\\K-WARD";
  fuzz::CFuzzMachine machine;
  machine->Registry().CreateKey(kHkeyCurrentUser, key);
  if (present) machine->Registry().SetValue(kHkeyCurrentUser, key, name, type, bytes);
  machine->Registry().Switches(kHkeyCurrentUser, key).refuseRead = refused;

  CRegistry registry;
  const std::string untouched = "\x01untouched";
  std::string text = untouched;
  const bool read = registry.ReadStringValue(kHkeyCurrentUser, CTrimString(pieces[1]), name, text);
  std::int32_t code = 0;
  std::string argument;
  registry.GetError(code, argument);
  // The data up to its first zero byte, never a byte past what was stored.
  const std::string expected = bytes.substr(0, bytes.find('\0'));
  if (read) {
    FUZZ_CHECK(code == 0 && present && bytes.size() <= CRegistry::kValueStorage);
    FUZZ_CHECK(type != kRegMultiSz && text == expected);
  } else if (code == kErrUnexpectedValueType) {
    FUZZ_CHECK(type == kRegMultiSz && text == expected);
  } else {
    FUZZ_CHECK((code == kErrKeyNotOpened || code == kErrValueNotRead) && text == untouched);
  }
  // Read from its own key, a value is refused only for a reason.
  const bool readable = !refused && present && bytes.size() <= CRegistry::kValueStorage;
  std::string again;
  FUZZ_CHECK(CRegistry().ReadStringValue(kHkeyCurrentUser, key, name, again) ==
             (readable && type != kRegMultiSz));
  return 0;
}
