#include "bench/bench_shapes.h"

#include <cstdio>

namespace kw::bench {
namespace {

constexpr int kFilesPerDirectory = 10;
constexpr int kDirectoryLevels = 6;
constexpr int kSubkeysPerKey = 10;

// How many directories fit below the root with that many subdirectories
// to a directory, down to the deepest level.
long long Capacity(int branching) {
  long long total = 0;
  long long atLevel = 1;
  for (int level = 1; level <= kDirectoryLevels; ++level) {
    atLevel *= branching;
    total += atLevel;
  }
  return total;
}

std::string Child(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "\\" + name;
}

}  // namespace

FileTree MakeFileTree(int fileCount) {
  const int wanted = (fileCount + kFilesPerDirectory - 1) / kFilesPerDirectory - 1;
  int branching = 1;
  while (Capacity(branching) < wanted) ++branching;
  // Level by level, so that the upper levels are full and the deepest one
  // takes what is left: every size reaches the six levels.
  FileTree tree;
  std::vector<std::string> level{std::string()};
  for (int depth = 1; depth <= kDirectoryLevels && static_cast<int>(tree.directories.size()) < wanted;
       ++depth) {
    std::vector<std::string> next;
    for (const std::string& parent : level) {
      for (int i = 1; i <= branching && static_cast<int>(tree.directories.size()) < wanted; ++i) {
        next.push_back(Child(parent, "D" + std::to_string(i)));
        tree.directories.push_back(next.back());
      }
    }
    level = next;
  }
  std::vector<std::string> holders{std::string()};
  holders.insert(holders.end(), tree.directories.begin(), tree.directories.end());
  for (int i = 0; i < fileCount; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "F%05d.DAT", i + 1);
    tree.files.push_back(Child(holders[static_cast<std::size_t>(i) % holders.size()], name));
  }
  return tree;
}

std::vector<std::string> MakeKeyTree(int keyCount) {
  std::vector<std::string> parents{std::string()};
  std::vector<std::string> keys;
  for (std::size_t next = 0; static_cast<int>(keys.size()) < keyCount; ++next) {
    for (int i = 1; i <= kSubkeysPerKey && static_cast<int>(keys.size()) < keyCount; ++i) {
      keys.push_back(Child(parents[next], "K" + std::to_string(i)));
      parents.push_back(keys.back());
    }
  }
  return keys;
}

void PrintResult(const std::string& bench, const std::string& machine, int size,
                 const std::string& method, double milliseconds) {
  std::printf("result\t%s\t%s\t%d\t%s\t%.3f\n", bench.c_str(), machine.c_str(), size,
              method.c_str(), milliseconds);
  std::fflush(stdout);
}

void PrintError(const std::string& text) {
  std::printf("error\t%s\n", text.c_str());
  std::fflush(stdout);
}

}  // namespace kw::bench
