// CRegistry: reads, lists and removes registry keys and values for the rest
// of the program.  Every operation opens what it needs and closes it before
// returning; only the error state outlives a call.  Nothing is shown and
// nothing is thrown.
#ifndef KWUNINST_COMPONENTS_REGISTRY_H_
#define KWUNINST_COMPONENTS_REGISTRY_H_

#include <string>

#include "components/cursor_string_list.h"
#include "components/error_info.h"
#include "components/trim_string.h"
#include "platform/platform.h"

namespace kw {

// A predefined root's name as regedit writes it: "HKEY_CURRENT_USER".
const char* RootName(RegKey root);

class CRegistry : public CErrorInfo {
 public:
  // Value data is read into this many bytes; longer data cannot be read.
  static constexpr std::uint32_t kValueStorage = 500;
  // A subkey name is read into this many characters, its zero included.
  static constexpr std::uint32_t kNameStorage = 500;

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

  // --- Listing and removal ---------------------------------------------------
  // A target that is not there counts as removed.  "Not there" means the
  // platform answered "not found": a key that refuses to be opened for any
  // other reason is there, so its removal is attempted and fails loudly
  // rather than being reported done.  A path that normalises to empty would
  // name the root itself: every removal refuses it with 117 (caller's path)
  // and touches nothing.  Removals that fail part-way leave what they already
  // deleted deleted.

  // Replaces the list's content with the names of the key's immediate
  // subkeys, each put at the head (the platform's first subkey ends up
  // last); the cursor is left at the end.  115 (normalised path) when the key
  // cannot be opened with full access: the list keeps what it held.  143
  // (caller's path) when the key has no subkeys: the list is left empty.
  bool EnumSubkeys(RegKey root, const CTrimString& path, CCursorStringList& list);

  // Deletes one key and checks that it is gone.  Where the platform refuses
  // keys with subkeys (Windows NT) such a key fails with 117; on Windows 95
  // its subkeys go with it.  117 (normalised path) when the platform refuses,
  // 134 when the key can still be found afterwards.
  bool DeleteKey(RegKey root, const CTrimString& path);

  // Deletes every subkey of the key, the key itself staying.  A subkey that
  // the platform refuses is cleared of its own subkeys once and tried again;
  // a second refusal ends with 117 and the subkey's full path.  115 when a
  // key on the way cannot be opened with full access.  A refusal that the
  // clearing cured stays recorded although the result is true.
  bool DeleteSubkeys(RegKey root, const CTrimString& path);

  // Deletes the key with everything below it, depth first, so that it works
  // alike whether or not the platform deletes keys with subkeys.  Errors as
  // DeleteSubkeys and DeleteKey; 115 (normalised parent path) when the
  // parent cannot be opened with full access.
  bool DeleteKeyTree(RegKey root, const CTrimString& path);

  // Deletes one value (the unnamed one for an empty name).  An unnamed value
  // without text counts as not there.  A value too long to be read is there
  // and is deleted.  115 (normalised path) when the key cannot be opened
  // with full access, 117 (normalised key path) when the platform refuses.
  bool DeleteValue(RegKey root, const CTrimString& path, const CTrimString& valueName);

 private:
  // Records 117 and answers true when the normalised path names the root.
  bool RefusesRoot(const CTrimString& normalized, const CTrimString& callerPath);
  // Only a "not found" answer makes a key or value absent for the removals.
  static bool IsKeyAbsent(RegKey root, const CTrimString& normalized);
  static bool IsValueAbsent(RegKey root, const CTrimString& normalized,
                            const CTrimString& valueName);
  // DeleteSubkeys on a path already normalised and known not to be empty.
  bool DeleteSubkeysOf(RegKey root, const CTrimString& keyPath);
  // Records 117 for a subkey that keeps coming back; false.
  bool NeverGoes(const CTrimString& fullPath);
};

}  // namespace kw

#endif  // KWUNINST_COMPONENTS_REGISTRY_H_
