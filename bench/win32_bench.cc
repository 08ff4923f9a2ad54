// The benchmarks on a Windows machine (a 32-bit Wine prefix in bench/run.sh):
// the program's own code, as KWUNINST.EXE runs it, against the floor of the
// Win32 API and the system's own tools, in the same run on the same trees.
//
//   kwbench.exe --tools <program build directory> [--repeat N] [--quick]
//               [files] [registry] [run]
//
// Prints one result line per measurement (bench/bench_shapes.h); bench/run.sh
// makes the table.  Everything it creates lies in C:\KWBENCH, C:\K-WARD, the
// Windows directory and the registry keys of the product, in a prefix of
// its own.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/uninstall_app.h"
#include "bench/bench_shapes.h"
#include "components/registry.h"
#include "platform/win32/win32_platform.h"

namespace kw::bench {
namespace {

constexpr const char* kMachine = "wine";
// Where the trees are made: on drive C: unless told otherwise.
std::string g_treeRoot = "C:\\KWBENCH";
std::string TreePath() { return g_treeRoot + "\\TREE"; }
constexpr const char* kKeyTreePath = "Software\\KWBench\\Tree";
constexpr const char* kInstallDir = "C:\\K-WARD";

// --- Measuring ---------------------------------------------------------------

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double TimeMs(const std::function<void()>& work) {
  const double start = NowMs();
  work();
  return NowMs() - start;
}

// The real Win32 port, which keeps count of the pauses the program takes and
// never shows a box: a box in a benchmark means a stage failed, and nobody
// would answer it.  Retry prompts are cancelled, error boxes closed.  With
// profiling on, it also counts and times the file and registry calls, to see
// where the time goes.
class CBenchPlatform : public Win32Platform {
 public:
  void Pause(std::uint32_t milliseconds, bool alertable) override {
    ++m_nPauses;
    m_nPausedMs += milliseconds;
    Win32Platform::Pause(milliseconds, alertable);
  }
  int ShowMessageBox(WindowHandle, const std::string& text, const std::string& caption,
                     std::uint32_t style) override {
    m_lstBoxes.push_back(caption + ": " + text);
    return (style & 0xF) == kMbRetryCancel ? kIdCancel : kIdOk;
  }

