#include "tests/e2e/e2e_machine.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/support/win32_disk.h"

namespace kw::e2e {
namespace {

using testing::RemoveTreeOnDisk;

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : line) {
    if (c == '\t') {
      parts.push_back(current);
      current.clear();
    } else if (c != '\r') {
      current += c;
    }
  }
  parts.push_back(current);
  return parts;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// A stand-in's trace: "<epoch ms>\t[<owner>\t]<event>\t<detail...>".  The
// product stand-ins name the program in the second field.
std::vector<Event> ReadTrace(const std::string& path, const std::string& ownerField) {
  std::vector<Event> events;
  const std::size_t kindAt = ownerField.empty() ? 1 : 2;
  for (const std::string& text : ReadLines(path)) {
    const std::vector<std::string> parts = SplitTabs(text);
    if (parts.size() <= kindAt) continue;
    Event event;
    event.ms = std::atoll(parts[0].c_str());
    if (!ownerField.empty()) event.fields[ownerField] = parts[1];
    event.kind = parts[kindAt];
    for (std::size_t i = kindAt + 1; i < parts.size(); ++i) {
      event.detail += (i > kindAt + 1 ? "\t" : "") + parts[i];
    }
    events.push_back(event);
  }
  return events;
}

// The agent's task directory, named by its "TaskLocation" setting.
constexpr const char* kTaskDir = "C:\\KWTASKS";

std::string Upper(std::string text) {
  CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

HKEY RootKey(const std::string& name) {
  if (name == "HKCU") return HKEY_CURRENT_USER;
  return name == "HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT;
}

// Left out of snapshots: the user profiles (Wine's links into the Unix home
// directory), the work directory with the traces, the classes (seen as
// HKCR), and what Wine itself changes while programs run.
const char* const kLeftOut[] = {
    "C:\\USERS", "C:\\KWTEST", "HKLM\\SOFTWARE\\CLASSES",
    "HKLM\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SERVICECURRENT",
    "HKLM\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\DEVICECLASSES",
    "HKLM\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\NETWORKCARDS",
    "HKLM\\SOFTWARE\\WOW6432NODE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\NETWORKCARDS"};

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
  DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                   &longestName, &longestData, nullptr, nullptr);
  for (DWORD index = 0; index < values; ++index) {
    std::string name(longestName + 1, '\0'), data(longestData + 1, '\0');
    DWORD nameLength = longestName + 1, dataLength = longestData + 1, type = 0;
    if (RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &dataLength) == ERROR_SUCCESS) {
      snapshot[shown + "|" + Upper(name.substr(0, nameLength))] =
          std::to_string(type) + ":" + data.substr(0, dataLength);
    }
  }
  for (DWORD index = 0; index < subkeys; ++index) {
    std::string name(longestSubkey + 1, '\0');
    DWORD nameLength = longestSubkey + 1;
    if (RegEnumKeyExA(key, index, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) ==
        ERROR_SUCCESS) {
      name.resize(nameLength);
      const std::string subkey = path.empty() ? name : path + "\\" + name;
      SnapshotKey(root, subkey, shownPath + "\\" + name, snapshot);
    }
  }
  RegCloseKey(key);
}

