// DOSSTART.BAT read, edited and saved: through the start-up batch clean-up
// for the lines that go and the text-mode rules, and through CTextFile itself
// for what a failed save leaves and records.  That the stage reports a file
// it could not rewrite is the random machines' to show.
#include "components/text_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "app/uninstall_app.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

constexpr const char* kPath = "C:\\WINDOWS\\DOSSTART.BAT";
constexpr const char* kOldAside = "C:\\WINDOWS\\~KWO0000.TMP";

using TextFileTest = testing::SimTest;

TEST_F(TextFileTest, TheGuardAndItsClsLinesGoTheRestStaysInTextMode) {
  const std::string longLine(10000, 'a');
  const struct {
    const char* what;
    std::string in;
    std::string out;  // the same bytes: not rewritten at all
  } cases[] = {
      {"the guard in any case and form, adjacent lines too",
       "@ECHO OFF\r\nlh c:\\k-ward\\sentryx.exe /q\r\nC:\\PROGRA~1\\SENTRYX.EXE /U\r\n"
       "@SentryX.Exe\r\ncls\r\nMOUSE\r\n",
       "@ECHO OFF\r\nMOUSE\r\n"},
      {"CLS in every form that runs it",
       "CLS\r\n  @cls\r\n\tCls > NUL\r\n@ CLS\r\nCLS|MORE\r\ncls&echo\r\ncls<NUL\r\nCLS \r\nX\r\n",
       "X\r\n"},
      {"lines that merely hold the letters are the user's",
       "CALL CLSETUP.BAT\r\nREM CLS\r\nECHO CLS\r\nCLSX\r\nSET X=CLS\r\nCLS\r\n",
       "CALL CLSETUP.BAT\r\nREM CLS\r\nECHO CLS\r\nCLSX\r\nSET X=CLS\r\n"},
      {"nothing matches", "MOUSE\nCALL CLSETUP.BAT\nSMARTDRV", "MOUSE\nCALL CLSETUP.BAT\nSMARTDRV"},
      {"LF only", "SENTRYX.EXE\nA\nB\n", "A\r\nB\r\n"},
      {"no line end after the last line", "SENTRYX.EXE\r\nA\r\nB", "A\r\nB\r\n"},
      {"a lone CR stays in its line", "SENTRYX.EXE\r\nA\rB\r\nC\r", "A\rB\r\nC\r\r\n"},
      {"empty lines are lines", "SENTRYX.EXE\r\n\r\n\nA\r\n", "\r\n\r\nA\r\n"},
      {"Ctrl-Z ends the text", "SENTRYX.EXE\r\nA\r\nB\x1A" "C\r\nD\r\n", "A\r\nB\r\n"},
      {"bytes above 0x7F are kept", "SENTRYX.EXE\r\n\xE9t\xE9\xFF\r\n", "\xE9t\xE9\xFF\r\n"},
      {"a long line", "SENTRYX.EXE\n" + longLine + "\n", longLine + "\r\n"},
      {"every line deleted", "SENTRYX.EXE\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Files().AddFile(kPath, c.in);
    const std::size_t moves = Journal("moved").size();
    EXPECT_TRUE(CUninstallApp().RemoveStartupBatchEntries());
    EXPECT_EQ(Files().Content(kPath), c.out);
    EXPECT_EQ(Journal("moved").size() > moves, c.in != c.out) << "rewritten only when a line went";
  }
}

TEST_F(TextFileTest, AFailedSaveLeavesAWholeFileAndRecords140) {
  using sim::FileCall;
  const std::string before = "SENTRYX\r\nMOUSE\r\n";
  const struct {
    const char* what;
    std::function<void(sim::SimFileSystem&)> inject;
    bool saved;
    const char* oldAt;  // where the earlier content is afterwards
  } cases[] = {
      {"no new file can be created", [](auto& f) { f.FailCall(FileCall::kOpen); }, false, kPath},
      {"the disk fills up while writing", [](auto& f) { f.FillUpAfter(3); }, false, kPath},
      {"the file cannot be set aside", [](auto& f) { f.FailCall(FileCall::kMove); }, false, kPath},
      {"the new file cannot take its place", [](auto& f) { f.FailCall(FileCall::kMove, 2); }, false,
       kPath},
      {"nor can the old one go back",
       [](auto& f) { f.FailCall(FileCall::kMove, 2), f.FailCall(FileCall::kMove, 3); }, false,
       kOldAside},
      {"the old file cannot be removed", [](auto& f) { f.FailCall(FileCall::kRemove); }, true,
       kOldAside},
      {"an earlier save left its new file",
       [](auto& f) { f.AddFile("C:\\WINDOWS\\~KWN0000.TMP"); }, true, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Files().AddFile(kPath, before);
    const std::vector<std::string> drive = Files().Dump();
    CTextFile file;
    ASSERT_TRUE(file.Open(kPath, false) && file.Rewind() && file.DeleteCurrentLine());
    c.inject(Files());
    EXPECT_EQ(file.Close(), c.saved);
    EXPECT_EQ(testing::ErrorOf(file), c.saved ? "0 " : "140 ");
    EXPECT_EQ(Files().Content(kPath), c.saved ? "MOUSE\r\n" : c.oldAt == kPath ? before : "");
    EXPECT_EQ(c.oldAt != nullptr ? Files().Content(c.oldAt) : before, before);
    EXPECT_TRUE(c.oldAt != kPath || Files().Dump() == drive) << "nothing left behind";
    Files().RemoveFile(kOldAside);
    Files().FillUpAfter(std::numeric_limits<std::size_t>::max());  // room again
  }
}

TEST_F(TextFileTest, OpeningAnotherFileSavesTheFirst) {
  Files().AddFile(kPath, "SENTRYX\r\nMOUSE\r\n");
  Files().AddFile("C:\\AUTOEXEC.BAT", "PATH C:\\DOS\n");
  CTextFile file;
  ASSERT_TRUE(file.Open(kPath, false) && file.Rewind() && file.DeleteCurrentLine());
  ASSERT_TRUE(file.Open("C:\\AUTOEXEC.BAT", false));
  EXPECT_EQ(Files().Content(kPath), "MOUSE\r\n");
  EXPECT_FALSE(Files().IsHeld(kPath));
}

}  // namespace
}  // namespace kw
