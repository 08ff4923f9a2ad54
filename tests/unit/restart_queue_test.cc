// What the file stage queues for the next start of Windows, and what it
// leaves for good, in the cases the random machines meet too seldom to be
// sure of: how each file is queued (and under which name), the notice, the
// stage's outcome, the record, and WININIT.INI as Windows 95 reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/uninstall_app.h"
#include "components/message_catalogue.h"
#include "components/run_record.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using Names = std::vector<std::string>;

using testing::kWininitPath;
constexpr const char* kLibrary = "C:\\K-WARD\\KWSHEXT.DLL";
constexpr const char* kLibraryAside = "C:\\K-WARD\\KWSHEXT.~KD";

class RestartQueueTest : public testing::SimTest {
 protected:
  RestartQueueTest() {
    testing::InstallProductFiles(Machine());
    CancelEveryPrompt();
  }

  // The file stage, and the notice it leads to.
  bool RunFileStage(const std::string& taskDir = "") {
    CUninstallApp app(testing::kInstallDir);
    const bool done = app.RemoveProductFiles(taskDir);
    app.ReportQueuedForRestart();
    return done;
  }
  bool NoticeShown() const {
    return std::any_of(Machine().Boxes().begin(), Machine().Boxes().end(),
                       [](const sim::SimMessageBox& box) { return box.text == LoadMessage(kMsgRemovedAtRestart); });
  }
  // What Windows is to delete as it starts: NT's list, or WININIT.INI's
  // lines that delete.
  Names Queued() {
    Names queued = Files().PendingDeletions();
    std::istringstream text(Files().Content(kWininitPath));
    for (std::string line; std::getline(text, line);) {
      if (line.rfind("NUL=", 0) == 0) queued.push_back(line.substr(0, line.find('\r')));
    }
    return queued;
  }
  static bool Recorded(const std::string& line) {
    const std::vector<std::string>& lines = CRunRecord::Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

// Each row: a machine beside the installed product, the prompts cancelled;
// the stage succeeds whatever is queued.
struct QueueCase {
  const char* name;
  bool windows95;
  std::function<void(sim::SimMachine&)> arrange;
  const char* taskDir;
  Names queued;   // NT's paths, or WININIT.INI's lines ("NUL=" and the DOS path)
  Names records;  // among the record's lines
  const char* libraryAt;  // where the library is afterwards; null: deleted
};
void PrintTo(const QueueCase& c, std::ostream* out) { *out << c.name; }

void Load(sim::SimMachine& machine, const char* path) {
  machine.Files().Hold(path, "the shell", sim::HoldKind::kLoadedLibrary);
}
// The library in use, on a drive that Windows, as it starts, may not find
// as it is now.
std::function<void(sim::SimMachine&)> HeldOnDrive(char drive, std::uint32_t type) {
  return [=](sim::SimMachine& m) {
    m.SetDriveType(drive, type);
    m.Files().Hold(kLibrary, "a viewer");
  };
}
void AddUsersReadOnlyFile(sim::SimMachine& m) {
  m.Files().AddFile("C:\\K-WARD\\My Report.doc", "mine");
  m.Files().SetReadOnly("C:\\K-WARD\\My Report.doc", true);
}

const QueueCase kQueueCases[] = {
    // Held open without letting others rename it: it keeps its name.
    {"HeldFileKeepsItsName", false, [](sim::SimMachine& m) { m.Files().Hold(kLibrary, "a viewer"); }, "",
     {kLibrary}, {std::string("file: queued for restart ") + kLibrary}, kLibrary},
    // A library loaded by another program can be renamed: the new name is
    // queued, and a new KWSHEXT.DLL installed before the restart stays.
    {"LoadedLibraryIsRenamedFirst", false, [](sim::SimMachine& m) { Load(m, kLibrary); }, "",
     {kLibraryAside},
     {std::string("file: queued for restart ") + kLibraryAside + " (" + kLibrary +
      " renamed, so that a new file of its name stays)"},
     kLibraryAside},
    // The name is one that nothing has: here another file left has it.
    {"ToANameNothingHas", false,
     [](sim::SimMachine& m) {
       Load(m, kLibrary);
       m.Files().AddFile(kLibraryAside, "an earlier one");
       m.Files().Hold(kLibraryAside, "a viewer");
     },
     "", {"C:\\K-WARD\\KWSHEXT.~KD1", kLibraryAside}, {}, "C:\\K-WARD\\KWSHEXT.~KD1"},
    // Windows 95 renames no file in use, and WININIT.EXE knows DOS names only.
    {"OnWindows95NothingIsRenamed", true, [](sim::SimMachine& m) { Load(m, kLibrary); }, "",
     {std::string("NUL=") + kLibrary}, {std::string("file: queued for restart ") + kLibrary}, kLibrary},
    // A read-only file is the user's to decide, and the user kept it.
    {"AReadOnlyFileStays", false, AddUsersReadOnlyFile, "", {},
     {"file: kept C:\\K-WARD\\My Report.doc (read-only, so not queued for restart: the user was asked "
      "and kept it)"}, nullptr},
    {"AReadOnlyFileStaysOn95", true, AddUsersReadOnlyFile, "", {}, {}, nullptr},
    // Not queued, yet the cancelled file is skipped as without the queue.
    // The renamed library gets its name back.
    {"WithoutAnAdministratorsRights", false,
     [](sim::SimMachine& m) {
       m.SetAdministrator(false);
       Load(m, kLibrary);
     },
     "", {}, {std::string("file: kept ") + kLibrary + " (it could not be queued for restart)"}, kLibrary},
    // Windows, as it starts, would read a relative path from elsewhere, and
    // finds no network drive connected.
    {"ARelativeTaskDirectory", false,
     [](sim::SimMachine& m) {
       m.Files().ChangeDirectory("C:\\");
       m.Files().AddFile("C:\\TASKS\\DAILY.KWT");
       m.Files().Hold("C:\\TASKS\\DAILY.KWT", "the agent's editor");
     },
     "TASKS\\", {},
     {"file: kept TASKS\\DAILY.KWT (not queued for restart: no full path on a local fixed drive, which "
      "Windows would find as it starts)"}, nullptr},
    {"ANetworkDrive", false, HeldOnDrive('C', kDriveRemote), "", {}, {}, kLibrary},
    {"ARemovableDriveOn95", true, HeldOnDrive('c', kDriveRemovable), "", {}, {}, kLibrary},
};

class WhatIsQueuedTest : public RestartQueueTest, public ::testing::WithParamInterface<QueueCase> {};

TEST_P(WhatIsQueuedTest, OnlyWhatMayGoGoes) {
  const QueueCase& c = GetParam();
  if (c.windows95) Machine().BecomeWindows95();
  c.arrange(Machine());
  EXPECT_TRUE(RunFileStage(c.taskDir));
  Names expected = c.queued;
  for (std::string& line : expected) {
    if (line.rfind("NUL=", 0) == 0) line = "NUL=" + Files().ShortPath(line.substr(4));
  }
  EXPECT_EQ(Queued(), expected);
  EXPECT_EQ(NoticeShown(), !c.queued.empty());
  for (const std::string& line : c.records) EXPECT_TRUE(Recorded(line)) << line;
  // The library, renamed or not, is the same file.
  EXPECT_EQ(Files().Exists(kLibrary), c.libraryAt == kLibrary);
  if (c.libraryAt != nullptr) {
    EXPECT_EQ(Files().Content(c.libraryAt), "product file KWSHEXT.DLL");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, WhatIsQueuedTest, ::testing::ValuesIn(kQueueCases),
                         [](const auto& test) { return std::string(test.param.name); });

// WININIT.INI on Windows 95: the lines go at the end of the one [rename]
// section, as the profile functions find it (the name between the "[" and
// the last "]", blanks aside, whatever follows), and everything else stays
// as it was.
// A WININIT.INI that is missing is not made up from what an interrupted
// save left: WININIT.EXE may have carried it out long ago.  Windows 95 keeps
// a program's profile writes to WININIT.INI in memory and writes the whole
// file back when it sees fit: without a flush before the file is read, that
// later write-back would take our lines away.
TEST_F(RestartQueueTest, WininitGetsItsLinesInItsOneRenameSection) {
  Machine().BecomeWindows95();
  const std::string ours = "NUL=C:\\K-WARD\\KWSHEXT.DLL\r\n";
  const std::string stale = "[rename]\r\nC:\\WINDOWS\\SYSTEM\\X.DLL=C:\\WINDOWS\\SYSTEM\\X.TMP\r\n";
  const std::string old = "[rename]\r\nNUL=C:\\WINDOWS\\OLD.DLL\r\n";
  const struct {
    const char* what;
    std::string before;  // null text: no WININIT.INI
    std::string after;
    bool staleSpare;  // a WININIT.~KO of an interrupted save lies beside it
    bool cachedWrite = false;  // the profile functions hold a line of another program's
  } cases[] = {
      {"none yet", "", "[rename]\r\n" + ours, false},
      {"first", old + "[other]\r\nX=1\r\n", old + ours + "[other]\r\nX=1\r\n", false},
      {"last", "[other]\r\n[Rename]\r\nC:\\WINDOWS\\NEW.DLL=C:\\WINDOWS\\NEW.TMP",
       "[other]\r\n[Rename]\r\nC:\\WINDOWS\\NEW.DLL=C:\\WINDOWS\\NEW.TMP\r\n" + ours, false},
      {"with a comment", "[rename] ; pending\r\nNUL=C:\\WINDOWS\\OLD.DLL\r\n[other]\r\n",
       "[rename] ; pending\r\nNUL=C:\\WINDOWS\\OLD.DLL\r\n" + ours + "[other]\r\n", false},
      {"blanks around the name", "[ Rename ]\r\nNUL=C:\\WINDOWS\\OLD.DLL\r\n",
       "[ Rename ]\r\nNUL=C:\\WINDOWS\\OLD.DLL\r\n" + ours, false},
      {"only alike", "[renamed]\r\nA=B\r\n[rename] ; x ]\r\n",
       "[renamed]\r\nA=B\r\n[rename] ; x ]\r\n[rename]\r\n" + ours, false},
      {"missing, an old one set aside", "", "[rename]\r\n" + ours, true},
      {"a write still cached", old, old + "C:\\WINDOWS\\NEW.DLL=C:\\WINDOWS\\NEW.TMP\r\n" + ours, false,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CRunRecord::Start();
    for (const char* path : {kWininitPath, "C:\\WINDOWS\\WININIT.~KO"}) Files().Erase(path);
    testing::InstallProductFiles(Machine());
    Files().Hold(kLibrary, "a viewer");
    if (!c.before.empty()) Files().AddFile(kWininitPath, c.before);
    if (c.staleSpare) Files().AddFile("C:\\WINDOWS\\WININIT.~KO", stale);
    if (c.cachedWrite) {
      Machine().WriteProfileString(kWininitPath, "rename", "C:\\WINDOWS\\NEW.DLL", "C:\\WINDOWS\\NEW.TMP");
    }
    const std::size_t flushes = Journal("profile cache flushed for C:\\WINDOWS\\WININIT.INI").size();
    EXPECT_TRUE(RunFileStage());
    Machine().WriteBackProfileCache();  // later, at the system's leisure
    EXPECT_EQ(Files().Content(kWininitPath), c.after);
    EXPECT_EQ(Journal("profile cache flushed for C:\\WINDOWS\\WININIT.INI").size(), flushes + 2);
    EXPECT_EQ(Files().Content("C:\\WINDOWS\\WININIT.~KO"), c.staleSpare ? stale : "");
    EXPECT_EQ(Recorded("file: kept C:\\WINDOWS\\WININIT.~KO (an interrupted save set it aside; "
                       "C:\\WINDOWS\\WININIT.INI is missing, and it is not put back)"),
              c.staleSpare);
    Files().ReleaseAllOf("a viewer");
  }
}

}  // namespace
}  // namespace kw
