// The port contract is written once and run against both implementations:
// the simulated machine natively, the real Win32 calls under Wine.  Each
// implementation supplies this fixture, which prepares machine state the
// port itself has no calls for (the program never creates keys or files).
#ifndef KWUNINST_TESTS_CONTRACT_CONTRACT_MACHINE_H_
#define KWUNINST_TESTS_CONTRACT_CONTRACT_MACHINE_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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

  // Drive set-up.  Paths are full Windows paths.
  virtual void MakeDirectory(const std::string& path) = 0;
  virtual void MakeFile(const std::string& path, const std::string& content) = 0;
  virtual void MakeReadOnly(const std::string& path) = 0;
  // Holds a file open with sharing denied, as another program would, until
  // Release; returns a token for Release.
  virtual std::uintptr_t HoldOpen(const std::string& path) = 0;
  virtual void Release(std::uintptr_t token) = 0;
  // A library a program can load (on the real system, the library
  // stand-in), loaded as a program loads one until UnloadLibrary; returns a
  // token for it, 0 when it cannot be loaded.
  virtual void MakeLibrary(const std::string& path) = 0;
  virtual std::uintptr_t LoadAsLibrary(const std::string& path) = 0;
  virtual void UnloadLibrary(std::uintptr_t token) = 0;
  // Writes key=value into a section of an .ini file through the profile
  // functions, as another program would.
  virtual void WriteProfileLine(const std::string& path, const std::string& section,
                                const std::string& key, const std::string& value) = 0;
  // Removes a directory with everything in it, if it exists.
  virtual void RemoveDirectoryTree(const std::string& path) = 0;
  virtual bool PathExists(const std::string& path) = 0;
  // The full paths queued for deletion at the next start of Windows, oldest
  // first.
  virtual std::vector<std::string> PendingDeletions() = 0;

  // Installs a program that opens a top-level window titled kWindowTitle
  // and ends when that window gets a close request; returns its path.
  virtual std::string InstallWindowProgram(const std::string& directory) = 0;
  static constexpr const char* kWindowTitle = "K-Tasker";
  // Starts that program so that it hangs in the handler of its first close
  // request, and ends it again; for cases the port itself cannot set up.
  virtual std::uint32_t StartHangingWindowProgram(const std::string& path) = 0;
  virtual void EndProcess(std::uint32_t processId) = 0;
};

// The drive's scratch directory and the key below HKEY_CURRENT_USER that
// every contract test works in: made afresh before each test, removed after.
constexpr const char* kScratchDir = "C:\\kwcontract";
constexpr const char* kScratchKey = "Software\\KwuninstContract";

// Every contract test runs with the machine's port in place of the platform.
class ContractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TearDown();
    m_machine.CreateKey(kHkeyCurrentUser, kScratchKey);
    m_machine.MakeDirectory(kScratchDir);
  }
  void TearDown() override {
    Os().ChangeDirectory("C:\\");
    m_machine.RemoveTree(kHkeyCurrentUser, kScratchKey);
    m_machine.RemoveDirectoryTree(kScratchDir);
  }
  // Below the scratch key or the scratch directory.
  static std::string Key(const std::string& below) { return kScratchKey + ("\\" + below); }
  static std::string File(const std::string& below) { return kScratchDir + ("\\" + below); }

  ContractMachine& m_machine = ContractMachine::Get();
  ScopedPlatformOverride m_override{m_machine.Port()};
};

}  // namespace kw::contract

#endif  // KWUNINST_TESTS_CONTRACT_CONTRACT_MACHINE_H_
