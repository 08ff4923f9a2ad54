#include "components/file_management_prompt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "tests/support/sim_test.h"

namespace kw {
namespace {

class FileManagementPromptTest : public testing::SimTest {
 protected:
  std::int32_t TakeCode(std::string* argument = nullptr) {
    std::int32_t code = 0;
    std::string text;
    m_files.GetError(code, text);
    if (argument != nullptr) *argument = text;
    return code;
  }
  // The drive's entries that are not in an earlier dump.
  std::vector<std::string> GoneSince(std::vector<std::string> before) {
    std::vector<std::string> now = Files().Dump();
    std::sort(before.begin(), before.end());
    std::sort(now.begin(), now.end());
    std::vector<std::string> gone;
    std::set_difference(before.begin(), before.end(), now.begin(), now.end(), std::back_inserter(gone));
    return gone;
  }

  CFileManagementPrompt m_files;
};

// Answers, locked files and links are played through the file clean-up's
// machines; here what only the component shows.
TEST_F(FileManagementPromptTest, TheBoxIsTopmostWithoutOwnerUnderItsOwnTitle) {
  Machine().AnswerNextBox(kIdCancel);
  Machine().AnswerNextBox(kIdCancel);
  EXPECT_FALSE(m_files.PromptRetry(113, "C:\\K-WARD\\SAMPLE.DAT"));
  EXPECT_EQ(TakeCode(), 124);
  m_files.PromptRetry(124, "C:\\X");  // a message without a placeholder
  const sim::SimMessageBox& box = Machine().Boxes().front();
  EXPECT_EQ(box.text, "The file C:\\K-WARD\\SAMPLE.DAT failed to be deleted.");
  EXPECT_EQ(box.caption, "File Management Prompt Error!");
  EXPECT_EQ(box.style, 0x00040015u);
  EXPECT_FALSE(box.owner);
  EXPECT_EQ(Machine().Boxes().back().text, "The user has decided to abort operation.\n\nC:\\X");
}

TEST_F(FileManagementPromptTest, DeleteFilesLeavesReadOnlyToTheUserAndNamesRelativeWhereTheyAre) {
  Files().AddFile("C:\\K-WARD\\KEEP.DAT");
  Files().SetReadOnly("C:\\K-WARD\\KEEP.DAT", true);
  Machine().AnswerNextBox(kIdRetry);
  Machine().AnswerNextBox(kIdCancel);
  std::string argument;
  EXPECT_FALSE(m_files.DeleteFiles("C:\\K-WARD\\*.*"));
  EXPECT_EQ(TakeCode(&argument), 113);
  EXPECT_EQ(argument, "C:\\K-WARD\\KEEP.DAT");
  EXPECT_TRUE(Files().IsReadOnly("C:\\K-WARD\\KEEP.DAT"));
  EXPECT_EQ(Machine().Boxes().size(), 2u);

  Files().AddFile("C:\\WORK\\A.TMP");
  Files().AddFile("C:\\A.TMP");
  Files().ChangeDirectory("C:\\WORK");
  EXPECT_TRUE(m_files.DeleteFiles("*.TMP"));
  EXPECT_FALSE(Files().Exists("C:\\WORK\\A.TMP"));
  EXPECT_TRUE(Files().Exists("C:\\A.TMP"));
}

TEST_F(FileManagementPromptTest, SixLevelsBelowAreEmptiedSevenStopBeforeTouchingAnything) {
  for (int levelsBelow : {6, 7}) {
    std::string directory = "C:\\TOP" + std::to_string(levelsBelow);
    const std::string top = directory;
    for (int level = 0; level <= levelsBelow; ++level) {
      Files().AddFile(directory + "\\F.DAT");
      directory += "\\L" + std::to_string(level + 1);
    }
    const std::vector<std::string> before = Files().Dump();
    const bool emptied = m_files.EmptyDirectory(top + "\\");
    EXPECT_EQ(emptied, levelsBelow == 6);
    EXPECT_EQ(TakeCode(), levelsBelow == 6 ? 141 : 122);  // 141: the last level had no subdirectory
    EXPECT_EQ(GoneSince(before).size(), emptied ? 2u * 7 - 1 : 0u);
    EXPECT_TRUE(Files().Exists(top));
    EXPECT_EQ(CFileManagementPrompt::CurrentDepth(), 0);
  }
}

TEST_F(FileManagementPromptTest, ACancelledFileStopsTheEmptyingWhereItIs) {
  for (const char* file : {"A\\F.DAT", "B\\F.DAT", "B\\LOCK.DAT", "C\\F.DAT", "OWN.DAT"}) {
    Files().AddFile(std::string("C:\\TOP\\") + file);
  }
  Files().Hold("C:\\TOP\\B\\LOCK.DAT", "test");
  Machine().AnswerNextBox(kIdCancel);
  const std::vector<std::string> before = Files().Dump();
  std::string argument;
  EXPECT_FALSE(m_files.EmptyDirectory("C:\\TOP"));
  EXPECT_EQ(TakeCode(&argument), 113);
  EXPECT_EQ(argument, "C:\\TOP\\B\\LOCK.DAT");
  // C comes first (listings are reversed); A, B's other file and TOP's own stay.
  EXPECT_EQ(GoneSince(before), (std::vector<std::string>{"D C:\\TOP\\C", "F C:\\TOP\\C\\F.DAT 0"}));
  EXPECT_EQ(CFileManagementPrompt::CurrentDepth(), 0);
}

}  // namespace
}  // namespace kw
