#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/win32_platform.h"

namespace kw {
namespace {

HKEY AsHkey(RegKey key) { return reinterpret_cast<HKEY>(key.value); }
HWND AsHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window.value); }
HANDLE AsHandle(std::uintptr_t value) { return reinterpret_cast<HANDLE>(value); }
std::uintptr_t FromHandle(HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

// Longest catalogue text with room to spare; LoadStringA cuts longer ones.
constexpr int kCatalogueTextRoom = 1024;

void FillEntry(const WIN32_FIND_DATAA& data, FindEntry* entry) {
  entry->name = data.cFileName;
  entry->attributes = data.dwFileAttributes;
}

}  // namespace

// --- Registry ----------------------------------------------------------------

long Win32Platform::OpenRegistryKey(RegKey parent, const std::string& subkey,
                                    std::uint32_t access, RegKey* opened) {
  HKEY key = nullptr;
  const LONG result = RegOpenKeyExA(AsHkey(parent), subkey.c_str(), 0, access, &key);
  *opened = result == ERROR_SUCCESS ? RegKey{reinterpret_cast<std::uintptr_t>(key)} : RegKey{};
  return result;
}

long Win32Platform::QueryRegistryValue(RegKey key, const std::string& name, std::uint32_t* type,
                                       unsigned char* data, std::uint32_t* size) {
  DWORD valueType = 0;
  DWORD dataSize = size != nullptr ? *size : 0;
  const LONG result = RegQueryValueExA(AsHkey(key), name.c_str(), nullptr, &valueType, data,
                                       size != nullptr ? &dataSize : nullptr);
  if (type != nullptr) *type = valueType;
  if (size != nullptr) *size = dataSize;
  return result;
}

long Win32Platform::EnumRegistrySubkey(RegKey key, std::uint32_t index, char* name,
                                       std::uint32_t* size) {
  DWORD nameSize = *size;
  FILETIME lastWrite;
  const LONG result =
      RegEnumKeyExA(AsHkey(key), index, name, &nameSize, nullptr, nullptr, nullptr, &lastWrite);
  *size = nameSize;
  return result;
}

long Win32Platform::DeleteRegistryKey(RegKey parent, const std::string& subkey) {
  return RegDeleteKeyA(AsHkey(parent), subkey.c_str());
}

long Win32Platform::DeleteRegistryValue(RegKey key, const std::string& name) {
  return RegDeleteValueA(AsHkey(key), name.c_str());
}

long Win32Platform::CloseRegistryKey(RegKey key) { return RegCloseKey(AsHkey(key)); }

// --- System ----------------------------------------------------------------------

std::string Win32Platform::WindowsDirectory() {
  char buffer[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(buffer, length);
}

std::string Win32Platform::TemporaryDirectory() {
  char buffer[MAX_PATH];
  const DWORD length = GetTempPathA(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(buffer, length);
}

std::uint32_t Win32Platform::PlatformId() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;  // 148 bytes
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&version)) return kPlatformWin32Nt;
#pragma GCC diagnostic pop
  return version.dwPlatformId;
}

std::string Win32Platform::CatalogueText(unsigned id) {
  char buffer[kCatalogueTextRoom];
  const int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, kCatalogueTextRoom);
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

void Win32Platform::Pause(std::uint32_t milliseconds, bool alertable) {
  SleepEx(milliseconds, alertable ? TRUE : FALSE);
}

int Win32Platform::ShowMessageBox(WindowHandle owner, const std::string& text,
                                  const std::string& caption, std::uint32_t style) {
  return MessageBoxA(AsHwnd(owner), text.c_str(), caption.c_str(), style);
}

void Win32Platform::EndProgram(std::uint32_t exitCode) { ExitProcess(exitCode); }

// --- Processes -------------------------------------------------------------------

bool Win32Platform::StartProcess(const std::string& commandLine,
                                 const std::string& currentDirectory, ShowState show,
                                 ProcessInfo* info) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow =
      static_cast<WORD>(show == ShowState::kMinimizedNoActivate ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);
  // CreateProcessA may write into the command line: it gets its own copy.
  std::vector<char> command(commandLine.begin(), commandLine.end());
  command.push_back('\0');
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup,
                      &process)) {
    return false;
  }
  info->process = FromHandle(process.hProcess);
  info->thread = FromHandle(process.hThread);
  info->processId = process.dwProcessId;
  return true;
}

std::uint32_t Win32Platform::SuspendProcessThread(std::uintptr_t thread) {
  return SuspendThread(AsHandle(thread));
}

std::uint32_t Win32Platform::ResumeProcessThread(std::uintptr_t thread) {
  return ResumeThread(AsHandle(thread));
}

std::uint32_t Win32Platform::ProcessVersion(std::uint32_t processId) {
  return GetProcessVersion(processId);
}

// --- Windows ---------------------------------------------------------------------

WindowHandle Win32Platform::FindTopLevelWindow(const std::string& title) {
  return WindowHandle{reinterpret_cast<std::uintptr_t>(FindWindowA(nullptr, title.c_str()))};
}

std::uint32_t Win32Platform::WindowProcessId(WindowHandle window) {
  DWORD processId = 0;
  if (GetWindowThreadProcessId(AsHwnd(window), &processId) == 0) return 0;
  return processId;
}

bool Win32Platform::SendCloseRequest(WindowHandle window, std::uint32_t timeoutMs) {
  DWORD_PTR answer = 0;
  return SendMessageTimeoutA(AsHwnd(window), WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, timeoutMs,
                             &answer) != 0;
}

