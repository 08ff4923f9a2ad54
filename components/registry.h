// CRegistry: reads the Windows registry for the rest of the program.  Every
// operation opens what it needs and closes it before returning; only the
// error state outlives a call.  Nothing is shown and nothing is thrown.
#ifndef KWUNINST_COMPONENTS_REGISTRY_H_
#define KWUNINST_COMPONENTS_REGISTRY_H_

#include <string>

#include "components/error_info.h"
#include "components/trim_string.h"
#include "platform/platform.h"

namespace kw {

class CRegistry : public CErrorInfo {
 public:
  // Value data is read into this many bytes; longer data cannot be read.
  static constexpr std::uint32_t kValueStorage = 500;

  CRegistry();

  // Removes leading, then trailing backslashes (each removal trims, as every
  // assignment to a CTrimString does).  Inner backslashes stay, doubled ones
  // too.  Empty means the root itself.
  static void NormalizeKeyPath(CTrimString& path);

  // Whether the key can be opened for reading.  Records nothing.
  bool KeyExists(RegKey root, const CTrimString& path);

  // Whether the value can be read and counts as present: a named value always
  // does, the unnamed value only when it holds text.  Records nothing.
  bool ValueExists(RegKey root, const CTrimString& path, const CTrimString& valueName);

  // Reads a value as text: its data up to the first zero byte, never past the
  // bytes the platform returned.  Failures: 115 (key not opened, normalised
  // path), 116 (value not read, caller's path; text untouched), 135
  // (multi-string, caller's path; text holds the first string).
  bool ReadStringValue(RegKey root, const CTrimString& path, const CTrimString& valueName,
                       std::string& text);
};

}  // namespace kw

#endif  // KWUNINST_COMPONENTS_REGISTRY_H_
