// The benchmarks on the simulated machine (native build): the same three as
// on Windows, the references written on the port, over sizes from the
// smallest to the largest to show how the cost grows.  The machine's clock is
// virtual, so a whole run's wall time is all overhead.
//
//   kwbench_sim [--repeat N] [--quick] [files] [registry] [run]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/uninstall_app.h"
#include "bench/bench_shapes.h"
#include "components/registry.h"
#include "platform/sim/sim_machine.h"
#include "tests/support/sim_test.h"

namespace kw::bench {
namespace {

constexpr const char* kMachine = "sim";
constexpr const char* kTree = "C:\\KWBENCH\\TREE";
constexpr const char* kKeyTreePath = "Software\\KWBench\\Tree";

double TimeMs(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A fresh machine in place of the platform; its boxes are answered at once
// (Cancel for a retry prompt) and reported: a benchmark's stage must not fail.
class CBenchMachine {
 public:
  CBenchMachine() : m_override(m_machine) {
    m_machine.SetBoxAnswerer([this](const sim::SimMessageBox& box) {
      PrintError("a box was shown: " + box.caption + ": " + box.text);
      return (box.style & 0xF) == kMbRetryCancel ? kIdCancel : kIdOk;
    });
  }
  sim::SimMachine& Machine() { return m_machine; }

 private:
  sim::SimMachine m_machine;
  ScopedPlatformOverride m_override;
};

// --- Files -----------------------------------------------------------------

bool IsKept(const std::string& name) {
  for (const char* kept : kKeptFiles) {
    if (EqualsNoCase(name, kept)) return true;
  }
  return false;
}

// The floor on the port: one listing per directory, read to its end before
// anything is deleted, and one call per entry.
void MinimalEmpty(const std::string& directory) {
  std::vector<FindEntry> entries;
  FindEntry entry;
  long error = kErrorSuccess;
  const FindHandle search = Os().FindFirstEntry(directory + "\\*", &entry, &error);
  if (!search) return;
  do {
    if (entry.name != "." && entry.name != "..") entries.push_back(entry);
  } while (Os().FindNextEntry(search, &entry));
  Os().FindClose(search);
  for (const FindEntry& found : entries) {
    const std::string path = directory + "\\" + found.name;
    if (found.IsDirectory()) {
      MinimalEmpty(path);
      Os().RemoveEmptyDirectory(path);
    } else if (!IsKept(found.name)) {
      Os().RemoveFile(path);
    }
  }
}

void AddFileTree(sim::SimFileSystem& files, const std::string& root, const FileTree& tree) {
  files.AddDirectory(root);
  for (const std::string& directory : tree.directories) files.AddDirectory(root + "\\" + directory);
  for (const std::string& file : tree.files) files.AddFile(root + "\\" + file, "K-WARD data\r\n");
  for (const char* kept : kKeptFiles) files.AddFile(root + "\\" + kept, "kept\r\n");
}

// The entries left on the drive at the root and below it.
std::size_t EntriesAt(const sim::SimFileSystem& files, const std::string& root) {
  std::size_t count = 0;
  for (const std::string& line : files.Dump()) {
    // "D C:\DIR", "F C:\DIR\NAME 12": the kind, a blank, the path.
    if (line.compare(2, root.size(), root) != 0) continue;
    const std::size_t after = 2 + root.size();
    if (after == line.size() || line[after] == ' ' || line[after] == '\\') ++count;
  }
  return count;
}

void BenchFiles(const std::vector<int>& sizes, int repeat) {
  for (int size : sizes) {
    const FileTree tree = MakeFileTree(size);
    for (int round = 0; round < repeat; ++round) {
      for (const std::string method : {"ours", "minimal"}) {
        CBenchMachine bench;
        AddFileTree(bench.Machine().Files(), kTree, tree);
        const double ms = TimeMs([&] {
          if (method != "ours") {
            MinimalEmpty(kTree);
          } else if (!CUninstallApp(std::string(kTree) + "\\").RemoveProductFiles(CTrimString())) {
            PrintError("stage 4 failed");
          }
        });
        // The root with the two kept files.
        if (EntriesAt(bench.Machine().Files(), kTree) != 3) {
          PrintError(std::string(method) + " did not empty the tree");
        }
        PrintResult("files", kMachine, size, method, ms);
      }
    }
  }
}

// --- Registry --------------------------------------------------------------

// The floor on the port, as the system's own tree deletion works: each key
// opened once below its parent, its subkeys taken from index 0, then deleted.
long MinimalDeleteTree(RegKey parent, const std::string& name) {
  RegKey key;
  const long opened = Os().OpenRegistryKey(parent, name, kKeyAllAccess, &key);
  if (opened != kErrorSuccess) return opened;
  char subkey[256];
  for (;;) {
    std::uint32_t size = sizeof subkey;
    if (Os().EnumRegistrySubkey(key, 0, subkey, &size) != kErrorSuccess) break;
    if (MinimalDeleteTree(key, subkey) != kErrorSuccess) break;
  }
  Os().CloseRegistryKey(key);
  return Os().DeleteRegistryKey(parent, name);
}

void BenchRegistry(const std::vector<int>& sizes, int repeat) {
  for (int size : sizes) {
    const std::vector<std::string> keys = MakeKeyTree(size);
    for (int round = 0; round < repeat; ++round) {
      for (const char* method : {"ours", "minimal"}) {
        CBenchMachine bench;
        sim::SimRegistry& registry = bench.Machine().Registry();
        for (const std::string& key : keys) {
          registry.SetString(kHkeyCurrentUser, std::string(kKeyTreePath) + "\\" + key, "Setting",
                             "K-WARD setting");
        }
        const double ms = TimeMs([&] {
          if (std::string(method) == "minimal") {
            MinimalDeleteTree(kHkeyCurrentUser, kKeyTreePath);
          } else if (!CRegistry().DeleteKeyTree(kHkeyCurrentUser, kKeyTreePath)) {
            PrintError("DeleteKeyTree failed");
          }
        });
        if (registry.HasKey(kHkeyCurrentUser, kKeyTreePath)) {
          PrintError(std::string(method) + " left the key tree");
        }
        PrintResult("registry", kMachine, size, method, ms);
      }
    }
  }
}

// --- A whole confirmed run ---------------------------------------------------

// The sequence with the agent running and the question answered after 3.5 s,
// on an installation directory that holds a generated tree besides the
// product's own files (the simulated uninstaller removes nothing of them).
void BenchWholeRun(const std::vector<int>& sizes, int repeat) {
  for (int size : sizes) {
    const FileTree tree = MakeFileTree(size);
    for (int round = 0; round < repeat; ++round) {
      CBenchMachine bench;
      sim::SimMachine& machine = bench.Machine();
      testing::RegisterInstallLocation(machine);
      testing::InstallProductFiles(machine);
      testing::InstallUninstaller(machine, testing::UninstallerScript{});
      testing::RunProductProgram(machine, std::string(testing::kInstallDir) + "K-TASKER.EXE",
                                 {"K-Tasker", {std::string(testing::kInstallDir) + "ACTIVITY.dll"}});
      std::string root = testing::kInstallDir;
      root.pop_back();
      AddFileTree(machine.Files(), root, tree);
      const double ms = TimeMs([] { CUninstallApp().InitInstance(); });
      if (machine.PaintedStatuses().size() != 4) PrintError("the run did not show the four statuses");
      if (EntriesAt(machine.Files(), root) != 3) PrintError("the run did not empty " + root);
      PrintResult("run", kMachine, size, "wall", ms);
      PrintResult("run", kMachine, size, "pauses", static_cast<double>(machine.NowMs()));
    }
  }
}

int Main(int argc, char** argv) {
  int repeat = 3;
  bool quick = false;
  std::vector<std::string> benches;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--quick") {
      quick = true;
    } else if (arg == "files" || arg == "registry" || arg == "run") {
      benches.push_back(arg);
    } else {
      std::fprintf(stderr, "usage: kwbench_sim [--repeat N] [--quick] [files] [registry] [run]\n");
      return 2;
    }
  }
  if (benches.empty()) benches = {"files", "registry", "run"};
  const std::vector<int> fileSizes =
      quick ? std::vector<int>{1000, 5000} : std::vector<int>{1000, 10000, 50000};
  const std::vector<int> keySizes =
      quick ? std::vector<int>{1000, 2000} : std::vector<int>{1000, 10000, 50000};
  for (const std::string& bench : benches) {
    if (bench == "files") BenchFiles(fileSizes, repeat);
    if (bench == "registry") BenchRegistry(keySizes, repeat);
    if (bench == "run") {
      // Without a tree too: the sequence's own cost, apart from the files'.
      std::vector<int> runSizes{0};
      runSizes.insert(runSizes.end(), fileSizes.begin(), fileSizes.end());
      BenchWholeRun(runSizes, repeat);
    }
  }
  return 0;
}

}  // namespace
}  // namespace kw::bench

int main(int argc, char** argv) { return kw::bench::Main(argc, argv); }
