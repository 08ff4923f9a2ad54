// The file clean-up stage on whole machines, and what only its prompting
// file component shows: the box, read-only files, relative names, the depth
// limit and where a cancelled emptying stops.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/uninstall_app.h"
#include "components/file_management_prompt.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using Paths = std::set<std::string>;

class FileCleanupBase : public testing::SimTest {
 protected:
  Paths OnDrive() {
    Paths paths;
    for (const std::string& line : Files().Dump()) {
      paths.insert(line.substr(2, line.find(' ', 2) - 2));
    }
    return paths;
  }
  Paths GoneSince(const Paths& before) {
    Paths gone;
    for (const std::string& path : before) {
      if (!Files().Exists(path)) gone.insert(path);
    }
    return gone;
  }
  // The component's error: its code and argument.
  std::string Error() {
    std::int32_t code = 0;
    std::string argument;
    m_files.GetError(code, argument);
    return std::to_string(code) + " " + argument;
  }

  CFileManagementPrompt m_files;
};

// What the product leaves in C:\K-WARD besides its uninstall program and log.
const Paths kLeftovers = {"C:\\K-WARD\\K-WARD32.EXE", "C:\\K-WARD\\OLD.KWT", "C:\\K-WARD\\LINK",
                          "C:\\K-WARD\\SUB", "C:\\K-WARD\\SUB\\DEEP",
                          "C:\\K-WARD\\SUB\\DEEP\\SIGS.DAT", "C:\\K-WARD\\SUB\\README.TXT"};
const char* const kDeepPrompt = "The directory C:\\K-WARD\\SUB\\DEEP failed to be removed.";

Paths With(Paths paths, const Paths& more, const std::string& less = "") {
  paths.insert(more.begin(), more.end());
  paths.erase(less);
  return paths;
}
std::function<void(sim::SimMachine&)> Adding(std::vector<std::string> files) {
  return [files](sim::SimMachine& m) {
    for (const std::string& file : files) m.Files().AddFile(file);
  };
}

class InstalledApp : public CUninstallApp {
 public:
  InstalledApp() { m_strInstallDir = "C:\\K-WARD\\"; }
};

struct Case {
  const char* name;
  const char* taskDir;
  std::function<void(sim::SimMachine&)> arrange;  // on top of the standard machine
  bool succeeds;
  Paths gone;                      // besides the marker file
  std::vector<std::string> boxes;  // the prompts' texts, in order
};
void PrintTo(const Case& row, std::ostream* out) { *out << row.name; }

const Case kCases[] = {
    {"TaskDirElsewhereWithOnlyTaskFiles", "C:\\TASKS\\",
     Adding({"C:\\TASKS\\A.KWT", "C:\\TASKS\\b.kwt"}), true,
     With(kLeftovers, {"C:\\TASKS", "C:\\TASKS\\A.KWT", "C:\\TASKS\\b.kwt"}), {}},
    {"TaskDirElsewhereWithOtherFiles", "C:\\TASKS",
     Adding({"C:\\TASKS\\A.KWT", "C:\\TASKS\\NOTES.TXT"}), true,
     With(kLeftovers, {"C:\\TASKS\\A.KWT"}), {}},
    {"TaskDirInsideInstallDir", "C:\\K-WARD\\TASKS", Adding({"C:\\K-WARD\\TASKS\\A.KWT"}), true,
     With(kLeftovers, {"C:\\K-WARD\\TASKS", "C:\\K-WARD\\TASKS\\A.KWT"}), {}},
    // Its task files are asked about once, with the rest of the directory;
    // whoever made one read-only wanted it kept, so the user decides.
    {"TaskDirIsInstallDir", "C:\\K-WARD\\",
     [](sim::SimMachine& m) {
       m.Files().SetReadOnly("C:\\K-WARD\\OLD.KWT", true);
       m.AnswerNextBox(kIdCancel);
     },
     true, With(kLeftovers, {}, "C:\\K-WARD\\OLD.KWT"),
     {"The file C:\\K-WARD\\OLD.KWT failed to be deleted."}},
    // The patterns would name the root of the drive.
    {"NoTaskDirReadLeavesTheRootAlone", "", nullptr, true, kLeftovers, {}},
    // The task files and the marker still go.
    {"NotTheProductsDirectory", "C:\\TASKS\\",
     [](sim::SimMachine& m) {
       m.Files().RemoveFile("C:\\K-WARD\\KWUNINST.EXE");
       Adding({"C:\\K-WARD\\SUB\\KWUNINST.EXE", "C:\\TASKS\\A.KWT"})(m);
     },
     false, {"C:\\TASKS", "C:\\TASKS\\A.KWT"}, {}},
    {"ExcludedNamesInASubdirectoryKeepIt", "",
     [](sim::SimMachine& m) {
       Adding({"C:\\K-WARD\\SUB\\DEEP\\deisl1.isu", "C:\\K-WARD\\SUB\\DEEP\\Kwuninst.Exe"})(m);
       m.AnswerNextBox(kIdRetry);
       m.AnswerNextBox(kIdCancel);
     },
     false, {"C:\\K-WARD\\SUB\\DEEP\\SIGS.DAT"}, {kDeepPrompt, kDeepPrompt}},
    // Its holder lets go before the box is answered, but nobody answered
    // Retry: the file is skipped like a cancelled one.
    {"APromptThatCannotBeShownCountsAsCancel", "",
     [](sim::SimMachine& m) {
       const std::uint32_t hold = m.Files().Hold("C:\\K-WARD\\K-WARD32.EXE", "test");
       m.AnswerNextBox(0, [&m, hold] { m.Files().Release(hold); });
     },
     true, With(kLeftovers, {}, "C:\\K-WARD\\K-WARD32.EXE"),
     {"The file C:\\K-WARD\\K-WARD32.EXE failed to be deleted."}},
};

