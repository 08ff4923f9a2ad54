// The file components and what of the file clean-up stage the random
// machines cannot show: listings and existence, deletion, the waiting
// budget, the prompting removals with their depth limit, and the guard on
// the installation directory.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/uninstall_app.h"
#include "components/file_management_prompt.h"
#include "components/message_catalogue.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using Paths = std::set<std::string>;
using Names = std::vector<std::string>;
using testing::ErrorOf;

class FileManagementTest : public testing::SimTest {
 protected:
  Paths OnDrive() {
    Paths paths;
    for (const auto& entry : Files().Snapshot()) paths.insert(entry.first);
    return paths;
  }
  Paths GoneSince(const Paths& before) {
    Paths gone;
    for (const std::string& path : before) {
      if (!Files().Exists(path)) gone.insert(path);
    }
    return gone;
  }
  // Files below a directory, named relative to it.
  void AddFiles(const std::string& dir, std::initializer_list<const char*> names) {
    for (const char* name : names) Files().AddFile(dir + name);
  }
  static Names Walk(CCursorStringList& list) {
    Names texts;
    std::string text;
    for (list.Rewind(); list.GetNextString(text);) texts.push_back(text);
    return texts;
  }

  CFileManagementPrompt m_files;
};

// Names are taken exactly as found: one beginning with a blank or a dot,
// trimmed or passed over, would name another entry or none, and be left.
// A directory exists however many backslashes end its path.
TEST_F(FileManagementTest, ListingsAndExistenceTakeNamesExactly) {
  AddFiles("C:\\DIR\\", {"ALPHA.DAT", "beta.dat", "Deisl1.isu", " A", ".profile\\B", "SUB\\C"});
  Files().AddDirectory("C:\\EMPTY");
  const std::pair<const char*, bool> exists[] = {
      {"C:\\EMPTY\\*.*", false},  // only "." and ".."
      {"C:\\DIR\\*.*", true},   {"C:\\DIR\\*.KWT", false}, {"C:\\DIR", true},
      {"C:\\DIR\\", true},      {"c:\\dir\\\\", true}, {"C:\\MISSING\\", false},
      {"C:\\", true},             {"D:\\", false},           {"", false},
      {"C:\\DIR\\.profile", true}};
  for (const auto& [path, found] : exists) EXPECT_EQ(m_files.Exists(path), found) << path;
  m_files.AddExclusion("DEISL1.ISU");
  CCursorStringList list;
  ASSERT_TRUE(m_files.ListFiles("C:\\DIR\\*.*", list));
  EXPECT_EQ(Walk(list), (Names{"beta.dat", "ALPHA.DAT", " A"}));  // reversed, filtered
  ASSERT_TRUE(m_files.ListDirectories("C:\\DIR\\*", list));
  EXPECT_EQ(Walk(list), (Names{"SUB", ".profile"}));
  EXPECT_FALSE(m_files.ListFiles("C:\\DIR\\S*", list));  // matches only a directory
  EXPECT_EQ(ErrorOf(m_files), "142 C:\\DIR\\S*");
  m_files.AddExclusion("sub");
  m_files.AddExclusion(".PROFILE");
  EXPECT_FALSE(m_files.ListDirectories("C:\\DIR\\*", list));  // every directory excluded
  EXPECT_EQ(ErrorOf(m_files), "141 C:\\DIR\\*");
}

// The one search of ListFilesIfAny answers as Exists, then ListFiles would.
TEST_F(FileManagementTest, ListingIfAnyIsExistsThenListFiles) {
  Files().AddDirectory("C:\\EMPTY");
  AddFiles("C:\\", {"DOTS\\.HIDDEN", "DIR\\A.DAT", "DIR\\SUB\\B.DAT"});
  for (const char* pattern : {"C:\\EMPTY\\*.*", "C:\\DOTS\\*.*", "C:\\DIR\\*.*", "C:\\DIR\\S*",
                              "C:\\DIR\\*.KWT", "C:\\DIR\\", "C:\\MISSING\\*.*"}) {
    CCursorStringList expected;
    const bool exists = m_files.Exists(pattern);
    if (exists) m_files.ListFiles(pattern, expected);
    const std::string expectedError = ErrorOf(m_files);
    CCursorStringList list;
    list.AddHead("old");
    EXPECT_EQ(m_files.ListFilesIfAny(pattern, list), exists) << pattern;
    EXPECT_EQ(Walk(list), Walk(expected)) << pattern;
    EXPECT_EQ(ErrorOf(m_files), expectedError) << pattern;
  }
}

