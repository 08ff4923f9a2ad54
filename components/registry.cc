#include "components/registry.h"

#include <algorithm>
#include <vector>

#include "components/message_catalogue.h"
#include "platform/scoped_handles.h"

namespace kw {
namespace {

// The text in the first `size` bytes of data, up to a zero byte.  Bounded by
// what the platform says it wrote: a value stored without its terminator, or
// one that fills the storage exactly, must not pull in bytes beyond it.
std::string TextOfData(const std::vector<unsigned char>& data, std::uint32_t size) {
  const std::size_t limit = std::min<std::size_t>(size, data.size());
  std::size_t length = 0;
  while (length < limit && data[length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(data.data()), length);
}

CTrimString NormalizedCopy(const CTrimString& path) {
  CTrimString copy = path;  // exact copy: a name's own blanks survive
  CRegistry::NormalizeKeyPath(copy);
  return copy;
}

// A text taken over exactly, without the trimming of CTrimString's
// conversions: registry names may begin or end with a blank.
CTrimString ExactText(const std::string& text) {
  CTrimString exact;
  exact.append(text);
  return exact;
}

// keyPath\name with both pieces exactly as they are (JoinPath would trim the
// name, and the key it names would then not be found).
CTrimString ExactSubkeyPath(const CTrimString& keyPath, const std::string& name) {
  CTrimString full = keyPath;
  full.append("\\");
  full.append(name);
  return full;
}

// The name of the subkey at that index, or false when there is none (or it
// cannot be read).
bool ReadSubkeyName(RegKey key, std::uint32_t index, std::string& name) {
  std::vector<char> storage(CRegistry::kNameStorage, 0);
  std::uint32_t size = CRegistry::kNameStorage;
  if (Os().EnumRegistrySubkey(key, index, storage.data(), &size) != kErrorSuccess) return false;
  // Up to its zero, and never past what the platform says it wrote.
  const char* begin = storage.data();
  const char* end = begin + std::min<std::size_t>(size, storage.size());
  name.assign(begin, std::find(begin, end, '\0'));
  return true;
}

}  // namespace

const char* RootName(RegKey root) {
  return root == kHkeyClassesRoot    ? "HKEY_CLASSES_ROOT"
         : root == kHkeyCurrentUser ? "HKEY_CURRENT_USER"
                                    : "HKEY_LOCAL_MACHINE";
}

CRegistry::CRegistry() { LoadTitle(kTitleRegistry); }

void CRegistry::NormalizeKeyPath(CTrimString& path) {
  while (!path.empty() && path.front() == '\\') path = path.substr(1);
  path.StripTrailingBackslashes();
}

bool CRegistry::KeyExists(RegKey root, const CTrimString& path) {
  ScopedRegKey key;
  return key.Open(root, NormalizedCopy(path), kKeyRead) == kErrorSuccess;
}

bool CRegistry::ValueExists(RegKey root, const CTrimString& path, const CTrimString& valueName) {
  ScopedRegKey key;
  if (key.Open(root, NormalizedCopy(path), kKeyRead) != kErrorSuccess) return false;
  std::vector<unsigned char> data(kValueStorage, 0);
  std::uint32_t type = 0;
  std::uint32_t size = kValueStorage;
  if (Os().QueryRegistryValue(key.Get(), valueName, &type, data.data(), &size) != kErrorSuccess) {
    return false;
  }
  return !valueName.empty() || !TextOfData(data, size).empty();
}

bool CRegistry::ReadStringValue(RegKey root, const CTrimString& path,
                                const CTrimString& valueName, std::string& text) {
  const CTrimString normalized = NormalizedCopy(path);
  ScopedRegKey key;
  if (key.Open(root, normalized, kKeyRead) != kErrorSuccess) {
    SetError(kErrKeyNotOpened, normalized);
    return false;
  }
  std::vector<unsigned char> data(kValueStorage, 0);
  std::uint32_t type = 0;
  std::uint32_t size = kValueStorage;
  if (Os().QueryRegistryValue(key.Get(), valueName, &type, data.data(), &size) != kErrorSuccess) {
    // The storage is undefined after a failed query (ERROR_MORE_DATA leaves
    // it so), so the caller's text is left exactly as it was.
    SetError(kErrValueNotRead, path);
    return false;
  }
  // Taken over as read: a CTrimString caller keeps the value's own blanks.
  text.assign(TextOfData(data, size));
  if (type == kRegMultiSz) {
    SetError(kErrUnexpectedValueType, path);
    return false;
  }
  return true;
}

bool CRegistry::RefusesRoot(const CTrimString& normalized, const CTrimString& callerPath) {
  if (!normalized.empty()) return false;
  SetError(kErrKeyNotDeleted, callerPath);
  return true;
}

bool CRegistry::IsKeyAbsent(RegKey root, const CTrimString& normalized) {
  ScopedRegKey key;
  return key.Open(root, normalized, kKeyRead) == kErrorFileNotFound;
}

bool CRegistry::IsValueAbsent(RegKey root, const CTrimString& normalized,
                              const CTrimString& valueName) {
  ScopedRegKey key;
  const long opened = key.Open(root, normalized, kKeyRead);
  if (opened == kErrorFileNotFound) return true;
  if (opened != kErrorSuccess) return false;  // there, but not ours to read
  std::vector<unsigned char> data(kValueStorage, 0);
  std::uint32_t type = 0;
  std::uint32_t size = kValueStorage;
  const long queried = Os().QueryRegistryValue(key.Get(), valueName, &type, data.data(), &size);
  if (queried == kErrorFileNotFound) return true;
  // Too long to read (or refused) is still there: a long start-up entry
  // left behind would run a deleted program at every log-on.
  if (queried != kErrorSuccess) return false;
  return valueName.empty() && TextOfData(data, size).empty();
}

bool CRegistry::EnumSubkeys(RegKey root, const CTrimString& path, CCursorStringList& list) {
  const CTrimString normalized = NormalizedCopy(path);
  ScopedRegKey key;
  if (key.Open(root, normalized, kKeyAllAccess) != kErrorSuccess) {
    SetError(kErrKeyNotOpened, normalized);
    return false;
  }
  list.Clear();
  std::string name;
  for (std::uint32_t index = 0; ReadSubkeyName(key.Get(), index, name); ++index) {
    list.AddHead(name);
  }
  if (list.IsEmpty()) {
    SetError(kErrNoSubkeys, path);
    return false;
  }
  return true;
}

bool CRegistry::DeleteKey(RegKey root, const CTrimString& path) {
  const CTrimString normalized = NormalizedCopy(path);
  if (RefusesRoot(normalized, path)) return false;
  if (IsKeyAbsent(root, normalized)) return true;
  if (Os().DeleteRegistryKey(root, normalized) != kErrorSuccess) {
    SetError(kErrKeyNotDeleted, normalized);
    return false;
  }
  // A deletion reported done is believed only once the key cannot be found.
  if (!IsKeyAbsent(root, normalized)) {
    SetError(kErrKeyStillPresent, normalized);
    return false;
  }
  return true;
}

bool CRegistry::DeleteSubkeys(RegKey root, const CTrimString& path) {
  const CTrimString normalized = NormalizedCopy(path);
  if (RefusesRoot(normalized, path)) return false;
  return DeleteSubkeysOf(root, normalized);
}

bool CRegistry::DeleteSubkeysOf(RegKey root, const CTrimString& keyPath) {
  // One key for every pass: it shows the subkeys as they are after each
  // deletion, so opening it again for each subkey would only cost time.
  ScopedRegKey key;
  const long opened = key.Open(root, keyPath, kKeyAllAccess);
  // The open is also the test for a key that is not there: only "not found"
  // makes it absent, whatever access was asked for.
  if (opened == kErrorFileNotFound) return true;
  if (opened != kErrorSuccess) {
    SetError(kErrKeyNotOpened, keyPath);
    return false;
  }
  CTrimString deleted;
  CTrimString cleared;
  std::string name;
  // Index 0 every time: each deletion renumbers the subkeys that remain.
  while (ReadSubkeyName(key.Get(), 0, name)) {
    const CTrimString fullPath = ExactSubkeyPath(keyPath, name);
    // Listed again straight after it went, or refused again straight after
    // it was cleared, the subkey never will go (a link whose target is gone
    // is listed yet opens as missing, so it counts as deleted at once):
    // asking again would loop for ever.
    if (fullPath == deleted) return NeverGoes(fullPath);
    if (DeleteKey(key.Get(), ExactText(name))) {
      deleted = fullPath;
      continue;
    }
    if (fullPath == cleared) return NeverGoes(fullPath);
    // Refused, most likely for subkeys of its own (Windows NT): clear them
    // once and try again.
    if (!DeleteSubkeysOf(root, fullPath)) return false;
    cleared = fullPath;
  }
  return true;
}

bool CRegistry::NeverGoes(const CTrimString& fullPath) {
  SetError(kErrKeyNotDeleted, fullPath);
  return false;
}

bool CRegistry::DeleteKeyTree(RegKey root, const CTrimString& path) {
  const CTrimString normalized = NormalizedCopy(path);
  if (RefusesRoot(normalized, path)) return false;
  if (IsKeyAbsent(root, normalized)) return true;
  if (!DeleteSubkeysOf(root, normalized)) return false;
  // Split the normalised path, so that a trailing backslash cannot leave an
  // empty child name (which would name the parent itself).
  const std::string::size_type lastBackslash = normalized.rfind('\\');
  CTrimString parentPath;
  CTrimString childName = normalized;
  if (lastBackslash != std::string::npos) {
    parentPath = NormalizedCopy(ExactText(normalized.substr(0, lastBackslash)));
    childName = ExactText(normalized.substr(lastBackslash + 1));
  }
  ScopedRegKey parent;
  if (parent.Open(root, parentPath, kKeyAllAccess) != kErrorSuccess) {
    SetError(kErrKeyNotOpened, parentPath);
    return false;
  }
  return DeleteKey(parent.Get(), childName);
}

bool CRegistry::DeleteValue(RegKey root, const CTrimString& path, const CTrimString& valueName) {
  const CTrimString normalized = NormalizedCopy(path);
  if (RefusesRoot(normalized, path)) return false;
  if (IsValueAbsent(root, normalized, valueName)) return true;
  ScopedRegKey key;
  if (key.Open(root, normalized, kKeyAllAccess) != kErrorSuccess) {
    SetError(kErrKeyNotOpened, normalized);
    return false;
  }
  if (Os().DeleteRegistryValue(key.Get(), valueName) != kErrorSuccess) {
    // The catalogue has no message for values: the key is named.
    SetError(kErrKeyNotDeleted, normalized);
    return false;
  }
  return true;
}

}  // namespace kw
