// The demo's Windows machine, made and pictured from inside as the tests
// make and picture theirs (tests/support/windows_machine.h):
//
//   kwmachine.exe reset
//       the machine without the product, its neighbours and their programs
//   kwmachine.exe install 95|nt
//       K-WARD as its footprint lists it, its neighbours, the setup-log
//       uninstaller and DOSSTART.BAT; the product's programs that run on
//       that Windows started, each up with its files held
//   kwmachine.exe picture <work directory> before|after
//       <work>\<phase>-files.txt (a path a line, directories ending in a
//       backslash), -registry.txt ("K<TAB>key" or "V<TAB>key<TAB>name<TAB>
//       data as .reg writes it"), -dosstart.bat (a copy) and -restart.txt
//       ("<path><TAB><where>", what Windows deletes when it restarts), in
//       the machine's ANSI code page
//
// The program build is the one this program belongs to (two directories
// up).  Exit code 2 on a wrong command line, 1 when a program did not come
// up.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/support/footprint.h"
#include "tests/support/windows_machine.h"
#include "tools/demo/pictures.h"

namespace {

bool StartsWithNoCase(const std::string& text, const std::string& start) {
  return text.size() >= start.size() &&
         CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.data(), static_cast<int>(start.size()),
                        start.data(), static_cast<int>(start.size())) == CSTR_EQUAL;
}

bool InPicture(const std::string& item) {
  if (StartsWithNoCase(item, "C:\\")) {
    for (const kw::demo::SystemFile& file : kw::demo::kSystemFiles) {
      if (StartsWithNoCase(item, file.path) && item.size() == std::string(file.path).size()) return true;
    }
    return std::none_of(std::begin(kw::demo::kSystemDirectories), std::end(kw::demo::kSystemDirectories),
                        [&](const char* directory) { return StartsWithNoCase(item, directory); });
  }
  for (const std::string& key : kw::footprint::RegistryScope()) {
    if (StartsWithNoCase(item, key) && (item.size() == key.size() || item[key.size()] == '\\' ||
                                        item[key.size()] == '|')) {
      return true;
    }
  }
  return false;
}

void Write(const std::string& path, const std::set<std::string>& lines) {
  std::ofstream file(path, std::ios::binary);
  for (const std::string& line : lines) file << line << '\n';
}

void TakePictures(const std::string& work, const std::string& phase) {
  std::set<std::string> files, registry;
  for (const auto& [item, state] : kw::machine::TakeSnapshot()) {
    if (!InPicture(item)) continue;
    if (StartsWithNoCase(item, "C:\\")) {
      files.insert(item);
    } else if (item.find('|') == std::string::npos) {
      registry.insert("K\t" + item);
    } else {
      registry.insert("V\t" + item.substr(0, item.find('|')) + "\t" + item.substr(item.find('|') + 1) + "\t" + state);
    }
  }
  const std::string picture = work + "\\" + phase + "-";
  Write(picture + "files.txt", files);
  Write(picture + "registry.txt", registry);
  CopyFileA("C:\\windows\\DOSSTART.BAT", (picture + "dosstart.bat").c_str(), FALSE);
  const std::vector<std::string> queued = kw::machine::QueuedForRestart();
  std::ofstream restart(picture + "restart.txt", std::ios::binary);
  for (const std::string& line : queued) restart << line << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  char path[MAX_PATH] = "";
  std::string build(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  for (int up = 0; up < 3; ++up) build.erase(build.find_last_of('\\'));
  kw::machine::SetProgramBuild(build);
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() == 2 && arguments[0] == "install" && (arguments[1] == "95" || arguments[1] == "nt")) {
    kw::machine::PrepareMachine();
    kw::machine::InstallProduct();
    return kw::machine::StartProductPrograms(arguments[1]) ? 0 : 1;
  }
  if (arguments == std::vector<std::string>{"reset"}) {
    kw::machine::ResetMachine();
    return 0;
  }
  if (arguments.size() == 3 && arguments[0] == "picture") {
    TakePictures(arguments[1], arguments[2]);
    return 0;
  }
  std::fprintf(stderr, "usage: kwmachine reset | install 95|nt | picture <work directory> before|after\n");
  return 2;
}
