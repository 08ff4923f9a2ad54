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

  static std::string Path(const std::string& below) { return std::string(kScratchKey) + "\\" + below; }
  long OpenBelow(const std::string& below, std::uint32_t access) {
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
  static long QueryWithRoom(RegKey key, const std::string& name, std::uint32_t room) {
    std::vector<unsigned char> data(room);
    std::uint32_t type = 0;
    std::uint32_t size = room;
    return Os().QueryRegistryValue(key, name, &type, data.data(), &size);
  }

  ContractMachine& m_machine;
  std::unique_ptr<ScopedPlatformOverride> m_override;
  ScopedRegKey m_scratch;
};

// Only "not found" tells that a key is absent, also when a key on the way
// is missing.
TEST_F(RemovalContractTest, AMissingKeyIsNotFoundAtAnyDepth) {
  EXPECT_EQ(OpenBelow("Missing", kKeyRead), kErrorFileNotFound);
  EXPECT_EQ(OpenBelow("Missing\\Deeper", kKeyRead), kErrorFileNotFound);
  EXPECT_EQ(OpenBelow("Missing\\Deeper", kKeyAllAccess), kErrorFileNotFound);
}

// Depth first: a key goes once its subkeys have gone, and index 0 then
// names the next subkey that remains.
TEST_F(RemovalContractTest, ATreeGoesDepthFirstAndSubkeysRenumber) {
  m_machine.CreateKey(kHkeyCurrentUser, Path("Tree\\A\\Deep"));
  m_machine.CreateKey(kHkeyCurrentUser, Path("Tree\\B"));
  ScopedRegKey tree;
  ASSERT_EQ(tree.Open(m_scratch.Get(), "Tree", kKeyAllAccess), kErrorSuccess);
  if (m_machine.RefusesKeysWithSubkeys()) {
    EXPECT_NE(Os().DeleteRegistryKey(tree.Get(), "A"), kErrorSuccess);
    ScopedRegKey a;
    ASSERT_EQ(a.Open(tree.Get(), "A", kKeyAllAccess), kErrorSuccess);
    EXPECT_EQ(Os().DeleteRegistryKey(a.Get(), "Deep"), kErrorSuccess);
  }
  EXPECT_EQ(Os().DeleteRegistryKey(tree.Get(), "A"), kErrorSuccess);
  EXPECT_EQ(OpenBelow("Tree\\A\\Deep", kKeyRead), kErrorFileNotFound);
  EXPECT_EQ(Subkeys(tree.Get()), std::vector<std::string>{"B"});
  EXPECT_EQ(Os().DeleteRegistryKey(tree.Get(), "B"), kErrorSuccess);
  EXPECT_TRUE(Subkeys(tree.Get()).empty());
  tree.Close();
  // A key below a root's own subkey goes from its parent's handle.
  EXPECT_EQ(Os().DeleteRegistryKey(m_scratch.Get(), "Tree"), kErrorSuccess);
  EXPECT_EQ(OpenBelow("Tree", kKeyRead), kErrorFileNotFound);
}

// Names keep blanks at either end; they are opened and deleted by them.
TEST_F(RemovalContractTest, NamesWithBlanksAtEitherEnd) {
  m_machine.CreateKey(kHkeyCurrentUser, Path(" Lead"));
  m_machine.CreateKey(kHkeyCurrentUser, Path("Trail "));
  EXPECT_EQ(Subkeys(m_scratch.Get()), (std::vector<std::string>{" Lead", "Trail "}));
  EXPECT_EQ(OpenBelow(" Lead", kKeyAllAccess), kErrorSuccess);
  EXPECT_EQ(Os().DeleteRegistryKey(m_scratch.Get(), "Trail "), kErrorSuccess);
  EXPECT_EQ(Os().DeleteRegistryKey(m_scratch.Get(), " Lead"), kErrorSuccess);
  EXPECT_TRUE(Subkeys(m_scratch.Get()).empty());
}

// A value longer than the room given is there (more data), named or not,
// and is deleted like any other; its neighbour stays.
TEST_F(RemovalContractTest, ValuesLongerThanTheirBufferAreThereAndGo) {
  const std::string longData(600, 'L');
  m_machine.SetValue(kHkeyCurrentUser, kScratchKey, "ZRP95", kRegSz, longData + '\0');
  m_machine.SetValue(kHkeyCurrentUser, kScratchKey, "", kRegSz, longData + '\0');
  m_machine.SetValue(kHkeyCurrentUser, kScratchKey, "Sibling", kRegSz, std::string("s\0", 2));
  EXPECT_EQ(QueryWithRoom(m_scratch.Get(), "ZRP95", 500), kErrorMoreData);
  EXPECT_EQ(QueryWithRoom(m_scratch.Get(), "", 500), kErrorMoreData);
  EXPECT_EQ(Os().DeleteRegistryValue(m_scratch.Get(), "zrp95"), kErrorSuccess);
  EXPECT_EQ(Os().DeleteRegistryValue(m_scratch.Get(), ""), kErrorSuccess);
  EXPECT_EQ(QueryWithRoom(m_scratch.Get(), "ZRP95", 500), kErrorFileNotFound);
  EXPECT_EQ(QueryWithRoom(m_scratch.Get(), "", 500), kErrorFileNotFound);
  EXPECT_EQ(QueryWithRoom(m_scratch.Get(), "Sibling", 500), kErrorSuccess);
  EXPECT_EQ(Os().DeleteRegistryValue(m_scratch.Get(), "ZRP95"), kErrorFileNotFound);
}

class WindowOwnerContractTest : public ::testing::Test {
 protected:
  WindowOwnerContractTest()
      : m_machine(ContractMachine::Get()),
        m_override(std::make_unique<ScopedPlatformOverride>(m_machine.Port())) {}

  ContractMachine& m_machine;
  std::unique_ptr<ScopedPlatformOverride> m_override;
};

TEST_F(WindowOwnerContractTest, AWindowNamesTheProcessThatMadeIt) {
  m_machine.RemoveDirectoryTree(kScratchDir);
  m_machine.MakeDirectory(kScratchDir);
  const std::string program = m_machine.InstallWindowProgram(kScratchDir);
  ProcessInfo info;
  ASSERT_TRUE(Os().StartProcess(program, "C:\\", ShowState::kNormal, &info));
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
