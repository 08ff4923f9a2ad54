// The end-to-end harness: runs under Wine, prepares the Windows machine
// (registry, drive C:, the stand-ins of the outside programs), runs the real
// KWUNINST.EXE through the box answerer, and reads back what happened.
#ifndef KWUNINST_TESTS_E2E_E2E_MACHINE_H_
#define KWUNINST_TESTS_E2E_E2E_MACHINE_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kw::e2e {

constexpr const char* kInstallDir = "C:\\K-WARD";
constexpr const char* kWorkDir = "C:\\kwtest";
constexpr const char* kConfirmTitle = "Confirm File Deletion";
constexpr const char* kStatusCaption = "  K-WARD Uninstall";
constexpr const char* kErrorCaption = "K-WARD Uninstall Error";

// One line of a transcript or trace.
struct Event {
  std::int64_t ms = 0;  // box answerer: since it started; traces: Unix epoch
  std::string kind;
  std::map<std::string, std::string> fields;
  std::string detail;   // traces: the free text after the event name

  std::string Get(const std::string& key) const {
    auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
  }
};

struct Transcript {
  int answererExitCode = -1;
  std::vector<Event> events;
  std::vector<Event> Of(const std::string& kind) const;
  // The texts the status window showed, in order.
  std::vector<std::string> StatusTexts() const;
  // The Unix-epoch time of one of its events, to compare with the traces.
  std::int64_t EpochOf(const Event& event) const;
  std::string Text() const;  // for failure messages
};

// Paths of the programs under test, as Windows paths.
std::string BuildDir();
std::string KwuninstExe();
std::string ArtifactsDir();

// --- Machine set-up ---------------------------------------------------------

// Back to a machine without the product: no installation directory, task
// directory, marker or DOSSTART.BAT, no registry items of the product, no
// Uninst.exe, no traces, NT version.
void ResetMachine();
// Makes the Wine prefix report Windows 95 (or Windows NT again).
void SetWindows95(bool windows95);

// The product as its installer leaves it: C:\K-WARD with KWUNINST.EXE, its
// programs (the product stand-in under their names) and libraries, the
// install log listing the files it names, and the registry entry that
// locates it.
struct ProductLayout {
  std::vector<std::string> loggedFiles;  // names in C:\K-WARD, listed in the log
  bool registerLocation = true;
  bool registryItems = true;  // every key and value the registry clean-up removes
};
void InstallProduct(const ProductLayout& layout);
// The setup-log uninstaller stand-in, as <Windows directory>\Uninst.exe.
void InstallUninstaller();

void SetEnv(const std::string& name, const std::string& value);
void ClearEnv(const std::string& name);

// A file written whole (its directories made) or read whole.
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
void SetString(const char* root, const std::string& key, const std::string& name,
               const std::string& value);

// What the machine holds, to compare before and after a run: every path on
// drive C: with its size, time and contents, and every registry key and
// value of HKCR, HKCU and HKLM ("|" before a value's name) with its type and
// data; paths and names upper-cased.  Left out: what Wine changes by itself,
// the work directory, the user profiles (Wine maps them onto the Unix home).
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot();
// "gone", "changed" and "added" lines, empty when both are the same.
std::string Differences(const Snapshot& expected, const Snapshot& actual);

// --- Running ----------------------------------------------------------------

struct RunOptions {
  std::vector<std::string> answers;   // "<title>=<button>[@<delay>]"
  std::vector<std::string> textAnswers;  // "<part of the text>=<button>[@<delay>]", tried first
  bool watchStatus = true;
  std::string screenshot;             // PNG path, empty for none
  double timeoutSeconds = 90;
};
// Runs C:\K-WARD\KWUNINST.EXE (or the build's copy when the product is not
// installed) through the box answerer and returns its transcript.
Transcript RunKwuninst(const RunOptions& options);

// Starts one of the product's programs from C:\K-WARD as the user's session
// would, and waits until its window is up.  False when it did not come up.
bool StartProductProgram(const std::string& name, const std::string& windowTitle);
// Starts the file holder stand-in on a file (further arguments after it) and
// waits until it holds the file.
bool StartFileHolder(const std::string& path, const std::string& options = "");

// The trace of the uninstaller stand-in, one event per line.
std::vector<Event> UninstallerTrace();
// The trace of the product stand-ins: kind is the event, field "program"
// the program's file name.
std::vector<Event> ProductTrace();
// The events of a trace of one kind (and, for the product stand-ins, of one
// program), and the whole trace as text for failure messages.
std::vector<Event> EventsOf(const std::vector<Event>& trace, const std::string& kind,
                            const std::string& program = "");
std::string TraceText(const std::vector<Event>& trace);
// Waits until the uninstaller stand-in's trace shows its end; false after
// the timeout.
bool WaitForUninstallerExit(int timeoutMs);

bool FileExists(const std::string& path);
bool ProcessRunning(const std::string& exeName);
void KillProcesses(const std::string& exeName);

}  // namespace kw::e2e

#endif  // KWUNINST_TESTS_E2E_E2E_MACHINE_H_
