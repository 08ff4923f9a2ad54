// The text components: the trimming string and its path helpers, the
// cursor string list's search and removal, and a message's argument; and
// the titles and errors of components whose callers never read them.
#include <gtest/gtest.h>

#include "components/cursor_string_list.h"
#include "components/execute.h"
#include "components/message_catalogue.h"
#include "components/registry.h"
#include "components/text_file.h"
#include "components/trim_string.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

// A CTrimString holding exactly this text, blanks included, as the
// string's own operations leave it.
CTrimString Untrimmed(const char* text) {
  CTrimString result;
  result.append(text);
  return result;
}

TEST(TrimStringTest, TextIsTrimmedOnTheWayInButNotWhenCopied) {
  EXPECT_EQ(CTrimString("  C:\\K-WARD\\  "), "C:\\K-WARD\\");
  EXPECT_EQ(CTrimString(static_cast<const char*>(nullptr)), "");
  EXPECT_EQ(CTrimString(std::string(" \t\v\f\rx\r\n ")), "x");
  // A registry name ending in a blank survives being passed around.
  CTrimString copied(Untrimmed(" key "));
  EXPECT_EQ(copied, " key ");
  copied = Untrimmed(" name ");
  EXPECT_EQ(copied, " name ");
  copied = "\t C:\\K-WARD \n";
  EXPECT_EQ(copied, "C:\\K-WARD");
}

// One backslash at the seam, whatever the pieces bring there; the parts cut
// at the last backslash, which stays with the directory.
TEST(TrimStringTest, PathHelpers) {
  const char* const joins[][3] = {
      {"C:\\WINDOWS", "Uninst.exe", "C:\\WINDOWS\\Uninst.exe"},
      {"C:\\WINDOWS\\", "\\\\Uninst.exe", "C:\\WINDOWS\\Uninst.exe"},
      {"C:\\\\\\", "x", "C:\\x"},
      {"C:\\K-WARD\\", "", "C:\\K-WARD\\"},
      {"", "DOSSTART.BAT", "\\DOSSTART.BAT"},
      {"C:\\A \\", " B", "C:\\A\\B"},
  };
  for (const auto& j : joins) EXPECT_EQ(CTrimString(j[0]).JoinPath(j[1]), j[2]) << j[0];
  const char* const parts[][3] = {  // path, file name, directory
      {"C:\\K-WARD\\KWUNINST.EXE", "KWUNINST.EXE", "C:\\K-WARD\\"},
      {"KWUNINST.EXE", "KWUNINST.EXE", ""},
      {"C:\\", "", "C:\\"},
  };
  for (const auto& p : parts) {
    CTrimString name, directory;
    CTrimString(p[0]).GetFileNamePart(name);
    CTrimString(p[0]).GetDirectoryPart(directory);
    EXPECT_EQ(name + "|" + directory, std::string(p[1]) + "|" + p[2]);
  }
  EXPECT_TRUE(IsInDirectory("c:\\windows\\x.dll", "C:\\WINDOWS\\"));
  EXPECT_FALSE(IsInDirectory("C:\\WINDOWS.OLD\\X.DLL", "C:\\WINDOWS"));
}

using CursorStringListTest = testing::SimTest;  // its error title comes from the catalogue

// A search from the first line leaves the cursor on the line found, or on
// the line holding the delimiter; both failures record the upper-cased text.
TEST_F(CursorStringListTest, FindText) {
  const struct {
    std::vector<std::string> lines;
    const char* text;
    const char* delimiter;
    bool found;
    const char* error;
    const char* underCursor;  // null: at the end
  } cases[] = {
      {{"echo off", "c:\\k-ward\\sentryx.exe", "cls"}, "SENTRYX.EXE", "", true, "0 ",
       "c:\\k-ward\\sentryx.exe"},
      {{"echo off", "cls"}, "", "", true, "0 ", "echo off"},
      {{"A", "STOP", "X"}, "x", "stop", false, "106 X", "STOP"},
      {{"before", "x marks the stop"}, "X", "STOP", true, "0 ", "x marks the stop"},
      {{"line"}, "zone", "", false, "107 ZONE", nullptr},
      {{}, "sentryx.exe", "", false, "107 SENTRYX.EXE", nullptr},
  };
  for (const auto& c : cases) {
    CCursorStringList list;
    for (const std::string& line : c.lines) list.AddTail(line);
    list.Rewind();
    EXPECT_EQ(list.FindText(c.text, c.delimiter), c.found) << c.text;
    EXPECT_EQ(testing::ErrorOf(list), c.error) << c.text;
    std::string line = "<at the end>";
    list.GetNextString(line);
    EXPECT_EQ(line, c.underCursor ? c.underCursor : "<at the end>") << c.text;
  }
}

using ComponentTest = testing::SimTest;

// Each component heads its error boxes with its own title from the catalogue.
TEST_F(ComponentTest, ComponentsLoadTheirOwnTitles) {
  EXPECT_EQ(CCursorStringList().GetTitle(), "String List Error!");
  EXPECT_EQ(CRegistry().GetTitle(), "Registry Error!");
  EXPECT_EQ(CTextFile().GetTitle(), "Text File Error!");
  EXPECT_EQ(CExecute("", "").GetTitle(), "Execute Error!");
}

// An empty argument falls back to what the component was made with, and
// the error names what was used; with neither there is nothing to name.
TEST_F(ComponentTest, ExecuteNamesWhatFailed) {
  CExecute own("C:\\OWN.EXE", "Own");
  EXPECT_FALSE(own.Execute("C:\\MISSING.EXE", false));
  EXPECT_EQ(testing::ErrorOf(own), "103 C:\\MISSING.EXE");
  EXPECT_FALSE(own.Execute("", false));
  EXPECT_EQ(testing::ErrorOf(own), "103 C:\\OWN.EXE");
  EXPECT_FALSE(own.CloseWindow(""));
  EXPECT_EQ(testing::ErrorOf(own), "101 Own");
  EXPECT_FALSE(own.BringWindowToFront("Nobody"));
  EXPECT_EQ(testing::ErrorOf(own), "102 Nobody");
  CExecute none("", "");
  EXPECT_FALSE(none.Execute("", false));
  EXPECT_EQ(testing::ErrorOf(none), "138 ");
  EXPECT_FALSE(none.BringWindowToFront(""));
  EXPECT_EQ(testing::ErrorOf(none), "137 ");
}

// Moving on after a removal and reading at the end are the search's and
// the batch clean-up's to show; removing at the end refuses.
TEST_F(CursorStringListTest, RemovingAtTheEndTouchesNothing) {
  CCursorStringList list;
  list.AddTail("cls");
  list.Rewind();
  std::string text;
  list.GetNextString(text);
  EXPECT_FALSE(list.RemoveCurrent());
  EXPECT_EQ(list.GetCount(), 1);
  list.StepBack();  // to the last string, and from the first past the end
  list.StepBack();
  EXPECT_TRUE(list.IsAtEnd());
}

TEST(MessageFormatTest, ReplacesThePlaceholderOnlyAndLeavesPercentInArguments) {
  EXPECT_EQ(FormatMessageText("The file %s failed to be deleted.", "C:\\K-WARD\\100%s.DAT"),
            "The file C:\\K-WARD\\100%s.DAT failed to be deleted.");
  EXPECT_EQ(FormatMessageText("K-WARD Uninstall Error", ""), "K-WARD Uninstall Error");
}

}  // namespace
}  // namespace kw
