// The whole uninstall on one machine, reporting Windows 95 or NT 4.0, with
// everything the product leaves and, around it, what belongs to the user and
// to other programs; then Windows restarted.  Drive C: and the registry
// after a confirmed run are what they were before the product was
// installed, but for what is to stay of it and the deletion queued for the
// next start of Windows; after a declined run, what they were before the
// run.  And what only real windows, processes and clocks show: the status
// window over the uninstaller, which stays frozen while the stages run.  The
// sequence's decisions themselves are covered on the simulated machine.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/e2e/e2e_machine.h"
#include "tests/support/footprint.h"

namespace kw::e2e {
namespace {

const std::string kQuestion = std::string(kConfirmTitle) +
    " | Are you sure you want to completely remove the selected application and all of its "
    "components? | Yes,No | ";
// Left by the run, each prompt cancelled: a log that a viewer holds open
// (on NT its emptied directory goes at the restart too), the shell
// extension that another program has loaded, and a read-only report of the
// user's.
const std::string kHeld = "C:\\K-WARD\\LOGS\\SCAN.LOG";
const std::string kHeldDir = "C:\\K-WARD\\LOGS";
const std::string kLibrary = "C:\\K-WARD\\KWSHEXT.DLL";
const std::string kLibraryAside = "C:\\K-WARD\\KWSHEXT.~KD";
const std::string kUsersFile = "C:\\K-WARD\\MY REPORT.DOC";

// Beside the footprint: copies of the uninstall program and its log in a
// subdirectory, which stay there (the setup-log uninstaller removes only
// those its log lists), and a tree six levels deep.  What stays of the
// product: those, the files left, and the directories that hold them.
const char* const kMoreProductFiles[] = {
    "C:\\K-WARD\\SETUP\\KWUNINST.EXE", "C:\\K-WARD\\SETUP\\DEISL1.ISU",
    "C:\\K-WARD\\SETUP\\SETUP.INI", "C:\\K-WARD\\SUB1\\SUB2\\SUB3\\SUB4\\SUB5\\SUB6\\DEEP.DAT"};
const std::string kKeptPaths[] = {"C:\\K-WARD\\", "C:\\K-WARD\\SETUP\\", "C:\\K-WARD\\SETUP\\KWUNINST.EXE",
                                  "C:\\K-WARD\\SETUP\\DEISL1.ISU", kHeldDir + "\\", kHeld, kUsersFile};
// Beside the footprint's neighbours: the product's names elsewhere.
const char* const kMoreOthersFiles[] = {"C:\\K-WARD2\\KWUNINST.EXE", "C:\\K-WARD2\\OLD.KWT"};

const std::string kDosStartPath = "C:\\WINDOWS\\DOSSTART.BAT";
// Another program's work for Windows 95's next start, which must survive:
// a file to delete, and a new one to take another's name.
const std::string kWininit = "C:\\WINDOWS\\WININIT.INI";
const std::string kOthersOld = "C:\\WINDOWS\\OLDAPP.DLL";
const std::string kOthersNew = "C:\\WINDOWS\\NEWAPP.DLL";
const std::string kOthersTemp = "C:\\WINDOWS\\NEWAPP.TMP";
const std::string kOthersWininit =
    "[rename]\r\nNUL=" + kOthersOld + "\r\n" + kOthersNew + "=" + kOthersTemp + "\r\n";
const std::string kPendingValue =
    "HKLM\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER|PENDINGFILERENAMEOPERATIONS";
const std::string kReinstalled = "installed again before the restart";
// Enough for the uninstaller, at its fastest tick, to be still at work when
// it is frozen, well past the program's one-second look after the answer.
constexpr int kMoreLoggedFiles = 80;

std::vector<std::string> Boxes(const Transcript& transcript) {
  std::vector<std::string> boxes;
  for (const Event& box : transcript.Of("box")) {
    boxes.push_back(box.Get("caption") + " | " + box.Get("text") + " | " + box.Get("buttons") +
                    " | " + box.Get("pressed"));
  }
  return boxes;
}
std::string Upper(std::string text) {
  CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}
std::string DosPath(const std::string& path) {
  char dos[MAX_PATH] = "";
  GetShortPathNameA(path.c_str(), dos, MAX_PATH);
  return dos;
}
// The drive's part of a snapshot: the registry is Wine's to change as it
// starts (its hardware and environment keys).
Snapshot DriveOf(const Snapshot& snapshot) {
  Snapshot drive;
  for (const auto& [path, state] : snapshot) {
    if (path.rfind("C:", 0) == 0) drive[path] = state;
  }
  return drive;
}
// A file or a directory moved, as a snapshot sees it.
void Move(Snapshot& snapshot, const std::string& from, const std::string& to) {
  snapshot[Upper(to)] = snapshot[Upper(from)];
  snapshot.erase(Upper(from));
}

class WholeUninstallE2eTest : public ::testing::Test {
 protected:
  explicit WholeUninstallE2eTest(const char* version = "win95")
      : m_version(version), m_windows95(m_version == "win95") {}
  void SetUp() override {
    ResetTestMachine();
    SetWindowsVersion(m_version);
    PrepareMachine();
    for (const char* path : kMoreOthersFiles) WriteFile(path, std::string("theirs: ") + path);
    // Windows NT reads no WININIT.INI (Wine's restart would).
    if (m_windows95) {
      WriteFile(kOthersOld, "old library of another program");
      WriteFile(kOthersTemp, "its new library");
      WriteFile(kWininit, kOthersWininit);
    }
    m_withoutProduct = TakeTestSnapshot();
    InstallProduct({kMoreLoggedFiles});
    for (const char* path : kMoreProductFiles) WriteFile(path, std::string("product file ") + path);
    InstallLibrary(kLibrary);
    WriteFile(kUsersFile, "the user's own report");
    SetFileAttributesA(kUsersFile.c_str(), FILE_ATTRIBUTE_READONLY);
    // The uninstaller notes z-order requests from its first tick on, which
    // must come before it is frozen: with its usual 250 ms the answer may
    // come too close to the program's look.
    SetEnv("KW_UNINST_TICK_MS", "20");
    ASSERT_TRUE(StartProductProgram("K-TASKER.EXE", "K-Tasker"));
    ASSERT_TRUE(StartProductProgram("K-WARD32.EXE", "K-WARD Professional"));
    // Windows 95's resident protection, closed there after the main program.
    ASSERT_TRUE(!m_windows95 || StartProductProgram("ZRP95.EXE", "ZRP for Windows 95"));
    ASSERT_TRUE(StartFileHolder(kHeld));
    ASSERT_TRUE(StartFileHolder(kLibrary, "--load"));
    m_before = TakeTestSnapshot();
    ASSERT_EQ(m_before.count(kHeld) + m_before.count("HKCR\\.KWT|(default)"), 2u);
  }
  void TearDown() override {
    ResetTestMachine();
    for (const std::string& path : {kOthersOld, kOthersNew, kOthersTemp}) DeleteFileA(path.c_str());
  }

