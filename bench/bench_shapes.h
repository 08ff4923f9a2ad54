// What the benchmarks work on, shared by the Windows and the simulated
// benchmark programs: generated trees of files and of registry keys, so that
// every method of a run removes the same shape, on every machine; and the
// one line format in which both programs report, which bench/run.sh reads.
#ifndef KWUNINST_BENCH_BENCH_SHAPES_H_
#define KWUNINST_BENCH_BENCH_SHAPES_H_

#include <string>
#include <vector>

namespace kw::bench {

// The product's uninstall program and install log: the installation
// directory is emptied around them, so every tree's root holds both.
constexpr const char* kKeptFiles[] = {"KWUNINST.EXE", "DEISL1.ISU"};

// A tree below one root, as paths relative to it.
struct FileTree {
  std::vector<std::string> directories;  // parents before their children
  std::vector<std::string> files;
};

// fileCount files, about ten to a directory, in directories down to six
// levels below the root: the deepest that the emptying takes.  The kept
// files are not among them.
FileTree MakeFileTree(int fileCount);

// keyCount keys, up to ten subkeys to a key, filled breadth first; relative
// paths, parents before their children.
std::vector<std::string> MakeKeyTree(int keyCount);

// One measurement: "result<TAB>bench<TAB>machine<TAB>size<TAB>method<TAB>ms".
void PrintResult(const std::string& bench, const std::string& machine, int size,
                 const std::string& method, double milliseconds);
// Something the run could not do or check: "error<TAB>text".  bench/run.sh
// shows these lines and fails.
void PrintError(const std::string& text);

}  // namespace kw::bench

#endif  // KWUNINST_BENCH_BENCH_SHAPES_H_
