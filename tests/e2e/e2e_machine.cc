#include "tests/e2e/e2e_machine.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

#include <gtest/gtest.h>

#include "tests/support/footprint.h"
#include "tests/support/win32_disk.h"
#include "tools/boxanswer/transcript_reader.h"

namespace kw::e2e {
namespace {

constexpr const char* kInstallDir = "C:\\K-WARD";
constexpr const char* kKwuninstWineSettings = "Software\\Wine\\AppDefaults\\KWUNINST.EXE";
constexpr const char* kWorkDir = "C:\\kwtest";
// The agent's task directory, named by its "TaskLocation" setting.
constexpr const char* kTaskDir = "C:\\KWTASKS";  // as the footprint places it

std::string BuildDir() {
  static const std::string directory = testing::ProgramBuildDirectory();
  return directory;
}
std::string InWorkDir(const char* name) { return std::string(kWorkDir) + "\\" + name; }
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }


std::string Upper(std::string text) {
  CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

HKEY RootKey(const std::string& name) {
  if (name == "HKCU") return HKEY_CURRENT_USER;
  return name == "HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT;
}

// The transcript and the traces through the tools' one reader of their
// formats; a line their writers never write fails the test.
std::vector<Event> Events(const transcript::Reading& reading, const std::string& path) {
  for (const std::string& error : reading.errors) ADD_FAILURE() << path << ", " << error;
  return reading.events;
}
std::vector<Event> ReadTrace(const std::string& path, bool namesProgram) {
  return Events(transcript::ReadTraceFile(path, namesProgram), path);
}

// Left out of snapshots: the user profiles (Wine's links into the Unix home
// directory), the work directory with the traces, the classes (seen as
// HKCR), and what Wine itself changes while programs run.
const char* const kLeftOut[] = {
    "C:\\USERS", "C:\\KWTEST", "HKLM\\SOFTWARE\\CLASSES",
    "HKLM\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SERVICECURRENT",
    "HKLM\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\DEVICECLASSES",
    "HKLM\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\NETWORKCARDS",
    "HKLM\\SOFTWARE\\WOW6432NODE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\NETWORKCARDS",
    // Written by Wine the first time a console program or the debugger
    // runs in the prefix, which may fall between two snapshots.
    "HKCU\\CONSOLE", "HKCU\\SOFTWARE\\WINE\\WINEDBG"};

bool IsLeftOut(const std::string& path) {
  for (const std::string start : kLeftOut) {
    if (path.rfind(start, 0) == 0 && (path.size() == start.size() || path[start.size()] == '\\')) {
      return true;
    }
  }
  return false;
}

void SnapshotDirectory(const std::string& directory, Snapshot& snapshot) {
  WIN32_FIND_DATAA data;
  const HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = data.cFileName, path = directory + "\\" + name;
    if (name == "." || name == ".." || IsLeftOut(Upper(path))) continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      snapshot[Upper(path)] = "directory";
      SnapshotDirectory(path, snapshot);
      continue;
    }
    // Wine's own large programs and libraries by size and time only; every
    // file a test writes is small.
    const FILETIME& at = data.ftLastWriteTime;
    snapshot[Upper(path)] =
        std::to_string(data.nFileSizeLow) + " bytes, written " +
        std::to_string((std::uint64_t{at.dwHighDateTime} << 32) | at.dwLowDateTime) + ": " +
        (data.nFileSizeHigh == 0 && data.nFileSizeLow < 256 * 1024 ? ReadFile(path) : "");
  } while (FindNextFileA(search, &data));
  FindClose(search);
}

void SnapshotKey(HKEY root, const std::string& path, const std::string& shownPath,
                 Snapshot& snapshot) {
  HKEY key = nullptr;
  const std::string shown = Upper(shownPath);
  if (IsLeftOut(shown) || RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return;
  }
  snapshot[shown] = "key";
  DWORD values = 0, longestName = 0, longestData = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &longestName,
                   &longestData, nullptr, nullptr);
  for (DWORD index = 0; index < values; ++index) {
    std::string name(longestName + 1, '\0'), data(longestData + 1, '\0');
    DWORD nameLength = longestName + 1, dataLength = longestData + 1, type = 0;
    if (RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &dataLength) == ERROR_SUCCESS) {
      snapshot[shown + "|" + Upper(name.substr(0, nameLength))] =
          std::to_string(type) + ":" + data.substr(0, dataLength);
    }
  }
  char name[256];  // the longest a key's name can be
  for (DWORD index = 0; RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS; ++index) {
    SnapshotKey(root, path.empty() ? name : path + "\\" + name, shownPath + "\\" + name, snapshot);
  }
  RegCloseKey(key);
}