  const std::string m_version;
  const bool m_windows95;
  Snapshot m_withoutProduct, m_before;
};

// What is left is queued for the next start: on 95 in WININIT.INI, by DOS
// names, after the other program's lines; on NT in the system's own list,
// the loaded library under a name of its own.  And the same on a Windows 95
// without the C runtime DLL, which the first release of 95 does not have:
// the program needs none.
struct Confirmed {
  const char* name;
  const char* version;
  bool withoutCRuntime;
};
class ConfirmedWholeUninstallE2eTest : public WholeUninstallE2eTest,
                                       public ::testing::WithParamInterface<Confirmed> {
 protected:
  ConfirmedWholeUninstallE2eTest() : WholeUninstallE2eTest(GetParam().version) {}
};

TEST_P(ConfirmedWholeUninstallE2eTest, RemovesExactlyTheProductsItemsThenTheQueuedOnes) {
  if (GetParam().withoutCRuntime) {
    std::string needing;
    for (const std::string& dll : SystemDllsNeedingCRuntime()) needing += " " + dll;
    if (!needing.empty()) {
      // The line's start is what the test command looks for to say why.
      GTEST_SKIP() << "SKIPPED: this Wine's own" << needing << " import msvcrt.dll: with it "
                   << "disabled, no program that needs them can start here, whatever it imports";
    }
    DisableCRuntimeForKwuninst();
  }
  RunOptions options = Answering("Yes");
  options.screenshots = ArtifactsDir();
  const Transcript transcript = RunKwuninst(options);
  SCOPED_TRACE(transcript.Text());
  ASSERT_TRUE(WaitForUninstallerExit(30000));
  const std::vector<Event> uninstaller = UninstallerTrace();
  SCOPED_TRACE(TraceText(uninstaller));

  // The uninstaller, started on the install log in C:\, was frozen from the
  // first status to the end of the stages (a tick may land within the
  // answerer's 20 ms polling of the edges); it went on afterwards, finished
  // its log, and its progress window was brought forward after the stages.
  const std::vector<Event> started = EventsOf(uninstaller, "started");
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(DetailText(started[0]), "C:\\windows\\Uninst.exe -fC:\\K-WARD\\DEISL1.ISU\tcwd=C:\\");
  const std::vector<Event> windows = transcript.Of("status-window"), gone = transcript.Of("status-window-gone");
  ASSERT_FALSE(windows.empty());
  ASSERT_EQ(gone.size(), 1u);
  EXPECT_EQ(transcript.StatusTexts(), kStatusTexts);
  const std::int64_t firstStatus = transcript.EpochOf(windows[0]), end = transcript.EpochOf(gone[0]);
  for (const Event& tick : EventsOf(uninstaller, "tick")) {
    EXPECT_FALSE(tick.ms > firstStatus + 100 && tick.ms < end - 300) << "tick at " << tick.ms;
  }
  EXPECT_EQ(EventsOf(uninstaller, "done").size(), 1u);
  const std::vector<Event> raised = EventsOf(uninstaller, "zorder-request");
  ASSERT_FALSE(raised.empty());
  EXPECT_GT(raised.back().ms, firstStatus);
  // Each status stays a second at least.
  EXPECT_GE(transcript.EpochOfStatus(kStatusTexts[3]) - firstStatus, 3000 - kClockSlackMs);
  // Pictured over the uninstaller's window (how it looks is checked in the
  // test process, from the template).
  ASSERT_FALSE(transcript.Of("screenshot").empty());
  EXPECT_TRUE(FileExists(transcript.Of("screenshot")[0].Get("path")));

  // No stage failed: every program of the product closed, on 95 its
  // resident protection too.  Each file left asked about once, in the order
  // the drive lists them, and the notice.
  const std::vector<std::string> boxes = Boxes(transcript);
  const std::string prompt = "File Management Prompt Error! | The file ";
  const std::string cancelled = " failed to be deleted. | Retry,Cancel | Cancel";
  EXPECT_EQ(std::multiset<std::string>(boxes.begin(), boxes.end()),
            (std::multiset<std::string>{
                kQuestion + "Yes", prompt + kHeld + cancelled, prompt + kLibrary + cancelled,
                prompt + kUsersFile + cancelled,
                std::string(kNoticeCaption) + " | Some K-WARD files are in use and will be removed when "
                    "Windows restarts. Please restart your computer before you install K-WARD again. | "
                    "OK | OK"}));

  // What waits for the restart: on 95 the held files by their DOS names,
  // after the other program's lines; on NT the held log by its name and
  // then its directory, and the loaded library under a name of its own.
  // Never the read-only file.
  if (m_windows95) {
    const std::string wininit = ReadFile(kWininit);
    ASSERT_EQ(wininit.rfind(kOthersWininit, 0), 0u) << wininit;
    const std::string ours = wininit.substr(kOthersWininit.size());
    EXPECT_TRUE(ours == "NUL=" + DosPath(kHeld) + "\r\nNUL=" + DosPath(kLibrary) + "\r\n" ||
                ours == "NUL=" + DosPath(kLibrary) + "\r\nNUL=" + DosPath(kHeld) + "\r\n")
        << ours;
  } else {
    std::vector<std::string> pending = PendingDeletionsAtRestart();
    EXPECT_EQ(std::set<std::string>(pending.begin(), pending.end()),
              (std::set<std::string>{kHeld, kHeldDir, kLibraryAside}));
    const auto at = [&](const std::string& path) { return std::find(pending.begin(), pending.end(), path); };
    EXPECT_LT(at(kHeld), at(kHeldDir));
  }

  // The machine as it was without the product, but for what stays of it
  // and its deletion at the next start.
  Snapshot expected = m_withoutProduct, after = TakeTestSnapshot();
  for (const std::string& kept : kKeptPaths) expected[kept] = m_before[kept];
  expected[m_windows95 ? kLibrary : kLibraryAside] = m_before[kLibrary];
  for (const std::string& queue : {kWininit, kPendingValue}) {
    if (after.count(queue)) expected[queue] = after[queue];
  }
  expected.erase(kDosStartPath);  // compared below
  after.erase(kDosStartPath);
  EXPECT_EQ(Differences(expected, after), "");
  std::string kept;
  for (const footprint::BatchLine& line : footprint::kBatchLines) {
    if (footprint::Is(line.role, "user")) kept += line.text + std::string("\r\n");
  }
  EXPECT_EQ(ReadFile(kDosStartPath), kept);  // CR LF everywhere

  // The product installed again before the restart, as far as Windows
  // lets it.  On NT the shell extension's name is free: its new copy stays.
  // Windows 95 renames no file in use, and its WININIT.EXE deletes by
  // name: a new copy of a queued file, written once its viewer has let go
  // of it, is lost at the restart.  The notice asks for the restart first.
  const std::string reinstalled = m_windows95 ? kHeld : kLibrary;
  if (m_windows95) {
    const HWND viewer = FindWindowA(nullptr, "SCAN.LOG - File Viewer");
    ASSERT_NE(viewer, nullptr);
    PostMessageA(viewer, WM_CLOSE, 0, 0);
    for (int waited = 0; waited < 5000 && !DeleteFileA(kHeld.c_str()); waited += 50) Sleep(50);
  }
  WriteFile(reinstalled, kReinstalled);
  ASSERT_TRUE(ReadFile(reinstalled) == kReinstalled) << "the reinstall could not write " << reinstalled;
  const Snapshot beforeRestart = DriveOf(TakeTestSnapshot());

  const std::string notRestarted = RestartWindows();
  ASSERT_EQ(notRestarted, "") << "the restart's checks did not run";

  // The queued files are gone (and on NT their emptied directory), the
  // other program's lines were carried out, and everything else is as it
  // was, byte for byte: the read-only file, and on NT the new copy.
  Snapshot expectedAfter = beforeRestart;
  if (m_windows95) {
    for (const std::string& path : {kHeld, kLibrary, kOthersOld}) expectedAfter.erase(Upper(path));
    Move(expectedAfter, kOthersTemp, kOthersNew);
    Move(expectedAfter, kWininit, "C:\\WINDOWS\\WININIT.BAK");
  } else {
    for (const std::string& path : {kHeld, kHeldDir + "\\", kLibraryAside}) expectedAfter.erase(path);
  }
  EXPECT_EQ(Differences(expectedAfter, DriveOf(TakeTestSnapshot())), "");
  EXPECT_EQ(ReadFile(kUsersFile), "the user's own report");
  EXPECT_EQ(FileExists(reinstalled), !m_windows95);
  EXPECT_TRUE(PendingDeletionsAtRestart().empty());
}

INSTANTIATE_TEST_SUITE_P(Windows, ConfirmedWholeUninstallE2eTest,
                         ::testing::Values(Confirmed{"Windows95", "win95", false},
                                           Confirmed{"WindowsNT4", "nt40", false},
                                           Confirmed{"Windows95WithoutCRuntime", "win95", true}),
                         [](const auto& test) { return std::string(test.param.name); });

// Only a real machine shows the agent back, after the answer, minimised and
// without the focus.
TEST_F(WholeUninstallE2eTest, DeclinedChangesNothingButRestartsTheAgentMinimised) {
  const Transcript transcript = RunKwuninst(Answering("No"));
  SCOPED_TRACE(transcript.Text());
  EXPECT_EQ(Boxes(transcript), std::vector<std::string>{kQuestion + "No"});
  EXPECT_TRUE(transcript.Of("status-window").empty());
  ASSERT_FALSE(transcript.Of("exit").empty());
  EXPECT_EQ(transcript.Of("exit")[0].Get("code"), "0");
  // The restarted agent reports how it was shown a moment after it starts.
  std::vector<Event> trace, starts, shown;
  auto restartedAndShown = [&] {
    trace = ProductTrace();
    starts = EventsOf(trace, "started", "K-TASKER.EXE");
    shown = EventsOf(trace, "shown", "K-TASKER.EXE");
    return starts.size() >= 2 && !shown.empty() && shown.back().ms > starts[1].ms;
  };
  for (int waited = 0; waited < 10000 && !restartedAndShown(); waited += 100) Sleep(100);
  ASSERT_TRUE(restartedAndShown()) << TraceText(trace);
  const std::vector<Event> answers = EventsOf(UninstallerTrace(), "answer");
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_GT(starts[1].ms, answers[0].ms);
  EXPECT_EQ(DetailText(starts[1]).rfind("wShowWindow=7\tdwFlags=0x1\tC:\\K-WARD\\K-TASKER.EXE", 0), 0u)
      << DetailText(starts[1]);
  EXPECT_EQ(DetailText(shown.back()), "iconic=1\tforeground=0");
  EXPECT_EQ(Differences(m_before, TakeTestSnapshot()), "");
}

}  // namespace
}  // namespace kw::e2e
