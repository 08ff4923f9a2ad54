// A simulated Windows machine for the native build and its tests: registry,
// drive C:, processes with their windows, message boxes, the status dialog and
// a virtual clock.  Nothing here sleeps or touches the host system.
//
// Time moves only when the program pauses.  Each pause advances the clock and
// then gives every process whose main thread is not suspended its turn, so a
// scripted program that closes its window 3.5 s after it started is seen to
// do so by the program's fourth one-second pause.
#ifndef KWUNINST_PLATFORM_SIM_SIM_MACHINE_H_
#define KWUNINST_PLATFORM_SIM_SIM_MACHINE_H_

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_registry.h"

namespace kw::sim {

class SimMachine;
class SimProcess;

// The behaviour of a simulated program.  One object per started process.
class SimProgram {
 public:
  virtual ~SimProgram() = default;
  // Right after the process is created.
  virtual void OnStart(SimProcess& /*self*/) {}
  // At every pause of the machine while the main thread runs.
  virtual void OnTurn(SimProcess& /*self*/) {}
  // At every pause while the main thread is suspended: the main thread does
  // nothing, yet the process can still end (another of its threads fails,
  // or the user ends it from the task list).
  virtual void OnFrozenTurn(SimProcess& /*self*/) {}
  // A close request (WM_CLOSE) reached one of its windows.  By default the
  // program closes that window and ends, as a plain Windows program does.
  virtual void OnCloseRequest(SimProcess& self, WindowHandle window);
  // A hung program's thread does not answer messages.
  virtual bool IsHung() const { return false; }
};

using ProgramFactory = std::function<std::unique_ptr<SimProgram>()>;

struct SimWindow {
  WindowHandle handle;
  std::string title;
  std::uint32_t ownerProcessId = 0;  // 0: the program under test itself
  bool alive = true;
  // The status dialog only:
  bool isDialog = false;
  std::map<int, std::string> itemTexts;
};

// A text that reached the screen of the status window, and when.
struct PaintedStatus {
  std::int64_t atMs = 0;
  std::string text;
};

struct SimMessageBox {
  std::int64_t atMs = 0;
  WindowHandle owner;
  std::string ownerTitle;  // empty when the box has no owner
  std::string text;
  std::string caption;
  std::uint32_t style = 0;
  int answer = 0;
};

// One line of the machine's journal: what happened, when.
struct SimEvent {
  std::int64_t atMs = 0;
  std::string what;
};

class SimProcess {
 public:
  SimProcess(SimMachine& machine, std::uint32_t id, std::string imagePath,
             std::string commandLine, std::string currentDirectory, ShowState show);

  std::uint32_t Id() const { return m_id; }
  const std::string& ImagePath() const { return m_imagePath; }
  const std::string& CommandLine() const { return m_commandLine; }
  const std::string& CurrentDirectory() const { return m_currentDirectory; }
  ShowState Show() const { return m_show; }
  bool IsRunning() const { return m_running; }
  int SuspendCount() const { return m_suspendCount; }
  // How long the main thread has been allowed to run: suspended time does
  // not count, so a frozen program does no work.
  std::int64_t RunTimeMs() const { return m_runTimeMs; }
  std::int64_t ExitedAtMs() const { return m_exitedAtMs; }
  SimMachine& Machine() { return m_machine; }

  WindowHandle OpenWindow(const std::string& title);
  void CloseWindow(WindowHandle window);
  // Holds a file of the drive open, sharing denied, until released or ended.
  void HoldFile(const std::string& path);
  void ReleaseFiles();
  // Ends the process: its windows close and its files are released.
  void Exit();
  // The journal, with the process named.
  void Note(const std::string& what);

 private:
  friend class SimMachine;
  SimMachine& m_machine;
  std::uint32_t m_id;
  std::string m_imagePath;
  std::string m_commandLine;
  std::string m_currentDirectory;
  ShowState m_show;
  std::int64_t m_runTimeMs = 0;
  std::int64_t m_exitedAtMs = -1;
  bool m_running = true;
  int m_suspendCount = 0;
  std::unique_ptr<SimProgram> m_program;
};

// Thrown by a pause that takes the virtual clock past SimMachine::kTimeLimitMs.
// Code that waits for something that never happens would otherwise spin for
// ever in virtual time; the test instead fails at once with this message.
// The simulated machine is test equipment: the program's own code throws
// nothing, and nothing in it catches this.
class TimeLimitExceeded : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Thrown where the program under test ends itself (ExitProcess): nothing of
// the program is meant to run afterwards, and the test catches it with the
// exit code.  Test equipment too: nothing in the program catches it.
class ProgramEnded : public std::runtime_error {
 public:
  explicit ProgramEnded(std::uint32_t exitCode);
  std::uint32_t ExitCode() const { return m_exitCode; }

 private:
  std::uint32_t m_exitCode;
};

class SimMachine : public Platform {
 public:
  // The process id of the program under test, the owner of its own windows.
  static constexpr std::uint32_t kOwnProcessId = 0x40;
  // Far beyond any scripted run: the program's bounded waits take seconds.
  static constexpr std::int64_t kTimeLimitMs = 60 * 60 * 1000;