  long OpenRegistryKey(RegKey parent, const std::string& subkey, std::uint32_t access,
                       RegKey* opened) override {
    return Timed("RegOpenKeyExA", [&] { return Win32Platform::OpenRegistryKey(parent, subkey, access, opened); });
  }
  long EnumRegistrySubkey(RegKey key, std::uint32_t index, char* name, std::uint32_t* size) override {
    return Timed("RegEnumKeyExA", [&] { return Win32Platform::EnumRegistrySubkey(key, index, name, size); });
  }
  long DeleteRegistryKey(RegKey parent, const std::string& subkey) override {
    return Timed("RegDeleteKeyA", [&] { return Win32Platform::DeleteRegistryKey(parent, subkey); });
  }
  long CloseRegistryKey(RegKey key) override {
    return Timed("RegCloseKey", [&] { return Win32Platform::CloseRegistryKey(key); });
  }
  FindHandle FindFirstEntry(const std::string& pattern, FindEntry* entry, long* error) override {
    const bool wildcard = pattern.find_first_of("*?") != std::string::npos;
    return Timed(wildcard ? "FindFirstFileA(listing)" : "FindFirstFileA(one name)",
                 [&] { return Win32Platform::FindFirstEntry(pattern, entry, error); });
  }
  bool FindNextEntry(FindHandle search, FindEntry* entry) override {
    return Timed("FindNextFileA", [&] { return Win32Platform::FindNextEntry(search, entry); });
  }
  void FindClose(FindHandle search) override {
    Timed("FindClose", [&] { Win32Platform::FindClose(search); return 0; });
  }
  bool RemoveFile(const std::string& path) override {
    return Timed("DeleteFileA", [&] { return Win32Platform::RemoveFile(path); });
  }
  bool RemoveEmptyDirectory(const std::string& path) override {
    return Timed("RemoveDirectoryA", [&] { return Win32Platform::RemoveEmptyDirectory(path); });
  }
  long LookUpEntry(const std::string& path, std::uint32_t* attributes) override {
    return Timed("GetFileAttributesA", [&] { return Win32Platform::LookUpEntry(path, attributes); });
  }
  long QueryRegistryValue(RegKey key, const std::string& name, std::uint32_t* type, unsigned char* data,
                          std::uint32_t* size) override {
    return Timed("RegQueryValueExA",
                 [&] { return Win32Platform::QueryRegistryValue(key, name, type, data, size); });
  }
  long DeleteRegistryValue(RegKey key, const std::string& name) override {
    return Timed("RegDeleteValueA", [&] { return Win32Platform::DeleteRegistryValue(key, name); });
  }
  std::string CatalogueText(unsigned id) override {
    return Timed("LoadStringA", [&] { return Win32Platform::CatalogueText(id); });
  }
  bool StartProcess(const std::string& commandLine, const std::string& currentDirectory, ShowState show,
                    ProcessInfo* info) override {
    return Timed("CreateProcessA",
                 [&] { return Win32Platform::StartProcess(commandLine, currentDirectory, show, info); });
  }
  std::uint32_t SuspendProcessThread(std::uintptr_t thread) override {
    return Timed("SuspendThread", [&] { return Win32Platform::SuspendProcessThread(thread); });
  }
  std::uint32_t ResumeProcessThread(std::uintptr_t thread) override {
    return Timed("ResumeThread", [&] { return Win32Platform::ResumeProcessThread(thread); });
  }
  std::uint32_t ProcessVersion(std::uint32_t processId) override {
    return Timed("GetProcessVersion", [&] { return Win32Platform::ProcessVersion(processId); });
  }
  WindowHandle FindTopLevelWindow(const std::string& title) override {
    return Timed("FindWindowA", [&] { return Win32Platform::FindTopLevelWindow(title); });
  }
  std::uint32_t WindowProcessId(WindowHandle window) override {
    return Timed("GetWindowThreadProcessId", [&] { return Win32Platform::WindowProcessId(window); });
  }
  bool SendCloseRequest(WindowHandle window, std::uint32_t timeoutMs) override {
    return Timed("SendMessageTimeoutA(WM_CLOSE)",
                 [&] { return Win32Platform::SendCloseRequest(window, timeoutMs); });
  }
  bool BringToTop(WindowHandle window) override {
    return Timed("BringWindowToTop", [&] { return Win32Platform::BringToTop(window); });
  }
  IconHandle LoadProgramIcon(unsigned resourceId) override {
    return Timed("LoadIconA", [&] { return Win32Platform::LoadProgramIcon(resourceId); });
  }
  WindowHandle CreateDialogWindow(unsigned templateId, DialogEvents* events) override {
    return Timed("CreateDialogParamA (and its set-up)",
                 [&] { return Win32Platform::CreateDialogWindow(templateId, events); });
  }
  void SetItemText(WindowHandle dialog, int itemId, const std::string& text) override {
    Timed("SetDlgItemTextA", [&] { Win32Platform::SetItemText(dialog, itemId, text); return 0; });
  }
  void RepaintNow(WindowHandle window) override {
    Timed("UpdateWindow", [&] { Win32Platform::RepaintNow(window); return 0; });
  }
  void DestroyWindowNow(WindowHandle window) override {
    Timed("DestroyWindow", [&] { Win32Platform::DestroyWindowNow(window); return 0; });
  }
  FileHandle OpenFileExclusive(const std::string& path, FileOpenMode mode) override {
    return Timed("CreateFileA", [&] { return Win32Platform::OpenFileExclusive(path, mode); });
  }
  bool WriteWholeFile(FileHandle file, const std::string& bytes) override {
    return Timed("WriteFile", [&] { return Win32Platform::WriteWholeFile(file, bytes); });
  }
  bool MoveEntry(const std::string& from, const std::string& to) override {
    return Timed("MoveFileA", [&] { return Win32Platform::MoveEntry(from, to); });
  }

