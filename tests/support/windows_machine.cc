#include "tests/support/windows_machine.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

#include "tests/support/footprint.h"

namespace kw::machine {
namespace fp = kw::footprint;
namespace {

std::string g_build;

HKEY RootKey(const std::string& name) {
  if (name == "HKCU") return HKEY_CURRENT_USER;
  return name == "HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT;
}

std::string WindowsFile(const std::string& name) {
  char directory[MAX_PATH] = "";
  GetWindowsDirectoryA(directory, MAX_PATH);
  return std::string(directory) + "\\" + name;
}

void RemoveWideTree(const std::wstring& root) {
  WIN32_FIND_DATAW data;
  const HANDLE search = FindFirstFileW((root + L"\\*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName, path = root + L"\\" + name;
      if (name == L"." || name == L"..") continue;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveWideTree(path)
                                                         : static_cast<void>(DeleteFileW(path.c_str()));
    } while (FindNextFileW(search, &data));
    FindClose(search);
  }
  RemoveDirectoryW(root.c_str());
}

// Starts a command line; the process handle (to be closed), or null.
HANDLE Launch(const std::string& command, const std::string& directory) {
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.empty() ? nullptr : directory.c_str(), &startup, &process)) {
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

// Calls visit with each running process of that file name.
template <typename Visit>
void ForEachProcess(const std::string& exeName, Visit visit) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, exeName.c_str()) == 0) visit(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
}

// DEISL1.ISU in the order the setup-log uninstaller works through it: what
// setup put there (after the extra entries asked for), its uninstall program and the log itself last among the
// files (KWUNINST has ended by then), the logged values and keys, the
// directories deepest first and the installation directory last.
std::string InstallLog(const std::string& install, int extraLoggedFiles) {
  std::string log = "# K-WARD install log\r\n";
  std::set<std::string, bool (*)(const std::string&, const std::string&)> directories(
      [](const std::string& a, const std::string& b) {
        const auto depth = [](const std::string& d) { return std::count(d.begin(), d.end(), '\\'); };
        return depth(a) != depth(b) ? depth(a) > depth(b) : a < b;
      });
  // Extra entries first: they keep the uninstaller busy before it comes to
  // the product's files.
  for (const char* role : {"extra", "logged", "uninstall"}) {
    for (int i = 0; std::string(role) == "extra" && i < extraLoggedFiles; ++i) {
      log += "FILE " + install + "PART.DAT\r\n";
    }
    for (const fp::File& file : fp::kFiles) {
      if (!fp::Is(file.role, role)) continue;
      log += "FILE " + install + file.name + "\r\n";
      const std::string name = file.name;
      if (name.find('\\') != std::string::npos) directories.insert(name.substr(0, name.rfind('\\')));
    }
  }
  for (const fp::Value& value : fp::kValues) {
    if (fp::Is(value.role, "logged")) {
      log += "VALUE " + std::string(value.root) + "\\" + value.key + "|" + value.name + "\r\n";
    }
  }
  for (const fp::Key& key : fp::kKeys) {
    if (fp::Is(key.role, "logged")) log += "KEY " + std::string(key.root) + "\\" + key.path + "\r\n";
  }
  for (const std::string& directory : directories) log += "DIR " + install + directory + "\r\n";
  return log + "DIR " + install.substr(0, install.size() - 1) + "\r\n";
}

// Left out of every picture: Wine's links into the Unix home, the classes
// seen as HKCR, and what Wine itself changes while programs run (some the
// first time a console program or the debugger runs in the prefix).
const char* const kAlwaysLeftOut[] = {
    "C:\\users", "HKLM\\Software\\Classes", "HKLM\\System\\CurrentControlSet\\Control\\ServiceCurrent",
    "HKLM\\System\\CurrentControlSet\\Control\\DeviceClasses",
    "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
    "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards", "HKCU\\Console",
    "HKCU\\Software\\Wine\\WineDbg"};

struct Picture {
  const std::vector<std::string>& leftOut;
  Snapshot snapshot;