  SimMachine();
  ~SimMachine() override;

  // --- The machine's parts -------------------------------------------------
  SimRegistry& Registry() { return m_registry; }
  SimFileSystem& Files() { return m_files; }

  // Windows 95: platform id 1 and key deletion that takes subkeys along.
  void BecomeWindows95();
  void SetWindowsDirectory(const std::string& directory) { m_windowsDirectory = directory; }
  // GetTempPathA's answer; the directory is made on the drive.
  void SetTemporaryDirectory(const std::string& directory);
  // Without an administrator's rights, deletion at restart is refused.
  void SetAdministrator(bool administrator) { m_administrator = administrator; }
  // What GetDriveTypeA says of a drive letter: C: is a fixed drive, the
  // others are not there, unless set.  The files are all on C: whatever it
  // is said to be.
  void SetDriveType(char letter, std::uint32_t type);
  void FailDialogCreation(bool fail) { m_failDialogCreation = fail; }
  // Memory runs out for any buffer of at least that many bytes that the
  // program is handed: a file's content read whole.  The allocation fails
  // as operator new fails: the program's new handler runs, and without one
  // std::bad_alloc is thrown.
  void FailAllocationsFrom(std::size_t bytes) { m_failAllocationsFrom = bytes; }

  // --- Time ------------------------------------------------------------------
  std::int64_t NowMs() const { return m_nowMs; }
  int PauseCount() const { return m_pauseCount; }
  // Moves the clock as the program's pauses do (turns included), for tests
  // that let time pass outside the program.  Only the program's pauses are
  // held to kTimeLimitMs.
  void AdvanceMs(std::uint32_t milliseconds);

  // --- Programs and processes ---------------------------------------------
  // The program that runs when this path is started (whole path, any case).
  void RegisterProgram(const std::string& path, ProgramFactory factory);
  std::vector<SimProcess*> Processes();
  // The newest process started from this image, or null.
  SimProcess* FindProcess(const std::string& imagePath);
  SimProcess* ProcessById(std::uint32_t id);

  // --- Windows -------------------------------------------------------------
  const SimWindow* Window(WindowHandle handle) const;
  // The status dialog's screen: each text that a repaint put there.
  const std::vector<PaintedStatus>& PaintedStatuses() const { return m_painted; }

  // --- Message boxes -------------------------------------------------------
  // Answers for the boxes to come, in order; the action runs as the box is
  // answered (to let time pass or change the machine meanwhile).
  void AnswerNextBox(int answer, std::function<void()> action = {});
  // Answers boxes when the queue is empty.
  void SetBoxAnswerer(std::function<int(const SimMessageBox&)> answerer) {
    m_answerer = std::move(answerer);
  }
  const std::vector<SimMessageBox>& Boxes() const { return m_boxes; }

  // --- The profile functions' cache of Windows 95 -------------------------
  // Another program writes a line to an .ini file through the profile
  // functions: Windows 95 keeps the file, with the line, in memory (one
  // file at a time), and writes it back whole when it sees fit, over
  // whatever was written to the file meanwhile.  A flush of the cache
  // (FlushProfileCache) writes it back at once.
  void WriteProfileString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& value);
  // Later: what the cache still holds goes to the file.
  void WriteBackProfileCache();

  // --- Journal and faults --------------------------------------------------
  const std::vector<SimEvent>& Journal() const { return m_journal; }
  // The journal lines that start with a prefix, without their times.
  std::vector<std::string> JournalOf(const std::string& prefix) const;
  void Note(const std::string& what);
  // Called when the program does something no script allowed for (a box
  // nobody answers).  Tests turn it into a test failure; by default the
  // machine stops the process, since carrying on would hide the fault.
  void SetFailureHandler(std::function<void(const std::string&)> handler) {
    m_onFailure = std::move(handler);
  }

  // --- Platform ------------------------------------------------------------
  long OpenRegistryKey(RegKey parent, const std::string& subkey, std::uint32_t access,
                       RegKey* opened) override;
  long QueryRegistryValue(RegKey key, const std::string& name, std::uint32_t* type,
                          unsigned char* data, std::uint32_t* size) override;
  long EnumRegistrySubkey(RegKey key, std::uint32_t index, char* name,
                          std::uint32_t* size) override;
  long DeleteRegistryKey(RegKey parent, const std::string& subkey) override;
  long DeleteRegistryValue(RegKey key, const std::string& name) override;
  long CloseRegistryKey(RegKey key) override;

