#include "platform/sim/sim_machine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "platform/sim/sim_text.h"
#include "resources/resource.h"

namespace kw::sim {
namespace {

constexpr std::uintptr_t kProcessHandleBase = 0x20000;
constexpr std::uintptr_t kThreadHandleBase = 0x30000;
constexpr IconHandle kProgramIcon{0x1280};

std::string HolderName(std::uint32_t processId) { return "pid " + std::to_string(processId); }

}  // namespace

// ---------------------------------------------------------------------------
// SimProgram and SimProcess

void SimProgram::OnCloseRequest(SimProcess& self, WindowHandle window) {
  self.CloseWindow(window);
  self.Exit();
}

SimProcess::SimProcess(SimMachine& machine, std::uint32_t id, std::string imagePath,
                       std::string commandLine, std::string currentDirectory, ShowState show)
    : m_machine(machine),
      m_id(id),
      m_imagePath(std::move(imagePath)),
      m_commandLine(std::move(commandLine)),
      m_currentDirectory(std::move(currentDirectory)),
      m_show(show) {}

WindowHandle SimProcess::OpenWindow(const std::string& title) {
  const WindowHandle window = m_machine.NewWindow(title, m_id);
  Note("opens window \"" + title + "\"");
  return window;
}

void SimProcess::CloseWindow(WindowHandle window) {
  SimWindow* record = m_machine.MutableWindow(window);
  if (record == nullptr || !record->alive || record->ownerProcessId != m_id) return;
  record->alive = false;
  Note("closes window \"" + record->title + "\"");
}

void SimProcess::HoldFile(const std::string& path) {
  if (m_machine.m_files.Hold(path, HolderName(m_id)) == 0) Note("cannot hold " + path);
}

void SimProcess::ReleaseFiles() { m_machine.m_files.ReleaseAllOf(HolderName(m_id)); }

void SimProcess::Exit() {
  if (!m_running) return;
  for (auto& [handle, window] : m_machine.m_windows) {
    if (window.ownerProcessId == m_id && window.alive) window.alive = false;
  }
  ReleaseFiles();
  m_running = false;
  m_exitedAtMs = m_machine.NowMs();
  Note("ends");
}

void SimProcess::Note(const std::string& what) {
  std::string name = m_imagePath.substr(m_imagePath.rfind('\\') + 1);
  m_machine.Note(name + ": " + what);
}

ProgramEnded::ProgramEnded(std::uint32_t exitCode)
    : std::runtime_error("simulated machine: the program ended itself, exit code " +
                         std::to_string(exitCode)),
      m_exitCode(exitCode) {}

// ---------------------------------------------------------------------------
// SimMachine

SimMachine::SimMachine() {
  m_files.AddDirectory(m_windowsDirectory);
  SetTemporaryDirectory(m_windowsDirectory + "\\TEMP\\");
  m_files.ChangeDirectory(m_windowsDirectory);
  m_files.SetBusyDirectoriesSource([this] {
    std::vector<std::string> directories;
    for (const auto& process : m_processes) {
      if (process->IsRunning()) directories.push_back(process->CurrentDirectory());
    }
    return directories;
  });
}

SimMachine::~SimMachine() = default;

void SimMachine::SetTemporaryDirectory(const std::string& directory) {
  m_temporaryDirectory = directory;
  m_files.AddDirectory(directory);
}

void SimMachine::BecomeWindows95() {
  m_platformId = kPlatformWin32Windows;
  m_registry.SetKeyDeletion(KeyDeletion::kTakeSubkeysAlong);
  m_files.RefuseMovesOfFilesInUse();
}

void SimMachine::SetDriveType(char letter, std::uint32_t type) {
  m_driveTypes[Upper(std::string(1, letter))[0]] = type;
}

void SimMachine::Note(const std::string& what) { m_journal.push_back(SimEvent{m_nowMs, what}); }

std::vector<std::string> SimMachine::JournalOf(const std::string& prefix) const {
  std::vector<std::string> lines;
  for (const SimEvent& event : m_journal) {
    if (event.what.rfind(prefix, 0) == 0) lines.push_back(event.what);
  }
  return lines;
}

void SimMachine::Fail(const std::string& what) {
  Note("FAILURE: " + what);
  if (m_onFailure) {
    m_onFailure(what);
    return;
  }
  std::fprintf(stderr, "simulated machine: %s\n", what.c_str());
  std::abort();
}

void SimMachine::RunOutOfMemory() {
  Note("memory runs out");
  // What operator new does when the heap has no room: the program's new
  // handler makes room (and the allocation goes ahead) or ends the program.
  const std::new_handler handler = std::get_new_handler();
  if (handler == nullptr) throw std::bad_alloc();
  handler();
}

void SimMachine::EndProgram(std::uint32_t exitCode) {
  Note("the program ends, exit code " + std::to_string(exitCode));
  throw ProgramEnded(exitCode);
}

void SimMachine::GiveTurns(std::uint32_t milliseconds) {
  // Processes started during these turns wait for the next pause.
  const std::size_t count = m_processes.size();
  for (std::size_t i = 0; i < count; ++i) {
    SimProcess& process = *m_processes[i];
    if (!process.m_running) continue;
    if (process.m_suspendCount > 0) {
      process.m_program->OnFrozenTurn(process);
      continue;
    }
    process.m_runTimeMs += milliseconds;
    process.m_program->OnTurn(process);
  }
}

void SimMachine::AdvanceMs(std::uint32_t milliseconds) {
  m_nowMs += milliseconds;
  GiveTurns(milliseconds);
}

void SimMachine::Pause(std::uint32_t milliseconds, bool /*alertable*/) {
  ++m_pauseCount;
  AdvanceMs(milliseconds);
  if (m_nowMs <= kTimeLimitMs) return;
  const std::string last = m_journal.empty() ? "none" : m_journal.back().what;
  Note("FAILURE: virtual time limit passed");
  throw TimeLimitExceeded("simulated machine: the program is still pausing after an hour of virtual "
                          "time (" + std::to_string(m_pauseCount) + " pauses): it waits for "
                          "something that never happens (last event: " + last + ")");
}

// --- Registry ----------------------------------------------------------------

long SimMachine::OpenRegistryKey(RegKey parent, const std::string& subkey, std::uint32_t access,
                                 RegKey* opened) {
  return m_registry.Open(parent, subkey, access, opened);
}

long SimMachine::QueryRegistryValue(RegKey key, const std::string& name, std::uint32_t* type,
                                    unsigned char* data, std::uint32_t* size) {
  return m_registry.Query(key, name, type, data, size);
}

long SimMachine::EnumRegistrySubkey(RegKey key, std::uint32_t index, char* name,
                                    std::uint32_t* size) {
  return m_registry.EnumSubkey(key, index, name, size);
}

long SimMachine::DeleteRegistryKey(RegKey parent, const std::string& subkey) {
  return m_registry.DeleteKey(parent, subkey);
}

long SimMachine::DeleteRegistryValue(RegKey key, const std::string& name) {
  return m_registry.DeleteValue(key, name);
}

long SimMachine::CloseRegistryKey(RegKey key) { return m_registry.Close(key); }

// --- Message boxes -------------------------------------------------------------

void SimMachine::AnswerNextBox(int answer, std::function<void()> action) {
  m_scriptedAnswers.push_back(ScriptedAnswer{answer, std::move(action)});
}

int SimMachine::ShowMessageBox(WindowHandle owner, const std::string& text,
                               const std::string& caption, std::uint32_t style) {
  SimMessageBox box;
  box.atMs = m_nowMs;
  box.owner = owner;
  if (const SimWindow* ownerWindow = Window(owner); ownerWindow != nullptr && ownerWindow->alive) {
    box.ownerTitle = ownerWindow->title;
  }
  box.text = text;
  box.caption = caption;
  box.style = style;
  Note("box \"" + caption + "\": " + text);
  if (!m_scriptedAnswers.empty()) {
    ScriptedAnswer scripted = std::move(m_scriptedAnswers.front());
    m_scriptedAnswers.pop_front();
    if (scripted.action) scripted.action();
    box.answer = scripted.answer;
  } else if (m_answerer) {
    box.answer = m_answerer(box);
  } else {
    Fail("a message box that nobody answers: \"" + caption + "\": " + text);
    box.answer = kIdCancel;
  }
  m_boxes.push_back(box);
  return box.answer;
}

// --- Processes -------------------------------------------------------------------

void SimMachine::RegisterProgram(const std::string& path, ProgramFactory factory) {
  m_programs[Upper(path)] = std::move(factory);
  if (!m_files.Exists(path)) m_files.AddFile(path, "MZ");
}

std::string SimMachine::ProgramPathOf(const std::string& commandLine) const {
  auto isProgram = [&](const std::string& candidate) {
    return m_programs.count(Upper(candidate)) != 0 && m_files.Exists(candidate) &&
           !m_files.IsDirectory(candidate);
  };
  std::string line = commandLine;
  line.erase(0, line.find_first_not_of(' '));
  if (!line.empty() && line[0] == '"') {
    const std::string::size_type close = line.find('"', 1);
    const std::string quoted = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    return isProgram(quoted) ? quoted : std::string();
  }
  for (std::string::size_type space = line.find(' '); space != std::string::npos;
       space = line.find(' ', space + 1)) {
    if (isProgram(line.substr(0, space))) return line.substr(0, space);
  }
  return isProgram(line) ? line : std::string();
}

bool SimMachine::StartProcess(const std::string& commandLine, const std::string& currentDirectory,
                              ShowState show, ProcessInfo* info) {
  const std::string path = ProgramPathOf(commandLine);
  if (path.empty() || !m_files.IsDirectory(currentDirectory)) {
    Note("cannot start " + commandLine);
    return false;
  }
  const std::uint32_t id = m_nextProcessId;
  m_nextProcessId += 4;
  auto process = std::make_unique<SimProcess>(*this, id, path, commandLine,
                                              m_files.FullPath(currentDirectory), show);
  process->m_program = m_programs[Upper(path)]();
  SimProcess& started = *process;
  m_processes.push_back(std::move(process));
  Note("starts " + commandLine + (show == ShowState::kMinimizedNoActivate ? " (minimised)" : ""));
  info->process = kProcessHandleBase + id;
  info->thread = kThreadHandleBase + id;
  info->processId = id;
  started.m_program->OnStart(started);
  return true;
}

std::vector<SimProcess*> SimMachine::Processes() {
  std::vector<SimProcess*> processes;
  for (const auto& process : m_processes) processes.push_back(process.get());
  return processes;
}

SimProcess* SimMachine::FindProcess(const std::string& imagePath) {
  for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
    if (SameNoCase((*it)->ImagePath(), imagePath)) return it->get();
  }
  return nullptr;
}