// The registry items the product leaves, which its clean-up removes: a whole
// key (valueName null) or one value ("" the unnamed one).
struct RegistryItem {
  const char* root;  // "HKCU", "HKLM" or "HKCR"
  const char* key;
  const char* valueName;
};
const RegistryItem kProductRegistryItems[] = {
    {"HKCU", "Software\\Halvern Software\\K-tasker", nullptr},
    {"HKCU", "Software\\Halvern Software\\K-WARD32", nullptr},
    {"HKCU", "Software\\Halvern Software Systems, Inc.\\K-WARD Professional for Windows 95",
     nullptr},
    {"HKLM", "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs", "ZRP"},
    {"HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "ZRP95"},
    {"HKCR", "KWARD.DOCUMENT", nullptr},
    {"HKCR", "kwt_auto_file", nullptr},
    {"HKCR", "CLSID\\{5d1c3a70-4e2f-11d0-8c6a-00a0c9b2e417}", nullptr},
    {"HKCR", "ZRP", nullptr},
    {"HKCR", "*\\shellex\\ContextMenuHandlers\\KWardMenu", nullptr},
    {"HKCR", "Folder\\shellex\\ContextMenuHandlers\\KWardMenu", nullptr},
    {"HKCR", "*\\shellex\\ContextMenuHandlers", ""},
    {"HKCR", "Folder\\shellex\\ContextMenuHandlers", ""},
    {"HKCR", ".KWT", nullptr},
};

std::string WindowsDirectory() {
  char buffer[MAX_PATH];
  GetWindowsDirectoryA(buffer, MAX_PATH);
  return buffer;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace


void WriteFile(const std::string& path, const std::string& content) {
  for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
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

std::vector<Event> EventsOf(const std::vector<Event>& trace, const std::string& kind,
                            const std::string& program) {
  std::vector<Event> matching;
  for (const Event& event : trace) {
    if (event.kind == kind && (program.empty() || event.Get("program") == program)) {
      matching.push_back(event);
    }
  }
  return matching;
}

std::string TraceText(const std::vector<Event>& trace) {
  std::string text;
  for (const Event& event : trace) {
    text += std::to_string(event.ms) + " " + event.Get("program") + " " + event.kind + " " +
            event.detail + "\n";
  }
  return text;
}

std::vector<Event> Transcript::Of(const std::string& kind) const { return EventsOf(events, kind); }

std::string Transcript::Text() const {
  std::ostringstream text;
  text << "box answerer exit code " << answererExitCode << "\n";
  for (const Event& event : events) {
    text << event.ms << " " << event.kind;
    for (const auto& [key, value] : event.fields) text << " " << key << "=[" << value << "]";
    text << "\n";
  }
  return text.str();
}

std::string BuildDir() {
  static const std::string directory = testing::ProgramBuildDirectory();
  return directory;
}
std::string KwuninstExe() { return BuildDir() + "\\KWUNINST.EXE"; }

std::string ArtifactsDir() {
  const std::string directory = testing::TestProgramDirectory() + "\\artifacts";
  CreateDirectoryA(directory.c_str(), nullptr);
  return directory;
}

void SetEnv(const std::string& name, const std::string& value) {
  SetEnvironmentVariableA(name.c_str(), value.c_str());
  _putenv((name + "=" + value).c_str());
}

void ClearEnv(const std::string& name) {
  SetEnvironmentVariableA(name.c_str(), nullptr);
  _putenv((name + "=").c_str());
}

void SetWindows95(bool windows95) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  if (windows95) {
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win95"), 6);
  } else {
    RegDeleteValueA(key, "Version");
  }
  RegCloseKey(key);
}

void ResetMachine() {
  for (const char* program : {"KWUNINST.EXE", "Uninst.exe", "K-TASKER.EXE", "K-WARD32.EXE",
                              "ZRP95.EXE", "KWSHELL.EXE", "file_holder.exe"}) {
    KillProcesses(program);
  }
  RemoveTreeOnDisk(kInstallDir);
  RemoveTreeOnDisk(kWorkDir);
  CreateDirectoryA(kWorkDir, nullptr);
  RemoveTreeOnDisk(kTaskDir);
  DeleteFileA("C:\\K-WARD.SYS");
  DeleteFileA((WindowsDirectory() + "\\Uninst.exe").c_str());
  DeleteFileA((WindowsDirectory() + "\\DOSSTART.BAT").c_str());
  RegDeleteTreeA(HKEY_LOCAL_MACHINE,
                 "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\K-WARD 95");
  for (const RegistryItem& item : kProductRegistryItems) {
    HKEY key = nullptr;
    if (item.valueName == nullptr) {
      RegDeleteTreeA(RootKey(item.root), item.key);
    } else if (RegOpenKeyExA(RootKey(item.root), item.key, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, item.valueName);
      RegCloseKey(key);
    }
  }
  SetWindows95(false);
  SetEnv("KW_UNINST_TRACE", std::string(kWorkDir) + "\\uninst-trace.txt");
  SetEnv("KW_STANDIN_TRACE", std::string(kWorkDir) + "\\product-trace.txt");
  for (const char* option : {"KW_UNINST_QUESTION_DELAY_MS", "KW_UNINST_TICK_MS", "KW_UNINST_MODE",
                             "KW_STANDIN_K_WARD32_EXIT_DELAY_MS", "KW_STANDIN_K_WARD32_REFUSE_CLOSE",
                             "KW_STANDIN_K_WARD32_HANG", "KW_STANDIN_ZRP95_EXIT_DELAY_MS"}) {
    ClearEnv(option);
  }
}

void InstallProduct(const ProductLayout& layout) {
  CreateDirectoryA(kInstallDir, nullptr);
  const std::string dir = kInstallDir;
  CopyFileA(KwuninstExe().c_str(), (dir + "\\KWUNINST.EXE").c_str(), FALSE);
  const std::string standin = BuildDir() + "\\tools\\standins\\product_standin.exe";
  for (const char* program : {"K-TASKER.EXE", "K-WARD32.EXE", "ZRP95.EXE", "KWSHELL.EXE"}) {
    CopyFileA(standin.c_str(), (dir + "\\" + program).c_str(), FALSE);
  }
  for (const char* library : {"ACTIVITY.dll", "ZRPENG.DLL", "NWCALLS.DLL", "KWSHEXT.DLL"}) {
    WriteFile(dir + "\\" + library, std::string("library ") + library);
  }
  std::string log = "# install log of the test product\n";
  for (const std::string& name : layout.loggedFiles) {
    WriteFile(dir + "\\" + name, "product file " + name);
    log += "FILE " + dir + "\\" + name + "\n";
  }
  WriteFile(dir + "\\DEISL1.ISU", log);
  if (layout.registryItems) {
    // A value in a subkey of each key, so that whole trees go; the agent's
    // task directory and the task files' class are read by the clean-up.
    for (const RegistryItem& item : kProductRegistryItems) {
      const std::string key = std::string(item.key) + (item.valueName ? "" : "\\Settings");
      SetString(item.root, key, item.valueName ? item.valueName : "Data", "product value");
    }
    SetString("HKCU", "Software\\Halvern Software\\K-WARD32", "TaskLocation", kTaskDir);
    SetString("HKCR", ".KWT", "", "kwt_auto_file");
  }
  if (layout.registerLocation) {
    SetString("HKLM", "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs",
              "ZRP", dir + "\\ZRP.VXD");
  }
}

void InstallUninstaller() {
  CopyFileA((BuildDir() + "\\tools\\standins\\uninst_standin.exe").c_str(),
            (WindowsDirectory() + "\\Uninst.exe").c_str(), FALSE);
}

Transcript RunKwuninst(const RunOptions& options) {
  const std::string transcriptPath = std::string(kWorkDir) + "\\transcript.txt";
  DeleteFileA(transcriptPath.c_str());
  const bool installed = FileExists(std::string(kInstallDir) + "\\KWUNINST.EXE");
  const std::string program = installed ? std::string(kInstallDir) + "\\KWUNINST.EXE" : KwuninstExe();

  std::string command = Quoted(BuildDir() + "\\tools\\boxanswer\\boxanswer.exe");
  command += " --run " + Quoted(program);
  command += " --cwd " + Quoted(installed ? kInstallDir : kWorkDir);
  for (const std::string& answer : options.textAnswers) {
    command += " --answer-text " + Quoted(answer);
  }
  for (const std::string& answer : options.answers) command += " --answer " + Quoted(answer);
  if (options.watchStatus) command += " --watch-status " + Quoted(kStatusCaption);
  if (!options.screenshot.empty()) command += " --screenshot " + Quoted(options.screenshot);
  command += " --transcript " + Quoted(transcriptPath);
  command += " --timeout " + std::to_string(options.timeoutSeconds);

  Transcript transcript;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, kWorkDir,
                      &startup, &process)) {
    return transcript;
  }
  const DWORD waitMs = static_cast<DWORD>((options.timeoutSeconds + 30) * 1000);
  if (WaitForSingleObject(process.hProcess, waitMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 99);
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  transcript.answererExitCode = static_cast<int>(code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  for (const std::string& text : ReadLines(transcriptPath)) {
    const std::vector<std::string> parts = SplitTabs(text);
    if (parts.size() < 2) continue;
    Event event;
    event.ms = std::atoll(parts[0].c_str());
    event.kind = parts[1];
    for (std::size_t i = 2; i < parts.size(); ++i) {
      const std::string::size_type equals = parts[i].find('=');
      if (equals == std::string::npos) continue;
      event.fields[parts[i].substr(0, equals)] = Unescape(parts[i].substr(equals + 1));
    }
    transcript.events.push_back(event);
  }
  return transcript;
}

namespace {

bool StartProgram(const std::string& command, const char* directory,
                  const std::string& windowTitle) {
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, directory,
                      &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int waited = 0; waited < 10000; waited += 50) {
    if (FindWindowA(nullptr, windowTitle.c_str()) != nullptr) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace

bool StartProductProgram(const std::string& name, const std::string& windowTitle) {
  return StartProgram(std::string(kInstallDir) + "\\" + name, kInstallDir, windowTitle);
}

bool StartFileHolder(const std::string& path, const std::string& options) {
  // Its window is up once the file is held.
  return StartProgram(Quoted(BuildDir() + "\\tools\\standins\\file_holder.exe") + " " +
                          Quoted(path) + " " + options,
                      kWorkDir, path.substr(path.rfind('\\') + 1) + " - File Viewer");
}

std::vector<Event> ProductTrace() {
  return ReadTrace(std::string(kWorkDir) + "\\product-trace.txt", "program");
}

std::vector<Event> UninstallerTrace() {
  return ReadTrace(std::string(kWorkDir) + "\\uninst-trace.txt", "");
}

bool WaitForUninstallerExit(int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 100) {
    for (const Event& event : UninstallerTrace()) {
      if (event.kind == "exit") return true;
    }
    Sleep(100);
  }
  return false;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

template <typename Visit>
void ForEachProcess(Visit visit) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    visit(entry);
  }
  CloseHandle(snapshot);
}

}  // namespace

bool ProcessRunning(const std::string& exeName) {
  bool running = false;
  ForEachProcess([&](const PROCESSENTRY32& entry) {
    if (lstrcmpiA(entry.szExeFile, exeName.c_str()) == 0) running = true;
  });
  return running;
}

void KillProcesses(const std::string& exeName) {
  ForEachProcess([&](const PROCESSENTRY32& entry) {
    if (lstrcmpiA(entry.szExeFile, exeName.c_str()) != 0) return;
    const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
    if (process == nullptr) return;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
  });
}

}  // namespace kw::e2e
