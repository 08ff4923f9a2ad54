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

}  // namespace

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

}  // namespace kw
