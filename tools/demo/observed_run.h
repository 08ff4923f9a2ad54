// What one demo run observed, read from its work directory: the box
// answerer's transcript and the stand-ins' traces (through the one reader
// of tests/support), the pictures, KWUNINST.LOG, and from the footprint
// only why each neighbour must stay and which files KWUNINST spares.
#ifndef KW_DEMO_OBSERVED_RUN_H
#define KW_DEMO_OBSERVED_RUN_H

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/transcript_reader.h"

namespace kw::demo {

using transcript::Event;
using Texts = std::map<std::string, std::string>;

struct ObservedRun {
  std::string work;
  std::vector<Event> transcript;
  std::vector<Event> uninstaller;  // the setup-log uninstaller's trace, program "Uninst.exe"
  std::vector<Event> programs;     // the product's programs and the file holder
  std::int64_t epoch = 0;          // the transcript's time 0 on the traces' clock
  // The uninstaller is frozen from before the status window appears until
  // KWUNINST lets it go on: what it removed before then, it removed while
  // KWUNINST still waited for the question to go.
  std::int64_t frozenMs = INT64_MAX;
  bool declined = false;
  Texts stay, spared;  // why, by upper-cased item
  // The uninstaller's log entries ("FILE C:\..." "DIR C:\..." "KEY HKLM\..."
  // "VALUE HKLM\...|name", upper-cased): when it removed each, in the
  // transcript's time, and the error of each it failed on but for the
  // missing ones.
  std::map<std::string, std::int64_t> removedByLog;
  Texts logFailed;
  Texts queued;                     // upper-cased path: where it is queued for the restart
  std::set<std::string> cancelled;  // upper-cased paths the user chose Cancel for

  std::string Path(const std::string& name) const { return work + "/" + name; }
  std::vector<Event> Events(const std::string& kind) const;  // of the transcript
  std::vector<std::string> Picture(const std::string& phase, const std::string& name) const;
  std::string WhenByLog(const std::string& entry) const;
};

// Throws std::runtime_error naming the file and line when the transcript or
// a trace holds a line its writer never writes.
ObservedRun ReadObservedRun(const std::string& work);

// The uninstaller's log entry for a picture's item.
std::string EntryOf(const std::string& item);

// The transcript's texts are the Windows machine's ANSI bytes: as UTF-8.
Event InUtf8(Event event);

}  // namespace kw::demo

#endif