  void PrintProfile(const std::string& bench, int size) const {
    for (const auto& [call, count] : m_calls) {
      std::printf("profile\t%s\t%d\t%s\t%d\t%.3f\n", bench.c_str(), size, call.c_str(), count.first,
                  count.second);
    }
  }

  static bool s_bProfile;
  int m_nPauses = 0;
  std::uint64_t m_nPausedMs = 0;
  std::vector<std::string> m_lstBoxes;

 private:
  template <typename Call>
  auto Timed(const std::string& name, Call call) -> decltype(call()) {
    if (!s_bProfile) return call();
    const double start = NowMs();
    auto result = call();
    auto& entry = m_calls[name];
    ++entry.first;
    entry.second += NowMs() - start;
    return result;
  }

  std::map<std::string, std::pair<int, double>> m_calls;
};

bool CBenchPlatform::s_bProfile = false;

bool ReportBoxes(const CBenchPlatform& platform, const std::string& what) {
  for (const std::string& box : platform.m_lstBoxes) PrintError(what + " showed a box: " + box);
  return platform.m_lstBoxes.empty();
}

// --- Files -----------------------------------------------------------------

void WriteSmallFile(const std::string& path, const std::string& text) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    PrintError("cannot create " + path);
    return;
  }
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

bool IsKept(const char* name) {
  for (const char* kept : kKeptFiles) {
    if (lstrcmpiA(name, kept) == 0) return true;
  }
  return false;
}

bool IsDots(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// The floor for this API: one listing per directory, one call per file and
// per directory, nothing asked twice.  The listing is read to its end before
// anything is deleted, as the program does: deleting under an open search
// costs Wine more.  Keeps the kept files, as the program's exclusions do.
void MinimalEmpty(const std::string& directory, bool keep) {
  std::vector<WIN32_FIND_DATAA> entries;
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!IsDots(entry.cFileName)) entries.push_back(entry);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  for (const WIN32_FIND_DATAA& found : entries) {
    const std::string path = directory + "\\" + found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      MinimalEmpty(path, keep);
      RemoveDirectoryA(path.c_str());
    } else if (!keep || !IsKept(found.cFileName)) {
      DeleteFileA(path.c_str());
    }
  }
}

void RemoveTree(const std::string& directory) {
  MinimalEmpty(directory, false);
  RemoveDirectoryA(directory.c_str());
}

void BuildFileTree(const FileTree& tree) {
  const std::string root = TreePath();
  RemoveTree(root);
  CreateDirectoryA(g_treeRoot.c_str(), nullptr);
  CreateDirectoryA(root.c_str(), nullptr);
  for (const std::string& directory : tree.directories) {
    CreateDirectoryA((root + "\\" + directory).c_str(), nullptr);
  }
  for (const std::string& file : tree.files) WriteSmallFile(root + "\\" + file, "K-WARD data\r\n");
  for (const char* kept : kKeptFiles) WriteSmallFile(root + "\\" + kept, "kept\r\n");
}