void DeleteValue(HKEY root, const char* path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

// Runs a command line; the process handle (to be closed) or null.
HANDLE Launch(const std::string& command, const char* directory) {
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, directory,
                      &startup, &process)) {
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

bool StartProgram(const std::string& command, const char* directory,
                  const std::string& windowTitle) {
  const HANDLE process = Launch(command, directory);
  if (process == nullptr) return false;
  CloseHandle(process);
  for (int waited = 0; waited < 10000; waited += 50) {
    if (FindWindowA(nullptr, windowTitle.c_str()) != nullptr) return true;
    Sleep(50);
  }
  return false;
}

// Whether a process of that file name runs; with kill, ends every one.
bool FindProcesses(const std::string& exeName, bool kill) {
  bool found = false;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, exeName.c_str()) != 0) continue;
    found = true;
    const HANDLE process =
        kill ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID) : nullptr;
    if (process == nullptr) continue;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
  }
  CloseHandle(snapshot);
  return found;
}

}  // namespace

void WriteFile(const std::string& path, const std::string& content) {
  for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  }
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void SetString(const char* root, const std::string& path, const std::string& name,
               const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(RootKey(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

Snapshot TakeSnapshot() {
  Snapshot snapshot;
  SnapshotDirectory("C:", snapshot);
  for (const char* root : {"HKCR", "HKCU", "HKLM"}) SnapshotKey(RootKey(root), "", root, snapshot);
  return snapshot;
}

std::string Differences(const Snapshot& expected, const Snapshot& actual) {
  std::string text;
  for (const auto& [path, state] : expected) {
    const auto found = actual.find(path);
    if (found == actual.end() || found->second != state) {
      text += (found == actual.end() ? "gone " : "changed ") + path + "\n";
    }
  }
  for (const auto& entry : actual) {
    if (expected.count(entry.first) == 0) text += "added " + entry.first + "\n";
  }
  return text;
}

std::vector<Event> EventsOf(const std::vector<Event>& trace, const std::string& kind,
                            const std::string& program) {
  std::vector<Event> matching;
  for (const Event& event : trace) {
    if (event.kind == kind && (program.empty() || event.program == program)) {
      matching.push_back(event);
    }
  }
  return matching;
}

std::string TraceText(const std::vector<Event>& trace) {
  std::string text;
  for (const Event& event : trace) {
    text += std::to_string(event.ms) + " " + event.program + " " + event.kind + " " +
            DetailText(event) + "\n";
  }
  return text;
}

std::string DetailText(const Event& event) {
  std::string text;
  for (std::size_t i = 0; i < event.detail.size(); ++i) text += (i ? "\t" : "") + event.detail[i];
  return text;
}

std::vector<std::string> Transcript::StatusTexts() const {
  std::vector<std::string> texts;
  const std::vector<Event> windows = Of("status-window");
  // The first status may already be up when the window is first seen.
  if (!windows.empty() && windows[0].Get("text") != "Static") texts.push_back(windows[0].Get("text"));
  for (const Event& status : Of("status")) texts.push_back(status.Get("text"));
  return texts;
}

std::int64_t Transcript::EpochOf(const Event& event) const {
  const std::vector<Event> started = Of("started");
  return started.empty() ? 0 : std::atoll(started[0].Get("epoch").c_str()) + event.ms;
}

std::int64_t Transcript::EpochOfStatus(const std::string& text) const {
  for (const Event& status : Of("status")) {
    if (status.Get("text") == text) return EpochOf(status);
  }
  return -1;
}

std::string Transcript::Text() const {
  return "box answerer exit code " + std::to_string(answererExitCode) + "\n" + TraceText(events);
}

std::string ArtifactsDir() {
  const std::string directory = testing::TestProgramDirectory() + "\\artifacts";
  CreateDirectoryA(directory.c_str(), nullptr);
  return directory;
}

void SetEnv(const std::string& name, const std::string& value) {
  // Empty clears it, for the process and for the C runtime.
  SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
  _putenv((name + "=" + value).c_str());
}

void DisableCRuntimeForKwuninst() {
  // An empty load order: the DLL is not loaded at all.
  SetString("HKCU", std::string(kKwuninstWineSettings) + "\\DllOverrides", "msvcrt", "");
}

std::vector<std::string> SystemDllsNeedingCRuntime() {
  // Read from the import tables of the DLLs as this test program has them
  // loaded: the same system DLLs, of the same architecture, as KWUNINST.EXE
  // gets.
  std::vector<std::string> needing, toRead = {"KERNEL32.DLL", "USER32.DLL", "ADVAPI32.DLL"};
  std::set<std::string> seen(toRead.begin(), toRead.end());
  while (!toRead.empty()) {
    const std::string name = toRead.back();
    toRead.pop_back();
    const auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleA(name.c_str()));
    if (base == nullptr) continue;  // not loaded, so not needed here either
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) continue;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
      const std::string imported = Upper(reinterpret_cast<const char*>(base + entry->Name));
      if (imported == "MSVCRT.DLL") needing.push_back(name);
      if (seen.insert(imported).second) toRead.push_back(imported);
    }
  }
  return needing;
}