SimProcess* SimMachine::ProcessById(std::uint32_t id) {
  for (const auto& process : m_processes) {
    if (process->Id() == id) return process.get();
  }
  return nullptr;
}

SimProcess* SimMachine::ProcessByThreadHandle(std::uintptr_t thread) {
  if (thread < kThreadHandleBase) return nullptr;
  return ProcessById(static_cast<std::uint32_t>(thread - kThreadHandleBase));
}

std::uint32_t SimMachine::SuspendProcessThread(std::uintptr_t thread) {
  SimProcess* process = ProcessByThreadHandle(thread);
  if (process == nullptr || !process->IsRunning()) return kSuspendFailed;
  process->Note("main thread suspended");
  return static_cast<std::uint32_t>(process->m_suspendCount++);
}

std::uint32_t SimMachine::ResumeProcessThread(std::uintptr_t thread) {
  SimProcess* process = ProcessByThreadHandle(thread);
  if (process == nullptr || !process->IsRunning()) return kSuspendFailed;
  process->Note("main thread resumed");
  const int previous = process->m_suspendCount;
  if (previous > 0) --process->m_suspendCount;
  return static_cast<std::uint32_t>(previous);
}

std::uint32_t SimMachine::ProcessVersion(std::uint32_t processId) {
  SimProcess* process = ProcessById(processId);
  return process != nullptr && process->IsRunning() ? 0x00040000u : 0u;
}

