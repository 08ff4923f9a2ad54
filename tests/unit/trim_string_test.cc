#include "components/trim_string.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

TEST(TrimStringTest, TextIsTrimmedOnTheWayInButNotWhenCopied) {
  EXPECT_EQ(CTrimString("  C:\\K-WARD\\  "), "C:\\K-WARD\\");
  EXPECT_EQ(CTrimString(static_cast<const char*>(nullptr)), "");
  EXPECT_EQ(CTrimString("\t\n"), "");
  EXPECT_EQ(CTrimString(std::string(" \v\f\rx\r ")), "x");

  CTrimString assigned;
  assigned = " name ";
  EXPECT_EQ(assigned, "name");
  assigned = std::string("\tother\n");
  EXPECT_EQ(assigned, "other");

  // A text that got its blanks through the string's own operations keeps
  // them through a copy: that is how a registry name ending in a blank
  // survives being passed around.
  CTrimString withBlanks;
  withBlanks.append(" key ");
  CTrimString copied(withBlanks);
  EXPECT_EQ(copied, " key ");
  CTrimString copyAssigned;
  copyAssigned = withBlanks;
  EXPECT_EQ(copyAssigned, " key ");
}

TEST(TrimStringTest, JoinPathPutsExactlyOneBackslashAtTheSeam) {
  EXPECT_EQ(CTrimString("C:\\WINDOWS").JoinPath("Uninst.exe"), "C:\\WINDOWS\\Uninst.exe");
  EXPECT_EQ(CTrimString("C:\\WINDOWS\\").JoinPath("\\Uninst.exe"), "C:\\WINDOWS\\Uninst.exe");
  EXPECT_EQ(CTrimString("C:\\\\\\").JoinPath("x"), "C:\\x");
  EXPECT_EQ(CTrimString("C:\\K-WARD\\").JoinPath(""), "C:\\K-WARD\\");
  EXPECT_EQ(CTrimString("").JoinPath("DOSSTART.BAT"), "\\DOSSTART.BAT");
  CTrimString left;
  left.append("C:\\A \\");
  EXPECT_EQ(left.JoinPath(" B"), "C:\\A\\B");
  // The left piece itself is not changed.
  EXPECT_EQ(left, "C:\\A \\");
}

TEST(TrimStringTest, FileNameAndDirectoryParts) {
  CTrimString part;
  CTrimString("C:\\K-WARD\\KWUNINST.EXE").GetFileNamePart(part);
  EXPECT_EQ(part, "KWUNINST.EXE");
  CTrimString("KWUNINST.EXE").GetFileNamePart(part);
  EXPECT_EQ(part, "KWUNINST.EXE");
  CTrimString("C:\\K-WARD\\").GetFileNamePart(part);
  EXPECT_EQ(part, "");

  CTrimString("C:\\K-WARD\\KWUNINST.EXE").GetDirectoryPart(part);
  EXPECT_EQ(part, "C:\\K-WARD\\");
  CTrimString("KWUNINST.EXE").GetDirectoryPart(part);
  EXPECT_EQ(part, "");
  CTrimString("C:\\").GetDirectoryPart(part);
  EXPECT_EQ(part, "C:\\");
  CTrimString("C:\\K-WARD\\K-TASKER.EXE %1").GetDirectoryPart(part);
  EXPECT_EQ(part, "C:\\K-WARD\\");
  CTrimString nameWithBlank;  // a name read raw from the registry
  nameWithBlank.append("Software\\KEY ");
  nameWithBlank.GetDirectoryPart(part);
  EXPECT_EQ(part, "Software\\");
}

TEST(TrimStringTest, StripTrailingBackslashes) {
  CTrimString path("Software\\Microsoft\\\\\\");
  path.StripTrailingBackslashes();
  EXPECT_EQ(path, "Software\\Microsoft");
  CTrimString only("\\\\\\");
  only.StripTrailingBackslashes();
  EXPECT_EQ(only, "");
  CTrimString empty;
  empty.StripTrailingBackslashes();
  EXPECT_EQ(empty, "");
}

TEST(TextHelpersTest, CaseInsensitiveComparisonIsWholeText) {
  EXPECT_TRUE(EqualsNoCase("deisl1.isu", "DEISL1.ISU"));
  EXPECT_FALSE(EqualsNoCase("DEISL1.IS", "DEISL1.ISU"));
  EXPECT_EQ(UpperCased("c:\\k-ward\\sentryx.exe"), "C:\\K-WARD\\SENTRYX.EXE");
}

}  // namespace
}  // namespace kw
