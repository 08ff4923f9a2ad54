// The text components: the trimming string (its path helpers are the fuzz
// target's), the cursor string list's search and removal, and a message's
// argument.
#include <gtest/gtest.h>

#include "components/cursor_string_list.h"
#include "components/message_catalogue.h"
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
      {{"line"}, "absent", "", false, "107 ABSENT", nullptr},
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
}

TEST(MessageFormatTest, ReplacesThePlaceholderOnlyAndLeavesPercentInArguments) {
  EXPECT_EQ(FormatMessageText("The file %s failed to be deleted.", "C:\\K-WARD\\100%s.DAT"),
            "The file C:\\K-WARD\\100%s.DAT failed to be deleted.");
  EXPECT_EQ(FormatMessageText("K-WARD Uninstall Error", ""), "K-WARD Uninstall Error");
}

}  // namespace
}  // namespace kw
