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
#include <cctype>
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
#include "tests/support/footprint.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using sim::SimMachine;
using Names = std::vector<std::string>;
using State = std::map<std::string, std::string>;
using testing::IsPrompt;
using testing::RunProductProgram;

constexpr std::uint32_t kMachines = 600;
const std::string kMarker = footprint::Place("marker");
constexpr const char* kBatch = testing::kDosStartPath;
constexpr const char* kWininit = testing::kWininitPath;
constexpr const char* kRecord = testing::kRecordPath;
// Another program's pending work in WININIT.INI: its [rename] section comes
// first, last, or with a comment after its header.
const Names kOthersRenames = {"[rename]\r\nNUL=C:\\WINDOWS\\OLD.DLL\r\n[other]\r\nX=1\r\n",
                              "[other]\r\n[Rename]\r\nC:\\WINDOWS\\NEW.DLL=C:\\WINDOWS\\NEW.TMP\r\n",
                              "[rename] ; pending\r\nNUL=C:\\WINDOWS\\OLD.DLL\r\n[other]\r\nX=1\r\n"};

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

RegKey RootKey(const std::string& root) {
  return root == "HKCU" ? kHkeyCurrentUser : root == "HKLM" ? kHkeyLocalMachine : kHkeyClassesRoot;
}

// The registry items the clean-up removes: the footprint's key trees, its
// company keys and extension key (the product's on some machines only), and
// its values alone in keys of the system's.  Values within them fill them.
struct RegistryItem {
  const char* root;
  const char* key;
  const char* value;  // null: the key's tree
  const char* role;   // the footprint's: "tree", "company", "class" or "alone"
};
std::vector<RegistryItem> ProductRegistryItems() {
  std::vector<RegistryItem> items;
  for (const footprint::Key& key : footprint::kKeys) {
    if (!footprint::Is(key.role, "logged")) items.push_back({key.root, key.path, nullptr, key.role});
  }
  for (const footprint::Value& value : footprint::kValues) {
    if (footprint::Is(value.role, "alone")) {
      items.push_back({value.root, value.key, value.name, value.role});
    }
  }
  return items;
}
const std::vector<RegistryItem> kProductItems = ProductRegistryItems();
constexpr const char* kAgentSettings = "Software\\Halvern Software\\K-WARD32";

// Other programs' items named like the product's, and its neighbours'.
const RegistryItem kLookalikes[] = {
    {"HKLM", "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs", "VMM32", ""},
    {"HKCR", "*\\shellex\\ContextMenuHandlers\\OtherMenu", "", ""},
    {"HKCR", "kwt_auto_file ", "", ""}, {"HKCR", " ZRP", "", ""},
    {"HKCR", "CLSID\\{00000000-other}\\Server", "", ""},
    {"HKCU", "Software\\Other Vendor\\ K-WARD32 ", "Path ", ""}};

// Names of files and directories; the long ones make paths too long for the
// ANSI calls.  Now and then a name that no ANSI path reaches ("DATA.DAT "
// would reach "DATA.DAT").
const Names kDirNames = {"SUB", "Deep Dir", " LEAD", ".config", "K-WARD", std::string(60, 'L')};
const Names kFileNames = {"DATA.DAT", "kwuninst.exe", "Deisl1.Isu", " lead.txt", ".profile",
                          "OLD.KWT", "K-WARD.SYS", "~KWN0000.TMP", "a.b.c", "SIGS.DAT",
                          "README.TXT", "UPDATE.EXE", "LOG.TXT", std::string(54, 'F') + ".DAT"};
const Names kUnreachableDirNames = {"Dot.", "Blank "};
const Names kUnreachableFileNames = {"DATA.DAT ", "kwuninst.exe."};
std::string PickName(Dice& dice, const Names& names, const Names& unreachable) {
  return dice.Pick(dice.Chance(0.04) ? unreachable : names);
}
const Names kKeyNames = {"Settings", " Lead", "Trail ", "K-WARD32", "A\\B\\C\\D"};
Names BatchLines(const char* role) {
  Names lines;
  for (const footprint::BatchLine& line : footprint::kBatchLines) {
    if (footprint::Is(line.role, role)) lines.push_back(line.text);
  }
  return lines;
}
const Names kGuardLines = BatchLines("guard");
const Names kUserLines = BatchLines("user");