  std::string WindowsDirectory() override { return m_windowsDirectory; }
  std::string TemporaryDirectory() override { return m_temporaryDirectory; }
  std::uint32_t PlatformId() override { return m_platformId; }
  std::string CatalogueText(unsigned id) override;
  void Pause(std::uint32_t milliseconds, bool alertable) override;
  int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                     std::uint32_t style) override;
  // Throws ProgramEnded.
  [[noreturn]] void EndProgram(std::uint32_t exitCode) override;

  bool StartProcess(const std::string& commandLine, const std::string& currentDirectory,
                    ShowState show, ProcessInfo* info) override;
  std::uint32_t SuspendProcessThread(std::uintptr_t thread) override;
  std::uint32_t ResumeProcessThread(std::uintptr_t thread) override;
  std::uint32_t ProcessVersion(std::uint32_t processId) override;

  WindowHandle FindTopLevelWindow(const std::string& title) override;
  std::uint32_t WindowProcessId(WindowHandle window) override;
  bool SendCloseRequest(WindowHandle window, std::uint32_t timeoutMs) override;
  bool BringToTop(WindowHandle window) override;

  IconHandle LoadProgramIcon(unsigned resourceId) override;
  WindowHandle CreateDialogWindow(unsigned templateId, DialogEvents* events) override;
  // Where the window sits and how it looks only Windows can show: the
  // end-to-end tests check those under Wine.
  void SetWindowIcon(WindowHandle, IconSize, IconHandle) override {}
  void MakeTopmost(WindowHandle) override {}
  void SetItemText(WindowHandle dialog, int itemId, const std::string& text) override;
  void RepaintNow(WindowHandle window) override;
  bool IsWindowAlive(WindowHandle window) override;
  void DestroyWindowNow(WindowHandle window) override;

  FindHandle FindFirstEntry(const std::string& pattern, FindEntry* entry, long* error) override;
  bool FindNextEntry(FindHandle search, FindEntry* entry) override;
  void FindClose(FindHandle search) override;
  FileHandle OpenFileExclusive(const std::string& path, FileOpenMode mode) override;
  bool ReadWholeFile(FileHandle file, std::string* bytes, std::size_t limit) override;
  bool WriteWholeFile(FileHandle file, const std::string& bytes) override;
  bool FlushFile(FileHandle file) override;
  void CloseFile(FileHandle file) override;
  bool RemoveFile(const std::string& path) override;
  bool MoveEntry(const std::string& from, const std::string& to) override;
  bool ClearReadOnly(const std::string& path) override;
  bool SetEntryAttributes(const std::string& path, std::uint32_t attributes) override {
    return m_files.SetEntryAttributes(path, attributes);
  }
  long LookUpEntry(const std::string& path, std::uint32_t* attributes) override {
    return m_files.LookUp(path, attributes);
  }
  bool RemoveEmptyDirectory(const std::string& path) override;
  bool DeleteAtRestart(const std::string& path) override;
  std::string ShortPath(const std::string& path) override { return m_files.ShortPath(path); }
  bool ChangeDirectory(const std::string& path) override;
  std::uint32_t DriveType(const std::string& root) override;
  void FlushProfileCache(const std::string& path) override;

 private:
  friend class SimProcess;

  WindowHandle NewWindow(const std::string& title, std::uint32_t ownerProcessId);
  SimWindow* MutableWindow(WindowHandle handle);
  SimProcess* ProcessByThreadHandle(std::uintptr_t thread);
  // The registered program a command line starts, found as CreateProcess
  // finds it: the quoted first token, or else the shortest run of
  // blank-separated words that names a program.
  std::string ProgramPathOf(const std::string& commandLine) const;
  void GiveTurns(std::uint32_t milliseconds);
  void Fail(const std::string& what);
  // An allocation for the program that memory cannot meet.
  void RunOutOfMemory();

  SimRegistry m_registry;
  SimFileSystem m_files;
  std::uint32_t m_platformId = kPlatformWin32Nt;
  std::string m_windowsDirectory = "C:\\WINDOWS";
  std::string m_temporaryDirectory;
  bool m_administrator = true;
  bool m_failDialogCreation = false;
  std::map<char, std::uint32_t> m_driveTypes{{'C', kDriveFixed}};
  std::string m_profileCachePath;  // full path; empty while nothing is cached
  std::string m_profileCacheContent;
  std::size_t m_failAllocationsFrom = static_cast<std::size_t>(-1);

  std::int64_t m_nowMs = 0;
  int m_pauseCount = 0;

  std::map<std::string, ProgramFactory> m_programs;  // by upper-cased path
  std::vector<std::unique_ptr<SimProcess>> m_processes;
  std::uint32_t m_nextProcessId = 0x100;

  std::map<std::uintptr_t, SimWindow> m_windows;
  std::uintptr_t m_nextWindow = 0x10010;
  std::vector<PaintedStatus> m_painted;

  struct ScriptedAnswer {
    int answer;
    std::function<void()> action;
  };
  std::deque<ScriptedAnswer> m_scriptedAnswers;
  std::function<int(const SimMessageBox&)> m_answerer;
  std::vector<SimMessageBox> m_boxes;

  std::vector<SimEvent> m_journal;
  std::function<void(const std::string&)> m_onFailure;
};

}  // namespace kw::sim

#endif  // KWUNINST_PLATFORM_SIM_SIM_MACHINE_H_
