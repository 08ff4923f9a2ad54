// The contract fixture of the real system: set-up goes straight to the
// Win32 calls, the program's port is the real one.
#include <windows.h>

#include "tests/contract/contract_machine.h"
#include "tests/support/windows_machine.h"

namespace kw::contract {
namespace {

HKEY AsHkey(RegKey key) { return reinterpret_cast<HKEY>(key.value); }

class Win32ContractMachine : public ContractMachine {
 public:
  Platform& Port() override { return DefaultPlatform(); }

  // Windows 95 deletes a key with its subkeys; Windows NT refuses.
  bool RefusesKeysWithSubkeys() override { return Port().PlatformId() == kPlatformWin32Nt; }

  void CreateKey(RegKey root, const std::string& path) override {
    HKEY key = nullptr;
    if (RegCreateKeyExA(AsHkey(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
      RegCloseKey(key);
    }
  }
  void SetValue(RegKey root, const std::string& path, const std::string& name,
                std::uint32_t type, const std::string& bytes) override {
    HKEY key = nullptr;
    if (RegCreateKeyExA(AsHkey(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      return;
    }
    RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
  }

  void RemoveTree(RegKey root, const std::string& path) override {
    RegDeleteTreeA(AsHkey(root), path.c_str());
    RegDeleteKeyA(AsHkey(root), path.c_str());
  }

  // Set-up takes names as they are, through the wide calls.
  void MakeDirectory(const std::string& path) override {
    CreateDirectoryW(machine::ExtendedPath(path).c_str(), nullptr);
  }
  void MakeFile(const std::string& path, const std::string& content) override {
    const HANDLE file = CreateFileW(machine::ExtendedPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
  }
  void MakeReadOnly(const std::string& path) override {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
  }
  std::uintptr_t HoldOpen(const std::string& path) override {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<std::uintptr_t>(file);
  }
  void Release(std::uintptr_t token) override { CloseHandle(reinterpret_cast<HANDLE>(token)); }
  void MakeLibrary(const std::string& path) override {
    const std::string library = machine::ProgramBuild() + "\\tools\\standins\\library_standin.dll";
    CopyFileA(library.c_str(), path.c_str(), FALSE);
  }
  // Loaded by this very program: Wine 8 answers for it as for a library
  // another process loaded (measured: DeleteFileA fails with error 5,
  // MoveFileA succeeds, either way).
  std::uintptr_t LoadAsLibrary(const std::string& path) override {
    return reinterpret_cast<std::uintptr_t>(LoadLibraryA(path.c_str()));
  }
  void UnloadLibrary(std::uintptr_t token) override { FreeLibrary(reinterpret_cast<HMODULE>(token)); }
  void WriteProfileLine(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) override {
    WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str());
  }
  void RemoveDirectoryTree(const std::string& directory) override {
    machine::RemoveTreeOnDisk(directory);
  }
  std::vector<std::string> PendingDeletions() override {
    return machine::PendingDeletionsAtRestart();
  }
  bool PathExists(const std::string& path) override {
    return GetFileAttributesW(machine::ExtendedPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  // The product stand-in plays the agent under that name: window
  // "K-Tasker", closed on request.
  std::string InstallWindowProgram(const std::string& directory) override {
    const std::string path = directory + "\\K-TASKER.EXE";
    CopyFileA(machine::StandIn().c_str(), path.c_str(), FALSE);
    MakeFile(directory + "\\ACTIVITY.dll", "library");
    return path;
  }

  // The product stand-in hangs in WM_CLOSE when its environment says so.
  std::uint32_t StartHangingWindowProgram(const std::string& path) override {
    SetEnvironmentVariableA("KW_STANDIN_K_TASKER_HANG", "1");
    ProcessInfo info;
    DefaultPlatform().StartProcess(path, "C:\\", ShowState::kNormal, &info);
    SetEnvironmentVariableA("KW_STANDIN_K_TASKER_HANG", nullptr);
    return info.processId;
  }
  void EndProcess(std::uint32_t processId) override { machine::EndProcess(processId); }
};

}  // namespace

ContractMachine& ContractMachine::Get() {
  static Win32ContractMachine machine;
  return machine;
}

}  // namespace kw::contract
