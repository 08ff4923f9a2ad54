#include "components/file_management.h"

#include <gtest/gtest.h>

#include "tests/support/sim_test.h"

namespace kw {
namespace {

// Holds a file open until it has run for a while.
class HoldsForAWhile : public sim::SimProgram {
 public:
  HoldsForAWhile(std::string path, std::int64_t releaseAtMs)
      : m_path(std::move(path)), m_releaseAtMs(releaseAtMs) {}
  void OnStart(sim::SimProcess& self) override { self.HoldFile(m_path); }
  void OnTurn(sim::SimProcess& self) override {
    if (self.RunTimeMs() >= m_releaseAtMs) self.ReleaseFiles();
  }

 private:
  std::string m_path;
  std::int64_t m_releaseAtMs;
};

class FileManagementTest : public testing::SimTest {
 protected:
  std::int32_t TakeCode(std::string* argument = nullptr) {
    std::int32_t code = 0;
    std::string text;
    m_files.GetError(code, text);
    if (argument != nullptr) *argument = text;
    return code;
  }
  void HoldUntil(const std::string& path, std::int64_t releaseAtMs) {
    const std::string program = "C:\\HOLDERS\\HOLDER" + std::to_string(++m_holders) + ".EXE";
    Machine().RegisterProgram(program, [path, releaseAtMs] {
      return std::make_unique<HoldsForAWhile>(path, releaseAtMs);
    });
    ProcessInfo info;
    ASSERT_TRUE(Machine().StartProcess(program, "C:\\", ShowState::kNormal, &info));
  }
  std::vector<std::string> Walk(CCursorStringList& list) {
    std::vector<std::string> texts;
    list.Rewind();
    std::string text;
    while (list.GetNextString(text)) texts.push_back(text);
    return texts;
  }