void SetWindowsVersion(const std::string& version) {
  version.empty() ? DeleteValue(HKEY_CURRENT_USER, "Software\\Wine", "Version")
                  : SetString("HKCU", "Software\\Wine", "Version", version);
}

namespace {

// Ends every program the tests start, whatever state it is in.
void EndTestPrograms() {
  for (const char* program : {"KWUNINST.EXE", "Uninst.exe", "file_holder.exe"}) {
    FindProcesses(program, true);
  }
  for (const footprint::Program& program : footprint::kPrograms) FindProcesses(program.file, true);
}

}  // namespace

void ResetMachine() {
  EndTestPrograms();
  for (const char* directory : {kInstallDir, kWorkDir, kTaskDir}) {
    testing::RemoveTreeOnDisk(directory);
  }
  CreateDirectoryA(kWorkDir, nullptr);
  for (const char* file : {"C:\\K-WARD.SYS", "C:\\windows\\Uninst.exe", "C:\\windows\\DOSSTART.BAT",
                           "C:\\windows\\WININIT.INI", "C:\\windows\\WININIT.BAK"}) {
    DeleteFileA(file);
  }
  DeleteValue(HKEY_LOCAL_MACHINE, testing::kSessionManagerKey, testing::kPendingDeletionsValue);
  // The footprint's keys whole (the maker's with its neighbour's settings),
  // its values and its neighbours' in keys of the system's one by one.
  for (const footprint::Key& key : footprint::kKeys) RegDeleteTreeA(RootKey(key.root), key.path);
  for (const footprint::Value& value : footprint::kValues) {
    DeleteValue(RootKey(value.root), value.key, value.name);
  }
  for (const footprint::NeighbourValue& value : footprint::kNeighbourValues) {
    DeleteValue(RootKey(value.root), value.key, value.name);
  }
  SetWindowsVersion("");
  RegDeleteTreeA(HKEY_CURRENT_USER, kKwuninstWineSettings);
  SetEnv("KW_UNINST_TRACE", InWorkDir("uninst-trace.txt"));
  SetEnv("KW_STANDIN_TRACE", InWorkDir("product-trace.txt"));
  for (const char* option : {"KW_UNINST_QUESTION_DELAY_MS", "KW_UNINST_TICK_MS", "KW_UNINST_MODE",
                             "KW_STANDIN_K_WARD32_EXIT_DELAY_MS", "KW_STANDIN_K_WARD32_REFUSE_CLOSE",
                             "KW_STANDIN_K_WARD32_HANG", "KW_STANDIN_ZRP95_EXIT_DELAY_MS",
                             "KW_FAIL_ALLOCATIONS_FROM"}) {
    SetEnv(option, "");
  }
}

void InstallProduct(const ProductLayout& layout) {
  const std::string dir = std::string(kInstallDir) + "\\";
  // The footprint's files; its programs are the stand-in under their names
  // (the shell's among them, to hold the shell extension where asked).
  for (const footprint::File& file : footprint::kFiles) {
    WriteFile(dir + file.name, std::string("product file ") + file.name);
  }
  CopyFileA((BuildDir() + "\\KWUNINST.EXE").c_str(), (dir + "KWUNINST.EXE").c_str(), FALSE);
  const std::string standin = BuildDir() + "\\tools\\standins\\product_standin.exe";
  for (const footprint::Program& program : footprint::kPrograms) {
    CopyFileA(standin.c_str(), (dir + program.file).c_str(), FALSE);
  }
  std::string log = "# install log of the test product\n";
  for (const std::string& name : layout.loggedFiles) {
    WriteFile(dir + name, "product file " + name);
    log += "FILE " + dir + name + "\n";
  }
  WriteFile(dir + "DEISL1.ISU", log);
  // Its values but those the log would list, which this log does not; the
  // first of them locates the product.
  for (const footprint::Value& value : footprint::kValues) {
    const bool locating = &value == &footprint::kValues[0];
    if (footprint::RemovedByTheLog(value) || !(locating ? layout.registerLocation : layout.registryItems)) {
      continue;
    }
    SetString(value.root, value.key, value.name, footprint::Expand(value.data, dir, kTaskDir));
  }
}

