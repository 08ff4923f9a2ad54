// DOSSTART.BAT read, edited and saved: through the start-up batch clean-up
// for the lines that go and the text-mode rules, and through CTextFile itself
// for what a failed save leaves and records.  That the stage reports a file
// it could not rewrite is the random machines' to show.
#include "components/text_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>

#include "app/uninstall_app.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

constexpr const char* kPath = testing::kDosStartPath;
constexpr const char* kOldAside = "C:\\WINDOWS\\DOSSTART.~KO";
constexpr const char* kNewAside = "C:\\WINDOWS\\DOSSTART.~KN";
constexpr const char* kNextAside = "C:\\WINDOWS\\DOSSTART.~O1";

using TextFileTest = testing::SimTest;

// Where the file is when the stage begins.
enum class Found {
  kInPlace,
  kSetAside,       // an interrupted save left it under its spare name only
  kSetAsideStuck,  // ... and it cannot be moved back
  // ... under the next spare name, the first being a file of the user's:
  // the last of the names taken in a row is the save's.
  kSetAsideBehindUsers,
};

TEST_F(TextFileTest, TheGuardAndItsClsLinesGoTheRestStaysInTextMode) {
  const std::string longLine(10000, 'a');
  const struct {
    const char* what;
    std::string in;
    std::string out;  // the same bytes: not rewritten at all
    Found found = Found::kInPlace;
  } cases[] = {
      {"CLS in every form that runs it",
       "CLS\r\n  @cls\r\n\tCls > NUL\r\n@ CLS\r\nCLS|MORE\r\ncls&echo\r\ncls<NUL\r\nCLS \r\nX\r\n",
       "X\r\n"},
      {"lines that merely hold the letters are the user's",
       "CALL CLSETUP.BAT\r\nREM CLS\r\nECHO CLS\r\nCLSX\r\nSET X=CLS\r\nCLS\r\n",
       "CALL CLSETUP.BAT\r\nREM CLS\r\nECHO CLS\r\nCLSX\r\nSET X=CLS\r\n"},
      {"no line end after the last line", "SENTRYX.EXE\r\nA\r\nB", "A\r\nB\r\n"},
      {"a CR alone ends a line too", "SENTRYX.EXE\r\nA\rB\r\nC\r", "A\r\nB\r\nC\r\n"},
      {"what follows Ctrl-Z is kept as it is", "SENTRYX.EXE\r\nA\r\nB\x1A" "CLS\r\n\x1A" "end",
       "A\r\nB\r\n\x1A" "CLS\r\n\x1A" "end"},
      {"put back before it is read", "SENTRYX.EXE\r\nA\r\n", "A\r\n", Found::kSetAside},
      {"put back from behind the user's file", "SENTRYX.EXE\r\nA\r\n", "A\r\n", Found::kSetAsideBehindUsers},
      {"left set aside when it cannot be put back", "SENTRYX.EXE\r\nA\r\n", "", Found::kSetAsideStuck},
      {"bytes above 0x7F are kept", "SENTRYX.EXE\r\n\xE9t\xE9\xFF\r\n", "\xE9t\xE9\xFF\r\n"},
      {"a long line", "SENTRYX.EXE\n" + longLine + "\n", longLine + "\r\n"},
      {"every line deleted", "SENTRYX.EXE\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* path : {kPath, kOldAside, kNewAside, kNextAside}) Files().Erase(path);
    const bool behindUsers = c.found == Found::kSetAsideBehindUsers;
    if (behindUsers) Files().AddFile(kOldAside, "mine");
    Files().AddFile(c.found == Found::kInPlace ? kPath : behindUsers ? kNextAside : kOldAside, c.in);
    if (c.found == Found::kSetAsideStuck) Files().FailCall(sim::FileCall::kMove);
    const std::size_t moves = Journal("moved").size();
    EXPECT_EQ(CUninstallApp().RemoveStartupBatchEntries(), c.found != Found::kSetAsideStuck);
    EXPECT_EQ(Files().Exists(kPath), c.found != Found::kSetAsideStuck) << "made anew, empty";
    EXPECT_EQ(Files().Content(kPath), c.out);
    EXPECT_EQ(Files().Content(kOldAside),
              c.found == Found::kSetAsideStuck ? c.in : behindUsers ? "mine" : "");
    EXPECT_FALSE(Files().Exists(kNextAside));
    EXPECT_EQ(Journal("moved").size() > moves, c.in != c.out && c.found != Found::kSetAsideStuck)
        << "rewritten only when a line went";
  }
}

// A save deletes nothing it did not make: a file under a spare name (the
// user's, or what an earlier save left) stays, byte for byte, and the save
// takes the next name.
TEST_F(TextFileTest, AFailedSaveLeavesAWholeFileAndRecords140) {
  using sim::FileCall;
  const std::string before = "SENTRYX\r\nMOUSE\r\n";
  const std::string after = "MOUSE\r\n";
  using Inject = std::function<void(sim::SimFileSystem&)>;
  const auto failing = [](FileCall call, int nth = 1) -> Inject {
    return [=](sim::SimFileSystem& f) { f.FailCall(call, nth); };
  };
  const struct {
    const char* what;
    Inject inject;
    bool saved;
    const char* oldAt = kPath;      // where the earlier content is afterwards, if anywhere
    const char* newAt = nullptr;    // where the new content is afterwards, if anywhere
    const char* staleAt = nullptr;  // a spare name taken before the save, and kept
  } cases[] = {
      {"no new file can be created", failing(FileCall::kOpen), false},
      {"the disk fills up while writing", [](auto& f) { f.FillUpAfter(3); }, false},
      {"the new file cannot be flushed to the disk", failing(FileCall::kFlush), false},
      {"the new file's attributes cannot be set", failing(FileCall::kSetAttributes), false},
      {"the file cannot be set aside", failing(FileCall::kMove), false},
      {"the new file cannot take its place", failing(FileCall::kMove, 2), false},
      {"nor can the old one go back",
       [](auto& f) { f.FailCall(FileCall::kMove, 2), f.FailCall(FileCall::kMove, 3); }, false,
       kOldAside, kNewAside},
      {"the old file cannot be removed", failing(FileCall::kRemove), true, kOldAside, kPath},
      {"an earlier save left its new file", [](auto& f) { f.AddFile(kNewAside, "stale"); }, true,
       nullptr, kPath, kNewAside},
      {"the user has a file of the old one's spare name",
       [](auto& f) { f.AddFile(kOldAside, "stale"); }, true, nullptr, kPath, kOldAside},
      {"... a read-only one", [](auto& f) { f.AddFile(kOldAside, "stale"), f.SetReadOnly(kOldAside, true); },
       true, nullptr, kPath, kOldAside},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Files().AddFile(kPath, before);
    CTextFile file;
    ASSERT_TRUE(file.Open(kPath, false) && file.Rewind() && file.DeleteCurrentLine());
    c.inject(Files());
    const std::vector<std::string> drive = Files().Dump();
    EXPECT_EQ(file.Close(), c.saved);
    EXPECT_EQ(testing::ErrorOf(file), c.saved ? "0 " : "140 ");
    EXPECT_EQ(Files().Exists(kPath), c.oldAt == kPath || c.newAt == kPath);
    for (const char* at : {c.oldAt, c.newAt}) {
      if (at != nullptr) {
        EXPECT_EQ(Files().Content(at), at == c.oldAt ? before : after) << at;
      }
    }
    EXPECT_TRUE(c.oldAt != kPath || Files().Dump() == drive) << "nothing left behind";
    if (c.staleAt != nullptr) {
      EXPECT_EQ(Files().Content(c.staleAt), "stale");
    }
    for (const char* spare : {kOldAside, kNewAside, kNextAside, "C:\\WINDOWS\\DOSSTART.~N1"}) {
      EXPECT_TRUE(!c.saved || Files().Exists(spare) == (spare == c.oldAt || spare == c.staleAt))
          << "leftover " << spare;
      Files().Erase(spare);
    }
    Files().FillUpAfter(std::numeric_limits<std::size_t>::max());  // room again
  }
}

// A batch or .ini file is a few kilobytes: one larger than the bound is not
// read at all, but refused as a file that cannot be read (which fails the
// batch stage as every refused opening does).
TEST_F(TextFileTest, AFileTooLargeToBeOneIsRefusedUnread) {
  for (const std::size_t size : {CTextFile::kLargestTextFile, CTextFile::kLargestTextFile + 1}) {
    const bool tooLarge = size > CTextFile::kLargestTextFile;
    const std::string content = "SENTRYX.EXE\r\n" + std::string(size - 13, 'x');
    Files().AddFile(kPath, content);
    CTextFile file;
    EXPECT_EQ(file.Open(kPath, true), !tooLarge) << size;
    EXPECT_EQ(testing::ErrorOf(file), tooLarge ? std::string("104 ") + kPath : "0 ");
  }
}

// Opening another file saves the first, its new content on the disk
// before it takes the file's place: a power cut between the moves of a save
// must not leave the file's name to content that never reached the disk.
// A search names the text as the caller wrote it; a second close finds
// nothing open.
TEST_F(TextFileTest, OpeningAnotherFileSavesTheFirst) {
  Files().AddFile(kPath, "SENTRYX\r\nMOUSE\r\n");
  Files().AddFile("C:\\AUTOEXEC.BAT", "PATH C:\\DOS\n");
  CTextFile file;
  ASSERT_TRUE(file.Open(kPath, false) && file.Rewind() && file.DeleteCurrentLine());
  ASSERT_TRUE(file.Open("C:\\AUTOEXEC.BAT", false));
  EXPECT_EQ(Files().Content(kPath), "MOUSE\r\n");
  EXPECT_FALSE(Files().IsHeld(kPath));
  const std::vector<std::string> steps = Journal();
  const auto flushed = std::find(steps.begin(), steps.end(), "flushed C:\\WINDOWS\\DOSSTART.~KN");
  const auto setAside =
      std::find(steps.begin(), steps.end(), "moved C:\\WINDOWS\\DOSSTART.BAT to C:\\WINDOWS\\DOSSTART.~KO");
  EXPECT_LT(flushed, setAside);
  EXPECT_NE(setAside, steps.end());
  EXPECT_FALSE(file.FindLine("path", ""));  // the cursor is at the end until a rewind
  EXPECT_EQ(testing::ErrorOf(file), "136 path");
  EXPECT_TRUE(file.Close());
  EXPECT_FALSE(file.Close());
  EXPECT_EQ(testing::ErrorOf(file), "105 ");
}

}  // namespace
}  // namespace kw
