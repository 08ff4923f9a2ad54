// What the registry removal and the wait for the uninstaller's windows rely
// on, run against both the simulated machine and the real system.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/scoped_handles.h"
#include "tests/contract/contract_machine.h"

namespace kw::contract {
namespace {

class RemovalContractTest : public ::testing::Test {
 protected:
  RemovalContractTest()
      : m_machine(ContractMachine::Get()),
        m_override(std::make_unique<ScopedPlatformOverride>(m_machine.Port())) {}
  void SetUp() override {
    m_machine.RemoveTree(kHkeyCurrentUser, kScratchKey);
    m_machine.CreateKey(kHkeyCurrentUser, kScratchKey);
    ASSERT_EQ(m_scratch.Open(kHkeyCurrentUser, kScratchKey, kKeyAllAccess), kErrorSuccess);
  }
  void TearDown() override {
    m_scratch.Close();
    m_machine.RemoveTree(kHkeyCurrentUser, kScratchKey);
  }

  static std::string Path(const std::string& below) {
    return std::string(kScratchKey) + "\\" + below;
  }
  static long OpenBelow(const std::string& below, std::uint32_t access) {
    ScopedRegKey key;
    return key.Open(kHkeyCurrentUser, Path(below), access);
  }
  static std::vector<std::string> Subkeys(RegKey key) {
    std::vector<std::string> names;
    for (std::uint32_t index = 0; index < 10; ++index) {
      char name[500] = {};
      std::uint32_t size = sizeof name;
      if (Os().EnumRegistrySubkey(key, index, name, &size) != kErrorSuccess) break;
      names.emplace_back(name, size);
    }
    return names;
  }
  long Query500(const std::string& name) {
    unsigned char data[500];
    std::uint32_t type = 0, size = sizeof data;
    return Os().QueryRegistryValue(m_scratch.Get(), name, &type, data, &size);
  }

  ContractMachine& m_machine;
  std::unique_ptr<ScopedPlatformOverride> m_override;
  ScopedRegKey m_scratch;
};

// Depth first: a key goes once its subkeys have gone (at once on Windows
// 95), and index 0 then names the next subkey that remains.  Names keep
// blanks at either end and are opened and deleted by them.  Only "not
// found" tells that a key is absent, also when a key on the way is missing.
TEST_F(RemovalContractTest, ATreeGoesDepthFirstAndSubkeysRenumber) {
  m_machine.CreateKey(kHkeyCurrentUser, Path("Tree\\ Lead\\Deep"));
  m_machine.CreateKey(kHkeyCurrentUser, Path("Tree\\Trail "));
  ScopedRegKey tree;
  ASSERT_EQ(tree.Open(m_scratch.Get(), "Tree", kKeyAllAccess), kErrorSuccess);
  EXPECT_EQ(Subkeys(tree.Get()), (std::vector<std::string>{" Lead", "Trail "}));
  if (m_machine.RefusesKeysWithSubkeys()) {
    EXPECT_NE(Os().DeleteRegistryKey(tree.Get(), " Lead"), kErrorSuccess);
    ScopedRegKey lead;
    ASSERT_EQ(lead.Open(tree.Get(), " Lead", kKeyAllAccess), kErrorSuccess);
    EXPECT_EQ(Os().DeleteRegistryKey(lead.Get(), "Deep"), kErrorSuccess);
  }
  EXPECT_EQ(Os().DeleteRegistryKey(tree.Get(), " Lead"), kErrorSuccess);
  EXPECT_EQ(OpenBelow("Tree\\ Lead\\Deep", kKeyRead), kErrorFileNotFound);
  EXPECT_EQ(Subkeys(tree.Get()), std::vector<std::string>{"Trail "});
  EXPECT_EQ(Os().DeleteRegistryKey(tree.Get(), "Trail "), kErrorSuccess);
  EXPECT_TRUE(Subkeys(tree.Get()).empty());
  tree.Close();
  EXPECT_EQ(Os().DeleteRegistryKey(m_scratch.Get(), "Tree"), kErrorSuccess);
  EXPECT_EQ(OpenBelow("Tree", kKeyRead), kErrorFileNotFound);
}

// A value longer than the room given is there (more data), named or not,
// and is deleted like any other; its neighbour stays.
TEST_F(RemovalContractTest, ValuesLongerThanTheirBufferAreThereAndGo) {
  m_machine.SetValue(kHkeyCurrentUser, kScratchKey, "Sibling", kRegSz, std::string("s\0", 2));
  for (const char* name : {"ZRP95", ""}) {
    m_machine.SetValue(kHkeyCurrentUser, kScratchKey, name, kRegSz, std::string(600, 'L') + '\0');
    EXPECT_EQ(Query500(name), kErrorMoreData);
    EXPECT_EQ(Os().DeleteRegistryValue(m_scratch.Get(), *name ? "zrp95" : ""), kErrorSuccess);
    EXPECT_EQ(Query500(name), kErrorFileNotFound);
    EXPECT_EQ(Os().DeleteRegistryValue(m_scratch.Get(), name), kErrorFileNotFound);
  }
  EXPECT_EQ(Query500("Sibling"), kErrorSuccess);
}

// The wait for the uninstaller's answer tells its own windows by their maker.
TEST_F(RemovalContractTest, AWindowNamesTheProcessThatMadeIt) {
  m_machine.RemoveDirectoryTree(kScratchDir);
  m_machine.MakeDirectory(kScratchDir);
  ProcessInfo info;
  ASSERT_TRUE(Os().StartProcess(m_machine.InstallWindowProgram(kScratchDir), "C:\\",
                                ShowState::kNormal, &info));
  WindowHandle window;
  for (int i = 0; i < 100 && !window; ++i) {
    window = Os().FindTopLevelWindow(ContractMachine::kWindowTitle);
    if (!window) Os().Pause(100, false);
  }
  ASSERT_TRUE(window);
  EXPECT_EQ(Os().WindowProcessId(window), info.processId);
  EXPECT_TRUE(Os().SendCloseRequest(window, 30000));
  for (int i = 0; i < 100 && Os().ProcessVersion(info.processId) != 0; ++i) Os().Pause(100, false);
  EXPECT_EQ(Os().WindowProcessId(window), 0u);  // gone with its window
  EXPECT_EQ(Os().WindowProcessId(WindowHandle{}), 0u);
}

}  // namespace
}  // namespace kw::contract