// The names left directly in a directory, "-" when it is gone.
std::string Leftovers(const std::string& directory) {
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return "-";
  std::vector<std::string> names;
  do {
    if (!IsDots(entry.cFileName)) names.push_back(entry.cFileName);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

// Runs a command line to its end; its exit code, -1 when it did not start.
int RunAndWait(const std::string& commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, "C:\\",
                      &startup, &process)) {
    return -1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

std::string SystemCommand(const std::string& arguments) {
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  return std::string(system) + "\\cmd.exe /c " + arguments;
}

struct Method {
  const char* name;
  std::function<void()> run;
  const char* expectedLeft;  // what the tree's root holds afterwards
};

void BenchFiles(const std::string& bench, const std::vector<int>& sizes, int repeat) {
  const std::string keptLeft = "DEISL1.ISU KWUNINST.EXE";
  for (int size : sizes) {
    const FileTree tree = MakeFileTree(size);
    std::vector<Method> methods = {
        {"ours",
         [&] {
           CBenchPlatform platform;
           ScopedPlatformOverride use(platform);
           CUninstallApp app(TreePath() + "\\");
           if (!app.RemoveProductFiles(CTrimString())) PrintError("stage 4 failed");
           ReportBoxes(platform, "stage 4");
           platform.PrintProfile(bench, size);
         },
         keptLeft.c_str()},
        {"minimal", [] { MinimalEmpty(TreePath(), true); }, keptLeft.c_str()},
        {"rd", [] { RunAndWait(SystemCommand("rd /s /q " + TreePath())); }, "-"},
    };
    for (int round = 0; round < repeat; ++round) {
      // A different method goes first in each round, so that none always
      // meets the disk cache as another left it.
      if (round > 0) std::rotate(methods.begin(), methods.begin() + 1, methods.end());
      for (const Method& method : methods) {
        // The command processor's removal is a far-off reference (minutes
        // at the largest size): one round of it tells enough.
        if (round > 0 && std::string(method.name) == "rd") continue;
        BuildFileTree(tree);
        const double ms = TimeMs(method.run);
        const std::string left = Leftovers(TreePath());
        if (left != method.expectedLeft) {
          PrintError(std::string(method.name) + " left " + left + " in " + TreePath());
        }
        PrintResult(bench, kMachine, size, method.name, ms);
      }
      // What starting the command processor costs, inside the rd figure.
      if (round == 0) {
        PrintResult(bench, kMachine, size, "cmd-start",
                    TimeMs([] { RunAndWait(SystemCommand("rem")); }));
      }
    }
  }
  RemoveTree(g_treeRoot);
}

// --- Registry --------------------------------------------------------------

void BuildKeyTree(const std::vector<std::string>& keys) {
  HKEY tree = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kKeyTreePath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &tree, nullptr) != ERROR_SUCCESS) {
    PrintError("cannot create the key tree");
    return;
  }
  const char data[] = "K-WARD setting";
  for (const std::string& path : keys) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(tree, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      PrintError("cannot create key " + path);
      continue;
    }
    RegSetValueExA(key, "Setting", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data);
    RegCloseKey(key);
  }
  RegCloseKey(tree);
}

bool KeyTreeGone() {
  HKEY key = nullptr;
  const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, kKeyTreePath, 0, KEY_READ, &key);
  if (opened == ERROR_SUCCESS) RegCloseKey(key);
  return opened == ERROR_FILE_NOT_FOUND;
}

