#include "components/text_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "components/message_catalogue.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

constexpr const char* kPath = "C:\\WINDOWS\\DOSSTART.BAT";

class TextFileTest : public testing::SimTest {
 protected:
  static std::int32_t TakeCode(CTextFile& file, std::string* argument = nullptr) {
    std::int32_t code = 0;
    std::string text;
    file.GetError(code, text);
    if (argument != nullptr) *argument = text;
    return code;
  }
  // Opens the file and deletes its first line, so that Close saves it.
  static void OpenAndDeleteFirstLine(CTextFile& file) {
    ASSERT_TRUE(file.Open(kPath, false));
    ASSERT_TRUE(file.Rewind());
    ASSERT_TRUE(file.DeleteCurrentLine());
  }
};

TEST_F(TextFileTest, LifecycleAndErrors) {
  CTextFile file;
  std::string argument;
  EXPECT_FALSE(file.Rewind());
  EXPECT_EQ(TakeCode(file), kErrNoFileOpen);
  EXPECT_FALSE(file.Open(kPath, false));
  EXPECT_EQ(TakeCode(file, &argument), kErrFileNotOpened);
  EXPECT_EQ(argument, kPath);

  Files().AddFile(kPath, "ECHO OFF\r\nC:\\K-WARD\\SENTRYX.EXE /U\r\nCLS\r\n");
  ASSERT_TRUE(file.Open(kPath, false));
  EXPECT_TRUE(Files().IsHeld(kPath));
  EXPECT_FALSE(file.FindLine("sentryx.exe", ""));  // the cursor stands past the last line
  EXPECT_EQ(TakeCode(file, &argument), kErrTextNotFound);
  EXPECT_EQ(argument, "sentryx.exe");  // as the caller gave it
  ASSERT_TRUE(file.Rewind());
  ASSERT_TRUE(file.FindLine("sentryx.exe", ""));
  ASSERT_TRUE(file.DeleteCurrentLine());
  std::string line;
  ASSERT_TRUE(file.GetCurrentLine(line));
  EXPECT_EQ(line, "CLS");
  EXPECT_TRUE(file.SkipLine());
  EXPECT_FALSE(file.GetCurrentLine(line));

  // Names an earlier, interrupted save left behind are not touched.
  Files().AddFile("C:\\WINDOWS\\~KWN0000.TMP", "left over");
  EXPECT_TRUE(file.Close());
  EXPECT_FALSE(Files().IsHeld(kPath));
  EXPECT_EQ(Files().Content(kPath), "ECHO OFF\r\nCLS\r\n");
  EXPECT_EQ(Files().Content("C:\\WINDOWS\\~KWN0000.TMP"), "left over");
  EXPECT_FALSE(file.Close());
  EXPECT_EQ(TakeCode(file), kErrNoFileOpen);
}

TEST_F(TextFileTest, OpeningASecondFileSavesTheFirst) {
  Files().AddFile(kPath, "SENTRYX\r\nMOUSE\r\n");
  Files().AddFile("C:\\AUTOEXEC.BAT", "PATH C:\\DOS\n");
  CTextFile file;
  OpenAndDeleteFirstLine(file);
  ASSERT_TRUE(file.Open("C:\\AUTOEXEC.BAT", false));
  EXPECT_EQ(Files().Content(kPath), "MOUSE\r\n");
  EXPECT_FALSE(Files().IsHeld(kPath));
  ASSERT_TRUE(file.Rewind());
  std::string line;
  ASSERT_TRUE(file.GetCurrentLine(line));
  EXPECT_EQ(line, "PATH C:\\DOS");
}

TEST_F(TextFileTest, TextModeRoundTrips) {
  // Each file starts with the line X, which is deleted so the file is saved.
  const std::string longLine(10000, 'a');
  const struct {
    const char* what;
    std::string in;
    std::string out;
  } cases[] = {
      {"CR LF", "X\r\nA\r\nB\r\n", "A\r\nB\r\n"},
      {"LF only", "X\nA\nB\n", "A\r\nB\r\n"},
      {"no line end after the last line", "X\r\nA\r\nB", "A\r\nB\r\n"},
      {"a lone CR stays in its line", "X\r\nA\rB\r\nC\r", "A\rB\r\nC\r\r\n"},
      {"empty lines are lines", "X\r\n\r\n\nA\r\n", "\r\n\r\nA\r\n"},
      {"Ctrl-Z ends the text", "X\r\nA\r\nB\x1A" "C\r\nD\r\n", "A\r\nB\r\n"},
      {"bytes above 0x7F are kept", "X\r\n\xE9t\xE9 \x84\xFF\r\n", "\xE9t\xE9 \x84\xFF\r\n"},
      {"a long line", "X\n" + longLine + "\n", longLine + "\r\n"},
      {"every line deleted", "X\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Files().AddFile(kPath, c.in);
    CTextFile file;
    OpenAndDeleteFirstLine(file);
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(Files().Content(kPath), c.out);
  }
}

TEST_F(TextFileTest, AFailedSaveLeavesTheFileWhole) {
  using Inject = std::function<void(sim::SimFileSystem&)>;
  const std::string before = "SENTRYX.EXE\r\nMOUSE\r\n";
  const struct {
    const char* what;
    Inject inject;
    bool saved;
  } cases[] = {
      {"the new file cannot be created", [](auto& f) { f.FailCall(sim::FileCall::kOpen); }, false},
      {"the disk fills up while writing", [](auto& f) { f.FillUpAfter(3); }, false},
      {"the file cannot be set aside", [](auto& f) { f.FailCall(sim::FileCall::kMove, 1); }, false},
      {"the new file cannot take its place", [](auto& f) { f.FailCall(sim::FileCall::kMove, 2); }, false},
      {"the old file cannot be removed", [](auto& f) { f.FailCall(sim::FileCall::kRemove); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Files().FillUpAfter(std::numeric_limits<std::size_t>::max());  // room again
    Files().AddFile(kPath, before);
    const std::vector<std::string> drive = Files().Dump();
    CTextFile file;
    OpenAndDeleteFirstLine(file);
    c.inject(Files());
    EXPECT_EQ(file.Close(), c.saved);
    EXPECT_EQ(TakeCode(file), c.saved ? 0 : std::int32_t{kErrSaveFailed});
    EXPECT_EQ(Files().Content(kPath), c.saved ? "MOUSE\r\n" : before);
    // A failed save leaves nothing behind.
    if (!c.saved) {
      EXPECT_EQ(Files().Dump(), drive);
    }
    Files().RemoveFile("C:\\WINDOWS\\~KWO0000.TMP");
  }
}

TEST_F(TextFileTest, WhenNoStepCanBeUndoneTheOldContentIsKeptBesideTheName) {
  Files().AddFile(kPath, "SENTRYX.EXE\r\nMOUSE\r\n");
  CTextFile file;
  OpenAndDeleteFirstLine(file);
  Files().FailCall(sim::FileCall::kMove, 2);  // the new file into place
  Files().FailCall(sim::FileCall::kMove, 3);  // the old one back
  EXPECT_FALSE(file.Close());
  EXPECT_EQ(Files().Content("C:\\WINDOWS\\~KWO0000.TMP"), "SENTRYX.EXE\r\nMOUSE\r\n");
}

}  // namespace
}  // namespace kw