  CFileManagement m_files;
  int m_holders = 0;
};

TEST_F(FileManagementTest, ExistsIgnoresDotNamesAndFindsDirectoriesWrittenWithBackslashes) {
  Files().AddDirectory("C:\\EMPTY");
  Files().AddFile("C:\\K-WARD\\KWUNINST.EXE");
  EXPECT_EQ(m_files.GetTitle(), "File Management Error!");
  EXPECT_FALSE(m_files.Exists("C:\\EMPTY\\*.*"));  // only "." and ".."
  EXPECT_TRUE(m_files.Exists("C:\\K-WARD\\*.*"));
  EXPECT_FALSE(m_files.Exists("C:\\K-WARD\\*.KWT"));
  EXPECT_TRUE(m_files.Exists("C:\\K-WARD"));
  EXPECT_TRUE(m_files.Exists("C:\\K-WARD\\"));
  EXPECT_TRUE(m_files.Exists("c:\\k-ward\\\\\\"));
  EXPECT_FALSE(m_files.Exists("C:\\MISSING\\"));
  EXPECT_TRUE(m_files.Exists("C:\\"));
  EXPECT_FALSE(m_files.Exists("D:\\"));
  EXPECT_FALSE(m_files.Exists(""));
}

TEST_F(FileManagementTest, ListingsAreReversedFilteredAndExcludeIgnoringCase) {
  for (const char* name : {"ALPHA.DAT", "beta.dat", "Deisl1.isu", "GAMMA.DAT"}) {
    Files().AddFile(std::string("C:\\K-WARD\\") + name);
  }
  Files().AddDirectory("C:\\K-WARD\\SUB");
  m_files.AddExclusion("DEISL1.ISU");
  CCursorStringList list;
  ASSERT_TRUE(m_files.ListFiles("C:\\K-WARD\\*.*", list));
  // Found as ALPHA, beta, GAMMA: listed newest first.
  EXPECT_EQ(Walk(list), (std::vector<std::string>{"GAMMA.DAT", "beta.dat", "ALPHA.DAT"}));
  ASSERT_TRUE(m_files.ListDirectories("C:\\K-WARD\\*.*", list));
  EXPECT_EQ(Walk(list), std::vector<std::string>{"SUB"});

  std::string argument;
  EXPECT_FALSE(m_files.ListFiles("C:\\K-WARD\\S*", list));  // matches only a directory
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(TakeCode(&argument), 142);
  EXPECT_EQ(argument, "C:\\K-WARD\\S*");
  m_files.AddExclusion("sub");
  EXPECT_FALSE(m_files.ListDirectories("C:\\K-WARD\\*.*", list));
  EXPECT_EQ(TakeCode(&argument), 141);
  EXPECT_EQ(argument, "C:\\K-WARD\\*.*");
}

TEST_F(FileManagementTest, NamesAreListedAndFoundExactly) {
  // A name may begin with a blank or a dot: trimmed or passed over, it
  // would name another entry or none, and the entry would be left behind.
  Files().AddFile("C:\\DIR\\ A");
  Files().AddFile("C:\\DIR\\A");
  Files().AddFile("C:\\DIR\\.profile\\B");
  CCursorStringList list;
  ASSERT_TRUE(m_files.ListFiles("C:\\DIR\\*", list));
  EXPECT_EQ(Walk(list), (std::vector<std::string>{"A", " A"}));
  EXPECT_TRUE(m_files.Exists("C:\\DIR\\.profile"));
}

TEST_F(FileManagementTest, BusyFiles) {
  Files().AddFile("C:\\K-WARD\\FREE.DLL");
  Files().AddFile("C:\\K-WARD\\HELD.DLL");
  Files().Hold("C:\\K-WARD\\HELD.DLL", "another program", true);
  EXPECT_FALSE(m_files.IsBusy("C:\\K-WARD\\FREE.DLL"));
  EXPECT_TRUE(m_files.IsBusy("C:\\K-WARD\\HELD.DLL"));  // held in any mode
  EXPECT_TRUE(m_files.IsBusy("C:\\K-WARD\\MISSING.DLL"));
}

TEST_F(FileManagementTest, DeleteFileClearsReadOnlyAndTakesMissingAsDone) {
  Files().AddFile("C:\\K-WARD\\LOCKED.DAT");
  Files().SetReadOnly("C:\\K-WARD\\LOCKED.DAT", true);
  EXPECT_TRUE(m_files.DeleteFile("C:\\K-WARD\\LOCKED.DAT"));
  EXPECT_FALSE(Files().Exists("C:\\K-WARD\\LOCKED.DAT"));
  EXPECT_TRUE(m_files.DeleteFile("C:\\K-WARD\\MISSING.DAT"));
  EXPECT_EQ(TakeCode(), 0);

  Files().AddFile("C:\\K-WARD\\INUSE.DLL");
  Files().Hold("C:\\K-WARD\\INUSE.DLL", "another program");
  std::string argument;
  EXPECT_FALSE(m_files.DeleteFile("C:\\K-WARD\\INUSE.DLL"));
  EXPECT_EQ(TakeCode(&argument), 113);
  EXPECT_EQ(argument, "C:\\K-WARD\\INUSE.DLL");
}

TEST_F(FileManagementTest, ABudgetOf30Gives31PausesSharedByTheCallsThatFollow) {
  Files().AddFile("C:\\K-WARD\\BUSY.DLL");
  Files().Hold("C:\\K-WARD\\BUSY.DLL", "another program");
  EXPECT_FALSE(m_files.WaitUntilFree("C:\\K-WARD\\BUSY.DLL", 30));
  EXPECT_EQ(Machine().PauseCount(), 31);
  EXPECT_EQ(TakeCode(), 114);
  // The budget is spent: a later call with 0 fails at its first check.
  CFileManagement other;
  EXPECT_FALSE(other.WaitUntilFree("C:\\K-WARD\\MISSING.DLL", 0));
  EXPECT_EQ(Machine().PauseCount(), 31);
  // A free file passes at once whatever the count.
  Files().AddFile("C:\\K-WARD\\FREE.DLL");
  EXPECT_TRUE(other.WaitUntilFree("C:\\K-WARD\\FREE.DLL", 0));
  EXPECT_EQ(Machine().PauseCount(), 31);
}

TEST_F(FileManagementTest, AFileFreeAfter20PausesLeaves11ForTheRest) {
  Files().AddFile("C:\\K-WARD\\K-WARD32.EXE");
  Files().AddFile("C:\\K-WARD\\STUCK.DLL");
  HoldUntil("C:\\K-WARD\\K-WARD32.EXE", 20000);
  Files().Hold("C:\\K-WARD\\STUCK.DLL", "another program");
  EXPECT_TRUE(m_files.WaitUntilFree("C:\\K-WARD\\K-WARD32.EXE", 30));
  EXPECT_EQ(Machine().PauseCount(), 20);
  EXPECT_FALSE(m_files.WaitUntilFree("C:\\K-WARD\\STUCK.DLL", 0));
  EXPECT_EQ(Machine().PauseCount(), 31);
}

TEST_F(FileManagementTest, TheProgramsFirstWaitWithZeroTakesOnePause) {
  EXPECT_FALSE(m_files.WaitUntilFree("C:\\K-WARD\\MISSING.DLL", 0));  // missing counts as busy
  EXPECT_EQ(Machine().PauseCount(), 1);
  EXPECT_EQ(TakeCode(), 114);
}

TEST_F(FileManagementTest, PlatformFamily) {
  EXPECT_TRUE(m_files.IsWindowsNT());
  Machine().BecomeWindows95();
  EXPECT_FALSE(m_files.IsWindowsNT());
}

}  // namespace
}  // namespace kw
