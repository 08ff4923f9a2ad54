// The whole uninstall on one Windows 95 machine with everything the product
// leaves and, around it, what belongs to the user and to other programs:
// drive C: and the registry compared before and after, so that what went is
// exactly the product's and nothing else changed.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/e2e_machine.h"

namespace kw::e2e {
namespace {

constexpr const char* kPromptTitle = "File Management Prompt Error!";
constexpr const char* kQuestion =
    "Are you sure you want to completely remove the selected application and all of its components?";
// Held by other programs: one until its prompt is up (answered Retry once
// let go), the other throughout (answered Cancel).  Subdirectories are
// emptied before the files beside them: the first prompt is the first's.
const std::string kReleasedFile = "C:\\K-WARD\\QUARANT\\VIRUS.DAT";
const std::string kKeptFile = "C:\\K-WARD\\SCAN.LOG";

// Beside the programs, libraries and install log that InstallProduct puts
// in C:\K-WARD.  The copies in SETUP are kept like those at the top.
const char* const kProductFiles[] = {
    "C:\\K-WARD\\SIGNATUR.DAT", "C:\\K-WARD\\QUARANT\\VIRUS.DAT", "C:\\K-WARD\\SCAN.LOG",
    "C:\\K-WARD\\SETUP\\KWUNINST.EXE", "C:\\K-WARD\\SETUP\\DEISL1.ISU", "C:\\K-WARD\\SETUP\\SETUP.INI",
    "C:\\K-WARD\\SUB1\\A.DAT", "C:\\K-WARD\\SUB1\\SUB2\\SUB3\\B.DAT",
    "C:\\K-WARD\\SUB1\\SUB2\\SUB3\\SUB4\\SUB5\\SUB6\\DEEP.DAT",  // six levels below
    "C:\\KWTASKS\\DAILY.KWT", "C:\\KWTASKS\\WEEKLY.KWT", "C:\\K-WARD.SYS"};
const char* const kSurvivingProductPaths[] = {
    "C:\\K-WARD", "C:\\K-WARD\\KWUNINST.EXE", "C:\\K-WARD\\DEISL1.ISU", "C:\\K-WARD\\SETUP",
    "C:\\K-WARD\\SETUP\\KWUNINST.EXE", "C:\\K-WARD\\SETUP\\DEISL1.ISU", "C:\\K-WARD\\SCAN.LOG"};
// The Windows directory's files are given relative to it.
const char* const kOthersFiles[] = {
    "C:\\K-WARD2\\KWUNINST.EXE", "C:\\K-WARD2\\DEISL1.ISU", "C:\\K-WARD2\\OLD.KWT",
    "C:\\My Documents\\LETTER.DOC", "C:\\My Documents\\BACKUP.KWT", "OTHERAPP.INI",
    "SYSTEM\\OTHERVXD.VXD"};
const char* const kOthersRegistry[][4] = {
    {"HKCU", "Software\\Halvern Software\\Disk Doctor", "Version", "2.1"},
    {"HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "SysAgent", "C:\\WINDOWS\\SYSAGENT.EXE"},
    {"HKLM", "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs", "OTHERVXD",
     "C:\\WINDOWS\\SYSTEM\\OTHERVXD.VXD"},
    {"HKCR", ".OTH", "", "OtherApp.Document"},
    {"HKCR", "OtherApp.Document\\shell\\open\\command", "", "C:\\OTHER\\OTHER.EXE %1"},
    {"HKCR", "CLSID\\{6e2d4b81-5f30-11d0-9d7b-00a0c9b2e418}\\InProcServer32", "", "C:\\OTHER\\EXT.DLL"},
    {"HKCR", "*\\shellex\\ContextMenuHandlers\\OtherMenu", "", "{6e2d4b81-5f30-11d0-9d7b-00a0c9b2e418}"},
    {"HKCR", "Folder\\shellex\\ContextMenuHandlers\\OtherMenu", "", "{6e2d4b81-5f30-11d0-9d7b-00a0c9b2e418}"}};

// DOSSTART.BAT as Windows 95 machines had it, each line with its ending as
// found (one LF alone, the last none), and whether it stays.
struct BatchLine {
  const char* text;
  bool stays;
};
const BatchLine kDosStart[] = {
    {"@ECHO OFF\r\n", true},
    {"REM Windows runs this file when it restarts in MS-DOS mode\r\n", true},
    {"LH C:\\MOUSE\\MOUSE.COM /Y\r\n", true},
    {"LH C:\\WINDOWS\\COMMAND\\MSCDEX.EXE /D:MSCD001 /M:8\r\n", true},
    {"C:\\WINDOWS\\SMARTDRV.EXE 2048 16\r\n", true},
    {"KEYB GR,,C:\\WINDOWS\\COMMAND\\KEYBOARD.SYS\r\n", true},
    {"MODE CON CODEPAGE PREPARE=((850) C:\\WINDOWS\\COMMAND\\EGA.CPI)\r\n", true},
    {"MODE CON CODEPAGE SELECT=850\r\n", true},
    {"REM Start the SENTRYX.EXE guard\r\n", false},
    {"C:\\K-WARD\\SENTRYX.EXE\r\n", false},
    {"lh c:\\k-ward\\sentryx.exe /q\n", false},
    {"@\"C:\\PROGRA~1\\K-WARD\\SentryX.Exe\" /SCAN\r\n", false},
    {"cls\r\n", false},
    {"@CLS\r\n", false},
    {"  Cls >NUL\r\n", false},
    {"CLS&ECHO Guard loaded\r\n", false},
    {"CALL CLSETUP.BAT\r\n", true},
    {"REM CLS clears the screen\r\n", true},
    {"CLSCAN.EXE /A\r\n", true},
    {"C:\\DOS\\DOSKEY.COM", true},
};

std::string DosStartPath() { return WindowsDirectory() + "\\DOSSTART.BAT"; }

std::string Upper(std::string text) {
  CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

bool IsUnder(const std::string& path, const std::string& item, char separator = '\\') {
  return path == item || path.rfind(item + separator, 0) == 0;
}

// Whether a snapshot path (upper-cased) is one of the product's registry
// items.  HKCR shows HKLM\Software\Classes, so its items are there too.
bool IsProductRegistryItem(const std::string& path) {
  for (const RegistryItem& item : kProductRegistryItems) {
    std::vector<std::string> keys = {Upper(std::string(item.root) + "\\" + item.key)};
    if (std::string(item.root) == "HKCR") keys.push_back(Upper(std::string("HKLM\\SOFTWARE\\CLASSES\\") + item.key));
    for (const std::string& key : keys) {
      if (item.valueName != nullptr ? path == key + "|" + Upper(item.valueName)
                                    : IsUnder(path, key) || IsUnder(path, key, '|')) {
        return true;
      }
    }
  }
  return false;
}

bool IsGoneProductPath(const std::string& path) {
  for (const char* survivor : kSurvivingProductPaths) {
    if (path == survivor) return false;
  }
  return IsUnder(path, "C:\\K-WARD") || IsUnder(path, kTaskDir) || path == "C:\\K-WARD.SYS";
}

std::vector<std::string> Matching(const Snapshot& snapshot, bool (*predicate)(const std::string&)) {
  std::vector<std::string> paths;
  for (const auto& entry : snapshot) {
    if (predicate(entry.first)) paths.push_back(entry.first);
  }
  return paths;
}

// What one list has and the other lacks, both ways: empty when they agree.
std::string Mismatch(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
  std::string text;
  auto lacking = [&text](const std::vector<std::string>& from, const std::vector<std::string>& in,
                         const char* label) {
    for (const std::string& path : from) {
      if (std::find(in.begin(), in.end(), path) == in.end()) text += label + path + "\n";
    }
  };
  lacking(actual, expected, "unexpected ");
  lacking(expected, actual, "missing ");
  return text;
}

std::vector<std::string> BoxLines(const Transcript& transcript) {
  std::vector<std::string> boxes;
  for (const Event& box : transcript.Of("box")) {
    boxes.push_back(box.Get("caption") + " | " + box.Get("text") + " | " + box.Get("buttons") +
                    " | " + box.Get("pressed"));
  }
  return boxes;
}

// Enough for the uninstaller to be still at work when it is frozen.
std::vector<std::string> LoggedFiles() {
  std::vector<std::string> names;
  for (int i = 1; i <= 20; ++i) names.push_back("PART" + std::to_string(i) + ".DAT");
  return names;
}

class WholeUninstallE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMachine();
    SetWindows95(true);
    InstallProduct({LoggedFiles()});
    InstallUninstaller();
    for (const char* path : kProductFiles) WriteFile(path, std::string("product file ") + path);
    for (std::string path : kOthersFiles) {
      if (path.rfind("C:", 0) != 0) path = WindowsDirectory() + "\\" + path;
      WriteFile(path, "not the product's: " + path);
    }
    for (const auto& value : kOthersRegistry) SetString(value[0], value[1], value[2], value[3]);
    std::string batch;
    for (const BatchLine& line : kDosStart) batch += line.text;
    WriteFile(DosStartPath(), batch);
    ASSERT_TRUE(StartProductProgram("K-TASKER.EXE", "K-Tasker"));
    ASSERT_TRUE(StartProductProgram("K-WARD32.EXE", "K-WARD Professional"));
    ASSERT_TRUE(StartFileHolder(kReleasedFile, "--release-when \"" + std::string(kPromptTitle) + "\""));
    ASSERT_TRUE(StartFileHolder(kKeptFile));
    m_drive = DriveSnapshot();
    m_registry = RegistrySnapshot();
    ASSERT_EQ(m_drive.count(kKeptFile), 1u);
    ASSERT_EQ(m_registry.count("HKCR\\.KWT|"), 1u);
    ASSERT_EQ(m_registry.count("HKLM\\SOFTWARE\\CLASSES\\.KWT|"), 1u);
  }
  void TearDown() override { ResetMachine(); }

  Snapshot m_drive;
  Snapshot m_registry;
};

TEST_F(WholeUninstallE2eTest, ConfirmedRemovesExactlyTheProductsItems) {
  RunOptions options;
  options.textAnswers = {kReleasedFile + "=Retry@1500"};
  options.answers = {std::string(kConfirmTitle) + "=Yes@300", std::string(kPromptTitle) + "=Cancel",
                     std::string(kErrorCaption) + "=OK"};
  const Transcript transcript = RunKwuninst(options);
  SCOPED_TRACE(transcript.Text());
  ASSERT_EQ(transcript.answererExitCode, 0);
  ASSERT_TRUE(WaitForUninstallerExit(30000));
  const std::vector<Event> uninstaller = UninstallerTrace();
  SCOPED_TRACE(TraceText(uninstaller));

  // No stage failed.
  const std::string prompt = std::string(kPromptTitle) + " | The file ";
  EXPECT_EQ(BoxLines(transcript),
            (std::vector<std::string>{
                std::string(kConfirmTitle) + " | " + kQuestion + " | Yes,No | Yes",
                prompt + kReleasedFile + " failed to be deleted. | Retry,Cancel | Retry",
                prompt + kKeptFile + " failed to be deleted. | Retry,Cancel | Cancel"}));

  // Frozen from the file stage's status until it was let go (a tick may land
  // within the answerer's polling of the end), and finished afterwards.
  std::int64_t filesStatus = 0;
  for (const Event& status : transcript.Of("status")) {
    if (status.Get("text") == "Removing K-WARD files . . .") filesStatus = transcript.EpochOf(status);
  }
  ASSERT_EQ(transcript.Of("status-window-gone").size(), 1u);
  const std::int64_t gone = transcript.EpochOf(transcript.Of("status-window-gone")[0]);
  ASSERT_GT(filesStatus, 0);
  EXPECT_GT(gone - filesStatus, 1500);  // the Retry waited that long
  for (const Event& tick : EventsOf(uninstaller, "tick")) {
    EXPECT_FALSE(tick.ms > filesStatus && tick.ms < gone - 300) << "tick at " << tick.ms;
  }
  EXPECT_EQ(EventsOf(uninstaller, "done").size(), 1u);

  const SnapshotDiff drive = Compare(m_drive, DriveSnapshot());
  EXPECT_EQ(Mismatch(drive.gone, Matching(m_drive, IsGoneProductPath)), "");
  EXPECT_EQ(drive.changed, std::vector<std::string>{Upper(DosStartPath())});
  EXPECT_EQ(drive.added, std::vector<std::string>{});
  const SnapshotDiff registry = Compare(m_registry, RegistrySnapshot());
  EXPECT_EQ(Mismatch(registry.gone, Matching(m_registry, IsProductRegistryItem)), "");
  EXPECT_EQ(registry.changed, std::vector<std::string>{});
  EXPECT_EQ(registry.added, std::vector<std::string>{});

  std::string expected;
  for (const BatchLine& line : kDosStart) {
    std::string text = line.text;
    text.erase(text.find_last_not_of("\r\n") + 1);
    if (line.stays) expected += text + "\r\n";
  }
  EXPECT_EQ(ReadFile(DosStartPath()), expected);
}

TEST_F(WholeUninstallE2eTest, DeclinedChangesNothingButRestartsTheAgent) {
  RunOptions options;
  options.answers = {std::string(kConfirmTitle) + "=No@300", std::string(kErrorCaption) + "=OK"};
  const Transcript transcript = RunKwuninst(options);
  SCOPED_TRACE(transcript.Text());
  EXPECT_EQ(BoxLines(transcript),
            std::vector<std::string>{std::string(kConfirmTitle) + " | " + kQuestion + " | Yes,No | No"});
  auto restarted = [] { return EventsOf(ProductTrace(), "shown", "K-TASKER.EXE").size() >= 2; };
  for (int waited = 0; waited < 10000 && !restarted(); waited += 100) Sleep(100);
  EXPECT_TRUE(restarted()) << TraceText(ProductTrace());

  const SnapshotDiff drive = Compare(m_drive, DriveSnapshot());
  const SnapshotDiff registry = Compare(m_registry, RegistrySnapshot());
  for (const auto& changes : {drive.gone, drive.added, drive.changed, registry.gone, registry.added,
                              registry.changed}) {
    EXPECT_EQ(changes, std::vector<std::string>{});
  }
}

// Only a quoted uninstall command locates the product: the resident driver
// registered in the Windows system directory is passed over.  Nothing in
// DOSSTART.BAT is the product's, so it is not even rewritten.
TEST(LocatingE2eTest, AQuotedUninstallCommandFindsTheInstallation) {
  ResetMachine();
  ProductLayout layout{LoggedFiles()};
  layout.registerLocation = false;
  layout.registryItems = false;
  InstallProduct(layout);
  InstallUninstaller();
  SetString("HKLM", "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs", "ZRP",
            "C:\\WINDOWS\\SYSTEM\\ZRP.VXD");
  SetString("HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\K-WARD 95",
            "UninstallString", "\"C:\\K-WARD\\KWUNINST.EXE\" /x");
  WriteFile(DosStartPath(), "@ECHO OFF\r\nLH C:\\MOUSE\\MOUSE.COM\r\nCALL CLSETUP.BAT\r\nREM end");
  const std::string batch = Upper(DosStartPath());
  const std::string batchBefore = DriveSnapshot()[batch];

  RunOptions options;
  options.answers = {std::string(kConfirmTitle) + "=Yes@300", std::string(kErrorCaption) + "=OK"};
  const Transcript transcript = RunKwuninst(options);
  SCOPED_TRACE(transcript.Text());
  const std::vector<Event> started = EventsOf(UninstallerTrace(), "started");
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].detail.rfind("C:\\windows\\Uninst.exe -fC:\\K-WARD\\DEISL1.ISU\t", 0), 0u)
      << started[0].detail;
  EXPECT_FALSE(FileExists("C:\\K-WARD\\K-WARD32.EXE"));  // that directory was emptied
  EXPECT_EQ(DriveSnapshot()[batch], batchBefore);        // bytes and time
  ResetMachine();
}

}  // namespace
}  // namespace kw::e2e
