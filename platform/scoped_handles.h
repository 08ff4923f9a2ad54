// Move-only owners of the port's handles: each closes its handle when it goes
// out of scope, so no return path can leak a registry key, a directory search
// or an open file.
#ifndef KWUNINST_PLATFORM_SCOPED_HANDLES_H_
#define KWUNINST_PLATFORM_SCOPED_HANDLES_H_

#include <string>
#include <utility>

#include "platform/platform.h"

namespace kw {

// A registry key this program opened.  The predefined roots are never owned:
// they belong to the system and are only ever passed in.
class ScopedRegKey {
 public:
  ScopedRegKey() = default;
  ~ScopedRegKey() { Close(); }
  ScopedRegKey(ScopedRegKey&& other) noexcept : m_key(std::exchange(other.m_key, RegKey{})) {}
  ScopedRegKey& operator=(ScopedRegKey&& other) noexcept {
    if (this != &other) {
      Close();
      m_key = std::exchange(other.m_key, RegKey{});
    }
    return *this;
  }
  ScopedRegKey(const ScopedRegKey&) = delete;
  ScopedRegKey& operator=(const ScopedRegKey&) = delete;

  // Opens subkey below parent.  Returns the Win32 result; on failure this
  // object holds no key (any key it held before is closed either way).
  long Open(RegKey parent, const std::string& subkey, std::uint32_t access) {
    Close();
    RegKey opened;
    const long result = Os().OpenRegistryKey(parent, subkey, access, &opened);
    if (result == kErrorSuccess) m_key = opened;
    return result;
  }

  RegKey Get() const { return m_key; }
  bool IsOpen() const { return m_key.value != 0; }

  void Close() {
    if (m_key.value != 0 && !IsPredefinedKey(m_key)) Os().CloseRegistryKey(m_key);
    m_key = RegKey{};
  }

 private:
  RegKey m_key;
};

// A directory search started with FindFirstEntry.
class ScopedFind {
 public:
  ScopedFind() = default;
  ~ScopedFind() { Close(); }
  ScopedFind(const ScopedFind&) = delete;
  ScopedFind& operator=(const ScopedFind&) = delete;

  // Starts a search; false (and no handle) when nothing matches, and then
  // Error() tells why.
  bool First(const std::string& pattern, FindEntry* entry) {
    Close();
    m_handle = Os().FindFirstEntry(pattern, entry, &m_error);
    return static_cast<bool>(m_handle);
  }
  // The reason the last First found nothing: kErrorFileNotFound or
  // kErrorPathNotFound when there was nothing, anything else when the
  // search could not look (a path too long for it).
  long Error() const { return m_error; }
  // Whether the last First looked and found nothing there.
  bool FoundNothing() const {
    return m_error == kErrorFileNotFound || m_error == kErrorPathNotFound;
  }
  bool Next(FindEntry* entry) { return m_handle && Os().FindNextEntry(m_handle, entry); }

  void Close() {
    if (m_handle) Os().FindClose(m_handle);
    m_handle = FindHandle{};
  }

 private:
  FindHandle m_handle;
  long m_error = kErrorSuccess;
};

// A file opened with all sharing denied.
class ScopedFile {
 public:
  ScopedFile() = default;
  ~ScopedFile() { Close(); }
  ScopedFile(ScopedFile&& other) noexcept : m_handle(std::exchange(other.m_handle, FileHandle{})) {}
  ScopedFile& operator=(ScopedFile&& other) noexcept {
    if (this != &other) {
      Close();
      m_handle = std::exchange(other.m_handle, FileHandle{});
    }
    return *this;
  }
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;

  bool Open(const std::string& path, FileOpenMode mode) {
    Close();
    m_handle = Os().OpenFileExclusive(path, mode);
    return static_cast<bool>(m_handle);
  }
  bool IsOpen() const { return static_cast<bool>(m_handle); }
  FileHandle Get() const { return m_handle; }

  void Close() {
    if (m_handle) Os().CloseFile(m_handle);
    m_handle = FileHandle{};
  }

 private:
  FileHandle m_handle;
};

}  // namespace kw

#endif  // KWUNINST_PLATFORM_SCOPED_HANDLES_H_
