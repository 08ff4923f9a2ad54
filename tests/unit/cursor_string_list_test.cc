#include "components/cursor_string_list.h"

#include <gtest/gtest.h>

#include "tests/support/sim_test.h"

namespace kw {
namespace {

using CursorStringListTest = testing::SimTest;

void Fill(CCursorStringList& list, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) list.AddTail(line);
  list.Rewind();
}

// A search from the first line leaves the cursor on the line found, or on
// the line holding the delimiter; both failures record the upper-cased text.
TEST_F(CursorStringListTest, FindText) {
  const struct {
    std::vector<std::string> lines;
    const char* text;
    const char* delimiter;
    bool found;
    std::int32_t code;
    const char* argument;
    const char* underCursor;  // null: at the end
  } cases[] = {
      {{"echo off", "c:\\k-ward\\sentryx.exe", "cls"}, "SENTRYX.EXE", "", true, 0, "",
       "c:\\k-ward\\sentryx.exe"},
      {{"echo off", "cls"}, "", "", true, 0, "", "echo off"},
      {{"A", "STOP", "X"}, "x", "stop", false, 106, "X", "STOP"},
      {{"before", "x marks the stop"}, "X", "STOP", true, 0, "", "x marks the stop"},
      {{"line"}, "absent", "", false, 107, "ABSENT", nullptr},
      {{}, "sentryx.exe", "", false, 107, "SENTRYX.EXE", nullptr},
  };
  for (const auto& c : cases) {
    CCursorStringList list;
    Fill(list, c.lines);
    EXPECT_EQ(list.FindText(c.text, c.delimiter), c.found) << c.text;
    std::int32_t code = 0;
    std::string argument;
    list.GetError(code, argument);
    EXPECT_EQ(code, c.code) << c.text;
    EXPECT_EQ(argument, c.argument) << c.text;
    std::string line;
    EXPECT_EQ(list.GetNextString(line), c.underCursor != nullptr) << c.text;
    if (c.underCursor != nullptr) {
      EXPECT_EQ(line, c.underCursor) << c.text;
    }
  }
}

TEST_F(CursorStringListTest, RemovingMovesOnAndTheEndTouchesNothing) {
  CCursorStringList list;
  Fill(list, {"echo off", "sentryx", "cls"});
  ASSERT_TRUE(list.FindText("SENTRYX", ""));
  ASSERT_TRUE(list.FindText("sentryx", ""));  // found again without moving on
  ASSERT_TRUE(list.RemoveCurrent());
  std::string text;
  list.GetNextString(text);
  EXPECT_EQ(text, "cls");
  // At the end, reading and removing refuse and leave text and list alone.
  text = "unchanged";
  EXPECT_FALSE(list.GetNextString(text));
  EXPECT_EQ(text, "unchanged");
  EXPECT_FALSE(list.RemoveCurrent());
  EXPECT_EQ(list.GetCount(), 2);
  // Clearing keeps a recorded failure.
  EXPECT_FALSE(list.FindText("absent", ""));
  list.Clear();
  EXPECT_TRUE(list.IsEmpty());
  std::int32_t code = 0;
  list.GetError(code, text);
  EXPECT_EQ(code, 107);
}

}  // namespace
}  // namespace kw
