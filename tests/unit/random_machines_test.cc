// The promise to the user, on random machines and under injected faults:
// whatever the machine holds and whatever the user answers, the run ends,
// never leaves the uninstaller frozen, removes the product's items and
// nothing else, and every item it leaves has its box: a prompt the user
// answered with Cancel, or its stage's failure message, which is shown only
// when an item of the stage was left (or could not be looked at).  A
// declined run changes nothing but the agent and shows no box.  A failing
// machine is named by its seed; KW_SEED=<seed> runs that machine alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/uninstall_app.h"
#include "components/message_catalogue.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using sim::SimMachine;
using Names = std::vector<std::string>;
using State = std::map<std::string, std::string>;
using testing::RunProductProgram;

constexpr std::uint32_t kMachines = 600;
constexpr const char* kMarker = "C:\\K-WARD.SYS";
constexpr const char* kBatch = "C:\\WINDOWS\\DOSSTART.BAT";
constexpr const char* kWininit = "C:\\WINDOWS\\WININIT.INI";
constexpr const char* kRecord = "C:\\WINDOWS\\TEMP\\KWUNINST.LOG";
const Names kOthersRenames = {"[rename]\r\nNUL=C:\\WINDOWS\\OLD.DLL\r\n[other]\r\nX=1\r\n",
                              "[other]\r\n[Rename]\r\nC:\\WINDOWS\\NEW.DLL=C:\\WINDOWS\\NEW.TMP\r\n"};

// Random choices.  A plain machine takes every likely choice and the first
// of every list: the product as its installer leaves it.
class Dice {
 public:
  Dice(std::uint32_t seed, bool plain) : m_rng(seed), m_plain(plain) {}
  bool Chance(double p) { return m_plain ? p >= 0.5 : std::bernoulli_distribution(p)(m_rng); }
  int Below(int n) { return m_plain ? 0 : std::uniform_int_distribution<>(0, n - 1)(m_rng); }
  std::string Pick(const Names& names) { return names[Below(static_cast<int>(names.size()))]; }

 private:
  std::mt19937 m_rng;
  bool m_plain;
};

// Registry items, a key's tree or one value: the clean-up's (the company keys
// and the extension key are the product's on some machines only), and other
// programs' beside them, named alike.
struct Item {
  int root;  // into kRoots
  std::string path;
  const char* value;  // null: the key's tree
};
const RegKey kRoots[] = {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine};
const char* const kRootNames[] = {"HKEY_CLASSES_ROOT\\", "HKEY_CURRENT_USER\\",
                                  "HKEY_LOCAL_MACHINE\\"};
const std::string kCompanies[] = {"Software\\Halvern Software",
                                  "Software\\Halvern Software Systems, Inc."};
const std::string kMenus = "\\shellex\\ContextMenuHandlers";
const std::string kVxDs = "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs";
const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const Item kItems[] = {
    {1, kCompanies[0] + "\\K-tasker", nullptr}, {1, kCompanies[0] + "\\K-WARD32", nullptr},
    {1, kCompanies[1] + "\\K-WARD Professional for Windows 95", nullptr}, {2, kVxDs, "ZRP"},
    {2, kRun, "ZRP95"}, {0, "KWARD.DOCUMENT", nullptr}, {0, "kwt_auto_file", nullptr},
    {0, "CLSID\\{5d1c3a70-4e2f-11d0-8c6a-00a0c9b2e417}", nullptr}, {0, "ZRP", nullptr},
    {0, "*" + kMenus + "\\KWardMenu", nullptr}, {0, "Folder" + kMenus + "\\KWardMenu", nullptr},
    {0, "*" + kMenus, ""}, {0, "Folder" + kMenus, ""}};
const Item kNeighbours[] = {
    {2, kVxDs, "VMM32"}, {2, kRun, "SystemTray"}, {0, "*" + kMenus + "\\OtherMenu", ""},
    {0, "kwt_auto_file ", ""}, {0, " ZRP", ""}, {0, "CLSID\\{00000000-other}\\Server", ""},
    {1, "Software\\Other Vendor\\ K-WARD32 ", "Path "}};

