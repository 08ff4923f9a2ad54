#include "components/cursor_string_list.h"

#include <gtest/gtest.h>

#include "tests/support/sim_test.h"

namespace kw {
namespace {

using CursorStringListTest = testing::SimTest;

std::vector<std::string> Walk(CCursorStringList& list) {
  std::vector<std::string> texts;
  list.Rewind();
  std::string text;
  while (!list.IsAtEnd()) {
    list.GetNextString(text);
    texts.push_back(text);
  }
  return texts;
}

std::int32_t TakeCode(CCursorStringList& list, std::string* argument = nullptr) {
  std::int32_t code = 0;
  std::string text;
  list.GetError(code, text);
  if (argument != nullptr) *argument = text;
  return code;
}

TEST_F(CursorStringListTest, ANewListIsEmptyAtTheEndWithItsTitle) {
  CCursorStringList list;
  EXPECT_TRUE(list.IsAtEnd());
  EXPECT_EQ(list.GetTitle(), "String List Error!");
  std::string argument;
  EXPECT_FALSE(list.FindText("sentryx.exe", ""));
  EXPECT_EQ(TakeCode(list, &argument), 107);
  EXPECT_EQ(argument, "SENTRYX.EXE");
}

TEST_F(CursorStringListTest, HeadAndTailAdditionsAndTheWalk) {
  CCursorStringList list;
  list.AddTail("second");
  list.AddTail("third");
  list.AddHead("first");
  EXPECT_TRUE(list.IsAtEnd());  // adding does not move the cursor
  EXPECT_EQ(Walk(list), (std::vector<std::string>{"first", "second", "third"}));
  // A walk under way does not meet texts added at the head.
  list.Rewind();
  std::string text;
  list.GetNextString(text);
  list.AddHead("zeroth");
  list.GetNextString(text);
  EXPECT_EQ(text, "second");
}

TEST_F(CursorStringListTest, StepBackAndTheEnds) {
  CCursorStringList list;
  list.StepBack();
  EXPECT_TRUE(list.IsAtEnd());  // empty: still at the end
  list.AddTail("a");
  list.AddTail("b");
  list.StepBack();  // from the end to the last text
  std::string text;
  ASSERT_TRUE(list.GetNextString(text));
  EXPECT_EQ(text, "b");
  list.Rewind();
  list.StepBack();  // from the first text to the end
  EXPECT_TRUE(list.IsAtEnd());
  // At the end, reading and removing refuse and touch nothing.
  text = "unchanged";
  EXPECT_FALSE(list.GetNextString(text));
  EXPECT_EQ(text, "unchanged");
  EXPECT_FALSE(list.RemoveCurrent());
  EXPECT_EQ(list.GetCount(), 2);
}

TEST_F(CursorStringListTest, FindTextLeavesTheCursorOnTheLineFoundAndRemoveMovesOn) {
  CCursorStringList list;
  for (const char* line : {"echo off", "c:\\k-ward\\sentryx.exe", "cls"}) list.AddTail(line);
  list.Rewind();
  ASSERT_TRUE(list.FindText("SENTRYX.EXE", ""));
  // Found again without moving on.
  ASSERT_TRUE(list.FindText("sentryx", ""));
  ASSERT_TRUE(list.RemoveCurrent());
  std::string text;
  list.GetNextString(text);
  EXPECT_EQ(text, "cls");
  EXPECT_EQ(Walk(list), (std::vector<std::string>{"echo off", "cls"}));
  // An empty text is found in the first line looked at.
  list.Rewind();
  EXPECT_TRUE(list.FindText("", ""));
}

TEST_F(CursorStringListTest, TheDelimiterStopsTheSearchButTheTextWinsWithinALine) {
  CCursorStringList list;
  for (const char* line : {"A", "STOP", "X"}) list.AddTail(line);
  list.Rewind();
  std::string argument;
  EXPECT_FALSE(list.FindText("x", "stop"));
  EXPECT_EQ(TakeCode(list, &argument), 106);
  EXPECT_EQ(argument, "X");
  EXPECT_FALSE(list.FindText("x", "stop"));  // stops on the same line again
  EXPECT_EQ(TakeCode(list), 106);
  std::string text;
  list.GetNextString(text);
  EXPECT_EQ(text, "STOP");

  CCursorStringList both;
  both.AddTail("before");
  both.AddTail("x marks the stop");
  both.Rewind();
  EXPECT_TRUE(both.FindText("X", "STOP"));
}

TEST_F(CursorStringListTest, ClearKeepsARecordedFailure) {
  CCursorStringList list;
  list.AddTail("line");
  list.Rewind();
  EXPECT_FALSE(list.FindText("absent", ""));
  list.Clear();
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_TRUE(list.IsAtEnd());
  EXPECT_EQ(TakeCode(list), 107);
}

}  // namespace
}  // namespace kw
