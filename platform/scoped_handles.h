// Move-only owners of the port's handles: each closes its handle when it goes
// out of scope, so no return path can leak a registry key, a directory search
// or an open file.  One template owns every kind; a kind says what its handle
// is and how the port opens and closes one.
#ifndef KWUNINST_PLATFORM_SCOPED_HANDLES_H_
#define KWUNINST_PLATFORM_SCOPED_HANDLES_H_

#include <string>
#include <utility>

#include "platform/platform.h"

namespace kw {

// Owns one handle of a kind.  The handle is closed through the port that
// opened it, which is not always the current one: a test may put another
// platform in place while the handle is open.
template <typename Kind>
class ScopedHandle {
 public:
  using Handle = typename Kind::Handle;

  ScopedHandle() = default;
  ~ScopedHandle() { Close(); }
  ScopedHandle(ScopedHandle&& other) noexcept
      : m_port(std::exchange(other.m_port, nullptr)),
        m_handle(std::exchange(other.m_handle, Handle{})) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      Close();
      m_port = std::exchange(other.m_port, nullptr);
      m_handle = std::exchange(other.m_handle, Handle{});
    }
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  // Opens a handle through the current port as Kind::Open does, with its
  // arguments and its result.  Any handle held before is closed first; on
  // failure this holds none.
  template <typename... Args>
  auto Open(Args&&... args) {
    Close();
    Platform& port = Os();
    Handle opened{};
    const auto result = Kind::Open(port, &opened, std::forward<Args>(args)...);
    if (opened.value != 0) {
      m_port = &port;
      m_handle = opened;
    }
    return result;
  }

  bool IsOpen() const { return m_handle.value != 0; }
  Handle Get() const { return m_handle; }
  // The port that opened the handle; only while one is open.
  Platform& Port() const { return *m_port; }

  void Close() {
    if (IsOpen()) Kind::Close(*m_port, m_handle);
    m_port = nullptr;
    m_handle = Handle{};
  }

 private:
  Platform* m_port = nullptr;
  Handle m_handle{};
};

// A registry key this program opened: the Win32 result of the open, and no
// key on failure.  The predefined roots are never closed: they belong to the
// system and are only ever passed in.
struct RegistryKeyKind {
  using Handle = RegKey;
  static long Open(Platform& port, RegKey* opened, RegKey parent, const std::string& subkey,
                   std::uint32_t access) {
    const long result = port.OpenRegistryKey(parent, subkey, access, opened);
    if (result != kErrorSuccess) *opened = RegKey{};
    return result;
  }
  static void Close(Platform& port, RegKey key) {
    if (!IsPredefinedKey(key)) port.CloseRegistryKey(key);
  }
};
using ScopedRegKey = ScopedHandle<RegistryKeyKind>;

// A file opened with all sharing denied: true when it opened.
struct ExclusiveFileKind {
  using Handle = FileHandle;
  static bool Open(Platform& port, FileHandle* opened, const std::string& path, FileOpenMode mode) {
    *opened = port.OpenFileExclusive(path, mode);
    return static_cast<bool>(*opened);
  }
  static void Close(Platform& port, FileHandle file) { port.CloseFile(file); }
};
using ScopedFile = ScopedHandle<ExclusiveFileKind>;

// A directory search: the first entry, and the error of FindFirstEntry when
// nothing matched.
struct DirectorySearchKind {
  using Handle = FindHandle;
  static long Open(Platform& port, FindHandle* opened, const std::string& pattern,
                   FindEntry* entry) {
    long error = kErrorSuccess;
    *opened = port.FindFirstEntry(pattern, entry, &error);
    return *opened ? kErrorSuccess : error;
  }
  static void Close(Platform& port, FindHandle search) { port.FindClose(search); }
};

// A directory search started with FindFirstEntry, and why it found nothing.
class ScopedFind {
 public:
  // Starts a search; false (and no handle) when nothing matches, and then
  // Error() tells why.
  bool First(const std::string& pattern, FindEntry* entry) {
    m_error = m_search.Open(pattern, entry);
    return m_search.IsOpen();
  }
  // The reason the last First found nothing: kErrorFileNotFound or
  // kErrorPathNotFound when there was nothing, anything else when the
  // search could not look (a path too long for it).
  long Error() const { return m_error; }
  // Whether the last First looked and found nothing there.
  bool FoundNothing() const { return MeansNothingThere(m_error); }
  bool Next(FindEntry* entry) {
    return m_search.IsOpen() && m_search.Port().FindNextEntry(m_search.Get(), entry);
  }
  void Close() { m_search.Close(); }

 private:
  ScopedHandle<DirectorySearchKind> m_search;
  long m_error = kErrorSuccess;
};

}  // namespace kw

#endif  // KWUNINST_PLATFORM_SCOPED_HANDLES_H_
