#include "tools/demo/observed_run.h"

#include <cstdlib>
#include <set>
#include <stdexcept>

#include "tests/support/footprint.h"
#include "tools/demo/text.h"

namespace kw::demo {
namespace {

std::vector<Event> Checked(const transcript::Reading& reading, const std::string& path) {
  if (!reading.errors.empty()) throw std::runtime_error(path + ", " + reading.errors[0]);
  std::vector<Event> events;
  for (const Event& event : reading.events) events.push_back(InUtf8(event));
  return events;
}

std::pair<std::string, std::string> SplitAtFirstTab(const std::string& line) {
  const std::string::size_type tab = line.find('\t');
  if (tab == std::string::npos) return {line, ""};
  return {line.substr(0, tab), line.substr(tab + 1)};
}

// Why each neighbour must stay, and which files KWUNINST leaves to the
// setup-log uninstaller: the footprint says so.  An item is a path, a key or
// "<key>|<value name>", the unnamed value named "(default)".
void ReadReasons(ObservedRun& run) {
  namespace fp = kw::footprint;
  for (const fp::NeighbourFile& file : fp::kNeighbourFiles) run.stay[Upper(file.path)] = file.why;
  std::set<std::string> systemKeys;
  for (const fp::Value& value : fp::kValues) {
    if (fp::Is(value.role, "alone")) systemKeys.insert(std::string(value.root) + "\\" + value.key);
  }
  for (const std::string& key : systemKeys) {
    run.stay[Upper(key)] = "a key of the system's: only the product's value in it goes";
  }
  for (const fp::NeighbourValue& value : fp::kNeighbourValues) {
    const std::string key = std::string(value.root) + "\\" + value.key, name = value.name;
    run.stay[Upper(key + "|" + (name.empty() ? "(default)" : name))] = value.why;
    if (!systemKeys.count(key)) run.stay[Upper(key)] = value.why;
  }
  for (const fp::File& file : fp::kFiles) {
    if (fp::Is(file.role, "uninstall")) {
      run.spared[Upper(fp::Place("install") + file.name)] = "KWUNINST leaves it to the setup-log uninstaller";
    }
  }
}

void ReadLogEntries(ObservedRun& run) {
  for (const Event& line : run.uninstaller) {
    if (line.kind != "removed") continue;
    std::string entry = Upper(line.Detail(0));
    const std::string result = line.Detail(1);
    if (StartsWith(entry, "VALUE ") && EndsWith(entry, "|")) entry += "(DEFAULT)";
    if (result == "ok") {
      run.removedByLog[entry] = line.ms - run.epoch;
    } else if (result != "2") {
      run.logFailed[entry] = result;
    }
  }
}

// The files of KWUNINST's Retry/Cancel boxes answered Cancel.
void ReadCancelled(ObservedRun& run) {
  for (const Event& box : run.Events("box")) {
    const std::string text = box.Get("text"), start = "The file ", end = " failed to be deleted";
    const std::string::size_type from = text.find(start), to = text.rfind(end);
    if (from != std::string::npos && to != std::string::npos && to >= from + start.size() &&
        box.Get("pressed") == "Cancel") {
      run.cancelled.insert(Upper(text.substr(from + start.size(), to - from - start.size())));
    }
  }
}

}  // namespace

Event InUtf8(Event event) {
  event.program = FromAnsi(event.program);
  for (auto& field : event.fields) field.second = FromAnsi(field.second);
  for (std::string& part : event.detail) part = FromAnsi(part);
  return event;
}

std::vector<Event> ObservedRun::Events(const std::string& kind) const {
  std::vector<Event> matching;
  for (const Event& event : transcript) {
    if (event.kind == kind) matching.push_back(event);
  }
  return matching;
}

std::vector<std::string> ObservedRun::Picture(const std::string& phase,
                                              const std::string& name) const {
  return ReadAnsiLines(Path(phase + "-" + name));
}

std::string ObservedRun::WhenByLog(const std::string& entry) const {
  return removedByLog.at(entry) < frozenMs ? "before KWUNINST froze it"
                                           : "after KWUNINST let it go on";
}

ObservedRun ReadObservedRun(const std::string& work) {
  ObservedRun run;
  run.work = work;
  run.transcript =
      Checked(transcript::ReadTranscriptFile(run.Path("transcript.txt")), "transcript.txt");
  run.uninstaller =
      Checked(transcript::ReadTraceFile(run.Path("uninst-trace.txt"), false), "uninst-trace.txt");
  for (Event& event : run.uninstaller) event.program = "Uninst.exe";
  run.programs =
      Checked(transcript::ReadTraceFile(run.Path("product-trace.txt"), true), "product-trace.txt");
  const std::vector<Event> started = run.Events("started"), windows = run.Events("status-window");
  if (!started.empty()) run.epoch = std::strtoll(started[0].Get("epoch").c_str(), nullptr, 10);
  if (!windows.empty()) run.frozenMs = windows[0].ms;
  for (const Event& line : run.uninstaller) {
    run.declined =
        run.declined || (line.kind == "answer" && line.detail == std::vector<std::string>{"no"});
  }
  ReadReasons(run);
  ReadLogEntries(run);
  for (const std::string& line : run.Picture("after", "restart.txt")) {
    const auto [item, where] = SplitAtFirstTab(line);
    run.queued[Upper(item)] = where;
  }
  ReadCancelled(run);
  return run;
}

std::string EntryOf(const std::string& item) {
  if (item.find('|') != std::string::npos) return "VALUE " + Upper(item);
  if (StartsWith(item, "C:")) {
    return (EndsWith(item, "\\") ? "DIR " : "FILE ") + Upper(TrimTrailing(item, '\\'));
  }
  return "KEY " + Upper(item);
}

}  // namespace kw::demo
