// What saving a text file and removing directory trees rely on, on both
// ports: a new file is written only under a free name and a move renames
// but never replaces, so that a file can be replaced in steps that each
// leave a whole file in place; directories are named as the registry writes
// them, and relative names are the current directory's.
#include <gtest/gtest.h>

#include <memory>

#include "platform/scoped_handles.h"
#include "tests/contract/contract_machine.h"

namespace kw::contract {
namespace {

class FilesSaveContractTest : public ::testing::Test {
 protected:
  FilesSaveContractTest()
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

  static std::string Path(const std::string& name) {
    return std::string(kScratchDir) + "\\" + name;
  }
  static std::string Content(const std::string& name) {
    ScopedFile file;
    std::string bytes = "<cannot be opened>";
    if (file.Open(Path(name), FileOpenMode::kReadExisting)) Os().ReadWholeFile(file.Get(), &bytes);
    return bytes;
  }

  ContractMachine& m_machine;
  std::unique_ptr<ScopedPlatformOverride> m_override;
};

TEST_F(FilesSaveContractTest, ANewFileIsWrittenOnlyUnderAFreeName) {
  const std::string bytes = "ECHO OFF\r\nLH \xE9t\xE9\rX\r\n\x1A tail";  // bytes as they are
  {
    ScopedFile file, second;
    ASSERT_TRUE(file.Open(Path("NEW.TMP"), FileOpenMode::kReadWriteCreateNew));
    EXPECT_FALSE(second.Open(Path("NEW.TMP"), FileOpenMode::kReadExisting));  // sharing denied
    ASSERT_TRUE(Os().WriteWholeFile(file.Get(), bytes));
  }
  ScopedFile file;
  EXPECT_FALSE(file.Open(Path("NEW.TMP"), FileOpenMode::kReadWriteCreateNew));
  EXPECT_EQ(Content("NEW.TMP"), bytes);
  EXPECT_FALSE(file.Open(Path("Missing\\NEW.TMP"), FileOpenMode::kReadWriteCreateNew));
}

TEST_F(FilesSaveContractTest, AMoveRenamesButNeverReplaces) {
  m_machine.MakeFile(Path("DOSSTART.BAT"), "old");
  m_machine.MakeFile(Path("NEW.TMP"), "new");
  EXPECT_FALSE(Os().MoveEntry(Path("NEW.TMP"), Path("dosstart.bat")));
  EXPECT_EQ(Content("DOSSTART.BAT"), "old");
  EXPECT_FALSE(Os().MoveEntry(Path("MISSING.TMP"), Path("OTHER.TMP")));
  // A file held open elsewhere stays where it is.
  const std::uintptr_t hold = m_machine.HoldOpen(Path("DOSSTART.BAT"));
  ASSERT_NE(hold, 0u);
  EXPECT_FALSE(Os().MoveEntry(Path("DOSSTART.BAT"), Path("OLD.TMP")));
  m_machine.Release(hold);
  // The replacement in steps: old aside, new in its place, old removed.
  ASSERT_TRUE(Os().MoveEntry(Path("DOSSTART.BAT"), Path("OLD.TMP")));
  ASSERT_TRUE(Os().MoveEntry(Path("NEW.TMP"), Path("DOSSTART.BAT")));
  EXPECT_TRUE(Os().RemoveFile(Path("OLD.TMP")));
  EXPECT_EQ(Content("DOSSTART.BAT"), "new");
  EXPECT_FALSE(m_machine.PathExists(Path("NEW.TMP")));
}

// The program checks the attribute before it moves anything: a move keeps
// it with the file.
TEST_F(FilesSaveContractTest, AReadOnlyFileIsNeitherReplacedNorCreatedOverButCanBeMoved) {
  m_machine.MakeFile(Path("LOCKED.BAT"), "old");
  m_machine.MakeReadOnly(Path("LOCKED.BAT"));
  m_machine.MakeFile(Path("NEW.TMP"), "new");
  ScopedFile file;
  EXPECT_FALSE(file.Open(Path("LOCKED.BAT"), FileOpenMode::kReadWriteCreateNew));
  EXPECT_FALSE(Os().MoveEntry(Path("NEW.TMP"), Path("LOCKED.BAT")));
  ASSERT_TRUE(Os().MoveEntry(Path("LOCKED.BAT"), Path("OLD.TMP")));
  ScopedFind search;
  FindEntry entry;
  EXPECT_TRUE(search.First(Path("OLD.TMP"), &entry) && (entry.attributes & kFileAttributeReadOnly));
  EXPECT_EQ(Content("OLD.TMP"), "old");
}

TEST_F(FilesSaveContractTest, DirectoriesWithATrailingBackslashAndRelativeNames) {
  m_machine.MakeDirectory(Path("Tasks"));
  EXPECT_TRUE(Os().RemoveEmptyDirectory(Path("Tasks\\")));
  EXPECT_FALSE(m_machine.PathExists(Path("Tasks")));
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