// Names that no ANSI path reaches ("DATA.DAT " would reach "DATA.DAT") and,
// with the long ones, paths too long for the ANSI calls.
const Names kDirNames = {"SUB", "Deep Dir", " LEAD", ".config", "K-WARD", std::string(60, 'L'),
                         "Dot.", "Blank "};
const Names kFileNames = {"DATA.DAT", "kwuninst.exe", "Deisl1.Isu", " lead.txt", ".profile",
                          "OLD.KWT", "K-WARD.SYS", "~KWN0000.TMP", "a.b.c", "SIGS.DAT",
                          "README.TXT", "UPDATE.EXE", "LOG.TXT", "DATA.DAT ", "kwuninst.exe.",
                          std::string(54, 'F') + ".DAT"};
const Names kKeyNames = {"Settings", " Lead", "Trail ", "K-WARD32", "A\\B\\C\\D"};
const Names kGuardLines = {"C:\\K-WARD\\SENTRYX.EXE", "lh c:\\k-ward\\sentryx.exe /q",
                           "@SentryX.Exe", "CLS", "  @cls", "Cls > NUL"};
const Names kUserLines = {"@ECHO OFF", "MOUSE.COM", "CALL CLSETUP.BAT", "REM CLS",
                          "  lh smartdrv  ", "echo cls", ""};

// What the oracle knows of a machine besides its snapshot.
struct Facts {
  std::string installDir, taskDir, batchAfter;  // DOSSTART.BAT without the product's lines
  std::set<std::string> unreadable;             // keys that refuse to be read
  bool declined = false, agent = false, noDialog = false, batchHeld = false;
  bool kwtOurs = false, kwtMissing = false, shared[2] = {};
  std::int64_t answerMs = 0;
};

std::string WithSlash(const std::string& dir) { return dir.back() == '\\' ? dir : dir + "\\"; }

// A snapshot entry's kind and attributes, and a file's bytes.
constexpr std::size_t kHead = 1 + sim::SimFileSystem::kSnapshotAttributeWidth;
std::string HeadOf(const std::string& entry) { return entry.substr(0, kHead); }
std::string BytesOf(const std::string& entry) { return entry.substr(kHead); }

// A file, perhaps read-only, held by another program, or put back as soon
// as it is deleted.
void AddFile(SimMachine& m, Dice& d, const std::string& path, const std::string& content) {
  m.Files().AddFile(path, content);
  if (d.Chance(0.03)) m.Files().SetReadOnly(path, true);
  if (d.Chance(0.03)) m.Files().Hold(path, "user");
  if (d.Chance(0.02)) m.Files().RestoreAfterRemoval(path);
}

// Files at random depths below a directory: deep trees and long paths.
void AddTree(SimMachine& m, Dice& d, const std::string& dir, int files) {
  for (int i = 0; i < files; ++i) {
    std::string path = dir;
    // Seven levels down is one too deep for the emptying.
    for (int depth = d.Chance(0.03) ? 7 : d.Below(4) - 1; depth > 0; --depth) {
      path += d.Pick(kDirNames) + "\\";
    }
    AddFile(m, d, path + d.Pick(kFileNames), "data " + std::to_string(i));
  }
}

// The item (a key's tree gets a random subkey and value), perhaps refusing.
void AddItem(SimMachine& m, Dice& d, const Item& item, const std::string& text, double refuse,
             Facts& f) {
  const std::string key = item.value ? item.path : item.path + "\\" + d.Pick(kKeyNames);
  m.Registry().SetString(kRoots[item.root], key, item.value ? item.value : d.Pick(kKeyNames), text);
  if (!d.Chance(refuse)) return;
  sim::KeySwitches& s = m.Registry().Switches(kRoots[item.root], item.path);
  bool* switches[] = {&s.refuseRead, &s.refuseFullAccess, &s.refuseDeletion, &s.fakeDeletion,
                      &s.refuseValueDeletion};
  *switches[d.Below(5)] = true;
  if (s.refuseRead) f.unreadable.insert(item.path);
}