// --- Windows -----------------------------------------------------------------------

WindowHandle SimMachine::NewWindow(const std::string& title, std::uint32_t ownerProcessId) {
  SimWindow window;
  window.handle = WindowHandle{m_nextWindow};
  m_nextWindow += 0x10;
  window.title = title;
  window.ownerProcessId = ownerProcessId;
  m_windows[window.handle.value] = window;
  return window.handle;
}

SimWindow* SimMachine::MutableWindow(WindowHandle handle) {
  auto it = m_windows.find(handle.value);
  return it == m_windows.end() ? nullptr : &it->second;
}

const SimWindow* SimMachine::Window(WindowHandle handle) const {
  auto it = m_windows.find(handle.value);
  return it == m_windows.end() ? nullptr : &it->second;
}

WindowHandle SimMachine::FindTopLevelWindow(const std::string& title) {
  // Windows searches from the top of the window order down, and a new window
  // opens on top: the newest of the same title is found.  Windows are kept
  // by handle, and handles grow.
  for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it) {
    if (it->second.alive && SameNoCase(it->second.title, title)) return it->second.handle;
  }
  return WindowHandle{};
}

std::uint32_t SimMachine::WindowProcessId(WindowHandle window) {
  const SimWindow* record = Window(window);
  if (record == nullptr || !record->alive) return 0;
  return record->ownerProcessId == 0 ? kOwnProcessId : record->ownerProcessId;
}

