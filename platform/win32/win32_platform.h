// The Win32 implementation of the platform port: each operation is the real
// Windows call it is named after.
#ifndef KWUNINST_PLATFORM_WIN32_WIN32_PLATFORM_H_
#define KWUNINST_PLATFORM_WIN32_WIN32_PLATFORM_H_

#include "platform/platform.h"

namespace kw {

class Win32Platform : public Platform {
 public:
  long OpenRegistryKey(RegKey parent, const std::string& subkey, std::uint32_t access,
                       RegKey* opened) override;
  long QueryRegistryValue(RegKey key, const std::string& name, std::uint32_t* type,
                          unsigned char* data, std::uint32_t* size) override;
  long EnumRegistrySubkey(RegKey key, std::uint32_t index, char* name,
                          std::uint32_t* size) override;
  long DeleteRegistryKey(RegKey parent, const std::string& subkey) override;
  long DeleteRegistryValue(RegKey key, const std::string& name) override;
  long CloseRegistryKey(RegKey key) override;

  std::string WindowsDirectory() override;
  std::string TemporaryDirectory() override;
  std::uint32_t PlatformId() override;
  std::string CatalogueText(unsigned id) override;
  void Pause(std::uint32_t milliseconds, bool alertable) override;
  int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                     std::uint32_t style) override;
  [[noreturn]] void EndProgram(std::uint32_t exitCode) override;

  bool StartProcess(const std::string& commandLine, const std::string& currentDirectory,
                    ShowState show, ProcessInfo* info) override;
  std::uint32_t SuspendProcessThread(std::uintptr_t thread) override;
  std::uint32_t ResumeProcessThread(std::uintptr_t thread) override;
  std::uint32_t ProcessVersion(std::uint32_t processId) override;

  WindowHandle FindTopLevelWindow(const std::string& title) override;
  std::uint32_t WindowProcessId(WindowHandle window) override;
  bool SendCloseRequest(WindowHandle window, std::uint32_t timeoutMs) override;
  bool BringToTop(WindowHandle window) override;

  IconHandle LoadProgramIcon(unsigned resourceId) override;
  WindowHandle CreateDialogWindow(unsigned templateId, DialogEvents* events) override;
  void SetWindowIcon(WindowHandle window, IconSize size, IconHandle icon) override;
  void MakeTopmost(WindowHandle window) override;
  void SetItemText(WindowHandle dialog, int itemId, const std::string& text) override;
  void RepaintNow(WindowHandle window) override;
  bool IsWindowAlive(WindowHandle window) override;
  void DestroyWindowNow(WindowHandle window) override;

  FindHandle FindFirstEntry(const std::string& pattern, FindEntry* entry, long* error) override;
  bool FindNextEntry(FindHandle search, FindEntry* entry) override;
  void FindClose(FindHandle search) override;
  FileHandle OpenFileExclusive(const std::string& path, FileOpenMode mode) override;
  bool ReadWholeFile(FileHandle file, std::string* bytes, std::size_t limit) override;
  bool WriteWholeFile(FileHandle file, const std::string& bytes) override;
  bool FlushFile(FileHandle file) override;
  void CloseFile(FileHandle file) override;
  bool RemoveFile(const std::string& path) override;
  bool MoveEntry(const std::string& from, const std::string& to) override;
  bool ClearReadOnly(const std::string& path) override;
  bool SetEntryAttributes(const std::string& path, std::uint32_t attributes) override;
  long LookUpEntry(const std::string& path, std::uint32_t* attributes) override;
  bool RemoveEmptyDirectory(const std::string& path) override;
  bool DeleteAtRestart(const std::string& path) override;
  std::string ShortPath(const std::string& path) override;
  bool ChangeDirectory(const std::string& path) override;
  std::uint32_t DriveType(const std::string& root) override;
  void FlushProfileCache(const std::string& path) override;
};

}  // namespace kw

#endif  // KWUNINST_PLATFORM_WIN32_WIN32_PLATFORM_H_
