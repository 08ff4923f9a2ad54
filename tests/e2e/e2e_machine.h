// The end-to-end harness: runs under Wine on the machine that
// tests/support/windows_machine.h sets up, runs the real KWUNINST.EXE through
// the box answerer, and reads back what happened.
#ifndef KWUNINST_TESTS_E2E_E2E_MACHINE_H_
#define KWUNINST_TESTS_E2E_E2E_MACHINE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/transcript_reader.h"
#include "tests/support/windows_machine.h"

namespace kw::e2e {

using namespace kw::machine;

constexpr const char* kConfirmTitle = "Confirm File Deletion";
constexpr const char* kStatusCaption = "  K-WARD Uninstall";
constexpr const char* kErrorCaption = "K-WARD Uninstall Error";
constexpr const char* kNoticeCaption = "K-WARD Uninstall";
// The test's own directory, with the traces and the transcript, left out of
// the pictures.
constexpr const char* kWorkDir = "C:\\kwtest";
inline const std::vector<std::string> kStatusTexts = {
    "Closing down the K-WARD programs . . . ", "Removing registry items . . . ",
    "Removing Sentryx from DOSSTART.BAT . . . ", "Removing K-WARD files . . ."};
// The box answerer's times come from another clock than the traces': a few
// milliseconds either way are not an order.
constexpr std::int64_t kClockSlackMs = 50;

// One line of a transcript or of a trace, as the one reader reads it.
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

// The machine reset (machine::ResetMachine), an empty work directory, the
// stand-ins tracing into it with none of their options set, and every
// program let load the C runtime DLL.
void ResetTestMachine();

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
void SetEnv(const std::string& name, const std::string& value);  // "" clears it
std::string ArtifactsDir();
// The whole machine but the work directory.
Snapshot TakeTestSnapshot();

struct RunOptions {
  std::vector<std::string> answers;  // "<title>=<button>[@<delay>]"
  std::string screenshots;           // directory of the PNG series, empty for none
};
// Answers the question after 300 ms, as a user would, OK to any error box and
// Cancel to any prompt: a file a program still holds is left.
RunOptions Answering(const std::string& answer);
// Runs C:\K-WARD\KWUNINST.EXE (or the build's copy when the product is not
// installed) through the box answerer.
Transcript RunKwuninst(const RunOptions& options);

// Starts a product program from C:\K-WARD as the user's session would, or a
// program of the user's holding a file, and waits for its window.
bool StartProductProgram(const std::string& name, const std::string& windowTitle);
bool StartFileHolder(const std::string& path, const std::string& options = "");
// A real library in place of the file, for StartFileHolder(path, "--load").
void InstallLibrary(const std::string& path);

// Windows restarted, as far as files are concerned: every program of the
// test ends, as at a shutdown, and then Wine's wineboot carries out what
// waits for the next start, WININIT.INI's [rename] section (renaming the
// file WININIT.BAK afterwards) and PendingFileRenameOperations, as Windows
// does before anything else runs.  Empty when done, else why it could not
// be: a failure of the test, since the run cannot tell CTest of a skip and
// the restart's checks would pass unseen.
std::string RestartWindows();

std::vector<Event> UninstallerTrace();
std::vector<Event> ProductTrace();
bool WaitForUninstallerExit(int timeoutMs);  // false after the timeout

}  // namespace kw::e2e

#endif  // KWUNINST_TESTS_E2E_E2E_MACHINE_H_