TEST_F(FileManagementTest, DeletionClearsReadOnlyAndTakesMissingAsDone) {
  AddFiles("C:\\K-WARD\\", {"LOCKED.DLL", "HELD.DLL"});
  Files().SetReadOnly("C:\\K-WARD\\LOCKED.DLL", true);
  Files().Hold("C:\\K-WARD\\HELD.DLL", "another program");
  EXPECT_TRUE(m_files.DeleteFile("C:\\K-WARD\\LOCKED.DLL"));
  EXPECT_TRUE(m_files.DeleteFile("C:\\K-WARD\\MISSING.DLL"));
  EXPECT_FALSE(Files().Exists("C:\\K-WARD\\LOCKED.DLL"));
  EXPECT_FALSE(m_files.DeleteFile("C:\\K-WARD\\HELD.DLL"));
  EXPECT_EQ(ErrorOf(m_files), "113 C:\\K-WARD\\HELD.DLL");
}

// One budget for the whole program: a wait given 30 s starts a count of 31
// pauses, a wait given 0 goes on with what is left.  Each run is a fresh
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
  for (const std::vector<Wait>& run : runs) {
    CFileManagement::ResetWaitBudgetForTesting();
    Files().AddFile("C:\\K-WARD\\LATE");
    testing::ProductProgramScript holder{"Holder", {"C:\\K-WARD\\LATE"}};
    holder.releaseAtMs = 20000;
    sim::SimProcess* process = testing::RunProductProgram(Machine(), "C:\\HOLDER.EXE", holder);
    const int start = Machine().PauseCount();
    for (const Wait& wait : run) {
      SCOPED_TRACE(std::string(wait.file) + " after " + std::to_string(start) + " pauses");
      CFileManagement files;
      EXPECT_EQ(files.WaitUntilFree(std::string("C:\\K-WARD\\") + wait.file, wait.seconds), wait.free);
      EXPECT_EQ(Machine().PauseCount() - start, wait.pausesSoFar);
      EXPECT_EQ(ErrorOf(files), wait.free ? "0 " : "114 ");
    }
    process->Exit();
  }
}

TEST_F(FileManagementTest, NamesListedWithoutADirectoryStayInTheCurrentOne) {
  AddFiles("C:\\", {"WORK\\A.TMP", "A.TMP"});
  Files().ChangeDirectory("C:\\WORK");
  EXPECT_TRUE(m_files.DeleteFiles("*.TMP"));
  EXPECT_EQ(GoneSince({"C:\\WORK\\A.TMP", "C:\\A.TMP"}), Paths{"C:\\WORK\\A.TMP"});
}

TEST_F(FileManagementTest, SixLevelsBelowAreEmptiedSevenStopBeforeTouchingAnything) {
  for (int levelsBelow : {6, 7}) {
    const std::string top = "C:\\TOP" + std::to_string(levelsBelow);
    std::string directory = top;
    for (int level = 0; level <= levelsBelow; ++level) {
      Files().AddFile(directory + "\\F.DAT");
      directory += "\\L" + std::to_string(level + 1);
    }
    const Paths before = OnDrive();
    EXPECT_EQ(m_files.EmptyDirectory(top + "\\"), levelsBelow == 6);
    // 141: the last level had no subdirectory.
    EXPECT_EQ(ErrorOf(m_files).substr(0, 3), levelsBelow == 6 ? "141" : "122");
    EXPECT_EQ(GoneSince(before).size(), levelsBelow == 6 ? 2u * 7 - 1 : 0u);
    EXPECT_EQ(CFileManagementPrompt::CurrentDepthForTesting(), 0);
  }
}

