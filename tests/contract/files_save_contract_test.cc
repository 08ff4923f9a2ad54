// What saving a text file relies on, on both ports: a new file is written
// only under a free name, and a move renames but never replaces, so that a
// file can be replaced in steps that each leave a whole file in place.
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
  void TearDown() override { m_machine.RemoveDirectoryTree(kScratchDir); }

  static std::string Path(const std::string& name) { return std::string(kScratchDir) + "\\" + name; }

  static std::string Content(const std::string& path) {
    ScopedFile file;
    std::string bytes = "<cannot be opened>";
    if (file.Open(path, FileOpenMode::kReadExisting)) Os().ReadWholeFile(file.Get(), &bytes);
    return bytes;
  }
  static bool IsReadOnly(const std::string& path) {
    ScopedFind search;
    FindEntry entry;
    return search.First(path, &entry) && (entry.attributes & kFileAttributeReadOnly) != 0;
  }

  ContractMachine& m_machine;
  std::unique_ptr<ScopedPlatformOverride> m_override;
};

TEST_F(FilesSaveContractTest, ANewFileIsWrittenOnlyUnderAFreeName) {
  const std::string bytes = "ECHO OFF\r\nLH \xE9t\xE9\rX\r\n\x1A tail";  // bytes as they are
  {
    ScopedFile file;
    ASSERT_TRUE(file.Open(Path("NEW.TMP"), FileOpenMode::kReadWriteCreateNew));
    ScopedFile second;
    EXPECT_FALSE(second.Open(Path("NEW.TMP"), FileOpenMode::kReadExisting));  // held, sharing denied
    ASSERT_TRUE(Os().WriteWholeFile(file.Get(), bytes));
  }
  EXPECT_EQ(Content(Path("NEW.TMP")), bytes);

  ScopedFile file;
  EXPECT_FALSE(file.Open(Path("NEW.TMP"), FileOpenMode::kReadWriteCreateNew));
  EXPECT_EQ(Content(Path("NEW.TMP")), bytes);
  EXPECT_FALSE(file.Open(Path("Missing\\NEW.TMP"), FileOpenMode::kReadWriteCreateNew));
}

TEST_F(FilesSaveContractTest, AMoveRenamesButNeverReplaces) {
  m_machine.MakeFile(Path("DOSSTART.BAT"), "old");
  m_machine.MakeFile(Path("NEW.TMP"), "new");
  EXPECT_FALSE(Os().MoveEntry(Path("NEW.TMP"), Path("dosstart.bat")));
  EXPECT_EQ(Content(Path("DOSSTART.BAT")), "old");
  EXPECT_EQ(Content(Path("NEW.TMP")), "new");
  EXPECT_FALSE(Os().MoveEntry(Path("MISSING.TMP"), Path("OTHER.TMP")));

  // A file held open elsewhere stays where it is.
  const std::uintptr_t hold = m_machine.HoldOpen(Path("DOSSTART.BAT"));
  ASSERT_NE(hold, 0u);
  EXPECT_FALSE(Os().MoveEntry(Path("DOSSTART.BAT"), Path("OLD.TMP")));
  m_machine.Release(hold);

  // The replacement in steps: old aside, new in its place, old removed.
  ASSERT_TRUE(Os().MoveEntry(Path("DOSSTART.BAT"), Path("OLD.TMP")));
  EXPECT_FALSE(m_machine.PathExists(Path("DOSSTART.BAT")));
  ASSERT_TRUE(Os().MoveEntry(Path("NEW.TMP"), Path("DOSSTART.BAT")));
  EXPECT_TRUE(Os().RemoveFile(Path("OLD.TMP")));
  EXPECT_EQ(Content(Path("DOSSTART.BAT")), "new");
  EXPECT_FALSE(m_machine.PathExists(Path("NEW.TMP")));
}

TEST_F(FilesSaveContractTest, AReadOnlyFileIsNeitherReplacedNorCreatedOverButCanBeMoved) {
  m_machine.MakeFile(Path("LOCKED.BAT"), "old");
  m_machine.MakeReadOnly(Path("LOCKED.BAT"));
  m_machine.MakeFile(Path("NEW.TMP"), "new");
  ScopedFile file;
  EXPECT_FALSE(file.Open(Path("LOCKED.BAT"), FileOpenMode::kReadWriteCreateNew));
  EXPECT_FALSE(Os().MoveEntry(Path("NEW.TMP"), Path("LOCKED.BAT")));
  EXPECT_EQ(Content(Path("LOCKED.BAT")), "old");
  // Moving keeps the attribute with the file: the program checks it before
  // it moves anything.
  ASSERT_TRUE(Os().MoveEntry(Path("LOCKED.BAT"), Path("OLD.TMP")));
  EXPECT_TRUE(IsReadOnly(Path("OLD.TMP")));
  EXPECT_EQ(Content(Path("OLD.TMP")), "old");
}

}  // namespace
}  // namespace kw::contract
