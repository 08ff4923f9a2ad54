// What the removal of directory trees relies on from the file calls, on both
// ports: directories named as the registry writes them, with a trailing
// backslash, and names relative to the current directory.
#include <gtest/gtest.h>

#include <memory>

#include "tests/contract/contract_machine.h"

namespace kw::contract {
namespace {

class FilesRemovalContractTest : public ::testing::Test {
 protected:
  FilesRemovalContractTest()
      : m_machine(ContractMachine::Get()),
        m_override(std::make_unique<ScopedPlatformOverride>(m_machine.Port())) {}
  void SetUp() override {
    m_machine.RemoveDirectoryTree(kScratchDir);
    m_machine.MakeDirectory(kScratchDir);
  }
  void TearDown() override {
    Os().ChangeDirectory("C:\\");
    m_machine.RemoveDirectoryTree(kScratchDir);
  }
  static std::string Path(const std::string& below) { return std::string(kScratchDir) + "\\" + below; }

  ContractMachine& m_machine;
  std::unique_ptr<ScopedPlatformOverride> m_override;
};

TEST_F(FilesRemovalContractTest, ADirectoryWrittenWithATrailingBackslashIsRemoved) {
  m_machine.MakeDirectory(Path("Tasks"));
  EXPECT_TRUE(Os().RemoveEmptyDirectory(Path("Tasks\\")));
  EXPECT_FALSE(m_machine.PathExists(Path("Tasks")));
}

TEST_F(FilesRemovalContractTest, RelativeNamesAreTheCurrentDirectorys) {
  m_machine.MakeDirectory(Path("Work"));
  m_machine.MakeDirectory(Path("Work\\Sub"));
  m_machine.MakeFile(Path("Work\\A.TMP"), "x");
  m_machine.MakeFile(Path("A.TMP"), "x");
  ASSERT_TRUE(Os().ChangeDirectory(Path("Work")));
  EXPECT_TRUE(Os().RemoveFile("A.TMP"));
  EXPECT_TRUE(Os().RemoveEmptyDirectory("Sub"));
  EXPECT_FALSE(m_machine.PathExists(Path("Work\\A.TMP")));
  EXPECT_FALSE(m_machine.PathExists(Path("Work\\Sub")));
  EXPECT_TRUE(m_machine.PathExists(Path("A.TMP")));
}

}  // namespace
}  // namespace kw::contract