void InstallUninstaller() {
  CopyFileA((BuildDir() + "\\tools\\standins\\uninst_standin.exe").c_str(),
            "C:\\windows\\Uninst.exe", FALSE);
}

RunOptions Answering(const std::string& answer) {
  RunOptions options;
  options.answers = {std::string(kConfirmTitle) + "=" + answer + "@300",
                     std::string(kErrorCaption) + "=OK", std::string(kNoticeCaption) + "=OK",
                     "File Management Prompt Error!=Cancel"};
  options.timeoutSeconds = 120;
  return options;
}

Transcript RunKwuninst(const RunOptions& options) {
  const std::string transcriptPath = InWorkDir("transcript.txt");
  DeleteFileA(transcriptPath.c_str());
  const std::string installedCopy = std::string(kInstallDir) + "\\KWUNINST.EXE";
  const bool installed = FileExists(installedCopy);

  std::string command = Quoted(BuildDir() + "\\tools\\boxanswer\\boxanswer.exe") + " --run " +
                        Quoted(installed ? installedCopy : BuildDir() + "\\KWUNINST.EXE") +
                        " --cwd " + Quoted(installed ? kInstallDir : kWorkDir);
  for (const std::string& text : options.textAnswers) command += " --answer-text " + Quoted(text);
  for (const std::string& answer : options.answers) command += " --answer " + Quoted(answer);
  command += " --watch-status " + Quoted(kStatusCaption);
  if (!options.screenshot.empty()) command += " --screenshot " + Quoted(options.screenshot);
  command += " --transcript " + Quoted(transcriptPath) +
             " --timeout " + std::to_string(options.timeoutSeconds);

  Transcript transcript;
  const HANDLE process = Launch(command, kWorkDir);
  if (process == nullptr) return transcript;
  if (WaitForSingleObject(process, static_cast<DWORD>((options.timeoutSeconds + 30) * 1000)) !=
      WAIT_OBJECT_0) {
    TerminateProcess(process, 99);
  }
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  transcript.answererExitCode = static_cast<int>(code);
  transcript.events = Events(transcript::ReadTranscriptFile(transcriptPath), transcriptPath);
  return transcript;
}

bool StartProductProgram(const std::string& name, const std::string& windowTitle) {
  return StartProgram(std::string(kInstallDir) + "\\" + name, kInstallDir, windowTitle);
}

bool StartFileHolder(const std::string& path, const std::string& options) {
  // Its window is up once the file is held.
  return StartProgram(Quoted(BuildDir() + "\\tools\\standins\\file_holder.exe") + " " +
                          Quoted(path) + " " + options,
                      kWorkDir, path.substr(path.rfind('\\') + 1) + " - File Viewer");
}

std::vector<Event> ProductTrace() { return ReadTrace(InWorkDir("product-trace.txt"), true); }
std::vector<Event> UninstallerTrace() { return ReadTrace(InWorkDir("uninst-trace.txt"), false); }

bool WaitForUninstallerExit(int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 100) {
    if (!EventsOf(UninstallerTrace(), "exit").empty()) return true;
    Sleep(100);
  }
  return false;
}

std::string RestartWindows() {
  EndTestPrograms();
  // Measured under Wine 8: "wineboot -r", started by a program that runs
  // on in the prefix (this one), does both at once, in about 250 ms, and
  // ends with code 0; only the programs that hold a file to be deleted
  // must have ended.  It reads WININIT.INI whatever Windows version the
  // prefix reports (Windows NT itself does not): the tests of an NT
  // machine leave none there.
  char system[MAX_PATH] = "";
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string wineboot = std::string(system) + "\\wineboot.exe";
  if (GetFileAttributesA(wineboot.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return "no " + wineboot + ": not a Wine machine, which the test cannot restart";
  }
  const HANDLE process = Launch(Quoted(wineboot) + " -r", system);
  if (process == nullptr) return "wineboot -r could not be started";
  const bool ended = WaitForSingleObject(process, 60000) == WAIT_OBJECT_0;
  DWORD code = 1;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  if (!ended || code != 0) return "wineboot -r did not end well (exit code " + std::to_string(code) + ")";
  return "";
}

void InstallLibrary(const std::string& path) {
  CopyFileA((BuildDir() + "\\tools\\standins\\library_standin.dll").c_str(), path.c_str(), FALSE);
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ProcessRunning(const std::string& exeName) { return FindProcesses(exeName, false); }

}  // namespace kw::e2e