void BenchRegistry(const std::string& bench, const std::vector<int>& sizes, int repeat) {
  // Looked up here only: the program itself must not import it (Windows 95
  // and NT 4.0 lack it).
  using DeleteTreeFunction = LONG(WINAPI*)(HKEY, LPCSTR);
  const auto regDeleteTree = reinterpret_cast<DeleteTreeFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegDeleteTreeA")));
  if (regDeleteTree == nullptr) {
    PrintError("RegDeleteTreeA is missing");
    return;
  }
  for (int size : sizes) {
    const std::vector<std::string> keys = MakeKeyTree(size);
    std::vector<Method> methods = {
        {"ours",
         [&] {
           CBenchPlatform platform;
           ScopedPlatformOverride use(platform);
           CRegistry registry;
           if (!registry.DeleteKeyTree(kHkeyCurrentUser, kKeyTreePath)) PrintError("DeleteKeyTree failed");
           platform.PrintProfile(bench, size);
         },
         nullptr},
        {"RegDeleteTreeA",
         [&] {
           if (regDeleteTree(HKEY_CURRENT_USER, kKeyTreePath) != ERROR_SUCCESS) {
             PrintError("RegDeleteTreeA failed");
           }
         },
         nullptr},
    };
    for (int round = 0; round < repeat; ++round) {
      if (round > 0) std::rotate(methods.begin(), methods.begin() + 1, methods.end());
      for (const Method& method : methods) {
        BuildKeyTree(keys);
        const double ms = TimeMs(method.run);
        if (!KeyTreeGone()) PrintError(std::string(method.name) + " left the key tree");
        PrintResult(bench, kMachine, size, method.name, ms);
      }
    }
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\KWBench");
}

// --- A whole confirmed run ---------------------------------------------------

// Starts a program without a console of its own and with its output going
// nowhere: the box answerer reports every event on its standard output.
HANDLE StartQuietly(const std::string& commandLine, const char* directory) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE nowhere = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inheritable, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nowhere;
  PROCESS_INFORMATION process{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                      nullptr, directory, &startup, &process);
  CloseHandle(nowhere);
  if (!started) {
    PrintError("cannot start " + commandLine);
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

// The demo's machine, made by the demo's kwmachine.exe with the tests' own
// set-up (tests/support/windows_machine): the product from its footprint
// with its neighbours, the agent and the main program running.  A program
// of its own: the set-up's code is built the usual way, the program's for
// the link-time optimiser, which does not take the two together.
void InstallProduct(const std::string& tools) {
  const std::string machine = "\"" + tools + "\\tools\\demo\\kwmachine.exe\"";
  if (RunAndWait(machine + " reset") != 0 || RunAndWait(machine + " install nt") != 0) {
    PrintError("kwmachine.exe could not set the machine up");
  }
}

bool ProcessRunning(const char* exeName) {
  bool running = false;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    running = running || lstrcmpiA(entry.szExeFile, exeName) == 0;
  }
  CloseHandle(snapshot);
  return running;
}

// What the confirmed run must leave once the uninstaller has gone on and
// finished: neither the directory nor the product's keys.
void CheckRunOutcome(const std::string& what) {
  for (int waited = 0; waited < 30000 && ProcessRunning("Uninst.exe"); waited += 50) Sleep(50);
  if (Leftovers(kInstallDir) != "-") {
    PrintError(what + ": C:\\K-WARD still holds " + Leftovers(kInstallDir));
  }
  HKEY product = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Halvern Software\\K-WARD32", 0, KEY_READ, &product) ==
      ERROR_SUCCESS) {
    RegCloseKey(product);
    PrintError(what + ": the product's registry keys are still there");
  }
}

// The user reads the question for a moment: the answer comes after the
// program's first look, as it would on a user's machine.
HANDLE StartAnswerer(const std::string& tools) {
  return StartQuietly("\"" + tools +
                          "\\tools\\boxanswer\\boxanswer.exe\" --answer \"Confirm File Deletion=Yes@1500\" "
                          "--timeout 60",
                      "C:\\");
}

void AwaitAnswerer(HANDLE answerer) {
  if (answerer == nullptr) return;
  WaitForSingleObject(answerer, 10000);
  CloseHandle(answerer);
}

// The sequence run here, on the real port, with its pauses counted.
// Returns the pauses' milliseconds.
std::uint64_t WholeRunInProcess(const std::string& tools) {
  InstallProduct(tools);
  const HANDLE answerer = StartAnswerer(tools);
  CBenchPlatform platform;
  double wall = 0;
  {
    ScopedPlatformOverride use(platform);
    CUninstallApp app;
    wall = TimeMs([&] { app.InitInstance(); });
  }
  ReportBoxes(platform, "the whole run");
  platform.PrintProfile("run", 1);
  AwaitAnswerer(answerer);
  CheckRunOutcome("the whole run");
  PrintResult("run", kMachine, 1, "wall", wall);
  PrintResult("run", kMachine, 1, "pauses", static_cast<double>(platform.m_nPausedMs));
  PrintResult("run", kMachine, 1, "overhead", wall - static_cast<double>(platform.m_nPausedMs));
  return platform.m_nPausedMs;
}