  bool IsLeftOut(const std::string& path) const {
    const auto within = [&](const std::string& top) {
      return path.size() >= top.size() && !NoCase()(path.substr(0, top.size()), top) &&
             !NoCase()(top, path.substr(0, top.size())) &&
             (path.size() == top.size() || path[top.size()] == '\\');
    };
    return std::any_of(std::begin(kAlwaysLeftOut), std::end(kAlwaysLeftOut), within) ||
           std::any_of(leftOut.begin(), leftOut.end(), within);
  }

  void Directory(const std::string& directory) {
    WIN32_FIND_DATAA data;
    const HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
      const std::string name = data.cFileName, path = directory + "\\" + name;
      if (name == "." || name == ".." || IsLeftOut(path)) continue;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        snapshot[path + "\\"] = "directory";
        Directory(path);
        continue;
      }
      // Any write changes the time: no need to read what is written.
      const FILETIME& at = data.ftLastWriteTime;
      snapshot[path] = std::to_string(data.nFileSizeLow) + " bytes, written " +
                       std::to_string((std::uint64_t{at.dwHighDateTime} << 32) | at.dwLowDateTime);
    } while (FindNextFileA(search, &data));
    FindClose(search);
  }

  // A value's data as a .reg file writes it: "text" (\ and " escaped),
  // dword:0000002a, or hex(<type>):xx,xx,...
  static std::string RegData(DWORD type, const std::string& data) {
    if (type == REG_SZ) {
      std::string text = "\"";
      for (char c : data.substr(0, data.find('\0'))) text += c == '\\' || c == '"' ? std::string("\\") + c : std::string(1, c);
      return text + "\"";
    }
    char hex[16];
    if (type == REG_DWORD && data.size() == 4) {
      std::snprintf(hex, sizeof hex, "dword:%08lx", static_cast<unsigned long>(*reinterpret_cast<const DWORD*>(data.data())));
      return hex;
    }
    std::snprintf(hex, sizeof hex, type == REG_BINARY ? "hex:" : "hex(%lx):", static_cast<unsigned long>(type));
    std::string text = hex;
    for (std::size_t i = 0; i < data.size(); ++i) {
      std::snprintf(hex, sizeof hex, "%s%02x", i ? "," : "", static_cast<unsigned char>(data[i]));
      text += hex;
    }
    return text;
  }

  void Key(HKEY root, const std::string& path, const std::string& shown) {
    HKEY key = nullptr;
    if (IsLeftOut(shown) || RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    snapshot[shown] = "key";
    DWORD values = 0, longestName = 0, longestData = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &longestName,
                     &longestData, nullptr, nullptr);
    for (DWORD index = 0; index < values; ++index) {
      std::string name(longestName + 1, '\0'), data(longestData + 1, '\0');
      DWORD nameLength = longestName + 1, dataLength = longestData + 1, type = 0;
      if (RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type,
                        reinterpret_cast<BYTE*>(data.data()), &dataLength) == ERROR_SUCCESS) {
        snapshot[shown + "|" + (nameLength ? name.substr(0, nameLength) : "(default)")] =
            RegData(type, data.substr(0, dataLength));
      }
    }
    char name[256];  // the longest a key's name can be
    for (DWORD index = 0; RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS; ++index) {
      Key(root, path.empty() ? name : path + "\\" + name, shown + "\\" + name);
    }
    RegCloseKey(key);
  }
};

}  // namespace

bool NoCase::operator()(const std::string& a, const std::string& b) const {
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                        static_cast<int>(b.size())) == CSTR_LESS_THAN;
}

void SetProgramBuild(const std::string& directory) { g_build = directory; }

std::string ProgramBuild() {
#ifdef KW_PROGRAM_BUILD_DIR
  // The test build passes it as a Unix path; Wine's drive Z: is the Unix root.
  if (g_build.empty()) {
    g_build = "Z:" KW_PROGRAM_BUILD_DIR;
    std::replace(g_build.begin(), g_build.end(), '/', '\\');
  }
#endif
  return g_build;
}

std::string StandIn() { return ProgramBuild() + "\\tools\\standins\\standin.exe"; }

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

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ExtendedPath(const std::string& path) {
  const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length - 1 : 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
  return L"\\\\?\\" + wide;
}