// Whoever made a file read-only wanted it kept: the user is asked, in a
// topmost box without owner, and a cancel stops the emptying where it is.
TEST_F(FileManagementTest, ACancelledFileStopsTheEmptyingWhereItIs) {
  AddFiles("C:\\TOP\\", {"A\\F.DAT", "B\\F.DAT", "B\\LOCK.DAT", "C\\F.DAT", "OWN.DAT"});
  Files().SetReadOnly("C:\\TOP\\B\\LOCK.DAT", true);
  Machine().AnswerNextBox(kIdCancel);
  const Paths before = OnDrive();
  EXPECT_FALSE(m_files.EmptyDirectory("C:\\TOP"));
  EXPECT_EQ(ErrorOf(m_files), "113 C:\\TOP\\B\\LOCK.DAT");
  // C comes first (listings are reversed); A, B's other file and TOP's own stay.
  EXPECT_EQ(GoneSince(before), (Paths{"C:\\TOP\\C", "C:\\TOP\\C\\F.DAT"}));
  EXPECT_EQ(CFileManagementPrompt::CurrentDepthForTesting(), 0);
  ASSERT_EQ(Machine().Boxes().size(), 1u);
  const sim::SimMessageBox& box = Machine().Boxes()[0];
  EXPECT_EQ(box.text, "The file C:\\TOP\\B\\LOCK.DAT failed to be deleted.");
  EXPECT_EQ(box.caption, "File Management Prompt Error!");
  EXPECT_EQ(box.style, 0x00040015u);
  EXPECT_FALSE(box.owner);
}

// What is to stay keeps its directory, without a prompt that no Retry could
// ever satisfy, and the emptying goes on past it.
TEST_F(FileManagementTest, ADirectoryHoldingAnExcludedNameStaysWithoutAPrompt) {
  AddFiles("C:\\TOP\\", {"SUB\\DEEP\\Kwuninst.Exe", "SUB\\DEEP\\SIGS.DAT", "SUB\\README.TXT", "OWN.DAT"});
  m_files.AddExclusion("KWUNINST.EXE");
  const Paths before = OnDrive();
  EXPECT_TRUE(m_files.EmptyDirectory("C:\\TOP"));
  EXPECT_EQ(GoneSince(before), (Paths{"C:\\TOP\\OWN.DAT", "C:\\TOP\\SUB\\DEEP\\SIGS.DAT",
                                      "C:\\TOP\\SUB\\README.TXT"}));
  EXPECT_TRUE(Machine().Boxes().empty());
  // One that is not there is as empty as it can be.
  EXPECT_TRUE(m_files.EmptyDirectory("C:\\GONE"));
}

// A directory's files are deleted as its one search found them, once its
// subdirectories are gone, which may take the user's answers: a file the
// user deleted meanwhile is not asked about, and one that appeared
// meanwhile goes too.
TEST_F(FileManagementTest, FilesThatChangedWhileAPromptWasOpenAreTakenAsTheyAre) {
  AddFiles("C:\\TOP\\", {"SUB\\LOCK.DAT", "GONE.DAT", "OWN.DAT"});
  Files().SetReadOnly("C:\\TOP\\SUB\\LOCK.DAT", true);
  Machine().AnswerNextBox(kIdRetry, [this] {
    Files().SetReadOnly("C:\\TOP\\SUB\\LOCK.DAT", false);
    Files().RemoveFile("C:\\TOP\\GONE.DAT");
    Files().AddFile("C:\\TOP\\NEW.DAT");
  });
  EXPECT_TRUE(m_files.EmptyDirectory("C:\\TOP"));
  EXPECT_EQ(OnDrive(), (Paths{"C:\\TOP", "C:\\WINDOWS", "C:\\WINDOWS\\TEMP"}));
  EXPECT_EQ(Machine().Boxes().size(), 1u);
}

