// What the program relies on from the file calls, on both ports.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/scoped_handles.h"
#include "tests/contract/contract_machine.h"

namespace kw::contract {
namespace {

class FilesContractTest : public ::testing::Test {
 protected:
  FilesContractTest()
      : m_machine(ContractMachine::Get()),
        m_override(std::make_unique<ScopedPlatformOverride>(m_machine.Port())) {}

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

  ContractMachine& m_machine;
  std::unique_ptr<ScopedPlatformOverride> m_override;
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

  // Attributes come with each entry.
  ScopedFind search;
  FindEntry entry;
  ASSERT_TRUE(search.First(Path("Dir\\Sub"), &entry));
  EXPECT_TRUE(entry.IsDirectory());
  ASSERT_TRUE(search.First(Path("Dir\\README"), &entry));
  EXPECT_FALSE(entry.IsDirectory());
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
  EXPECT_FALSE(file.Open(Path("MISSING.DLL"), FileOpenMode::kReadExisting));
}

TEST_F(FilesContractTest, WholeFilesAreReadAndRewritten) {
  m_machine.MakeFile(Path("DOSSTART.BAT"), "ECHO OFF\r\nCLS\r\n");
  {
    ScopedFile file;
    ASSERT_TRUE(file.Open(Path("DOSSTART.BAT"), FileOpenMode::kReadExisting));
    std::string bytes;
    ASSERT_TRUE(Os().ReadWholeFile(file.Get(), &bytes));
    EXPECT_EQ(bytes, "ECHO OFF\r\nCLS\r\n");
    EXPECT_FALSE(Os().WriteWholeFile(file.Get(), "nope"));  // opened for reading only
  }
  {
    ScopedFile file;
    ASSERT_TRUE(file.Open(Path("DOSSTART.BAT"), FileOpenMode::kReadWriteTruncate));
    std::string bytes = "sentinel";
    ASSERT_TRUE(Os().ReadWholeFile(file.Get(), &bytes));
    EXPECT_EQ(bytes, "");  // emptied by the open
    ASSERT_TRUE(Os().WriteWholeFile(file.Get(), "ECHO OFF\r\n"));
  }
  {
    ScopedFile file;
    ASSERT_TRUE(file.Open(Path("DOSSTART.BAT"), FileOpenMode::kReadCreateIfMissing));
    std::string bytes;
    ASSERT_TRUE(Os().ReadWholeFile(file.Get(), &bytes));
    EXPECT_EQ(bytes, "ECHO OFF\r\n");  // not truncated
  }
  {
    ScopedFile file;
    ASSERT_TRUE(file.Open(Path("NEW.BAT"), FileOpenMode::kReadCreateIfMissing));
    std::string bytes = "sentinel";
    ASSERT_TRUE(Os().ReadWholeFile(file.Get(), &bytes));
    EXPECT_EQ(bytes, "");
  }
  EXPECT_TRUE(m_machine.PathExists(Path("NEW.BAT")));
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
  // A relative search starts there.
  m_machine.MakeFile(Path("Work\\HERE.TXT"), "x");
  EXPECT_EQ(Search("HERE.TXT"), std::vector<std::string>{"HERE.TXT"});
  ASSERT_TRUE(Os().ChangeDirectory("C:\\"));
  EXPECT_EQ(Os().CurrentDirectory(), "C:\\");
  EXPECT_FALSE(Os().ChangeDirectory(Path("Missing")));
  EXPECT_EQ(Os().CurrentDirectory(), "C:\\");
}

}  // namespace
}  // namespace kw::contract