// What the oracle knows of a machine besides its snapshot.
struct Facts {
  std::string installDir, taskDir;
  std::string batchAfter;                    // DOSSTART.BAT without the product's lines
  std::set<std::string> unreadableKeys;      // that refuse to be read
  std::set<std::string> companyKeysShared;   // kept for another product of the maker
  bool declined = false, agentRunning = false, noStatusWindow = false, batchHeld = false;
  bool extensionIsOurs = false, extensionMissing = false;
  std::int64_t answerMs = 0;
};

std::string WithSlash(const std::string& dir) { return dir.back() == '\\' ? dir : dir + "\\"; }
std::string Upper(const std::string& text) { return UpperCased(text); }
bool StartsWith(const std::string& text, const std::string& head) {
  return Upper(text).rfind(Upper(head), 0) == 0;
}


// A snapshot entry's kind and attributes, and a file's bytes.
constexpr std::size_t kHead = 1 + sim::SimFileSystem::kSnapshotAttributeWidth;
std::string HeadOf(const std::string& entry) { return entry.substr(0, kHead); }
std::string BytesOf(const std::string& entry) { return entry.substr(kHead); }

// A file, perhaps read-only, held by another program or loaded by it as a
// library, or put back as soon as it is deleted.
void AddFile(SimMachine& machine, Dice& dice, const std::string& path, const std::string& content) {
  machine.Files().AddFile(path, content);
  if (dice.Chance(0.03)) machine.Files().SetReadOnly(path, true);
  if (dice.Chance(0.03)) machine.Files().Hold(path, "user");
  if (dice.Chance(0.02)) machine.Files().Hold(path, "user", sim::HoldKind::kLoadedLibrary);
  if (dice.Chance(0.02)) machine.Files().RestoreAfterRemoval(path);
}

// Files at random depths below a directory: deep trees and long paths.
void AddTree(SimMachine& machine, Dice& dice, const std::string& dir, int files) {
  for (int i = 0; i < files; ++i) {
    std::string path = dir;
    // Seven levels down is one too deep for the emptying.
    for (int depth = dice.Chance(0.03) ? 7 : dice.Below(4) - 1; depth > 0; --depth) {
      path += PickName(dice, kDirNames, kUnreachableDirNames) + "\\";
    }
    AddFile(machine, dice, path + PickName(dice, kFileNames, kUnreachableFileNames),
            "data " + std::to_string(i));
  }
}

// The item (a key's tree gets a random subkey and value), perhaps refusing.
void AddItem(SimMachine& machine, Dice& dice, const RegistryItem& item, const std::string& text,
             double refuse, Facts& facts) {
  const std::string key = item.value ? item.key : item.key + ("\\" + dice.Pick(kKeyNames));
  machine.Registry().SetString(RootKey(item.root), key,
                               item.value ? item.value : dice.Pick(kKeyNames), text);
  if (!dice.Chance(refuse)) return;
  sim::KeySwitches& key_switches = machine.Registry().Switches(RootKey(item.root), item.key);
  bool* switches[] = {&key_switches.refuseRead, &key_switches.refuseFullAccess,
                      &key_switches.refuseDeletion, &key_switches.fakeDeletion,
                      &key_switches.refuseValueDeletion};
  *switches[dice.Below(5)] = true;
  if (key_switches.refuseRead) facts.unreadableKeys.insert(item.key);
}

