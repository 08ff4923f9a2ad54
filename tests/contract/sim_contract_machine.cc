// The contract fixture of the simulated machine.
#include "platform/sim/sim_machine.h"
#include "tests/contract/contract_machine.h"

namespace kw::contract {
namespace {

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

 private:
  sim::SimMachine m_machine;
};

}  // namespace

ContractMachine& ContractMachine::Get() {
  static SimContractMachine machine;
  return machine;
}

}  // namespace kw::contract
