// What the program relies on from the file calls, on both ports.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/scoped_handles.h"
#include "tests/contract/contract_machine.h"

namespace kw::contract {
namespace {

class FilesContractTest : public ContractTest {
 protected:
  void SetUp() override {
    m_machine.RemoveDirectoryTree(kScratchDir);
    m_machine.MakeDirectory(kScratchDir);
  }
  void TearDown() override { m_machine.RemoveDirectoryTree(kScratchDir); }

  static std::string Path(const std::string& below) { return std::string(kScratchDir) + "\\" + below; }

  // Every name a search finds, in the order found.
  static std::vector<std::string> Search(const std::string& pattern) {
    std::vector<std::string> names;
    ScopedFind search;
    FindEntry entry;
    if (!search.First(pattern, &entry)) return names;
    do {
      names.push_back(entry.name);
    } while (search.Next(&entry));
    return names;
  }
  static std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(FilesContractTest, ADirectoryIsFoundWithoutATrailingBackslashOnly) {
  m_machine.MakeDirectory(Path("Product"));
  EXPECT_EQ(Search(Path("Product")), std::vector<std::string>{"Product"});
  EXPECT_EQ(Search(Path("PRODUCT")), std::vector<std::string>{"Product"});  // keeps its case
  EXPECT_TRUE(Search(Path("Product\\")).empty());
  EXPECT_TRUE(Search(Path("Missing")).empty());
  EXPECT_TRUE(Search(Path("Missing\\*.*")).empty());

  FindEntry entry;
  ScopedFind search;
  ASSERT_TRUE(search.First(Path("Product"), &entry));
  EXPECT_TRUE(entry.IsDirectory());
  EXPECT_FALSE(entry.IsReparsePoint());
  EXPECT_TRUE(Os().IsExistingDirectory(Path("Product")));
  EXPECT_TRUE(Os().IsExistingDirectory("C:\\"));
}

TEST_F(FilesContractTest, WildcardsMatchAsOnWindows) {
  m_machine.MakeDirectory(Path("Dir"));
  for (const char* name : {"TASK1.KWT", "task2.kwt", "README", "DATA.BIN"}) {
    m_machine.MakeFile(Path(std::string("Dir\\") + name), "x");
  }
  m_machine.MakeDirectory(Path("Dir\\Sub"));
  // "." and ".." come first in a directory that is not a drive root.
  const std::vector<std::string> all = Search(Path("Dir\\*.*"));
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ(all[0], ".");
  EXPECT_EQ(all[1], "..");
  EXPECT_EQ(Sorted(all), Sorted({".", "..", "TASK1.KWT", "task2.kwt", "README", "DATA.BIN", "Sub"}));
  // "*.*" matches names without a dot; "*.KWT" ignores case.
  EXPECT_EQ(Sorted(Search(Path("Dir\\*.KWT"))), Sorted({"TASK1.KWT", "task2.kwt"}));
  EXPECT_EQ(Sorted(Search(Path("Dir\\TASK?.KWT"))), Sorted({"TASK1.KWT", "task2.kwt"}));
  EXPECT_TRUE(Search(Path("Dir\\*.NONE")).empty());
}

TEST_F(FilesContractTest, AFileHeldOpenElsewhereCannotBeOpenedExclusively) {
  m_machine.MakeFile(Path("ACTIVITY.dll"), "library");
  {
    ScopedFile file;
    EXPECT_TRUE(file.Open(Path("ACTIVITY.dll"), FileOpenMode::kReadExisting));
    // Our own open denies sharing too.
    ScopedFile second;
    EXPECT_FALSE(second.Open(Path("ACTIVITY.dll"), FileOpenMode::kReadExisting));
  }
  const std::uintptr_t hold = m_machine.HoldOpen(Path("ACTIVITY.dll"));
  ASSERT_NE(hold, 0u);
  ScopedFile file;
  EXPECT_FALSE(file.Open(Path("ACTIVITY.dll"), FileOpenMode::kReadExisting));
  EXPECT_FALSE(Os().RemoveFile(Path("ACTIVITY.dll")));
  m_machine.Release(hold);
  EXPECT_TRUE(file.Open(Path("ACTIVITY.dll"), FileOpenMode::kReadExisting));
}

// Each open mode on a file that exists and on one that does not: what the
// open finds, and whether it may write.
TEST_F(FilesContractTest, WholeFilesAreReadAndRewritten) {
  const struct {
    FileOpenMode mode;
    bool exists;
    bool opens;
    const char* read;
    bool writes;
  } cases[] = {
      {FileOpenMode::kReadExisting, true, true, "ECHO OFF\r\nCLS\r\n", false},
      {FileOpenMode::kReadExisting, false, false, "", false},
      {FileOpenMode::kReadCreateIfMissing, true, true, "ECHO OFF\r\nCLS\r\n", false},
      {FileOpenMode::kReadCreateIfMissing, false, true, "", false},
      {FileOpenMode::kReadWriteTruncate, true, true, "", true},  // emptied by the open
      {FileOpenMode::kReadWriteTruncate, false, true, "", true},
  };
  for (const auto& c : cases) {
    const std::string path = Path("DOSSTART.BAT");
    Os().RemoveFile(path);
    if (c.exists) m_machine.MakeFile(path, "ECHO OFF\r\nCLS\r\n");
    ScopedFile file;
    const int row = static_cast<int>(&c - cases);
    ASSERT_EQ(file.Open(path, c.mode), c.opens) << row;
    EXPECT_EQ(m_machine.PathExists(path), c.opens) << row;
    if (!c.opens) continue;
    std::string bytes = "sentinel";
    ASSERT_TRUE(Os().ReadWholeFile(file.Get(), &bytes)) << row;
    EXPECT_EQ(bytes, c.read) << row;
    EXPECT_EQ(Os().WriteWholeFile(file.Get(), "ECHO OFF\r\n"), c.writes) << row;
    file.Close();
    ASSERT_TRUE(file.Open(path, FileOpenMode::kReadExisting)) << row;
    ASSERT_TRUE(Os().ReadWholeFile(file.Get(), &bytes)) << row;
    EXPECT_EQ(bytes, c.writes ? "ECHO OFF\r\n" : c.read) << row;
  }
}

TEST_F(FilesContractTest, DeletingFilesAndRemovingDirectories) {
  m_machine.MakeDirectory(Path("Full"));
  m_machine.MakeFile(Path("Full\\FILE.DAT"), "data");
  EXPECT_FALSE(Os().RemoveEmptyDirectory(Path("Full")));  // not empty
  EXPECT_TRUE(Os().RemoveFile(Path("full\\file.dat")));
  EXPECT_FALSE(Os().RemoveFile(Path("Full\\FILE.DAT")));  // already gone
  EXPECT_TRUE(Os().RemoveEmptyDirectory(Path("Full")));
  EXPECT_FALSE(m_machine.PathExists(Path("Full")));
  EXPECT_FALSE(Os().RemoveEmptyDirectory(Path("Full")));
}

TEST_F(FilesContractTest, ClearingTheReadOnlyAttribute) {
  m_machine.MakeFile(Path("LOCKED.DAT"), "data");
  m_machine.MakeReadOnly(Path("LOCKED.DAT"));
  ScopedFind search;
  FindEntry entry;
  ASSERT_TRUE(search.First(Path("LOCKED.DAT"), &entry));
  EXPECT_NE(entry.attributes & kFileAttributeReadOnly, 0u);
  search.Close();
  EXPECT_FALSE(Os().RemoveFile(Path("LOCKED.DAT")));
  EXPECT_TRUE(m_machine.PathExists(Path("LOCKED.DAT")));
  EXPECT_TRUE(Os().ClearReadOnly(Path("LOCKED.DAT")));
  ASSERT_TRUE(search.First(Path("LOCKED.DAT"), &entry));
  EXPECT_EQ(entry.attributes & kFileAttributeReadOnly, 0u);
  search.Close();
  EXPECT_TRUE(Os().RemoveFile(Path("LOCKED.DAT")));
  EXPECT_FALSE(Os().ClearReadOnly(Path("LOCKED.DAT")));
}

TEST_F(FilesContractTest, TheCurrentDirectory) {
  m_machine.MakeDirectory(Path("Work"));
  ASSERT_TRUE(Os().ChangeDirectory(Path("Work")));
  EXPECT_EQ(Os().CurrentDirectory(), Path("Work"));
  ASSERT_TRUE(Os().ChangeDirectory("C:\\"));
  EXPECT_EQ(Os().CurrentDirectory(), "C:\\");
  EXPECT_FALSE(Os().ChangeDirectory(Path("Missing")));
  EXPECT_EQ(Os().CurrentDirectory(), "C:\\");
}

}  // namespace
}  // namespace kw::contract