void BuildRegistry(SimMachine& machine, Dice& dice, Facts& facts) {
  sim::SimRegistry& registry = machine.Registry();
  // The company keys come with the product's keys in them, the extension
  // key below.
  for (const RegistryItem& item : kProductItems) {
    const bool madeElsewhere = footprint::Is(item.role, "company") || footprint::Is(item.role, "class");
    if (!madeElsewhere && dice.Chance(0.85)) {
      AddItem(machine, dice, item, facts.installDir + "ZRP.VXD", 0.02, facts);
    }
  }
  for (const RegistryItem& item : kLookalikes) AddItem(machine, dice, item, "neighbour", 0.05, facts);
  for (const footprint::NeighbourValue& value : footprint::kNeighbourValues) {
    if (!dice.Chance(0.5)) continue;
    registry.SetString(RootKey(value.root), value.key, value.name, value.data);
    for (const footprint::Key& key : footprint::kKeys) {
      const bool below = StartsWith(value.key, key.path + std::string("\\"));
      if (footprint::Is(key.role, "company") && key.root == std::string(value.root) && below) {
        facts.companyKeysShared.insert(key.path);
      }
    }
  }
  for (const footprint::Value& value : footprint::kValues) {
    // The setup-log uninstaller's: KWUNINST must leave them to it.
    if (footprint::RemovedByTheLog(value)) {
      registry.SetString(RootKey(value.root), value.key, value.name,
                         footprint::Expand(value.data, facts.installDir, facts.taskDir));
    }
  }
  registry.SetString(kHkeyLocalMachine,
                     "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\K-WARD 95",
                     "UninstallString", "\"" + facts.installDir + "KWUNINST.EXE\" /x");
  if (!facts.taskDir.empty()) {
    registry.SetString(kHkeyCurrentUser, kAgentSettings, "TaskLocation", facts.taskDir);
  }
  const int extension = dice.Below(10);
  facts.extensionIsOurs = extension < 7;
  facts.extensionMissing = extension == 9;
  const char* extensionClass =
      extension < 4 ? "kwt_auto_file" : facts.extensionIsOurs ? "KWARD.Document" : "txtfile";
  if (!facts.extensionMissing) registry.SetString(kHkeyClassesRoot, ".KWT", "", extensionClass);
  // Another product of the same maker keeps the company's key.
  for (const footprint::Key& key : footprint::kKeys) {
    if (!footprint::Is(key.role, "company") || !dice.Chance(0.3)) continue;
    facts.companyKeysShared.insert(key.path);
    registry.CreateKey(RootKey(key.root),
                       key.path + ("\\" + dice.Pick({"K-Other", "K-WARD32 ", " K-tasker"})));
  }
}