bool Win32Platform::BringToTop(WindowHandle window) {
  // What BringWindowToTop does, but posted to the window's thread instead of
  // waiting for it: a program that has hung must not hang us with it.
  return SetWindowPos(AsHwnd(window), HWND_TOP, 0, 0, 0, 0,
                      SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS) != FALSE;
}

// --- Files -------------------------------------------------------------------------

FindHandle Win32Platform::FindFirstEntry(const std::string& pattern, FindEntry* entry,
                                         long* error) {
  WIN32_FIND_DATAA data;
  const HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) {
    *error = static_cast<long>(GetLastError());
    return FindHandle{};
  }
  *error = kErrorSuccess;
  FillEntry(data, entry);
  return FindHandle{FromHandle(search)};
}

bool Win32Platform::FindNextEntry(FindHandle search, FindEntry* entry) {
  WIN32_FIND_DATAA data;
  if (!FindNextFileA(AsHandle(search.value), &data)) return false;
  FillEntry(data, entry);
  return true;
}

void Win32Platform::FindClose(FindHandle search) { ::FindClose(AsHandle(search.value)); }

FileHandle Win32Platform::OpenFileExclusive(const std::string& path, FileOpenMode mode) {
  DWORD access = GENERIC_READ;
  DWORD disposition = OPEN_EXISTING;
  if (mode == FileOpenMode::kReadCreateIfMissing) disposition = OPEN_ALWAYS;
  if (mode == FileOpenMode::kReadWriteCreateNew) {
    access |= GENERIC_WRITE;
    disposition = CREATE_NEW;
  }
  const HANDLE file = CreateFileA(path.c_str(), access, 0, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FileHandle{};
  return FileHandle{FromHandle(file)};
}

bool Win32Platform::ReadWholeFile(FileHandle file, std::string* bytes, std::size_t limit) {
  const HANDLE handle = AsHandle(file.value);
  if (SetFilePointer(handle, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
  bytes->clear();
  char buffer[4096];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(handle, buffer, sizeof buffer, &read, nullptr)) return false;
    if (read == 0) return true;
    // Read by the piece, so that a file far too large is refused once the
    // limit is passed, before it fills the memory.
    if (read > limit - bytes->size()) return false;
    bytes->append(buffer, read);
  }
}

bool Win32Platform::WriteWholeFile(FileHandle file, const std::string& bytes) {
  const HANDLE handle = AsHandle(file.value);
  if (SetFilePointer(handle, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
      !SetEndOfFile(handle)) {
    return false;
  }
  std::size_t written = 0;
  while (written < bytes.size()) {
    DWORD chunk = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1 << 20));
    if (!WriteFile(handle, bytes.data() + written, wanted, &chunk, nullptr) || chunk == 0) {
      return false;
    }
    written += chunk;
  }
  return true;
}

bool Win32Platform::FlushFile(FileHandle file) { return FlushFileBuffers(AsHandle(file.value)) != 0; }

void Win32Platform::CloseFile(FileHandle file) { CloseHandle(AsHandle(file.value)); }

bool Win32Platform::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool Win32Platform::MoveEntry(const std::string& from, const std::string& to) {
  return MoveFileA(from.c_str(), to.c_str()) != 0;
}

bool Win32Platform::ClearReadOnly(const std::string& path) {
  // What the C runtime's _chmod(path, _S_IWRITE) does: the other
  // attributes stay as they are.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         SetFileAttributesA(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) != 0;
}

bool Win32Platform::SetEntryAttributes(const std::string& path, std::uint32_t attributes) {
  return SetFileAttributesA(path.c_str(), attributes) != 0;
}

long Win32Platform::LookUpEntry(const std::string& path, std::uint32_t* attributes) {
  const DWORD found = GetFileAttributesA(path.c_str());
  if (found == INVALID_FILE_ATTRIBUTES) return static_cast<long>(GetLastError());
  *attributes = found;
  return kErrorSuccess;
}

bool Win32Platform::RemoveEmptyDirectory(const std::string& path) {
  return RemoveDirectoryA(path.c_str()) != 0;
}

bool Win32Platform::DeleteAtRestart(const std::string& path) {
  // Not imported: the program must load where KERNEL32 lacks it.
  using MoveFileExFunction = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);
  const HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  const auto moveFileEx = reinterpret_cast<MoveFileExFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "MoveFileExA")));
  return moveFileEx != nullptr && moveFileEx(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

std::string Win32Platform::ShortPath(const std::string& path) {
  char buffer[MAX_PATH];
  const DWORD length = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(buffer, length);
}

bool Win32Platform::ChangeDirectory(const std::string& path) {
  // What the C runtime's _chdir does: SetCurrentDirectoryA, then the drive's
  // own current directory, which Windows keeps in the environment variable
  // "=C:" (and so on) for the programs this one starts.  Not for a UNC path,
  // which has no drive.
  if (!SetCurrentDirectoryA(path.c_str())) return false;
  char current[MAX_PATH];
  const DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
  if (length == 0 || length >= MAX_PATH) return false;
  if (current[0] == '\\' || current[1] != ':') return true;
  const char drive = current[0] >= 'a' && current[0] <= 'z' ? static_cast<char>(current[0] - 'a' + 'A')
                                                           : current[0];
  const char variable[] = {'=', drive, ':', '\0'};
  return SetEnvironmentVariableA(variable, current) != 0;
}

std::uint32_t Win32Platform::DriveType(const std::string& root) { return GetDriveTypeA(root.c_str()); }

void Win32Platform::FlushProfileCache(const std::string& path) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

Platform& DefaultPlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace kw
