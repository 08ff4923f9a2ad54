// Through a real restart: what the uninstall queued goes as Windows starts,
// and nothing else.  On a machine reporting Windows 95 (WININIT.INI, beside
// another program's pending work) and on one reporting NT 4.0
// (PendingFileRenameOperations), three files of the installation directory
// are left, each prompt cancelled: a log that a viewer holds open, the
// shell extension that another program has loaded, and a read-only report
// of the user's.  Then the product is installed again before the restart,
// as far as Windows lets it.  Restarting is Wine's wineboot, which carries
// out both queues (see RestartWindows).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/e2e/e2e_machine.h"

namespace kw::e2e {
namespace {

const std::string kHeld = "C:\\K-WARD\\LOGS\\SCAN.LOG";
const std::string kHeldDir = "C:\\K-WARD\\LOGS";
const std::string kLibrary = "C:\\K-WARD\\KWSHEXT.DLL";
const std::string kLibraryAside = "C:\\K-WARD\\KWSHEXT.~KD";
const std::string kUsersFile = "C:\\K-WARD\\MY REPORT.DOC";
const std::string kWininit = "C:\\WINDOWS\\WININIT.INI";
// Another program's work for Windows 95's next start: a file to delete,
// and a new one to take another's name.
const std::string kOthersOld = "C:\\WINDOWS\\OLDAPP.DLL";
const std::string kOthersNew = "C:\\WINDOWS\\NEWAPP.DLL";
const std::string kOthersTemp = "C:\\WINDOWS\\NEWAPP.TMP";
const std::string kOthersWininit =
    "[rename]\r\nNUL=" + kOthersOld + "\r\n" + kOthersNew + "=" + kOthersTemp + "\r\n";
const std::string kReinstalled = "installed again before the restart";

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

class RestartE2eTest : public ::testing::TestWithParam<const char*> {
 protected:
  bool Windows95() const { return std::string(GetParam()) == "win95"; }
  void SetUp() override {
    ResetTestMachine();
    SetWindowsVersion(GetParam());
    PrepareMachine();
    InstallProduct({5});
    InstallLibrary(kLibrary);
    WriteFile(kUsersFile, "the user's own report");
    SetFileAttributesA(kUsersFile.c_str(), FILE_ATTRIBUTE_READONLY);
    // Windows NT reads no WININIT.INI (Wine's restart would).
    if (Windows95()) {
      WriteFile(kOthersOld, "old library of another program");
      WriteFile(kOthersTemp, "its new library");
      WriteFile(kWininit, kOthersWininit);
    }
    ASSERT_TRUE(StartFileHolder(kHeld));
    ASSERT_TRUE(StartFileHolder(kLibrary, "--load"));
  }
  void TearDown() override {
    ResetTestMachine();
    for (const std::string& path : {kOthersOld, kOthersNew, kOthersTemp}) DeleteFileA(path.c_str());
  }
};

TEST_P(RestartE2eTest, OnlyWhatWasQueuedGoes) {
  const Transcript transcript = RunKwuninst(Answering("Yes"));
  SCOPED_TRACE(transcript.Text());
  ASSERT_TRUE(WaitForUninstallerExit(30000));

  // Each file asked about once, cancelled; no stage failed; the notice.
  std::multiset<std::string> prompts;
  int notices = 0;
  for (const Event& box : transcript.Of("box")) {
    EXPECT_NE(box.Get("caption"), kErrorCaption) << box.Get("text");
    notices += box.Get("caption") == kNoticeCaption;
    if (box.Get("caption") == "File Management Prompt Error!") {
      EXPECT_EQ(box.Get("pressed"), "Cancel");
      prompts.insert(box.Get("text"));
    }
  }
  std::multiset<std::string> expected;
  for (const std::string& path : {kHeld, kLibrary, kUsersFile}) {
    expected.insert("The file " + path + " failed to be deleted.");
  }
  EXPECT_EQ(prompts, expected);
  EXPECT_EQ(notices, 1);

  // What waits for the restart: on 95 the held files by their DOS names,
  // after the other program's lines; on NT the held log by its name and
  // then its directory, and the loaded library under a name of its own.
  // Never the read-only file.
  if (Windows95()) {
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
    EXPECT_FALSE(FileExists(kLibrary));
  }

  // The product installed again before the restart, as far as Windows
  // lets it.  On NT the shell extension's name is free: its new copy stays.
  // Windows 95 renames no file in use, and its WININIT.EXE deletes by
  // name: a new copy of a queued file, written once its viewer has let go
  // of it, is lost at the restart.  The notice asks for the restart first.
  const std::string reinstalled = Windows95() ? kHeld : kLibrary;
  if (Windows95()) {
    const HWND viewer = FindWindowA(nullptr, "SCAN.LOG - File Viewer");
    ASSERT_NE(viewer, nullptr);
    PostMessageA(viewer, WM_CLOSE, 0, 0);
    for (int waited = 0; waited < 5000 && !DeleteFileA(kHeld.c_str()); waited += 50) Sleep(50);
  }
  WriteFile(reinstalled, kReinstalled);
  ASSERT_TRUE(ReadFile(reinstalled) == kReinstalled) << "the reinstall could not write " << reinstalled;
  const Snapshot before = DriveOf(TakeTestSnapshot());

  const std::string notRestarted = RestartWindows();
  if (!notRestarted.empty()) GTEST_SKIP() << notRestarted;

  // The queued files are gone (and on NT their emptied directory), the
  // other program's lines were carried out, and everything else is as it
  // was, byte for byte: the read-only file, and on NT the new copy.
  Snapshot expectedAfter = before;
  if (Windows95()) {
    for (const std::string& path : {kHeld, kLibrary, kOthersOld}) expectedAfter.erase(Upper(path));
    Move(expectedAfter, kOthersTemp, kOthersNew);
    Move(expectedAfter, kWininit, "C:\\WINDOWS\\WININIT.BAK");
  } else {
    for (const std::string& path : {kHeld, kHeldDir + "\\", kLibraryAside}) expectedAfter.erase(path);
  }
  EXPECT_EQ(Differences(expectedAfter, DriveOf(TakeTestSnapshot())), "");
  EXPECT_EQ(ReadFile(kUsersFile), "the user's own report");
  EXPECT_EQ(FileExists(reinstalled), !Windows95());
  EXPECT_TRUE(PendingDeletionsAtRestart().empty());
}

INSTANTIATE_TEST_SUITE_P(Windows, RestartE2eTest, ::testing::Values("win95", "nt40"));

}  // namespace
}  // namespace kw::e2e
