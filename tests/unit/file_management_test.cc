#include "components/file_management.h"

#include <gtest/gtest.h>

#include "tests/support/sim_standins.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

class FileManagementTest : public testing::SimTest {
 protected:
  std::int32_t TakeCode(std::string* argument = nullptr) {
    std::int32_t code = 0;
    std::string text;
    m_files.GetError(code, text);
    if (argument != nullptr) *argument = text;
    return code;
  }
  std::vector<std::string> Walk(CCursorStringList& list) {
    std::vector<std::string> texts;
    list.Rewind();
    std::string text;
    while (list.GetNextString(text)) texts.push_back(text);
    return texts;
  }

  CFileManagement m_files;
};

TEST_F(FileManagementTest, ExistsIgnoresDotNamesAndFindsDirectoriesWrittenWithBackslashes) {
  Files().AddDirectory("C:\\EMPTY");
  Files().AddFile("C:\\K-WARD\\KWUNINST.EXE");
  const struct {
    const char* path;
    bool exists;
  } cases[] = {
      {"C:\\EMPTY\\*.*", false},  // only "." and ".."
      {"C:\\K-WARD\\*.*", true},      {"C:\\K-WARD\\*.KWT", false},
      {"C:\\K-WARD", true},           {"C:\\K-WARD\\", true},
      {"c:\\k-ward\\\\\\", true},     {"C:\\MISSING\\", false},
      {"C:\\", true},                 {"D:\\", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(m_files.Exists(c.path), c.exists) << c.path;
}

TEST_F(FileManagementTest, ListingsAreReversedFilteredAndExcludeIgnoringCase) {
  for (const char* name : {"ALPHA.DAT", "beta.dat", "Deisl1.isu", "GAMMA.DAT", "X"}) {
    Files().AddFile(std::string("C:\\K-WARD\\") + name);
  }
  Files().AddDirectory("C:\\K-WARD\\SUB");
  m_files.AddExclusion("DEISL1.ISU");
  CCursorStringList list;
  ASSERT_TRUE(m_files.ListFiles("C:\\K-WARD\\*.*", list));
  // Found as ALPHA, beta, GAMMA, X: listed newest first.
  EXPECT_EQ(Walk(list), (std::vector<std::string>{"X", "GAMMA.DAT", "beta.dat", "ALPHA.DAT"}));
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

TEST_F(FileManagementTest, DeletionClearsReadOnlyAndTakesMissingAsDone) {
  Files().AddFile("C:\\K-WARD\\LOCKED.DLL");
  Files().SetReadOnly("C:\\K-WARD\\LOCKED.DLL", true);
  Files().AddFile("C:\\K-WARD\\HELD.DLL");
  Files().Hold("C:\\K-WARD\\HELD.DLL", "another program");
  EXPECT_TRUE(m_files.DeleteFile("C:\\K-WARD\\LOCKED.DLL"));
  EXPECT_FALSE(Files().Exists("C:\\K-WARD\\LOCKED.DLL"));
  EXPECT_TRUE(m_files.DeleteFile("C:\\K-WARD\\MISSING.DLL"));
  EXPECT_EQ(TakeCode(), 0);
  std::string argument;
  EXPECT_FALSE(m_files.DeleteFile("C:\\K-WARD\\HELD.DLL"));
  EXPECT_EQ(TakeCode(&argument), 113);
  EXPECT_EQ(argument, "C:\\K-WARD\\HELD.DLL");
}

// One budget for the whole program: a wait given 30 s starts a count of 31
// pauses, a wait given 0 goes on with what is left.  Each row is a fresh
// program run with a series of waits.
TEST_F(FileManagementTest, TheWaitingBudgetIsSharedBySuccessiveWaits) {
  struct Wait {
    const char* file;  // BUSY is held throughout, LATE for 20 s, FREE never
    std::int32_t seconds;
    bool free;
    int pausesSoFar;
  };
  const std::vector<std::vector<Wait>> runs = {
      {{"BUSY", 30, false, 31}, {"MISSING", 0, false, 31}, {"FREE", 0, true, 31}},
      {{"LATE", 30, true, 20}, {"BUSY", 0, false, 31}},
      {{"MISSING", 0, false, 1}},  // the program's first wait, given 0
  };
  Files().AddFile("C:\\K-WARD\\FREE");
  Files().AddFile("C:\\K-WARD\\BUSY");
  Files().Hold("C:\\K-WARD\\BUSY", "another program");
  for (std::size_t run = 0; run < runs.size(); ++run) {
    CFileManagement::ResetWaitBudget();
    Files().AddFile("C:\\K-WARD\\LATE");
    testing::ProductProgramScript holder{"Holder", {"C:\\K-WARD\\LATE"}};
    holder.releaseAtMs = 20000;
    testing::InstallProductProgram(Machine(), "C:\\HOLDER.EXE", holder);
    sim::SimProcess* process = testing::LaunchProgram(Machine(), "C:\\HOLDER.EXE");
    const int start = Machine().PauseCount();
    for (const Wait& wait : runs[run]) {
      CFileManagement files;
      EXPECT_EQ(files.WaitUntilFree(std::string("C:\\K-WARD\\") + wait.file, wait.seconds), wait.free)
          << "run " << run << ", " << wait.file;
      EXPECT_EQ(Machine().PauseCount() - start, wait.pausesSoFar) << "run " << run << ", " << wait.file;
      std::int32_t code = 0;
      std::string argument;
      files.GetError(code, argument);
      EXPECT_EQ(code, wait.free ? 0 : 114);
    }
    process->Exit();
  }
}

}  // namespace
}  // namespace kw
