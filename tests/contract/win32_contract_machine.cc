// The contract fixture of the real system: set-up goes straight to the
// Win32 calls, the program's port is the real one.
#include <windows.h>

#include "tests/contract/contract_machine.h"

namespace kw::contract {
namespace {

HKEY AsHkey(RegKey key) { return reinterpret_cast<HKEY>(key.value); }

class Win32ContractMachine : public ContractMachine {
 public:
  Platform& Port() override { return DefaultPlatform(); }

  bool RefusesKeysWithSubkeys() override {
    // Windows 95 deletes a key with its subkeys; Windows NT refuses.
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&version);
#pragma GCC diagnostic pop
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  }

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
};

}  // namespace

ContractMachine& ContractMachine::Get() {
  static Win32ContractMachine machine;
  return machine;
}

}  // namespace kw::contract