void RemoveTreeOnDisk(const std::string& directory) {
  std::string path = directory;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  RemoveWideTree(ExtendedPath(path));
}

void SetString(const std::string& root, const std::string& path, const std::string& name,
               const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(RootKey(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

void DeleteValue(const std::string& root, const std::string& path, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(RootKey(root), path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name.c_str());
  RegCloseKey(key);
}

std::vector<std::string> PendingDeletionsAtRestart() {
  // Pairs of names: "\??\" and the path, then an empty new name.
  std::vector<std::string> paths;
  std::string data(65536, '\0');
  DWORD size = static_cast<DWORD>(data.size());
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingDeletionsValue, RRF_RT_REG_MULTI_SZ, nullptr,
                   data.data(), &size) != ERROR_SUCCESS) {
    return paths;
  }
  data.resize(size);
  for (std::size_t at = 0; at < data.size() && data[at] != '\0';) {
    const std::string source = data.c_str() + at;
    paths.push_back(source.substr(source.rfind("\\??\\", 0) == 0 ? 4 : 0));
    at += source.size() + 1;
    at += std::string(data.c_str() + at).size() + 1;
  }
  return paths;
}

std::vector<std::string> QueuedForRestart() {
  std::vector<std::string> queued;
  std::string section, line;
  for (char c : ReadFile(WindowsFile("WININIT.INI")) + "\n") {
    if (c != '\n' && c != '\r') {
      line += c;
      continue;
    }
    if (line.rfind('[', 0) == 0) section = line;
    if (lstrcmpiA(section.c_str(), "[rename]") == 0 && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE,
        line.c_str(), std::min<int>(4, static_cast<int>(line.size())), "NUL=", 4) == CSTR_EQUAL) {
      queued.push_back(line.substr(4) + "\tWININIT.INI");
    }
    line.clear();
  }
  for (const std::string& path : PendingDeletionsAtRestart()) queued.push_back(path + "\t" + kPendingDeletionsValue);
  return queued;
}

bool StartProgram(const std::string& command, const std::string& directory, const std::string& windowTitle) {
  const HANDLE process = Launch(command, directory);
  if (process == nullptr) return false;
  CloseHandle(process);
  for (int waited = 0; !windowTitle.empty() && waited < 10000; waited += 50) {
    if (FindWindowA(nullptr, windowTitle.c_str()) != nullptr) return true;
    Sleep(50);
  }
  return windowTitle.empty();
}

int RunToEnd(const std::string& command, const std::string& directory, unsigned timeoutMs) {
  const HANDLE process = Launch(command, directory);
  if (process == nullptr) return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process, &code);
  } else {
    TerminateProcess(process, code);
  }
  CloseHandle(process);
  return static_cast<int>(code);
}

bool ProcessRunning(const std::string& exeName) {
  bool found = false;
  ForEachProcess(exeName, [&](DWORD) { found = true; });
  return found;
}

void EndProcess(std::uint32_t processId) {
  const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
  if (process == nullptr) return;
  TerminateProcess(process, 1);
  WaitForSingleObject(process, 5000);
  CloseHandle(process);
}

void EndProcesses(const std::string& exeName) { ForEachProcess(exeName, EndProcess); }

void EndPrograms() {
  for (const char* program : {"KWUNINST.EXE", "Uninst.exe", "standin.exe", "VIEWER.EXE", "boxanswer.exe"}) {
    EndProcesses(program);
  }
  for (const fp::Program& program : fp::kPrograms) EndProcesses(program.file);
}

