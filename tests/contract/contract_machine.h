// The port contract is written once and run against both implementations:
// the simulated machine natively, the real Win32 calls under Wine.  Each
// implementation supplies this fixture, which prepares machine state the
// port itself has no calls for (the program never creates keys or files).
#ifndef KWUNINST_TESTS_CONTRACT_CONTRACT_MACHINE_H_
#define KWUNINST_TESTS_CONTRACT_CONTRACT_MACHINE_H_

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kw::contract {

class ContractMachine {
 public:
  virtual ~ContractMachine() = default;

  // The machine for this test binary.
  static ContractMachine& Get();

  virtual Platform& Port() = 0;
  // Whether key deletion refuses keys with subkeys (Windows NT) or takes
  // them along (Windows 95).
  virtual bool RefusesKeysWithSubkeys() = 0;

  // Registry set-up below a root; paths are backslash-separated.
  virtual void CreateKey(RegKey root, const std::string& path) = 0;
  virtual void SetValue(RegKey root, const std::string& path, const std::string& name,
                        std::uint32_t type, const std::string& bytes) = 0;
  // Removes a key with everything below it, if it exists.
  virtual void RemoveTree(RegKey root, const std::string& path) = 0;
};

// Every contract test works below this key of HKEY_CURRENT_USER and removes
// it before and after.
constexpr const char* kScratchKey = "Software\\KwuninstContract";

}  // namespace kw::contract

#endif  // KWUNINST_TESTS_CONTRACT_CONTRACT_MACHINE_H_
