#include "tests/e2e/e2e_machine.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <fstream>
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

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
}

void SetString(HKEY root, const std::string& path, const std::string& name,
               const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

std::string WindowsDirectory() {
  char buffer[MAX_PATH];
  GetWindowsDirectoryA(buffer, MAX_PATH);
  return buffer;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

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
                              "ZRP95.EXE", "KWSHELL.EXE"}) {
    KillProcesses(program);
  }
  RemoveTreeOnDisk(kInstallDir);
  RemoveTreeOnDisk(kWorkDir);
  CreateDirectoryA(kWorkDir, nullptr);
  DeleteFileA((WindowsDirectory() + "\\Uninst.exe").c_str());
  RegDeleteTreeA(HKEY_LOCAL_MACHINE,
                 "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\K-WARD 95");
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "kwt_auto_file");
  HKEY vxds = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs",
                    0, KEY_ALL_ACCESS, &vxds) == ERROR_SUCCESS) {
    RegDeleteValueA(vxds, "ZRP");
    RegCloseKey(vxds);
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
  if (layout.registerLocation) {
    SetString(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs",
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

bool StartProductProgram(const std::string& name, const std::string& windowTitle) {
  std::string command = std::string(kInstallDir) + "\\" + name;
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, kInstallDir,
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