void BuildRegistry(SimMachine& m, Dice& d, Facts& f) {
  sim::SimRegistry& r = m.Registry();
  for (const Item& item : kItems) {
    if (d.Chance(0.85)) AddItem(m, d, item, f.installDir + "ZRP.VXD", 0.02, f);
  }
  for (const Item& item : kNeighbours) AddItem(m, d, item, "neighbour", 0.05, f);
  r.SetString(kRoots[2], "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\K-WARD 95",
              "UninstallString", "\"" + f.installDir + "KWUNINST.EXE\" /x");
  if (!f.taskDir.empty()) r.SetString(kRoots[1], kItems[1].path, "TaskLocation", f.taskDir);
  const int kwt = d.Below(10);
  f.kwtOurs = kwt < 7;
  f.kwtMissing = kwt == 9;
  const char* kwtClass = kwt < 4 ? "kwt_auto_file" : f.kwtOurs ? "KWARD.Document" : "txtfile";
  if (!f.kwtMissing) r.SetString(kRoots[0], ".KWT", "", kwtClass);
  // Another product of the same company keeps the company's key.
  f.shared[0] = d.Chance(0.3);
  f.shared[1] = d.Chance(0.3);
  const std::string other = d.Pick({"K-Other", "K-WARD32 ", " K-tasker"});
  if (f.shared[0]) r.CreateKey(kRoots[1], kCompanies[0] + "\\" + other);
  if (f.shared[1]) r.CreateKey(kRoots[1], kCompanies[1] + "\\Other");
}

Facts Build(SimMachine& m, Dice& d) {
  Facts f;
  if (d.Chance(0.4)) m.BecomeWindows95();
  const std::string dir = f.installDir = d.Pick(
      {"C:\\K-WARD\\", "C:\\Program Files\\K-WARD\\", "C:\\" + std::string(180, 'P') + "\\KW\\"});
  testing::InstallProductFiles(m, dir);
  AddTree(m, d, dir, 2 + d.Below(8));
  if (d.Chance(0.3)) m.Files().AddDirectoryLink(dir + "LINK", "C:\\OUTSIDE");
  for (const char* path : {"C:\\OUTSIDE\\TARGET.DAT", "C:\\K-WARD2\\KWUNINST.EXE", "C:\\ROOT.KWT",
                           "C:\\WINDOWS\\~KWN0000.TMP", "C:\\WINDOWS\\SYSTEM\\ZRP.VXD"}) {
    m.Files().AddFile(path, "neighbour");
  }
  AddTree(m, d, "C:\\DOCS\\", d.Below(10));
  if (d.Chance(0.9)) AddFile(m, d, kMarker, "marker");
  // The agent's task directory, in odd places too.
  f.taskDir = d.Pick({dir + "TASKS\\", "C:\\TASKS", dir, "c:\\k-ward", "", "C:\\My Tasks\\",
                      " C:\\TASKS ", "C:\\", "C:\\WINDOWS"});
  for (int i = f.taskDir.empty() ? 0 : 1 + d.Below(3); i > 0; --i) {
    const std::string name = d.Pick({"A.KWT", "b.kwt", " C.KWT", "NOTES.TXT"});
    AddFile(m, d, WithSlash(Trimmed(f.taskDir)) + name, "task");
  }
  BuildRegistry(m, d, f);

  // DOSSTART.BAT: the product's lines among the user's.
  // Its lines end as DOS, Unix or the old Macintosh end them; what follows a
  // Ctrl-Z is the user's too.  Rewritten, it has CR LF line ends.
  if (d.Chance(0.9)) {
    const std::string end = d.Pick({"\r\n", "\n", "\r"});
    std::string lines;
    bool anyOurs = false;
    for (int i = 0; i < 2 + d.Below(7); ++i) {
      const bool ours = (i % 2 == 0) == d.Chance(0.5);
      const std::string line = d.Pick(ours ? kGuardLines : kUserLines);
      lines += line + end;
      anyOurs |= ours;
      if (!ours) f.batchAfter += line + "\r\n";
    }
    const std::string tail = d.Chance(0.2) ? "\x1A" "CLS\r\n" : "";
    m.Files().AddFile(kBatch, lines + tail);
    f.batchAfter = anyOurs ? f.batchAfter + tail : lines + tail;
    m.Files().SetAttributes(kBatch, d.Chance(0.1) ? kFileAttributeHidden | kFileAttributeSystem : 0);
    if (d.Chance(0.05)) m.Files().SetReadOnly(kBatch, true);
    f.batchHeld = d.Chance(0.05) && m.Files().Hold(kBatch, "a DOS box") != 0;
  }

  // Another program's pending work for Windows 95's next start; without an
  // administrator's rights, NT queues nothing.
  if (d.Chance(0.3)) m.Files().AddFile(kWininit, d.Pick(kOthersRenames));
  m.SetAdministrator(d.Chance(0.8));

  // The product's programs, running; some will not let go.
  // An agent that is installed but not running must not be started.
  f.agent = d.Chance(0.7);
  sim::SimProcess* agent =
      RunProductProgram(m, dir + "K-TASKER.EXE", {"K-Tasker", {dir + "ACTIVITY.dll"}});
  if (!f.agent) agent->Exit();
  const testing::ProductProgramScript main{"K-WARD Professional", {dir + "K-WARD32.EXE"},
                                           d.Below(3) * 1000, d.Chance(0.1), d.Chance(0.05)};
  if (d.Chance(0.7)) RunProductProgram(m, dir + "K-WARD32.EXE", main);
  const Names resident = {dir + "ZRP95.EXE", dir + "ZRPENG.DLL"};
  if (m.PlatformId() == kPlatformWin32Windows && d.Chance(0.7)) {
    RunProductProgram(m, resident[0], {"ZRP for Windows 95", resident});
  }
  if (d.Chance(0.1)) m.Files().Hold(dir + "KWSHEXT.DLL", "the shell");

  const testing::UninstallerScript u{d.Below(4000), d.Chance(0.5) ? 3500 : d.Below(8000),
                                     !d.Chance(0.2), 5, d.Chance(0.03)};
  testing::InstallUninstaller(m, u);
  f.declined = !u.userAgrees || u.endsBeforeQuestion;
  f.answerMs = u.questionAtMs + u.answerAfterMs;
  f.noDialog = d.Chance(0.05);
  m.FailDialogCreation(f.noDialog);
  return f;
}