// The same run of KWUNINST.EXE itself, from its start to its end, with
// Wine's starting and ending of a process.  Its pauses cannot be counted
// from here: they are taken to be those of the run just before, which met
// the same machine and the same answer, and a figure that does not fit
// them (a poll more or less) is left out.
void WholeRunAsProcess(const std::string& tools, std::uint64_t pausedMs) {
  InstallProduct(tools);
  const HANDLE answerer = StartAnswerer(tools);
  std::string program = std::string(kInstallDir) + "\\KWUNINST.EXE";
  std::vector<char> line(program.begin(), program.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const double start = NowMs();
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, kInstallDir, &startup,
                      &process)) {
    PrintError("cannot start " + program);
    AwaitAnswerer(answerer);
    return;
  }
  // A box that nobody answers would keep it for ever.
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    PrintError("KWUNINST.EXE did not end within a minute (a box?)");
  }
  const double wall = NowMs() - start;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  AwaitAnswerer(answerer);
  CheckRunOutcome("KWUNINST.EXE");
  const double overhead = wall - static_cast<double>(pausedMs);
  if (overhead < 0 || overhead >= 1000) {
    std::printf("note\tKWUNINST.EXE took %.0f ms, which does not fit %llu ms of pauses: left out\n", wall,
                static_cast<unsigned long long>(pausedMs));
    return;
  }
  PrintResult("run", kMachine, 1, "process-wall", wall);
  PrintResult("run", kMachine, 1, "process-overhead", overhead);
}

void BenchWholeRun(const std::string& tools, int repeat) {
  for (int round = 0; round < repeat; ++round) {
    WholeRunAsProcess(tools, WholeRunInProcess(tools));
  }
  RunAndWait("\"" + tools + "\\tools\\demo\\kwmachine.exe\" reset");
}

int Main(int argc, char** argv) {
  std::string tools;
  int repeat = 3;
  bool quick = false;
  std::vector<std::string> benches;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--tools" && i + 1 < argc) {
      tools = argv[++i];
    } else if (arg == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--quick") {
      quick = true;
    } else if (arg == "--trees" && i + 1 < argc) {
      g_treeRoot = argv[++i];
    } else if (arg == "--profile") {
      CBenchPlatform::s_bProfile = true;
    } else if (arg == "files" || arg == "registry" || arg == "run") {
      benches.push_back(arg);
    } else {
      std::fprintf(stderr, "usage: kwbench.exe --tools <dir> [--repeat N] [--quick] [--profile] [--trees DIR] [files] [registry] [run]\n");
      return 2;
    }
  }
  if (benches.empty()) benches = {"files", "registry", "run"};
  for (const std::string& bench : benches) {
    // Each method once on a small tree first, not counted: the first calls
    // in a fresh Wine machine load and set up what all later ones use.
    if (bench == "files") {
      BenchFiles("warm-up", {200}, 1);
      BenchFiles(bench, quick ? std::vector<int>{1000, 5000} : std::vector<int>{1000, 10000, 50000}, repeat);
    }
    if (bench == "registry") {
      BenchRegistry("warm-up", {200}, 1);
      BenchRegistry(bench, quick ? std::vector<int>{1000, 2000} : std::vector<int>{1000, 10000}, repeat);
    }
    if (bench == "run") {
      if (tools.empty()) {
        PrintError("the whole run needs --tools");
      } else {
        BenchWholeRun(tools, repeat);
      }
    }
  }
  return 0;
}

}  // namespace
}  // namespace kw::bench

int main(int argc, char** argv) { return kw::bench::Main(argc, argv); }
