#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <ostream>

#include "app/uninstall_app.h"
#include "components/file_management_prompt.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

class InstalledApp : public CUninstallApp {
 public:
  InstalledApp() { m_strInstallDir = "C:\\K-WARD\\"; }
};

struct Case {
  const char* name;
  const char* taskDir;
  std::function<void(sim::SimMachine&)> arrange;  // on top of the standard machine
  bool succeeds;
  std::vector<std::string> gone;   // besides the marker file
  std::vector<std::string> boxes;  // the prompts' texts, in order
};

// What the product leaves in C:\K-WARD besides its uninstall program and log.
const std::vector<std::string> kLeftovers = {
    "C:\\K-WARD\\K-WARD32.EXE", "C:\\K-WARD\\OLD.KWT", "C:\\K-WARD\\LINK", "C:\\K-WARD\\SUB",
    "C:\\K-WARD\\SUB\\DEEP", "C:\\K-WARD\\SUB\\DEEP\\SIGS.DAT", "C:\\K-WARD\\SUB\\README.TXT"};

std::vector<std::string> With(std::vector<std::string> paths, std::vector<std::string> more,
                              const std::string& less = "") {
  paths.insert(paths.end(), more.begin(), more.end());
  paths.erase(std::remove(paths.begin(), paths.end(), less), paths.end());
  return paths;
}

std::function<void(sim::SimMachine&)> Adding(std::vector<std::string> files) {
  return [files](sim::SimMachine& machine) {
    for (const std::string& file : files) machine.Files().AddFile(file);
  };
}

// K-WARD32.EXE held by another program; the prompt's answer comes after the
// holder has let go, or not.
std::function<void(sim::SimMachine&)> Holding(int answer, bool released) {
  return [answer, released](sim::SimMachine& machine) {
    const std::uint32_t hold = machine.Files().Hold("C:\\K-WARD\\K-WARD32.EXE", "test");
    machine.AnswerNextBox(answer, [&machine, hold, released] {
      if (released) machine.Files().Release(hold);
    });
  };
}

const char* const kLockedPrompt = "The file C:\\K-WARD\\K-WARD32.EXE failed to be deleted.";
const char* const kDeepPrompt = "The directory C:\\K-WARD\\SUB\\DEEP failed to be removed.";
const std::string kKward32 = "C:\\K-WARD\\K-WARD32.EXE";

const Case kCases[] = {
    {"TaskDirElsewhereWithOnlyTaskFiles", "C:\\TASKS\\", Adding({"C:\\TASKS\\A.KWT", "C:\\TASKS\\b.kwt"}),
     true, With(kLeftovers, {"C:\\TASKS", "C:\\TASKS\\A.KWT", "C:\\TASKS\\b.kwt"}), {}},
    {"TaskDirElsewhereWithOtherFiles", "C:\\TASKS", Adding({"C:\\TASKS\\A.KWT", "C:\\TASKS\\NOTES.TXT"}),
     true, With(kLeftovers, {"C:\\TASKS\\A.KWT"}), {}},
    {"TaskDirInsideInstallDir", "C:\\K-WARD\\TASKS", Adding({"C:\\K-WARD\\TASKS\\A.KWT"}), true,
     With(kLeftovers, {"C:\\K-WARD\\TASKS", "C:\\K-WARD\\TASKS\\A.KWT"}), {}},
    {"TaskDirIsInstallDir", "C:\\K-WARD\\", nullptr, true, kLeftovers, {}},
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
    {"ALockedFileCancelledIsSkipped", "", Holding(kIdCancel, false), true,
     With(kLeftovers, {}, kKward32), {kLockedPrompt}},
    {"ALockedFileReleasedGoesOnRetry", "", Holding(kIdRetry, true), true, kLeftovers, {kLockedPrompt}},
    {"APromptThatCannotBeShownCountsAsCancel", "", Holding(0, true), true,
     With(kLeftovers, {}, kKward32), {kLockedPrompt}},
};

void PrintTo(const Case& row, std::ostream* out) { *out << row.name; }

class FileCleanupTest : public testing::SimTest, public ::testing::WithParamInterface<Case> {};

// A standard machine: the product in C:\K-WARD with a link to a directory
// outside it, and around it what must survive whatever the case.
TEST_P(FileCleanupTest, RemovesExactlyTheProductsFiles) {
  for (const char* file :
       {"KWUNINST.EXE", "DEISL1.ISU", "K-WARD32.EXE", "OLD.KWT", "SUB\\DEEP\\SIGS.DAT", "SUB\\README.TXT"}) {
    Files().AddFile(std::string("C:\\K-WARD\\") + file);
  }
  Files().AddDirectoryLink("C:\\K-WARD\\LINK", "C:\\OUTSIDE");
  Adding({"C:\\K-WARD.SYS", "C:\\ROOT.KWT", "C:\\OUTSIDE\\TARGET.DAT", "C:\\K-WARD2\\KWUNINST.EXE",
          "C:\\K-WARD2\\OLD.KWT", "C:\\DOCS\\LETTER.DOC"})(Machine());
  if (GetParam().arrange) GetParam().arrange(Machine());
  std::vector<std::string> before = Files().Dump();

  InstalledApp app;
  EXPECT_EQ(app.RemoveProductFiles(GetParam().taskDir), GetParam().succeeds);

  std::vector<std::string> after = Files().Dump();
  std::vector<std::string> gone;
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(gone));
  const std::vector<std::string> expected = With(GetParam().gone, {"C:\\K-WARD.SYS"});
  std::vector<std::string> goneExpected;
  for (const std::string& line : before) {
    const std::string path = line.substr(2, line.find(' ', 2) - 2);
    if (std::find(expected.begin(), expected.end(), path) != expected.end()) {
      goneExpected.push_back(line);
    }
  }
  EXPECT_EQ(gone, goneExpected);
  std::vector<std::string> boxes;
  for (const sim::SimMessageBox& box : Machine().Boxes()) boxes.push_back(box.text);
  EXPECT_EQ(boxes, GetParam().boxes);
  EXPECT_EQ(CFileManagementPrompt::CurrentDepth(), 0);
}

INSTANTIATE_TEST_SUITE_P(Machines, FileCleanupTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& row) {
                           return std::string(row.param.name);
                         });

}  // namespace
}  // namespace kw
