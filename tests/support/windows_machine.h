// The Windows machine around KWUNINST, set up from the product's footprint
// and pictured, for everything that runs the real program: the end-to-end
// and contract tests, the bench and the demo (tools/demo's kwmachine.exe).
// Win32 and the standard library only; a failure to set something up shows
// in the test or run that relies on it.
#ifndef KWUNINST_TESTS_SUPPORT_WINDOWS_MACHINE_H_
#define KWUNINST_TESTS_SUPPORT_WINDOWS_MACHINE_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kw::machine {

// The program build whose KWUNINST.EXE and tools (tools\standins,
// tools\boxanswer) are installed and run.
void SetProgramBuild(const std::string& directory);
std::string ProgramBuild();
std::string StandIn();  // the one stand-in, to copy under a program's name

// --- Files, registry and processes ------------------------------------------------
void WriteFile(const std::string& path, const std::string& content);  // makes its directories
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
// The \\?\ form of a full path for the wide calls, which take every name
// as it is, of any length.
std::wstring ExtendedPath(const std::string& path);
// A directory with everything in it, read-only files and names no ANSI
// path reaches included.
void RemoveTreeOnDisk(const std::string& directory);
// root: "HKCR", "HKCU" or "HKLM".
void SetString(const std::string& root, const std::string& key, const std::string& name,
               const std::string& value);
void DeleteValue(const std::string& root, const std::string& key, const std::string& name);
// Where Windows NT keeps what MoveFileExA is to delete when it next starts,
// and those paths, oldest first.
constexpr const char* kSessionManagerKey = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kPendingDeletionsValue = "PendingFileRenameOperations";
std::vector<std::string> PendingDeletionsAtRestart();
// "<path>\t<where>" of each file Windows is to delete when it restarts: the
// NUL= lines of WININIT.INI's [rename] section (Windows 95), then the
// pending deletions (NT).
std::vector<std::string> QueuedForRestart();

// Starts a command line as the user's session would; the window of that
// title, when named, is up (10 s at most) when it returns true.
bool StartProgram(const std::string& command, const std::string& directory,
                  const std::string& windowTitle = "");
// Runs a command line to its end, which it must reach within timeoutMs (else
// it is ended); its exit code, or -1 when it did not start or end in time.
int RunToEnd(const std::string& command, const std::string& directory, unsigned timeoutMs);
void EndProcess(std::uint32_t processId);
bool ProcessRunning(const std::string& exeName);
void EndProcesses(const std::string& exeName);
// Ends every program KWUNINST meets or that plays one, whatever its state.
void EndPrograms();

// --- The machine from the footprint -----------------------------------------------
// Back to a machine without the product, its neighbours, the uninstaller,
// DOSSTART.BAT, WININIT.INI (nor its WININIT.BAK) or deletions queued for
// the next start, none of their programs running, reporting Wine's own
// version of Windows.
void ResetMachine();
// The version Wine reports: "win95", "nt40", or "" for its own.
void SetWindowsVersion(const std::string& version);
// What was there before the product: the setup-log uninstaller (the
// stand-in), DOSSTART.BAT with the footprint's lines, their ends as found
// on such machines, and the neighbours that must stay.
void PrepareMachine();
struct ProductOptions {
  int extraLoggedFiles = 0;  // more entries for the uninstaller, to keep it busy longer
  bool registry = true;      // every key and value of the footprint
};
// The product as its installer and programs left it: its files (its
// programs the stand-in under their names, KWUNINST.EXE the build's), the
// install log DEISL1.ISU, the task files, the marker and the registry.
void InstallProduct(const ProductOptions& options = {});
// The product's programs that run on that Windows ("95" or "nt"), each up
// with its files held; false when one did not come up.
bool StartProductPrograms(const std::string& windows);

// --- Pictures ---------------------------------------------------------------------
// Every file of drive C: ("C:\DIR\NAME": "<size> bytes, written <time>"),
// directory ("C:\DIR\": "directory"), key ("HKCU\Software\KEY": "key") and
// value ("HKCU\Software\KEY|NAME": its data as a .reg file writes it, the
// unnamed value named "(default)"), names compared without regard to case.
// Left out: the users' profiles (Wine's links into the Unix home), the
// classes below HKLM (seen as HKCR) and what Wine itself changes.
struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const;
};
using Snapshot = std::map<std::string, std::string, NoCase>;
Snapshot TakeSnapshot(const std::vector<std::string>& leftOut = {});
// "gone", "changed" and "added" lines, empty when both are the same.
std::string Differences(const Snapshot& expected, const Snapshot& actual);

}  // namespace kw::machine

#endif  // KWUNINST_TESTS_SUPPORT_WINDOWS_MACHINE_H_
