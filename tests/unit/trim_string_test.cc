#include "components/trim_string.h"

#include <gtest/gtest.h>

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
  CTrimString assigned;
  assigned = std::string("\tother\n");
  EXPECT_EQ(assigned, "other");
  // A registry name ending in a blank survives being passed around.
  const CTrimString withBlanks = Untrimmed(" key ");
  CTrimString copied(withBlanks);
  EXPECT_EQ(copied, " key ");
  copied = withBlanks;
  EXPECT_EQ(copied, " key ");
}

TEST(TrimStringTest, JoinPathPutsExactlyOneBackslashAtTheSeam) {
  const struct {
    CTrimString left;
    const char* right;
    const char* joined;
  } cases[] = {
      {"C:\\WINDOWS", "Uninst.exe", "C:\\WINDOWS\\Uninst.exe"},
      {"C:\\WINDOWS\\", "\\Uninst.exe", "C:\\WINDOWS\\Uninst.exe"},
      {"C:\\\\\\", "x", "C:\\x"},
      {"C:\\K-WARD\\", "", "C:\\K-WARD\\"},
      {"", "DOSSTART.BAT", "\\DOSSTART.BAT"},
      {Untrimmed("C:\\A \\"), " B", "C:\\A\\B"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.left.JoinPath(c.right), c.joined) << c.left;
}

TEST(TrimStringTest, PathParts) {
  const struct {
    const char* path;
    const char* fileName;
    const char* directory;
  } cases[] = {
      {"C:\\K-WARD\\KWUNINST.EXE", "KWUNINST.EXE", "C:\\K-WARD\\"},
      {"KWUNINST.EXE", "KWUNINST.EXE", ""},
      {"C:\\K-WARD\\", "", "C:\\K-WARD\\"},
      {"C:\\", "", "C:\\"},
      {"C:\\K-WARD\\K-TASKER.EXE %1", "K-TASKER.EXE %1", "C:\\K-WARD\\"},
  };
  for (const auto& c : cases) {
    CTrimString part;
    CTrimString(c.path).GetFileNamePart(part);
    EXPECT_EQ(part, c.fileName) << c.path;
    CTrimString(c.path).GetDirectoryPart(part);
    EXPECT_EQ(part, c.directory) << c.path;
  }
  CTrimString part;  // a name read raw from the registry keeps its blank
  Untrimmed("Software\\KEY ").GetDirectoryPart(part);
  EXPECT_EQ(part, "Software\\");
}

}  // namespace
}  // namespace kw