class FileCleanupTest : public FileCleanupBase, public ::testing::WithParamInterface<Case> {};

// The standard machine: the product in C:\K-WARD with a link to a directory
// outside it, and around it what must survive whatever the case.
TEST_P(FileCleanupTest, RemovesExactlyTheProductsFiles) {
  for (const char* file : {"KWUNINST.EXE", "DEISL1.ISU", "K-WARD32.EXE", "OLD.KWT",
                           "SUB\\DEEP\\SIGS.DAT", "SUB\\README.TXT"}) {
    Files().AddFile(std::string("C:\\K-WARD\\") + file);
  }
  Files().AddDirectoryLink("C:\\K-WARD\\LINK", "C:\\OUTSIDE");
  Adding({"C:\\K-WARD.SYS", "C:\\ROOT.KWT", "C:\\OUTSIDE\\TARGET.DAT", "C:\\K-WARD2\\KWUNINST.EXE",
          "C:\\K-WARD2\\OLD.KWT", "C:\\DOCS\\LETTER.DOC"})(Machine());
  if (GetParam().arrange) GetParam().arrange(Machine());
  const Paths before = OnDrive();

  InstalledApp app;
  EXPECT_EQ(app.RemoveProductFiles(GetParam().taskDir), GetParam().succeeds);
  EXPECT_EQ(GoneSince(before), With(GetParam().gone, {"C:\\K-WARD.SYS"}));
  std::vector<std::string> texts;
  for (const sim::SimMessageBox& box : Machine().Boxes()) {  // topmost, without owner
    texts.push_back(box.text);
    EXPECT_EQ(box.caption, "File Management Prompt Error!");
    EXPECT_EQ(box.style, 0x00040015u);
    EXPECT_FALSE(box.owner);
  }
  EXPECT_EQ(texts, GetParam().boxes);
  EXPECT_EQ(CFileManagementPrompt::CurrentDepth(), 0);
}

INSTANTIATE_TEST_SUITE_P(Machines, FileCleanupTest, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

using FileManagementPromptTest = FileCleanupBase;

TEST_F(FileManagementPromptTest, NamesListedWithoutADirectoryStayInTheCurrentOne) {
  Adding({"C:\\WORK\\A.TMP", "C:\\A.TMP"})(Machine());
  Files().ChangeDirectory("C:\\WORK");
  EXPECT_TRUE(m_files.DeleteFiles("*.TMP"));
  EXPECT_EQ(GoneSince({"C:\\WORK\\A.TMP", "C:\\A.TMP"}), Paths{"C:\\WORK\\A.TMP"});
}

TEST_F(FileManagementPromptTest, SixLevelsBelowAreEmptiedSevenStopBeforeTouchingAnything) {
  for (int levelsBelow : {6, 7}) {
    const std::string top = "C:\\TOP" + std::to_string(levelsBelow);
    std::string directory = top;
    for (int level = 0; level <= levelsBelow; ++level) {
      Files().AddFile(directory + "\\F.DAT");
      directory += "\\L" + std::to_string(level + 1);
    }
    const Paths before = OnDrive();
    EXPECT_EQ(m_files.EmptyDirectory(top + "\\"), levelsBelow == 6);
    // 141: the last level had no subdirectory.
    EXPECT_EQ(Error().substr(0, 3), levelsBelow == 6 ? "141" : "122");
    EXPECT_EQ(GoneSince(before).size(), levelsBelow == 6 ? 2u * 7 - 1 : 0u);
    EXPECT_EQ(CFileManagementPrompt::CurrentDepth(), 0);
  }
}

TEST_F(FileManagementPromptTest, ACancelledFileStopsTheEmptyingWhereItIs) {
  Adding({"C:\\TOP\\A\\F.DAT", "C:\\TOP\\B\\F.DAT", "C:\\TOP\\B\\LOCK.DAT", "C:\\TOP\\C\\F.DAT",
          "C:\\TOP\\OWN.DAT"})(Machine());
  Files().Hold("C:\\TOP\\B\\LOCK.DAT", "test");
  Machine().AnswerNextBox(kIdCancel);
  const Paths before = OnDrive();
  EXPECT_FALSE(m_files.EmptyDirectory("C:\\TOP"));
  EXPECT_EQ(Error(), "113 C:\\TOP\\B\\LOCK.DAT");
  // C comes first (listings are reversed); A, B's other file and TOP's own stay.
  EXPECT_EQ(GoneSince(before), (Paths{"C:\\TOP\\C", "C:\\TOP\\C\\F.DAT"}));
  EXPECT_EQ(CFileManagementPrompt::CurrentDepth(), 0);
}

}  // namespace
}  // namespace kw