void ResetMachine() {
  EndPrograms();
  for (const char* place : {"install", "tasks"}) RemoveTreeOnDisk(fp::Place(place));
  for (const fp::NeighbourFile& file : fp::kNeighbourFiles) DeleteFileA(file.path);
  for (const std::string& file : {fp::Place("marker"), WindowsFile("Uninst.exe"), WindowsFile("DOSSTART.BAT"),
                                  WindowsFile("WININIT.INI"), WindowsFile("WININIT.BAK")}) {
    DeleteFileA(file.c_str());
  }
  DeleteValue("HKLM", kSessionManagerKey, kPendingDeletionsValue);
  // The footprint's keys whole (the maker's with its neighbour's settings),
  // its values and its neighbours' in keys of the system's one by one.
  for (const fp::Key& key : fp::kKeys) RegDeleteTreeA(RootKey(key.root), key.path);
  for (const fp::Value& value : fp::kValues) DeleteValue(value.root, value.key, value.name);
  for (const fp::NeighbourValue& value : fp::kNeighbourValues) DeleteValue(value.root, value.key, value.name);
  SetWindowsVersion("");
}

void SetWindowsVersion(const std::string& version) {
  version.empty() ? DeleteValue("HKCU", "Software\\Wine", "Version")
                  : SetString("HKCU", "Software\\Wine", "Version", version);
}

void PrepareMachine() {
  CopyFileA(StandIn().c_str(), WindowsFile("Uninst.exe").c_str(), FALSE);
  // Lines ended as found on such machines: CR LF, one LF alone, the last none.
  std::string batch;
  const std::size_t lines = std::size(fp::kBatchLines);
  for (std::size_t i = 0; i < lines; ++i) {
    batch += fp::kBatchLines[i].text + std::string(i == 6 ? "\n" : i + 1 < lines ? "\r\n" : "");
  }
  WriteFile(WindowsFile("DOSSTART.BAT"), batch);
  for (const fp::NeighbourFile& file : fp::kNeighbourFiles) {
    WriteFile(file.path, "Not K-WARD's: " + std::string(file.why) + "\r\n");
  }
  for (const fp::NeighbourValue& value : fp::kNeighbourValues) SetString(value.root, value.key, value.name, value.data);
}

void InstallProduct(const ProductOptions& options) {
  const std::string install = fp::Place("install"), tasks = fp::Place("tasks");
  for (const fp::File& file : fp::kFiles) {
    const std::string name = file.name;
    WriteFile(install + name, (fp::Is(file.role, "runtime") ? "Written by K-WARD at run time: " : "K-WARD file ") +
                                  name + "\r\n");
  }
  if (options.extraLoggedFiles > 0) WriteFile(install + "PART.DAT", "K-WARD file PART.DAT\r\n");
  WriteFile(install + "DEISL1.ISU", InstallLog(install, options.extraLoggedFiles));
  CopyFileA((ProgramBuild() + "\\KWUNINST.EXE").c_str(), (install + "KWUNINST.EXE").c_str(), FALSE);
  for (const fp::Program& program : fp::kPrograms) {
    // The system's shell is no file of the product.
    if (!fp::Is(program.runs, "shell")) CopyFileA(StandIn().c_str(), (install + program.file).c_str(), FALSE);
  }
  for (const char* name : fp::kTaskFiles) WriteFile(tasks + name, "K-WARD task " + std::string(name) + "\r\n");
  WriteFile(fp::Place("marker"), "K-WARD\r\n");
  if (!options.registry) return;
  for (const fp::Key& key : fp::kKeys) {
    HKEY created = nullptr;
    if (RegCreateKeyExA(RootKey(key.root), key.path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr) ==
        ERROR_SUCCESS) {
      RegCloseKey(created);
    }
  }
  for (const fp::Value& value : fp::kValues) {
    SetString(value.root, value.key, value.name, fp::Expand(value.data, install, tasks));
  }
}

bool StartProductPrograms(const std::string& windows) {
  bool started = true;
  for (const fp::Program& program : fp::kPrograms) {
    if (fp::Is(program.runs, "both") || program.runs == windows) {
      started = StartProgram(fp::Place("install") + program.file, fp::Place("install"), program.title) && started;
    }
  }
  return started;
}

Snapshot TakeSnapshot(const std::vector<std::string>& leftOut) {
  Picture picture{leftOut, {}};
  picture.Directory("C:");
  for (const char* root : {"HKCR", "HKCU", "HKLM"}) picture.Key(RootKey(root), "", root);
  return picture.snapshot;
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

}  // namespace kw::machine
