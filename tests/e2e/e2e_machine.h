// The end-to-end harness: runs under Wine, prepares the Windows machine
// (registry, drive C:, the stand-ins of the outside programs), runs the real
// KWUNINST.EXE through the box answerer, and reads back what happened.
#ifndef KWUNINST_TESTS_E2E_E2E_MACHINE_H_
#define KWUNINST_TESTS_E2E_E2E_MACHINE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tools/boxanswer/transcript_reader.h"

namespace kw::e2e {

constexpr const char* kConfirmTitle = "Confirm File Deletion";
constexpr const char* kStatusCaption = "  K-WARD Uninstall";
constexpr const char* kErrorCaption = "K-WARD Uninstall Error";
constexpr const char* kNoticeCaption = "K-WARD Uninstall";

// One line of a transcript or of a trace, as the tools' one reader reads it.
using Event = transcript::Event;

// The events of one kind (and, when named, of one program's stand-in), and a
// whole trace as text for failure messages.
std::vector<Event> EventsOf(const std::vector<Event>& trace, const std::string& kind,
                            const std::string& program = "");
std::string TraceText(const std::vector<Event>& trace);
std::string DetailText(const Event& event);  // its detail fields, tab-separated as written

struct Transcript {
  int answererExitCode = -1;
  std::vector<Event> events;
  std::vector<Event> Of(const std::string& kind) const { return EventsOf(events, kind); }
  std::vector<std::string> StatusTexts() const;  // in the order shown
  // The Unix-epoch time of one of its events, to compare with the traces.
  std::int64_t EpochOf(const Event& event) const;
  std::int64_t EpochOfStatus(const std::string& text) const;  // -1 when not shown
  std::string Text() const;  // for failure messages
};

// Back to a machine without the product (nor its task directory, marker,
// DOSSTART.BAT, WININIT.INI and its WININIT.BAK, deletions queued for the
// next start, registry items, Uninst.exe or traces) that reports Wine's own
// version of NT, and lets every program load the C runtime DLL.
void ResetMachine();
// The version Wine reports: "win95", "nt40", or "" for its own.
void SetWindowsVersion(const std::string& version);

// Wine's override for programs named KWUNINST.EXE alone: msvcrt.dll is
// disabled (HKCU\Software\Wine\AppDefaults\KWUNINST.EXE\DllOverrides,
// msvcrt = ""), as on a Windows 95 that never had it.  Other programs,
// Wine's own among them, keep it.
void DisableCRuntimeForKwuninst();
// The system DLLs that KWUNINST.EXE imports from (KERNEL32, USER32,
// ADVAPI32), and those they import in turn, that import msvcrt.dll
// themselves: with it disabled these cannot load either, and no program
// that needs them can start, whatever it imports.  None on Windows; Wine
// builds some of its own on msvcrt.dll.
std::vector<std::string> SystemDllsNeedingCRuntime();

// The product as its installer leaves it: C:\K-WARD with KWUNINST.EXE, its
// programs (the product stand-in under their names) and libraries, the
// install log listing the logged files, the registry entry that locates it.
struct ProductLayout {
  std::vector<std::string> loggedFiles;  // names in C:\K-WARD
  bool registerLocation = true;
  bool registryItems = true;  // every key and value the registry clean-up removes
};
void InstallProduct(const ProductLayout& layout);
void InstallUninstaller();  // its stand-in, as <Windows directory>\Uninst.exe

void SetEnv(const std::string& name, const std::string& value);
void WriteFile(const std::string& path, const std::string& content);  // makes its directories
std::string ReadFile(const std::string& path);
void SetString(const char* root, const std::string& key, const std::string& name,
               const std::string& value);
bool FileExists(const std::string& path);
bool ProcessRunning(const std::string& exeName);
std::string ArtifactsDir();

// Every path on drive C: with its size, time and contents, and every key and
// value of HKCR, HKCU and HKLM ("|" before a value's name) with its type and
// data; upper-cased.  Wine's own changes and the work directory left out.
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot();
// "gone", "changed" and "added" lines, empty when both are the same.
std::string Differences(const Snapshot& expected, const Snapshot& actual);

struct RunOptions {
  std::vector<std::string> answers;      // "<title>=<button>[@<delay>]"
  std::vector<std::string> textAnswers;  // "<part of the text>=<button>[@<delay>]", tried first
  std::string screenshot;                // PNG path, empty for none
  double timeoutSeconds = 90;
};
// Answers the question after 300 ms, as a user would, OK to any error box and
// Cancel to any prompt: a file a program still holds is left.
RunOptions Answering(const std::string& answer);
// Runs C:\K-WARD\KWUNINST.EXE (or the build's copy when the product is not
// installed) through the box answerer.
Transcript RunKwuninst(const RunOptions& options);

// Start a product program from C:\K-WARD as the user's session would, or the
// file holder on a file (until it holds it), and wait for its window.
bool StartProductProgram(const std::string& name, const std::string& windowTitle);
bool StartFileHolder(const std::string& path, const std::string& options = "");
// A real library in place of the file, for StartFileHolder(path, "--load").
void InstallLibrary(const std::string& path);

// Windows restarted, as far as files are concerned: every program of the
// test ends, as at a shutdown, and then Wine's wineboot carries out what
// waits for the next start, WININIT.INI's [rename] section (renaming the
// file WININIT.BAK afterwards) and PendingFileRenameOperations, as Windows
// does before anything else runs.  Empty when done, else why it could not
// be (to skip the test with).
std::string RestartWindows();

std::vector<Event> UninstallerTrace();
std::vector<Event> ProductTrace();
bool WaitForUninstallerExit(int timeoutMs);  // false after the timeout

}  // namespace kw::e2e

#endif  // KWUNINST_TESTS_E2E_E2E_MACHINE_H_