Facts Build(SimMachine& machine, Dice& dice) {
  Facts facts;
  if (dice.Chance(0.4)) machine.BecomeWindows95();
  const std::string dir = facts.installDir = dice.Pick(
      {footprint::Place("install"), "C:\\Program Files\\K-WARD\\", "C:\\" + std::string(180, 'P') + "\\KW\\"});
  testing::InstallProductFiles(machine, dir);
  AddTree(machine, dice, dir, 2 + dice.Below(8));
  if (dice.Chance(0.3)) machine.Files().AddDirectoryLink(dir + "LINK", "C:\\OUTSIDE");
  for (const char* path : {"C:\\OUTSIDE\\TARGET.DAT", "C:\\K-WARD2\\KWUNINST.EXE", "C:\\ROOT.KWT",
                           "C:\\WINDOWS\\~KWN0000.TMP", "C:\\WINDOWS\\SYSTEM\\ZRP.VXD"}) {
    machine.Files().AddFile(path, "neighbour");
  }
  for (const footprint::NeighbourFile& file : footprint::kNeighbourFiles) {
    AddFile(machine, dice, file.path, file.why);
  }
  AddTree(machine, dice, "C:\\DOCS\\", dice.Below(10));
  if (dice.Chance(0.9)) AddFile(machine, dice, kMarker, "marker");
  // The agent's task directory, in odd places too.
  facts.taskDir = dice.Pick({dir + "TASKS\\", footprint::Place("tasks"), dir, "c:\\k-ward", "",
                             "C:\\My Tasks\\", " C:\\TASKS ", "C:\\", "C:\\WINDOWS"});
  for (int i = facts.taskDir.empty() ? 0 : 1 + dice.Below(3); i > 0; --i) {
    const std::string name = dice.Pick({footprint::kTaskFiles[0], "b.kwt", " C.KWT", "NOTES.TXT"});
    AddFile(machine, dice, WithSlash(Trimmed(facts.taskDir)) + name, "task");
  }
  BuildRegistry(machine, dice, facts);

  // DOSSTART.BAT: the product's lines among the user's.  Its lines end as
  // DOS, Unix or the old Macintosh end them; what follows a Ctrl-Z is the
  // user's too.  Rewritten, it has CR LF line ends.
  if (dice.Chance(0.9)) {
    const std::string end = dice.Pick({"\r\n", "\n", "\r"});
    std::string lines;
    bool anyOurs = false;
    for (int i = 0; i < 2 + dice.Below(7); ++i) {
      const bool ours = (i % 2 == 0) == dice.Chance(0.5);
      const std::string line = dice.Pick(ours ? kGuardLines : kUserLines);
      lines += line + end;
      anyOurs |= ours;
      if (!ours) facts.batchAfter += line + "\r\n";
    }
    const std::string tail = dice.Chance(0.2) ? "\x1A" "CLS\r\n" : "";
    machine.Files().AddFile(kBatch, lines + tail);
    facts.batchAfter = anyOurs ? facts.batchAfter + tail : lines + tail;
    machine.Files().SetAttributes(
        kBatch, dice.Chance(0.1) ? kFileAttributeHidden | kFileAttributeSystem : 0);
    if (dice.Chance(0.05)) machine.Files().SetReadOnly(kBatch, true);
    facts.batchHeld = dice.Chance(0.05) && machine.Files().Hold(kBatch, "a DOS box") != 0;
  }

  // Another program's pending work for Windows 95's next start; without an
  // administrator's rights, NT queues nothing.
  if (dice.Chance(0.3)) machine.Files().AddFile(kWininit, dice.Pick(kOthersRenames));
  machine.SetAdministrator(dice.Chance(0.8));

  // The footprint's programs, most of them running; some will not let go.
  // An agent that is installed but not running must not be started.
  for (const footprint::Program& program : footprint::kPrograms) {
    testing::ProductProgramScript script{program.title, {}};
    for (const std::string& name : footprint::HeldBy(program)) script.heldFiles.push_back(dir + name);
    const bool isAgent = program.file == std::string("K-TASKER.EXE");
    if (program.file == std::string("K-WARD32.EXE")) {
      script.exitDelayMs = dice.Below(3) * 1000;
      script.refusesToClose = dice.Chance(0.1);
      script.hung = dice.Chance(0.05);
    }
    const bool runs = footprint::Is(program.runs, "shell") ? dice.Chance(0.1)
                      : footprint::Is(program.runs, "95")
                          ? machine.PlatformId() == kPlatformWin32Windows && dice.Chance(0.7)
                          : dice.Chance(0.7);
    if (isAgent) facts.agentRunning = runs;
    if (!runs && !isAgent) continue;
    sim::SimProcess* process = RunProductProgram(machine, dir + program.file, script);
    if (!runs) process->Exit();
  }

  const testing::UninstallerScript uninstaller{dice.Below(4000),
                                               dice.Chance(0.5) ? 3500 : dice.Below(8000),
                                               !dice.Chance(0.2), 5, dice.Chance(0.03)};
  testing::InstallUninstaller(machine, uninstaller);
  facts.declined = !uninstaller.userAgrees || uninstaller.endsBeforeQuestion;
  facts.answerMs = uninstaller.questionAtMs + uninstaller.answerAfterMs;
  facts.noStatusWindow = dice.Chance(0.05);
  machine.FailDialogCreation(facts.noStatusWindow);
  return facts;
}

// --- The oracle ---------------------------------------------------------------

// Whether a line of the registry's dump is the key or lies below it.
bool InTree(const std::string& line, const std::string& key) {
  return Upper(line) == Upper(key) || StartsWith(line, key + "\\") || StartsWith(line, key + " [");
}
std::string DirOf(const std::string& path) { return Upper(path.substr(0, path.rfind('\\') + 1)); }
std::string NameOf(const std::string& path) { return Upper(path.substr(path.rfind('\\') + 1)); }

// A line of the registry's dump that the clean-up is to remove.
bool IsProductRegistryLine(const Facts& facts, const std::string& line) {
  for (const RegistryItem& item : kProductItems) {
    const std::string key = footprint::LongRootName(item.root) + "\\" + item.key;
    const bool sharedCompany = facts.companyKeysShared.count(item.key) != 0;
    if (sharedCompany || (footprint::Is(item.role, "class") && !facts.extensionIsOurs)) continue;
    if (item.value ? StartsWith(line, key + " [" + item.value + "] ") : InTree(line, key)) return true;
  }
  return false;
}