// --- The oracle ---------------------------------------------------------------

std::string U(const std::string& text) { return UpperCased(text); }
bool Starts(const std::string& text, const std::string& head) {
  return U(text).rfind(U(head), 0) == 0;
}
bool InTree(const std::string& line, const std::string& key) {
  return U(line) == U(key) || Starts(line, key + "\\") || Starts(line, key + " [");
}
std::string DirOf(const std::string& path) { return U(path.substr(0, path.rfind('\\') + 1)); }
std::string NameOf(const std::string& path) { return U(path.substr(path.rfind('\\') + 1)); }

// A line of the registry's dump that is the product's.
bool IsProductLine(const Facts& f, const std::string& line) {
  for (const Item& item : kItems) {
    const std::string key = kRootNames[item.root] + item.path;
    if (item.value ? Starts(line, key + " [" + item.value + "] ") : InTree(line, key)) return true;
  }
  for (int i = 0; i < 2; ++i) {
    if (!f.shared[i] && InTree(line, kRootNames[1] + kCompanies[i])) return true;
  }
  return f.kwtOurs && InTree(line, "HKEY_CLASSES_ROOT\\.KWT");
}

// Files of the installation directory (but the uninstall program and the
// log) and the marker.
bool IsProductFile(const Facts& f, const std::string& path, const std::string& entry) {
  const std::string name = NameOf(path);
  const bool kept = entry[0] == 'F' && (name == "KWUNINST.EXE" || name == "DEISL1.ISU");
  return U(path) == kMarker || (Starts(path, f.installDir) && !kept);
}

