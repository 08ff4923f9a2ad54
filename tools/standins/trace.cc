#include "trace.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace standin {

std::uint64_t UnixMillisNow() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  // FILETIME counts 100 ns units since 1601-01-01; the Unix epoch is
  // 11644473600 s later.
  const std::uint64_t kEpochDelta = 116444736000000000ULL;
  if (t.QuadPart < kEpochDelta) return 0;
  return (t.QuadPart - kEpochDelta) / 10000ULL;
}

namespace {

HANDLE OpenForAppend(const std::string& path) {
  // Readers (the test) may have the file open at the same time, so it is
  // shared for reading; not for writing, so that stand-ins appending at the
  // same moment take turns.  FILE_APPEND_DATA should make every write land
  // at the end of the file, but under Wine two programs that started
  // together wrote at the same end, one line over the other.  A sharing
  // clash lasts a moment (another line being appended, or a reader that
  // opened the file without sharing), so retry for a little while before
  // giving up on the line.
  for (int attempt = 0; attempt < 100; ++attempt) {
    HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE &&
        GetLastError() != ERROR_SHARING_VIOLATION &&
        GetLastError() != ERROR_LOCK_VIOLATION) {
      // Systems that do not know FILE_APPEND_DATA: plain write access, and
      // the caller seeks to the end.
      h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (h != INVALID_HANDLE_VALUE) return h;
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) {
      return INVALID_HANDLE_VALUE;
    }
    Sleep(10);
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

void AppendTraceLine(const std::string& path, const std::string& text) {
  if (path.empty()) return;
  // Take the time before opening the file, so it tells when the event
  // happened rather than when the file became free.
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%llu\t",
                static_cast<unsigned long long>(UnixMillisNow()));
  const std::string line = stamp + OneLine(text) + "\n";

  const DWORD saved_error = GetLastError();
  HANDLE h = OpenForAppend(path);
  if (h != INVALID_HANDLE_VALUE) {
    SetFilePointer(h, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written,
              nullptr);
    FlushFileBuffers(h);
    CloseHandle(h);
  }
  // Callers often trace and then report GetLastError(); keep it intact.
  SetLastError(saved_error);
}

std::string GetEnv(const char* name) {
  char small[512];
  DWORD n = GetEnvironmentVariableA(name, small, sizeof small);
  if (n == 0) return std::string();
  if (n < sizeof small) return std::string(small, n);
  std::string big(n, '\0');
  n = GetEnvironmentVariableA(name, &big[0], n);
  big.resize(n);
  return big;
}

unsigned long GetEnvUnsigned(const char* name, unsigned long fallback) {
  const std::string text = GetEnv(name);
  if (text.empty()) return fallback;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return fallback;
  }
  return std::strtoul(text.c_str(), nullptr, 10);
}

std::string CurrentDirectory() {
  char buffer[MAX_PATH + 1];
  DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
  if (n == 0 || n >= sizeof buffer) return std::string();
  return std::string(buffer, n);
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

std::string ToUpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string Hex(std::uintptr_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%llx",
                static_cast<unsigned long long>(value));
  return buffer;
}

void RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC procedure,
                         int background) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background + 1));
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}

}  // namespace standin