// Files of the installation directory (but the uninstall program and the
// log) and the marker.
bool IsProductFile(const Facts& facts, const std::string& path, const std::string& entry) {
  const std::string name = NameOf(path);
  bool spared = false;  // what the setup-log uninstaller removes, wherever it lies
  for (const footprint::File& file : footprint::kFiles) {
    spared |= entry[0] == 'F' && footprint::Is(file.role, "uninstall") && name == Upper(file.name);
  }
  return Upper(path) == kMarker || (StartsWith(path, facts.installDir) && !spared);
}

// The task directory, when the run cleans it apart from the installation.
std::string TaskDir(const Facts& facts) {
  return facts.taskDir.empty() || facts.taskDir == facts.installDir
             ? ""
             : Upper(WithSlash(Trimmed(facts.taskDir)));
}
bool IsTaskFile(const Facts& facts, const std::string& path, const std::string& entry) {
  return entry[0] == 'F' && DirOf(path) == TaskDir(facts) &&
         sim::WildcardMatch("*.KWT", NameOf(path));
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

// The section a line of an .ini file begins, as Windows reads it: the name
// between the "[" and the last "]", blanks aside; empty for other lines.
std::string SectionOf(const std::string& line) {
  const std::string::size_type close = line.rfind(']');
  if (line.empty() || line[0] != '[' || close == std::string::npos) return "";
  return Upper(Trimmed(line.substr(1, close - 1)));
}

// What the run queued for deletion when Windows next starts: NT's list, or
// the files that WININIT.INI's new NUL= lines name by their DOS names.  The
// lines that were there before must all be there still, in order, and ours
// in the one [rename] section.
Names Queued(SimMachine& machine, const State& before, const State& after) {
  Names queued;
  // As the drive spells them: a path names its entry whatever its case.
  for (const std::string& path : machine.Files().PendingDeletions()) {
    std::string spelled = path;
    for (const State* state : {&before, &after}) {
      for (const auto& entry : *state) {
        if (Upper(entry.first) == Upper(path)) spelled = entry.first;
      }
    }
    queued.push_back(spelled);
  }
  const auto was = before.find(kWininit), now = after.find(kWininit);
  if (now == after.end()) return queued;
  const Names old = was == before.end() ? Names() : LinesOf(BytesOf(was->second));
  Names kept;
  int renameSections = 0;
  std::string section;
  for (const std::string& line : LinesOf(BytesOf(now->second))) {
    if (!SectionOf(line).empty()) {
      section = SectionOf(line);
      renameSections += section == "RENAME";
    }
    if (kept.size() < old.size() && line == old[kept.size()]) {
      kept.push_back(line);
      continue;
    }
    if (line == "[rename]") continue;
    EXPECT_EQ(section, "RENAME") << line;
    std::string named = "not a file of the machine: " + line;
    for (const auto& [path, entry] : after) {
      if (entry[0] == 'F' && "NUL=" + machine.Files().ShortPath(path) == line) named = path;
    }
    queued.push_back(named);
  }
  EXPECT_EQ(kept, old) << "another program's lines in WININIT.INI";
  EXPECT_LE(renameSections, 1) << "[rename] twice";
  return queued;
}

// The files that the run renamed on NT before it queued them, so that a file
// of the old name written before the restart stays: by their new paths,
// the paths they had.  Each is a file that went from its directory and is
// there again, bytes and attributes alike, under its name's stem with the
// extension .~KD to .~KD9, a name that nothing had.
std::map<std::string, std::string> RenamedAside(const State& before, const State& after,
                                                const Names& queued) {
  std::map<std::string, std::string> renamed;
  std::set<std::string> taken;
  for (const std::string& path : queued) {
    const auto now = after.find(path);
    if (before.count(path) || now == after.end()) continue;
    for (const auto& [was, entry] : before) {
      const std::string name = NameOf(was);
      const std::string::size_type dot = name.rfind('.');
      const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
      const std::string extension = NameOf(path).substr(std::min(stem.size(), NameOf(path).size()));
      const bool asideName = StartsWith(NameOf(path), stem) &&
                             (extension == ".~KD" || (extension.size() == 5 && StartsWith(extension, ".~KD") &&
                                                      std::isdigit(static_cast<unsigned char>(extension[4]))));
      if (DirOf(was) == DirOf(path) && asideName && !after.count(was) && entry == now->second &&
          taken.insert(Upper(was)).second) {
        renamed[path] = was;
        break;
      }
    }
  }
  return renamed;
}

// The drive's entries by path, and the registry's dump lines (as "R").
State Take(SimMachine& machine) {
  State state = machine.Files().Snapshot();
  for (const std::string& line : machine.Registry().Dump()) state[line] = "R";
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
    m_renamed = RenamedAside(before, after, queued);
    CheckChanges(facts, before, after, queued);
    if (!facts.declined) CheckBoxes(facts, after, queued);
  }

  // The path a file had before the run: another only for a file renamed
  // before it was queued.
  std::string PathBefore(const std::string& path) const {
    const auto renamed = m_renamed.find(path);
    return renamed == m_renamed.end() ? path : renamed->second;
  }

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
  // product's lines, the marker and WININIT.INI changed.  Nothing was added
  // but an empty DOSSTART.BAT, WININIT.INI and the record.  Only what is
  // left of the product is queued for the next start, never anything in
  // the Windows directory.  The agent runs again only after a decline.
  void CheckChanges(const Facts& facts, const State& before, const State& after,
                    const Names& queued) {
    const bool taskDirHeldOnlyTaskFiles =
        std::all_of(before.begin(), before.end(), [&](const auto& other) {
          return DirOf(other.first) != TaskDir(facts) || IsTaskFile(facts, other.first, other.second);
        });
    for (const auto& [item, entry] : before) {
      const auto now = after.find(item);
      if (now != after.end() && now->second == entry) continue;
      const bool gone = now == after.end();
      const bool taskDir = Upper(item) + "\\" == TaskDir(facts) && taskDirHeldOnlyTaskFiles;
      const bool product = IsProductFile(facts, item, entry) || IsTaskFile(facts, item, entry);
      const bool batchCleaned = !gone && Upper(item) == kBatch &&
                                HeadOf(now->second) == HeadOf(entry) &&
                                BytesOf(now->second) == facts.batchAfter;
      const bool allowed = entry == "R" ? IsProductRegistryLine(facts, item)
                                        : (gone && (product || taskDir)) || Upper(item) == kMarker ||
                                              Upper(item) == kWininit || batchCleaned;
      EXPECT_TRUE(allowed && !facts.declined) << (gone ? "removed " : "changed ") << item;
    }
    for (const auto& [item, entry] : after) {
      EXPECT_TRUE(before.count(item) || m_renamed.count(item) || Upper(item) == kWininit ||
                  Upper(item) == kRecord ||
                  (Upper(item) == kBatch && entry == "F" + std::string(kHead - 1, ' ')))
          << "added " << item;
    }
    // Never a read-only file: whoever made it so wanted it kept, and the
    // user, asked, did not say otherwise.
    for (const std::string& path : queued) {
      const std::string was = PathBefore(path);
      const auto entry = before.find(was);
      const auto now = after.find(path);
      EXPECT_TRUE(entry != before.end() && now != after.end() && !StartsWith(was, "C:\\WINDOWS\\") &&
                  HeadOf(now->second).find('R') == std::string::npos &&
                  (IsProductFile(facts, was, entry->second) || IsTaskFile(facts, was, entry->second)))
          << "queued for restart: " << path << (was == path ? "" : " (was " + was + ")");
    }
    EXPECT_TRUE(!facts.declined || Machine().Boxes().empty()) << "a box on the declined path";
    const sim::SimProcess* agent = Machine().FindProcess(facts.installDir + "K-TASKER.EXE");
    EXPECT_EQ(agent && agent->IsRunning(), facts.agentRunning && facts.declined) << "the agent";
    const sim::SimProcess* uninstaller = Machine().FindProcess(testing::kUninstallerPath);
    EXPECT_TRUE(!uninstaller->IsRunning() || uninstaller->SuspendCount() == 0) << "left frozen";
    EXPECT_LE(Machine().NowMs(), facts.answerMs + 70000) << "the run took too long";
  }

  // Every item left has its box: a cancelled prompt that names it, or its
  // stage's failure message.  A failure message is shown when, and only
  // when, an item of its stage was left or could not be looked at (a key
  // that refuses reading, a batch file held open).  What was queued for the
  // next start is told in one notice after them.
  void CheckBoxes(const Facts& facts, const State& after, const Names& queued) {
    const Names messages = Texts(false);
    std::set<std::string> cancelledPrompts;  // upper-cased
    for (const std::string& text : Texts(true)) cancelledPrompts.insert(Upper(text));
    const bool filesFailureShown =
        std::count(messages.begin(), messages.end(), LoadMessage(kMsgFilesFailed)) != 0;
    // Task files cannot be found when the key naming their directory cannot
    // be read; that key's failure is shown.
    const bool taskDirKnown = facts.unreadableKeys.count(kAgentSettings) == 0;
    const bool taskDirEmpty = std::none_of(after.begin(), after.end(), [&](const auto& other) {
      return DirOf(other.first) == TaskDir(facts);
    });
    bool filesLeft = false, registryLeft = facts.extensionMissing, programsLeft = false;
    for (const auto& [now, entry] : after) {
      registryLeft |= entry == "R" && IsProductRegistryLine(facts, now);
      if (entry == "R") continue;
      const std::string item = PathBefore(now);  // a file renamed aside is the file it was
      const bool productFile = IsProductFile(facts, item, entry);
      filesLeft |= productFile || IsTaskFile(facts, item, entry);
      const bool taskDir = Upper(item) + "\\" == TaskDir(facts) && taskDirEmpty;
      const bool task = taskDirKnown && (taskDir || IsTaskFile(facts, item, entry));
      // A directory kept for what it still holds has no box of its own.
      const bool holding = std::any_of(after.begin(), after.end(), [&](const auto& other) {
        return StartsWith(other.first, item + "\\");
      });
      if ((productFile && !filesFailureShown && !holding) || task) {
        const unsigned prompt = taskDir ? kErrDirectoryNotRemoved : kErrFileNotDeleted;
        EXPECT_TRUE(cancelledPrompts.count(Upper(FormatMessageText(LoadMessage(prompt), item))))
            << "left without a box: " << item;
      }
    }
    for (const RegistryItem& item : kProductItems) {
      registryLeft |= item.value && facts.unreadableKeys.count(item.key);
    }
    for (sim::SimProcess* process : Machine().Processes()) {
      programsLeft |= process->IsRunning() && StartsWith(process->ImagePath(), facts.installDir);
    }
    const auto batch = after.find(kBatch);
    const bool batchLeft = batch != after.end() && BytesOf(batch->second) != facts.batchAfter;
    Names expected;
    for (const auto& [shown, id] : {std::pair{facts.noStatusWindow, kMsgDialogNotCreated},
                                    {programsLeft, kMsgCloseProgramsFailed},
                                    {registryLeft, kMsgRegistryFailed},
                                    {batchLeft || facts.batchHeld, kMsgBatchFileFailed},
                                    {filesFailureShown && filesLeft, kMsgFilesFailed},
                                    {!queued.empty(), kMsgRemovedAtRestart}}) {
      if (shown) expected.push_back(LoadMessage(id));
    }
    EXPECT_EQ(messages, expected);
    if (!facts.noStatusWindow) {
      CheckFailuresFollowTheirStatus(messages.size() - (queued.empty() ? 0 : 1));
    }
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

  std::map<std::string, std::string> m_renamed;  // see RenamedAside
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

// Keys of the product's items, and their switches.
struct ProductKey {
  RegKey root;
  const char* path;
};
constexpr ProductKey kDriverClass{kHkeyClassesRoot, "ZRP"};
constexpr ProductKey kStartupList{kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"};
constexpr ProductKey kAgentsKey{kHkeyCurrentUser, "Software\\Halvern Software\\K-tasker"};
sim::KeySwitches& Switches(SimMachine& machine, const ProductKey& key) {
  return machine.Registry().Switches(key.root, key.path);
}
const std::string kLocked = "C:\\K-WARD\\K-WARD32.EXE";

const Fault kFaults[] = {
    {"KeyDeletionRefused", [](SimMachine& machine) { Switches(machine, kDriverClass).refuseDeletion = true; },
     {kMsgRegistryFailed}, {}},
    {"AccessDenied", [](SimMachine& machine) { Switches(machine, kStartupList).refuseFullAccess = true; },
     {kMsgRegistryFailed}, {}},
    {"DeletionReportedButNotDone", [](SimMachine& machine) { Switches(machine, kAgentsKey).fakeDeletion = true; },
     {kMsgRegistryFailed}, {}},
    {"ExtensionKeyKept", [](SimMachine& machine) {
       machine.Registry().Switches(kHkeyClassesRoot, ".KWT").refuseDeletion = true;
     }, {kMsgRegistryFailed}, {}},
    // Nobody is asked about the task directory, which still holds it.
    {"TaskDirHoldsAnotherFile",
     [](SimMachine& machine) { machine.Files().AddFile("C:\\K-WARD\\TASKS\\NOTES.TXT"); }, {}, {}},
    {"DiskFullWhileSavingDosstart", [](SimMachine& machine) { machine.Files().FillUpAfter(4); },
     {kMsgBatchFileFailed}, {}},
    {"BoxesThatCannotBeShown", [](SimMachine& machine) {
       // Not shown, none of them; past a hundred the run would never end.
       machine.SetBoxAnswerer([&machine](const sim::SimMessageBox&) {
         return machine.Boxes().size() < 100 ? 0 : kIdCancel;
       });
       machine.Files().Hold("C:\\K-WARD\\ZRP.VXD", "user");
       Switches(machine, kDriverClass).refuseDeletion = true;
     }, {kMsgRegistryFailed, kMsgRemovedAtRestart}, {"C:\\K-WARD\\ZRP.VXD"}},
    {"UninstallerCrashesWhileFrozen", [](SimMachine& machine) {
       testing::UninstallerScript crashing;
       crashing.crashesWhileFrozen = true;
       testing::InstallUninstaller(machine, crashing);
     }, {}, {}},
    // It closes its window but never ends.
    {"ProgramNeverLetsGoOfItsFile", [](SimMachine& machine) {
       machine.FindProcess(kLocked)->Exit();
       RunProductProgram(machine, kLocked, {"K-WARD Professional", {kLocked}, 3600000});
     }, {kMsgCloseProgramsFailed, kMsgRemovedAtRestart}, {kLocked}},
    {"FileReappearsAfterDeletion",
     [](SimMachine& machine) { machine.Files().RestoreAfterRemoval("C:\\K-WARD\\DATA.DAT"); },
     {kMsgRemovedAtRestart}, {"C:\\K-WARD\\DATA.DAT"}},
    {"MarkerReappearsAfterDeletion", [](SimMachine& machine) { machine.Files().RestoreAfterRemoval(kMarker); },
     {kMsgFilesFailed, kMsgRemovedAtRestart}, {}},
    // The installation directory is the task directory: its read-only task
    // file, the user's to decide, is asked about by the emptying alone, and
    // kept when the user cancels, after the restart too.
    {"TaskDirIsTheInstallDir", [](SimMachine& machine) {
       machine.Registry().SetString(kHkeyCurrentUser, kAgentSettings, "TaskLocation", "C:\\K-WARD\\");
       machine.Files().AddFile("C:\\K-WARD\\OLD.KWT");
       machine.Files().SetReadOnly("C:\\K-WARD\\OLD.KWT", true);
     }, {}, {"C:\\K-WARD\\OLD.KWT"}},
    // What is left cannot be queued for the next start: on NT without an
    // administrator's rights, on 95 when WININIT.INI cannot be saved.  The
    // cancelled file is skipped all the same, and the stage succeeds; the
    // notice says nothing of what was not queued.
    {"NotAnAdministrator", [](SimMachine& machine) {
       machine.SetAdministrator(false);
       machine.Files().Hold("C:\\K-WARD\\KWSHEXT.DLL", "the shell");
     }, {}, {"C:\\K-WARD\\KWSHEXT.DLL"}},
    {"WininitCannotBeSaved", [](SimMachine& machine) {
       machine.BecomeWindows95();
       machine.Files().AddFile(kWininit, kOthersRenames[0]);
       machine.Files().SetReadOnly(kWininit, true);
       machine.Files().Hold("C:\\K-WARD\\KWSHEXT.DLL", "the shell");
     }, {}, {"C:\\K-WARD\\KWSHEXT.DLL"}},
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