// The task directory, when the run cleans it apart from the installation.
std::string TaskDir(const Facts& f) {
  return f.taskDir.empty() || f.taskDir == f.installDir ? "" : U(WithSlash(Trimmed(f.taskDir)));
}
bool IsTaskFile(const Facts& f, const std::string& path, const std::string& entry) {
  return entry[0] == 'F' && DirOf(path) == TaskDir(f) && sim::WildcardMatch("*.KWT", NameOf(path));
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find("\r\n", start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// What the run queued for deletion when Windows next starts: NT's list, or
// the files that WININIT.INI's new NUL= lines name by their DOS names.  The
// lines that were there before must all be there still, in order.
Names Queued(SimMachine& m, const State& before, const State& after) {
  Names queued = m.Files().PendingDeletions();
  const auto was = before.find(kWininit), now = after.find(kWininit);
  if (now == after.end()) return queued;
  const Names old = was == before.end() ? Names() : LinesOf(BytesOf(was->second));
  Names kept;
  int sections = 0;
  std::string section;
  for (const std::string& line : LinesOf(BytesOf(now->second))) {
    if (!line.empty() && line[0] == '[') section = U(line);
    sections += section == "[RENAME]" && line[0] == '[';
    if (kept.size() < old.size() && line == old[kept.size()]) {
      kept.push_back(line);
      continue;
    }
    if (line == "[rename]") continue;
    EXPECT_EQ(section, "[RENAME]") << line;
    std::string named = "not a file of the machine: " + line;
    for (const auto& [path, entry] : after) {
      if (entry[0] == 'F' && "NUL=" + m.Files().ShortPath(path) == line) named = path;
    }
    queued.push_back(named);
  }
  EXPECT_EQ(kept, old) << "another program's lines in WININIT.INI";
  EXPECT_LE(sections, 1) << "[rename] twice";
  return queued;
}

// The drive's entries by path, and the registry's dump lines (as "R").
State Take(SimMachine& m) {
  State state = m.Files().Snapshot();
  for (const std::string& line : m.Registry().Dump()) state[line] = "R";
  return state;
}

class PromiseTest : public testing::SimTest {
 protected:
  // Builds a machine, runs the program on it with the dice answering every
  // box, and checks the promise.
  void Run(Dice& dice, const std::function<void(SimMachine&)>& inject = {}) {
    const Facts facts = Build(Machine(), dice);
    int prompts = 0;
    Machine().SetBoxAnswerer([&](const sim::SimMessageBox& box) {
      if (!IsPrompt(box)) return dice.Chance(0.1) ? 0 : kIdOk;  // 0: the box cannot be shown
      if (++prompts > 10) return kIdCancel;                     // the user gives up at last
      const int answer = dice.Below(4);
      if (answer == 1) Files().ReleaseAllOf("user");  // closes the other program first
      return answer < 2 ? kIdRetry : answer == 2 ? kIdCancel : 0;
    });
    if (inject) inject(Machine());
    const State before = Take(Machine());
    CUninstallApp().InitInstance();
    const State after = Take(Machine());
    const Names queued = Queued(Machine(), before, after);
    CheckChanges(facts, before, after, queued);
    if (!facts.declined) CheckBoxes(facts, after, queued);
  }

  static bool IsPrompt(const sim::SimMessageBox& box) { return (box.style & 0xF) == kMbRetryCancel; }
  // The texts of the application's boxes, or of the prompts not answered Retry.
  Names Texts(bool prompts) const {
    Names texts;
    for (const sim::SimMessageBox& box : Machine().Boxes()) {
      if (IsPrompt(box) == prompts && box.answer != kIdRetry) texts.push_back(box.text);
    }
    return texts;
  }

  // Only the product's items went (task files: *.KWT in the task directory,
  // which goes when it held nothing else), and only DOSSTART.BAT, losing the
  // product's lines, and the marker changed.  Nothing was added but an empty
  // DOSSTART.BAT.  The agent runs again only after a decline.
  void CheckChanges(const Facts& f, const State& before, const State& after, const Names& queued) {
    const bool onlyTaskFiles = std::all_of(before.begin(), before.end(), [&](const auto& e) {
      return DirOf(e.first) != TaskDir(f) || IsTaskFile(f, e.first, e.second);
    });
    for (const auto& [key, entry] : before) {
      const auto now = after.find(key);
      if (now != after.end() && now->second == entry) continue;
      const bool gone = now == after.end();
      const bool taskDir = U(key) + "\\" == TaskDir(f) && onlyTaskFiles;
      const bool allowed =
          entry == "R" ? IsProductLine(f, key)
                       : (gone && (IsProductFile(f, key, entry) || IsTaskFile(f, key, entry) ||
                                   taskDir)) ||
                             U(key) == kMarker || U(key) == kWininit ||
                             (!gone && U(key) == kBatch && HeadOf(now->second) == HeadOf(entry) &&
                              BytesOf(now->second) == f.batchAfter);
      EXPECT_TRUE(allowed && !f.declined) << (gone ? "removed " : "changed ") << key;
    }
    for (const auto& [key, entry] : after) {
      EXPECT_TRUE(before.count(key) || U(key) == kWininit || U(key) == kRecord ||
                  (U(key) == kBatch && entry == "F" + std::string(kHead - 1, ' ')))
          << "added " << key;
    }
    // Only what is left of the product, never in the Windows directory.
    for (const std::string& path : queued) {
      const auto entry = before.find(path);
      EXPECT_TRUE(entry != before.end() && after.count(path) && !Starts(path, "C:\\WINDOWS\\") &&
                  (IsProductFile(f, path, entry->second) || IsTaskFile(f, path, entry->second)))
          << "queued for restart: " << path;
    }
    EXPECT_TRUE(!f.declined || Machine().Boxes().empty()) << "a box on the declined path";
    const sim::SimProcess* agent = Machine().FindProcess(f.installDir + "K-TASKER.EXE");
    EXPECT_EQ(agent && agent->IsRunning(), f.agent && f.declined) << "the agent";
    const sim::SimProcess* uninstaller = Machine().FindProcess(testing::kUninstallerPath);
    EXPECT_TRUE(!uninstaller->IsRunning() || uninstaller->SuspendCount() == 0) << "left frozen";
    EXPECT_LE(Machine().NowMs(), f.answerMs + 70000) << "the run took too long";
  }

  // Every item left has its box: a cancelled prompt that names it, or its
  // stage's failure message.  A failure message is shown when, and only
  // when, an item of its stage was left or could not be looked at (a key
  // that refuses reading, a batch file held open).
  void CheckBoxes(const Facts& f, const State& after, const Names& queued) {
    const Names messages = Texts(false);
    std::set<std::string> cancelled;  // upper-cased
    for (const std::string& text : Texts(true)) cancelled.insert(U(text));
    const bool shown8 =
        std::count(messages.begin(), messages.end(), LoadMessage(kMsgFilesFailed)) != 0;
    // Task files cannot be found when the key naming their directory cannot
    // be read; that key's failure is shown.
    const bool tasksKnown = f.unreadable.count(kItems[1].path) == 0;
    const bool taskDirEmpty = std::none_of(after.begin(), after.end(), [&](const auto& e) {
      return DirOf(e.first) == TaskDir(f);
    });
    bool filesLeft = false, registryLeft = f.kwtMissing, programsLeft = false;
    for (const auto& [key, entry] : after) {
      registryLeft |= entry == "R" && IsProductLine(f, key);
      if (entry == "R") continue;
      filesLeft |= IsProductFile(f, key, entry) || IsTaskFile(f, key, entry);
      const bool taskDir = U(key) + "\\" == TaskDir(f) && taskDirEmpty;
      const bool task = tasksKnown && (taskDir || IsTaskFile(f, key, entry));
      // A directory kept for what it still holds has no box of its own.
      const bool holding = std::any_of(after.begin(), after.end(),
                                       [&](const auto& e) { return Starts(e.first, key + "\\"); });
      if ((IsProductFile(f, key, entry) && !shown8 && !holding) || task) {
        const unsigned prompt = taskDir ? kErrDirectoryNotRemoved : kErrFileNotDeleted;
        EXPECT_TRUE(cancelled.count(U(FormatMessageText(LoadMessage(prompt), key))))
            << "left without a box: " << key;
      }
    }
    for (const Item& item : kItems) registryLeft |= item.value && f.unreadable.count(item.path);
    for (sim::SimProcess* p : Machine().Processes()) {
      programsLeft |= p->IsRunning() && Starts(p->ImagePath(), f.installDir);
    }
    const auto batch = after.find(kBatch);
    const bool batchLeft = batch != after.end() && BytesOf(batch->second) != f.batchAfter;
    Names expected;
    for (const auto& [shown, id] : {std::pair{f.noDialog, kMsgDialogNotCreated},
                                    {programsLeft, kMsgCloseProgramsFailed},
                                    {registryLeft, kMsgRegistryFailed},
                                    {batchLeft || f.batchHeld, kMsgBatchFileFailed},
                                    {shown8 && filesLeft, kMsgFilesFailed},
                                    {!queued.empty(), kMsgRemovedAtRestart}}) {
      if (shown) expected.push_back(LoadMessage(id));
    }
    EXPECT_EQ(messages, expected);
    if (!f.noDialog) CheckFailuresFollowTheirStatus(messages.size() - (queued.empty() ? 0 : 1));
  }

  // A stage's failure box comes after its status and before the next one,
  // owned by the status window.
  void CheckFailuresFollowTheirStatus(std::size_t failures) {
    const unsigned ids[] = {kMsgCloseProgramsFailed, kMsgRegistryFailed, kMsgBatchFileFailed,
                            kMsgFilesFailed};
    std::size_t statuses = 0, seen = 0;
    for (const std::string& line : Journal()) {
      statuses += line.rfind("status: ", 0) == 0;
      for (std::size_t stage = 0; stage < 4; ++stage) {
        if (line != "box \"K-WARD Uninstall Error\": " + LoadMessage(ids[stage])) continue;
        EXPECT_EQ(statuses, stage + 1) << line;
        ++seen;
      }
    }
    EXPECT_EQ(seen, failures);
    for (const sim::SimMessageBox& box : Machine().Boxes()) {
      EXPECT_TRUE(IsPrompt(box) || box.ownerTitle == "  K-WARD Uninstall") << box.text;
    }
  }
};

// --- Random machines ----------------------------------------------------------

std::vector<std::uint32_t> Seeds() {
  if (const char* one = std::getenv("KW_SEED")) return {static_cast<std::uint32_t>(std::atol(one))};
  std::vector<std::uint32_t> seeds(kMachines);
  std::iota(seeds.begin(), seeds.end(), 1u);
  return seeds;
}

class RandomMachineTest : public PromiseTest,
                          public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(RandomMachineTest, KeepsThePromise) {
  SCOPED_TRACE("replay with KW_SEED=" + std::to_string(GetParam()));
  Dice dice(GetParam(), false);
  Run(dice);
}

INSTANTIATE_TEST_SUITE_P(Machines, RandomMachineTest, ::testing::ValuesIn(Seeds()),
                         [](const auto& seed) { return "seed_" + std::to_string(seed.param); });

// --- Injected faults, on the plain machine ----------------------------------

// The plain machine's user answers Retry ten times, then Cancel.
struct Fault {
  const char* name;
  std::function<void(SimMachine&)> inject;
  std::vector<unsigned> messages;  // the application's boxes, in order
  Names left;                      // files the user was asked about and left
};
void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

sim::KeySwitches& Switches(SimMachine& m, int item) {
  return m.Registry().Switches(kRoots[kItems[item].root], kItems[item].path);
}
const std::string kLocked = "C:\\K-WARD\\K-WARD32.EXE";

const Fault kFaults[] = {
    {"KeyDeletionRefused", [](SimMachine& m) { Switches(m, 8).refuseDeletion = true; },
     {kMsgRegistryFailed}, {}},
    {"AccessDenied", [](SimMachine& m) { Switches(m, 4).refuseFullAccess = true; },
     {kMsgRegistryFailed}, {}},
    {"DeletionReportedButNotDone", [](SimMachine& m) { Switches(m, 0).fakeDeletion = true; },
     {kMsgRegistryFailed}, {}},
    {"DiskFullWhileSavingDosstart", [](SimMachine& m) { m.Files().FillUpAfter(4); },
     {kMsgBatchFileFailed}, {}},
    {"BoxesThatCannotBeShown", [](SimMachine& m) {
       // Not shown, none of them; past a hundred the run would never end.
       m.SetBoxAnswerer([&m](const sim::SimMessageBox&) {
         return m.Boxes().size() < 100 ? 0 : kIdCancel;
       });
       m.Files().Hold("C:\\K-WARD\\ZRP.VXD", "user");
       Switches(m, 8).refuseDeletion = true;
     }, {kMsgRegistryFailed, kMsgRemovedAtRestart}, {"C:\\K-WARD\\ZRP.VXD"}},
    {"UninstallerCrashesWhileFrozen", [](SimMachine& m) {
       testing::UninstallerScript crashing;
       crashing.crashesWhileFrozen = true;
       testing::InstallUninstaller(m, crashing);
     }, {}, {}},
    // It closes its window but never ends.
    {"ProgramNeverLetsGoOfItsFile", [](SimMachine& m) {
       m.FindProcess(kLocked)->Exit();
       RunProductProgram(m, kLocked, {"K-WARD Professional", {kLocked}, 3600000});
     }, {kMsgCloseProgramsFailed, kMsgRemovedAtRestart}, {kLocked}},
    {"FileReappearsAfterDeletion",
     [](SimMachine& m) { m.Files().RestoreAfterRemoval("C:\\K-WARD\\DATA.DAT"); },
     {kMsgRemovedAtRestart}, {"C:\\K-WARD\\DATA.DAT"}},
    {"MarkerReappearsAfterDeletion", [](SimMachine& m) { m.Files().RestoreAfterRemoval(kMarker); },
     {kMsgFilesFailed, kMsgRemovedAtRestart}, {}},
    // The installation directory is the task directory: its read-only task
    // file, the user's to decide, is asked about by the emptying alone.
    {"TaskDirIsTheInstallDir", [](SimMachine& m) {
       m.Registry().SetString(kRoots[1], kItems[1].path, "TaskLocation", "C:\\K-WARD\\");
       m.Files().AddFile("C:\\K-WARD\\OLD.KWT");
       m.Files().SetReadOnly("C:\\K-WARD\\OLD.KWT", true);
     }, {kMsgRemovedAtRestart}, {"C:\\K-WARD\\OLD.KWT"}},
    // What is left cannot be queued for the next start: on NT without an
    // administrator's rights, on 95 when WININIT.INI cannot be saved.
    {"NotAnAdministrator", [](SimMachine& m) {
       m.SetAdministrator(false);
       m.Files().Hold("C:\\K-WARD\\KWSHEXT.DLL", "the shell");
     }, {kMsgFilesFailed}, {"C:\\K-WARD\\KWSHEXT.DLL"}},
    {"WininitCannotBeSaved", [](SimMachine& m) {
       m.BecomeWindows95();
       m.Files().AddFile(kWininit, kOthersRenames[0]);
       m.Files().SetReadOnly(kWininit, true);
       m.Files().Hold("C:\\K-WARD\\KWSHEXT.DLL", "the shell");
     }, {kMsgFilesFailed}, {"C:\\K-WARD\\KWSHEXT.DLL"}},
};

class FaultTest : public PromiseTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(FaultTest, EndsAsExpected) {
  Dice plain(0, true);
  Run(plain, GetParam().inject);
  Names expected, left;
  for (unsigned id : GetParam().messages) expected.push_back(LoadMessage(id));
  for (const std::string& path : GetParam().left) {
    left.push_back(FormatMessageText(LoadMessage(kErrFileNotDeleted), path));
  }
  EXPECT_EQ(Texts(false), expected);
  EXPECT_EQ(Texts(true), left);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultTest, ::testing::ValuesIn(kFaults),
                         [](const auto& fault) { return std::string(fault.param.name); });

}  // namespace
}  // namespace kw