// A file that no ANSI path reaches is neither taken for gone nor deleted
// through a path that reaches another: the user is asked about it, and a
// Cancel leaves it, and the directories it needs, without another word.  A
// directory that no path reaches is asked about in the same way; a Cancel
// there stops the emptying and fails the stage.  Neither can be queued for
// the next start of Windows, which only the record tells: a cancelled file
// is skipped, and the stage succeeds as it would without the queue.
TEST_F(FileManagementTest, WhatNoPathReachesIsAskedAbout) {
  const std::string deep = "C:\\K-WARD\\LONG\\" + std::string(120, 'D') + "\\" +
                           std::string(84, 'E');  // 219 characters
  const struct {
    std::string odd;  // the entry no path reaches, below C:\K-WARD
    bool isFile;      // a file the emptying skips; a directory stops it
    Paths left;       // the directories kept for a file, or nothing gone
  } cases[] = {
      {deep + "\\" + std::string(54, 'F') + ".DAT", true,  // 293 characters
       {"C:\\K-WARD\\LONG", deep.substr(0, deep.rfind('\\')), deep}},
      {"C:\\K-WARD\\SUB\\NAME.", true, {"C:\\K-WARD\\SUB"}},
      {"C:\\K-WARD\\DATA.DAT ", true, {}},  // beside DATA.DAT, which goes
      {"C:\\K-WARD\\Dot.", false, {}},
      {deep + "\\" + std::string(60, 'G'), false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.odd);
    Files().Erase("C:\\K-WARD");
    AddFiles(testing::kInstallDir, {"KWUNINST.EXE", "DEISL1.ISU", "DATA.DAT"});
    Files().AddFile(c.isFile ? c.odd : c.odd + "\\IN.DAT");
    const Paths before = OnDrive();
    const std::size_t boxes = Machine().Boxes().size();
    Machine().AnswerNextBox(kIdCancel);
    EXPECT_EQ(CUninstallApp(testing::kInstallDir).RemoveProductFiles(""), c.isFile);
    EXPECT_TRUE(Files().PendingDeletions().empty());
    ASSERT_EQ(Machine().Boxes().size(), boxes + 1);
    const unsigned prompt = c.isFile ? kErrFileNotDeleted : kErrDirectoryNotRemoved;
    EXPECT_EQ(Machine().Boxes().back().text, FormatMessageText(LoadMessage(prompt), c.odd));
    Paths left = c.left;
    left.insert({"C:\\K-WARD", "C:\\K-WARD\\KWUNINST.EXE", "C:\\K-WARD\\DEISL1.ISU", c.odd,
                 "C:\\WINDOWS", "C:\\WINDOWS\\TEMP"});
    EXPECT_EQ(OnDrive(), c.isFile ? left : before);
  }
}

// A directory is kept without a word only for what is to stay in it: one
// that came into it while the user was being asked is asked about.
TEST_F(FileManagementTest, ADirectoryHoldingWhatIsNotExcludedIsAskedAbout) {
  Files().AddFile("C:\\TOP\\SUB\\LOCK.DAT");
  Files().SetReadOnly("C:\\TOP\\SUB\\LOCK.DAT", true);
  Machine().AnswerNextBox(kIdRetry, [this] {
    Files().SetReadOnly("C:\\TOP\\SUB\\LOCK.DAT", false);
    Files().AddDirectory("C:\\TOP\\SUB\\NEW");
  });
  Machine().AnswerNextBox(kIdCancel);
  EXPECT_FALSE(m_files.EmptyDirectory("C:\\TOP"));
  EXPECT_EQ(ErrorOf(m_files), "123 C:\\TOP\\SUB");
}

// An installation directory without the product's uninstall program is
// someone else's: nothing in it goes, but the task files and the marker,
// which carry the product's own names, still do.
TEST_F(FileManagementTest, AnInstallDirWithoutTheUninstallProgramIsNotEmptied) {
  AddFiles("C:\\", {"K-WARD\\DEISL1.ISU", "K-WARD\\DATA.DAT", "K-WARD\\SUB\\KWUNINST.EXE", "TASKS\\A.KWT",
                    "K-WARD.SYS"});
  const Paths before = OnDrive();
  EXPECT_FALSE(CUninstallApp(testing::kInstallDir).RemoveProductFiles("C:\\TASKS\\"));
  EXPECT_EQ(GoneSince(before), (Paths{"C:\\K-WARD.SYS", "C:\\TASKS", "C:\\TASKS\\A.KWT"}));
}

}  // namespace
}  // namespace kw
