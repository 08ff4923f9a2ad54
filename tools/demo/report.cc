#include "tools/demo/report.h"

#include <algorithm>
#include <functional>
#include <iostream>
#include <tuple>

#include "tests/support/footprint.h"
#include "tools/demo/observed_run.h"
#include "tools/demo/pictures.h"
#include "tools/demo/text.h"

namespace kw::demo {
namespace {
namespace fp = kw::footprint;

// A line of a registry picture: {"K", key} or {"V", key, value name, data as
// .reg writes it}, the unnamed value named "(default)".
using RegItem = std::vector<std::string>;

std::string RegItemName(const RegItem& item) { return item[0] == "K" ? item[1] : item[1] + "|" + item[2]; }

std::string KeyParent(const std::string& key) { return key.substr(0, std::min(key.rfind('\\'), key.size())); }

// A value's data for people: a string unescaped, in its quotes.
std::string ShownData(const std::string& data) {
  if (data.size() < 2 || data.front() != '"' || data.back() != '"') return data;
  std::string shown;
  for (std::size_t at = 1; at + 1 < data.size(); ++at) shown += data[at] == '\\' ? data[++at] : data[at];
  return "\"" + shown + "\"";
}

// The registry items the demo installed, the product's and its neighbours'.
std::vector<RegItem> InstalledRegistry() {
  std::vector<RegItem> items;
  const auto add = [&](const std::string& root, const std::string& key, const std::string& name) {
    items.push_back({"K", root + "\\" + key});
    if (name != "-") items.push_back({"V", root + "\\" + key, name.empty() ? "(default)" : name});
  };
  for (const fp::Key& key : fp::kKeys) add(key.root, key.path, "-");
  for (const fp::Value& value : fp::kValues) add(value.root, value.key, value.name);
  for (const fp::NeighbourValue& value : fp::kNeighbourValues) add(value.root, value.key, value.name);
  return items;
}

const std::string kDeclined = "the user declined the removal";
const std::string kCancelled = "the user chose Cancel while another program held it open";
const std::string kUnexplained = "NOT EXPECTED: nothing says why it should stay";

using Describe = std::function<std::string(const std::string& item)>;

void Say(const std::string& line) { std::cout << line << '\n'; }

std::string Lookup(const Texts& texts, const std::string& key) {
  const auto found = texts.find(key);
  return found == texts.end() ? std::string() : found->second;
}

std::string Plural(std::size_t count, const std::string& word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

std::string Seconds(std::int64_t ms, std::size_t width) {
  return Right(Fixed(static_cast<double>(ms) / 1000, 1), width);
}

// Why a directory or key without a reason of its own stays: for what is
// below it, when all of that stays for a neighbour's reason or the user's
// No; else because it is not empty.  "" when nothing is below it.
std::string ReasonFromBelow(const ObservedRun& run, const std::string& item,
                            const std::vector<std::string>& kept, const Texts& reasons) {
  const std::string path = TrimTrailing(item, '\\');
  std::set<std::string> shared;
  std::vector<std::string> children;
  for (const std::string& other : kept) {
    if (!Under(other, item)) continue;
    shared.insert(Lookup(reasons, other));
    if (TrimTrailing(Parent(other), '\\') == path) {
      children.push_back(TrimTrailing(other.substr(path.size() + 1), '\\'));
    }
  }
  if (shared.empty()) return "";
  const std::string& one = *shared.begin();
  bool sharable = one == kDeclined;
  for (const auto& stay : run.stay) sharable = sharable || one == stay.second;
  return shared.size() == 1 && sharable ? one : "not empty: " + Join(children, ", ");
}

// Why each kept item stayed, with what Windows and the uninstaller are to do
// about it.  Children come after their parents in the sorted list, so it is
// worked through backwards.
Texts KeptReasons(const ObservedRun& run, const std::vector<std::string>& kept,
                  const Describe& ownReason) {
  Texts reasons, why;  // why each stays; and that with the notes for the report
  for (auto item = kept.rbegin(); item != kept.rend(); ++item) {
    const std::string upper = Upper(*item);
    std::string reason = ownReason(*item);
    if (reason.empty()) reason = ReasonFromBelow(run, *item, kept, reasons);
    if (reason.empty() && run.declined) reason = kDeclined;
    if (reason.empty() && run.cancelled.count(upper)) reason = kCancelled;
    if (reason.empty()) reason = run.spared.count(upper) ? run.spared.at(upper) : kUnexplained;
    reasons[*item] = reason;
    const std::string queuedIn = Lookup(run.queued, TrimTrailing(upper, '\\'));
    if (!queuedIn.empty()) reason += "; Windows deletes it when it restarts (" + queuedIn + ")";
    const std::string failed = Lookup(run.logFailed, EntryOf(*item));
    if (!failed.empty()) reason += "; Uninst.exe could not remove it (error " + failed + ")";
    why[*item] = reason;
  }
  return why;
}

// Kept items, listed once per subtree: a directory or key whose whole
// subtree stays for the same reason stands for all of it.
void PrintKept(const std::string& title, const std::vector<std::string>& kept, const Texts& why,
               std::size_t width) {
  Say("  " + title + " (" + std::to_string(kept.size()) + "):");
  std::string covering;
  for (std::size_t at = 0; at < kept.size(); ++at) {
    const std::string& item = kept[at];
    if (!covering.empty() && Under(item, covering)) continue;
    std::size_t below = 0;
    bool same = true;
    for (std::size_t other = at + 1; other < kept.size(); ++other) {
      if (!Under(kept[other], item)) continue;
      ++below;
      same = same && why.at(kept[other]) == why.at(item);
    }
    covering = below && same ? item : "";
    Say("    " + Left(item, width) + " " + why.at(item) +
        (covering.empty() ? "" : " (and everything below it: " + std::to_string(below) + ")"));
  }
}

// The removed items, by KWUNINST or, as its log lists them, by Uninst.exe.
void PrintRemoved(const ObservedRun& run, const std::vector<std::string>& removed,
                  const Describe& describe, std::size_t width) {
  std::vector<std::string> byKwuninst, byLog;
  for (const std::string& item : removed) {
    const std::string entry = EntryOf(item);
    if (!run.removedByLog.count(entry)) {
      byKwuninst.push_back("    " + describe(item));
      continue;
    }
    std::string note = run.WhenByLog(entry);
    if (run.spared.count(Upper(item))) note += "; " + run.spared.at(Upper(item));
    byLog.push_back("    " + Left(describe(item), width) + " " + note);
  }
  for (const auto& [title, lines] :
       {std::pair{"removed by KWUNINST", byKwuninst},
        {"removed by Uninst.exe, as its install log lists them", byLog}}) {
    Say("  " + std::string(title) + " (" + std::to_string(lines.size()) + "):");
    for (const std::string& line : lines) Say(line);
  }
}

void ReportWronglyRemoved(const ObservedRun& run, const std::vector<std::string>& gone) {
  for (const std::string& item : gone) {
    if (run.stay.count(Upper(item))) {
      Say("  NOT EXPECTED: removed although never the product's: " + item);
    }
  }
}

std::string SystemFileReason(const std::string& path) {
  for (const SystemFile& file : kSystemFiles) {
    if (path == file.path) return file.why;
  }
  return "";
}

void ReportFiles(const ObservedRun& run) {
  const std::vector<std::string> before = run.Picture("before", "files.txt");
  const std::set<std::string> beforeSet(before.begin(), before.end());
  const std::vector<std::string> after = run.Picture("after", "files.txt");
  const std::set<std::string> afterSet(after.begin(), after.end());
  std::vector<std::string> removed, kept;
  for (const std::string& path : before) (afterSet.count(path) ? kept : removed).push_back(path);
  const auto ownReason = [&](const std::string& path) {
    const std::string why = Lookup(run.stay, Upper(path));
    return why.empty() ? SystemFileReason(path) : why;
  };
  const auto asItIs = [](const std::string& path) { return path; };
  PrintRemoved(run, removed, asItIs, 40);
  PrintKept("kept", kept, KeptReasons(run, kept, ownReason), 40);
  ReportWronglyRemoved(run, removed);
  for (const std::string& path : afterSet) {
    if (!beforeSet.count(path)) Say("  NOT EXPECTED: new: " + path);
  }
}

std::vector<RegItem> RegistryPicture(const ObservedRun& run, const std::string& phase) {
  std::vector<RegItem> items;
  for (const std::string& line : run.Picture(phase, "registry.txt")) {
    items.push_back(Split(line, '\t'));
    items.back().resize(std::max<std::size_t>(items.back().size(), items.back()[0] == "V" ? 4 : 2));
  }
  return items;
}

// A registry item as the same one whatever the case of its key and name:
// the registry ignores case, and Wine may spell a key it made itself
// otherwise.
RegItem Identity(const RegItem& item) {
  return item[0] == "K" ? RegItem{"K", Upper(item[1])}
                        : RegItem{"V", Upper(item[1]), Upper(item[2])};
}

// Each removed key once, with what was below it; values outside them.
void ReportRegistryRemoved(const ObservedRun& run, const std::vector<RegItem>& gone) {
  std::set<std::string> goneKeys;
  for (const RegItem& item : gone) {
    if (item[0] == "K") goneKeys.insert(item[1]);
  }
  std::vector<std::string> removed;
  for (const RegItem& item : gone) {
    if (item[0] == "K" && !goneKeys.count(KeyParent(item[1]))) removed.push_back(item[1]);
  }
  for (const RegItem& item : gone) {
    if (item[0] == "V" && !goneKeys.count(item[1])) removed.push_back(RegItemName(item));
  }
  const auto describe = [&](const std::string& item) {
    std::size_t subkeys = 0, values = 0;
    for (const RegItem& other : gone) {
      const bool value = other[0] == "V";
      if (item.find('|') != std::string::npos) {
        if (value && RegItemName(other) == item) {
          return "value " + item + " = " + ShownData(other[3]);
        }
        continue;
      }
      subkeys += !value && Under(other[1], item);
      values += value && (other[1] == item || Under(other[1], item));
    }
    return "key   " + item + " (" + Plural(subkeys, "subkey") + ", " + Plural(values, "value") +
           ")";
  };
  PrintRemoved(run, removed, describe, 70);
  std::vector<std::string> names;
  for (const RegItem& item : gone) names.push_back(RegItemName(item));
  ReportWronglyRemoved(run, names);
}

void ReportRegistry(const ObservedRun& run) {
  const std::vector<RegItem> before = RegistryPicture(run, "before"),
                             after = RegistryPicture(run, "after");
  const std::set<RegItem> beforeSet(before.begin(), before.end()),
      afterSet(after.begin(), after.end());
  std::vector<RegItem> gone;
  for (const RegItem& item : before) {
    if (!afterSet.count(item)) gone.push_back(item);
  }
  ReportRegistryRemoved(run, gone);

  // Kept: what the product and its neighbours had that is still there, each
  // value right after its key so that a key can stand for its subtree.
  std::set<RegItem> installed;
  for (const RegItem& item : InstalledRegistry()) installed.insert(Identity(item));
  Texts byOrder;
  for (const RegItem& item : after) {
    if (installed.count(Identity(item))) {
      byOrder[item[1] + (item[0] == "V" ? "\\|" + item[2] : "")] = RegItemName(item);
    }
  }
  std::vector<std::string> kept;
  for (const auto& entry : byOrder) kept.push_back(entry.second);
  const auto ownReason = [&](const std::string& item) { return Lookup(run.stay, Upper(item)); };
  PrintKept("kept, of what the product and its neighbours had", kept,
            KeptReasons(run, kept, ownReason), 62);
  for (const RegItem& item : after) {
    if (beforeSet.count(item)) continue;
    Say("  NOT EXPECTED: new or changed: " + item[1] +
        (item[0] == "V" ? " \"" + item[2] + "\" = " + item[3] : ""));
  }
}

// A text file's lines, those taken out marked -, those added +: the longest
// common subsequence, the earliest match first.
void ReportLinesChanged(const std::vector<std::string>& before,
                        const std::vector<std::string>& after) {
  if (before == after) {
    Say("  unchanged:");
    for (const std::string& line : after) Say("     " + line);
    return;
  }
  const std::size_t m = before.size(), n = after.size();
  std::vector<std::vector<std::size_t>> common(m + 1, std::vector<std::size_t>(n + 1, 0));
  for (std::size_t i = m; i-- > 0;) {
    for (std::size_t j = n; j-- > 0;) {
      common[i][j] = before[i] == after[j] ? common[i + 1][j + 1] + 1
                                           : std::max(common[i + 1][j], common[i][j + 1]);
    }
  }
  std::size_t i = 0, j = 0;
  while (i < m || j < n) {
    if (i < m && j < n && before[i] == after[j]) {
      Say("     " + before[i++]), ++j;
    } else if (i < m && (j == n || common[i + 1][j] >= common[i][j + 1])) {
      Say("   - " + before[i++]);
    } else {
      Say("   + " + after[j++]);
    }
  }
}

void ReportSummary(const ObservedRun& run) {
  for (const Event& event : run.transcript) {
    if (event.kind == "exit") Say("  KWUNINST.EXE ended with exit code " + event.Get("code"));
    if (event.kind == "timeout") {
      Say("  KWUNINST.EXE did not end within " + event.Get("seconds") + " s");
    }
  }
  std::vector<std::string> answers, done;
  for (const Event& line : run.uninstaller) {
    if (line.kind == "answer") answers.push_back(line.Detail(0));
    if (line.kind == "done") done.push_back(line.Detail(0));
  }
  Say("  Uninst.exe: the user answered " + (answers.empty() ? "nothing" : answers[0]) +
      (done.empty() ? "" : "; it worked through the " + done[0] + " entries of its log and ended"));
  if (run.declined) {
    Say("  The user declined: no status window, nothing removed; the agent KWUNINST had closed was "
        "started again.");
  }
}

void ReportBoxes(const ObservedRun& run) {
  for (const Event& box : run.Events("box")) {
    const std::string owner =
        box.Get("owner") == "none" ? "" : ", owned by \"" + box.Get("owner") + "\"";
    Say("  " + Seconds(box.ms, 5) + " s  \"" + box.Get("caption") + "\" (" + box.Get("icon") +
        " icon" + owner + "): " + box.Get("text"));
    Say("           buttons [" + box.Get("buttons") + "], answered " + box.Get("pressed") +
        " after " + Seconds(std::strtoll(box.Get("delay").c_str(), nullptr, 10), 0) + " s");
  }
}

void ReportScreenshots(const ObservedRun& run) {
  for (const Event& shot : run.Events("screenshot")) {
    const std::string path = shot.Get("path");
    const std::string::size_type slash = path.find_last_of("\\/");
    const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash);
    const std::string shown = LastPart(directory, "\\/") + "/" + LastPart(path, "\\/");
    Say("  " + Left(shown, 25) + " " + Left(shot.Get("of"), 6) + " \"" + shot.Get("text") + "\"");
  }
}

// What a trace line of the product's programs or of the program holding a
// file says, for people; "" for the lines left out.
std::string ProgramSaw(const Event& line) {
  const std::string what = line.Detail(0);
  if (line.kind == "started") {
    return what == "wShowWindow=7" ? "started minimised, not activated" : "started";
  }
  if (line.kind == "held") return "holds " + what + " open";
  if (line.kind == "hold-failed") {
    return "cannot hold " + what + " open (error " + line.Detail(1) + ")";
  }
  if (line.kind == "close-request") return "is asked to close";
  if (line.kind == "released") return "lets go of " + what;
  if (line.kind == "window-seen") return "sees \"" + what + "\": the user closes it";
  return line.kind == "exit" ? "ends" : "";
}

// The same of a line of the setup-log uninstaller's trace.
std::string UninstallerSaw(const Event& line) {
  const std::string what = line.Detail(0);
  if (line.kind == "started") return "started: " + what;
  if (line.kind == "question-shown") return "asks \"Confirm File Deletion\"";
  if (line.kind == "answer") return "gets the answer " + what;
  if (line.kind == "done") return "has worked through its log (" + what + " entries)";
  return line.kind == "exit" ? "ends" : "";
}

// The stand-ins' traces on one time line: the product's programs (and the
// program holding a file open), and the setup-log uninstaller.
void ReportPrograms(const ObservedRun& run) {
  std::vector<std::tuple<std::int64_t, std::string, std::string>> seen;
  for (const auto& [trace, saw] :
       {std::pair{&run.programs, ProgramSaw}, {&run.uninstaller, UninstallerSaw}}) {
    for (const Event& line : *trace) {
      const std::string text = saw(line);
      if (!text.empty()) seen.emplace_back(line.ms, line.program, text);
    }
  }
  std::stable_sort(seen.begin(), seen.end(),
                   [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
  for (const auto& [ms, program, text] : seen) {
    const std::string when = ms < run.epoch ? "before" : Seconds(ms - run.epoch, 5) + " s";
    Say("  " + Right(when, 7) + "  " + Left(program, 13) + " " + text);
  }
}

void ReportRestartQueue(const ObservedRun& run) {
  const std::vector<std::string> before = run.Picture("before", "restart.txt");
  bool titled = false;
  for (const std::string& line : run.Picture("after", "restart.txt")) {
    if (std::find(before.begin(), before.end(), line) != before.end()) continue;
    if (!titled) Say(""), Say("--- Queued for deletion when Windows restarts");
    titled = true;
    const std::vector<std::string> parts = Split(line, '\t');
    Say("  " + Left(parts[0], 40) + " (" + (parts.size() > 1 ? parts[1] : "") + ")");
  }
}

}  // namespace

void PrintReport(const std::string& work) {
  const ObservedRun run = ReadObservedRun(work);
  Say("");
  Say("=== What the uninstall did " + std::string(51, '='));
  for (const std::string& line : ReadLines(run.Path("scenario.txt"))) Say("  " + line);
  ReportSummary(run);
  Say("");
  Say("--- Files and directories on drive C: (outside the system's own directories)");
  ReportFiles(run);
  Say("");
  Say("--- Registry (the keys " + Join(fp::RegistryScope(), ", ") + ")");
  ReportRegistry(run);
  Say("");
  Say("--- C:\\windows\\DOSSTART.BAT (- taken out, + added)");
  ReportLinesChanged(run.Picture("before", "dosstart.bat"), run.Picture("after", "dosstart.bat"));
  ReportRestartQueue(run);
  Say("");
  Say("--- Every box, with the answer the user gave (times since KWUNINST.EXE started)");
  ReportBoxes(run);
  Say("");
  Say("--- Screenshots, beside this report (what the screen showed about 0.4 s after each status "
      "and box)");
  ReportScreenshots(run);
  Say("");
  Say("--- What the programs saw (times since KWUNINST.EXE started)");
  ReportPrograms(run);
  Say("");
  Say("KWUNINST's record of the run (KWUNINST.LOG):");
  const std::vector<std::string> record = ReadAnsiLines(run.Path("KWUNINST.LOG"));
  for (const std::string& line : record) Say("  " + line);
  if (record.empty()) Say("  (none was written)");
  std::cout.flush();
}

}  // namespace kw::demo