bool SimMachine::SendCloseRequest(WindowHandle window, std::uint32_t /*timeoutMs*/) {
  SimWindow* record = MutableWindow(window);
  if (record == nullptr || !record->alive) return false;
  SimProcess* owner = ProcessById(record->ownerProcessId);
  if (owner == nullptr || !owner->IsRunning()) return false;
  // A thread that is frozen or hung never gets to the message: the request
  // is abandoned as SMTO_ABORTIFHUNG abandons it.
  if (owner->SuspendCount() > 0 || owner->m_program->IsHung()) {
    Note("close request to \"" + record->title + "\" unanswered");
    return false;
  }
  Note("close request to \"" + record->title + "\"");
  owner->m_program->OnCloseRequest(*owner, window);
  return true;
}

bool SimMachine::BringToTop(WindowHandle window) {
  SimWindow* record = MutableWindow(window);
  if (record == nullptr || !record->alive) return false;
  Note("brought to top: \"" + record->title + "\"");
  return true;
}

// --- The status dialog ------------------------------------------------------------

IconHandle SimMachine::LoadProgramIcon(unsigned resourceId) {
  return resourceId == IDR_MAINFRAME ? kProgramIcon : IconHandle{};
}

WindowHandle SimMachine::CreateDialogWindow(unsigned templateId, DialogEvents* events) {
  if (m_failDialogCreation || templateId != IDD_KWUNINST_STATUS) {
    Note("dialog not created");
    return WindowHandle{};
  }
  const WindowHandle handle = NewWindow(KW_STATUS_CAPTION, 0);
  SimWindow* window = MutableWindow(handle);
  window->isDialog = true;
  window->itemTexts[IDC_STATUS_TEXT] = KW_STATUS_INITIAL_TEXT;
  Note("dialog created");
  if (events != nullptr) events->OnInitDialog(handle);
  return handle;
}

void SimMachine::SetItemText(WindowHandle dialog, int itemId, const std::string& text) {
  SimWindow* record = MutableWindow(dialog);
  if (record == nullptr || !record->alive || record->itemTexts.count(itemId) == 0) return;
  record->itemTexts[itemId] = text;
}

void SimMachine::RepaintNow(WindowHandle window) {
  SimWindow* record = MutableWindow(window);
  if (record == nullptr || !record->alive || !record->isDialog) return;
  const std::string& text = record->itemTexts[IDC_STATUS_TEXT];
  m_painted.push_back(PaintedStatus{m_nowMs, text});
  Note("status: " + text);
}

bool SimMachine::IsWindowAlive(WindowHandle window) {
  const SimWindow* record = Window(window);
  return record != nullptr && record->alive;
}

void SimMachine::DestroyWindowNow(WindowHandle window) {
  SimWindow* record = MutableWindow(window);
  if (record == nullptr || !record->alive) return;
  record->alive = false;
  Note(record->isDialog ? "dialog destroyed" : "window destroyed");
}

// --- Files ---------------------------------------------------------------------------

FindHandle SimMachine::FindFirstEntry(const std::string& pattern, FindEntry* entry, long* error) {
  return m_files.FindFirst(pattern, entry, error);
}

bool SimMachine::FindNextEntry(FindHandle search, FindEntry* entry) {
  return m_files.FindNext(search, entry);
}

void SimMachine::FindClose(FindHandle search) { m_files.FindClose(search); }

FileHandle SimMachine::OpenFileExclusive(const std::string& path, FileOpenMode mode) {
  return m_files.OpenExclusive(path, mode);
}

bool SimMachine::ReadWholeFile(FileHandle file, std::string* bytes, std::size_t limit) {
  std::string content;
  if (!m_files.ReadAll(file, &content, limit)) return false;
  if (content.size() >= m_failAllocationsFrom) RunOutOfMemory();
  *bytes = std::move(content);
  return true;
}

bool SimMachine::WriteWholeFile(FileHandle file, const std::string& bytes) {
  return m_files.WriteAll(file, bytes);
}

bool SimMachine::FlushFile(FileHandle file) {
  std::string path;
  const bool flushed = m_files.Flush(file, &path);
  if (flushed) Note("flushed " + path);
  return flushed;
}

