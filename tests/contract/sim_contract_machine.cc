// The contract fixture of the simulated machine.
#include <memory>

#include "platform/sim/sim_machine.h"
#include "tests/contract/contract_machine.h"

namespace kw::contract {
namespace {

// A program with one window that ends when the window is asked to close,
// as the default program behaviour of the simulated machine does.
class WindowProgram : public sim::SimProgram {
 public:
  explicit WindowProgram(bool hangs = false) : m_bHangs(hangs) {}
  void OnStart(sim::SimProcess& self) override { self.OpenWindow(ContractMachine::kWindowTitle); }
  bool IsHung() const override { return m_bHangs; }

 private:
  bool m_bHangs;
};

class SimContractMachine : public ContractMachine {
 public:
  Platform& Port() override { return m_machine; }
  bool RefusesKeysWithSubkeys() override { return true; }
  void CreateKey(RegKey root, const std::string& path) override {
    m_machine.Registry().CreateKey(root, path);
  }
  void SetValue(RegKey root, const std::string& path, const std::string& name,
                std::uint32_t type, const std::string& bytes) override {
    m_machine.Registry().SetValue(root, path, name, type, bytes);
  }
  void RemoveTree(RegKey root, const std::string& path) override {
    m_machine.Registry().SetKeyDeletion(sim::KeyDeletion::kTakeSubkeysAlong);
    m_machine.Registry().DeleteKey(root, path);
    m_machine.Registry().SetKeyDeletion(sim::KeyDeletion::kRefuseWithSubkeys);
  }

  void MakeDirectory(const std::string& path) override { m_machine.Files().AddDirectory(path); }
  void MakeFile(const std::string& path, const std::string& content) override {
    m_machine.Files().AddFile(path, content);
  }
  void MakeReadOnly(const std::string& path) override { m_machine.Files().SetReadOnly(path, true); }
  std::uintptr_t HoldOpen(const std::string& path) override {
    return m_machine.Files().Hold(path, "another program");
  }
  void Release(std::uintptr_t token) override {
    m_machine.Files().Release(static_cast<std::uint32_t>(token));
  }
  void MakeLibrary(const std::string& path) override { m_machine.Files().AddFile(path, "MZ library"); }
  std::uintptr_t LoadAsLibrary(const std::string& path) override {
    return m_machine.Files().Hold(path, "another program", sim::HoldKind::kLoadedLibrary);
  }
  void UnloadLibrary(std::uintptr_t token) override {
    m_machine.Files().Release(static_cast<std::uint32_t>(token));
  }
  void WriteProfileLine(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) override {
    m_machine.WriteProfileString(path, section, key, value);
  }
  void RemoveDirectoryTree(const std::string& path) override { m_machine.Files().Erase(path); }
  bool PathExists(const std::string& path) override { return m_machine.Files().Exists(path); }
  std::vector<std::string> PendingDeletions() override {
    return m_machine.Files().PendingDeletions();
  }

  std::string InstallWindowProgram(const std::string& directory) override {
    const std::string path = directory + "\\K-TASKER.EXE";
    m_machine.RegisterProgram(path, [] { return std::make_unique<WindowProgram>(); });
    return path;
  }
  std::uint32_t StartHangingWindowProgram(const std::string& path) override {
    m_machine.RegisterProgram(path, [] { return std::make_unique<WindowProgram>(true); });
    ProcessInfo info;
    m_machine.StartProcess(path, "C:\\", ShowState::kNormal, &info);
    InstallWindowProgram(path.substr(0, path.rfind('\\')));
    return info.processId;
  }
  void EndProcess(std::uint32_t processId) override { m_machine.ProcessById(processId)->Exit(); }

 private:
  sim::SimMachine m_machine;
};

}  // namespace

ContractMachine& ContractMachine::Get() {
  static SimContractMachine machine;
  return machine;
}

}  // namespace kw::contract