void SimMachine::CloseFile(FileHandle file) { m_files.CloseFile(file); }

bool SimMachine::RemoveFile(const std::string& path) {
  const bool removed = m_files.RemoveFile(path);
  if (removed) Note("deleted " + path);
  return removed;
}

bool SimMachine::MoveEntry(const std::string& from, const std::string& to) {
  const bool moved = m_files.Move(from, to);
  if (moved) Note("moved " + from + " to " + to);
  return moved;
}

bool SimMachine::ClearReadOnly(const std::string& path) { return m_files.ClearReadOnly(path); }

bool SimMachine::RemoveEmptyDirectory(const std::string& path) {
  const bool removed = m_files.RemoveEmptyDirectory(path);
  if (removed) Note("removed directory " + path);
  return removed;
}

bool SimMachine::DeleteAtRestart(const std::string& path) {
  // Windows 95 has only a stub of MoveFileExA.
  const bool queued =
      m_platformId == kPlatformWin32Nt && m_administrator && m_files.QueueDeletion(path);
  Note(std::string(queued ? "queued for deletion at restart " : "cannot queue for restart ") + path);
  return queued;
}

bool SimMachine::ChangeDirectory(const std::string& path) {
  const bool changed = m_files.ChangeDirectory(path);
  Note(std::string(changed ? "current directory " : "cannot change directory to ") + path);
  return changed;
}

std::uint32_t SimMachine::DriveType(const std::string& root) {
  // A drive's root only: "C:\".
  if (root.size() != 3 || root[1] != ':' || root[2] != '\\') return kDriveNoRootDir;
  const auto found = m_driveTypes.find(Upper(root.substr(0, 1))[0]);
  return found == m_driveTypes.end() ? kDriveNoRootDir : found->second;
}

// --- The profile cache -------------------------------------------------------------

namespace {

// The name of a section's header line as the profile functions read it:
// between the "[" and the last "]", blanks aside; empty for any other line.
std::string SectionName(const std::string& line) {
  const std::string::size_type open = line.find_first_not_of(" \t");
  const std::string::size_type close = line.rfind(']');
  if (open == std::string::npos || line[open] != '[' || close == std::string::npos) return "";
  const std::string name = line.substr(open + 1, close - open - 1);
  const std::string::size_type first = name.find_first_not_of(" \t");
  return first == std::string::npos ? "" : name.substr(first, name.find_last_not_of(" \t") + 1 - first);
}

// The .ini text with the line key=value at the end of its section, which
// is added at the end when there is none.  Lines end in CR LF.
std::string WithProfileLine(const std::string& text, const std::string& section, const std::string& line) {
  std::vector<std::string> lines;
  for (std::string::size_type start = 0; start < text.size();) {
    const std::string::size_type end = std::min(text.find('\n', start), text.size());
    std::string one = text.substr(start, end - start);
    if (!one.empty() && one.back() == '\r') one.pop_back();
    lines.push_back(one);
    start = end + 1;
  }
  const auto header = std::find_if(lines.begin(), lines.end(), [&](const std::string& one) {
    return SameNoCase(SectionName(one), section);
  });
  if (header == lines.end()) {
    lines.push_back("[" + section + "]");
    lines.push_back(line);
  } else {
    const auto next = std::find_if(header + 1, lines.end(),
                                   [](const std::string& one) { return !SectionName(one).empty(); });
    lines.insert(next, line);
  }
  std::string joined;
  for (const std::string& one : lines) joined += one + "\r\n";
  return joined;
}

}  // namespace

void SimMachine::WriteProfileString(const std::string& path, const std::string& section,
                                    const std::string& key, const std::string& value) {
  const std::string full = m_files.FullPath(path);
  if (!SameNoCase(full, m_profileCachePath)) {
    WriteBackProfileCache();
    m_profileCachePath = full;
    m_profileCacheContent = m_files.Content(full);
  }
  m_profileCacheContent = WithProfileLine(m_profileCacheContent, section, key + "=" + value);
}

void SimMachine::WriteBackProfileCache() {
  if (m_profileCachePath.empty()) return;
  m_files.AddFile(m_profileCachePath, m_profileCacheContent);
  Note("profile cache written back to " + m_profileCachePath);
  m_profileCachePath.clear();
  m_profileCacheContent.clear();
}

void SimMachine::FlushProfileCache(const std::string& path) {
  Note("profile cache flushed for " + path);
  if (SameNoCase(m_files.FullPath(path), m_profileCachePath)) WriteBackProfileCache();
}

}  // namespace kw::sim
