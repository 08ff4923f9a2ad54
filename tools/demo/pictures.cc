#include "tools/demo/pictures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>

#include "tools/demo/text.h"

namespace kw::demo {
namespace fs = std::filesystem;
namespace {

// Where Windows NT keeps what it is to delete when it restarts.
const std::string kSessionManager = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager";
// The system's directories, left out of the picture but for kSystemFiles;
// a 64-bit machine has a second one for its 32-bit programs.
const std::set<std::string> kSystemDirectories = {"WINDOWS", "PROGRAM FILES",
                                                  "PROGRAM FILES (X86)", "PROGRAMDATA", "USERS"};

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// A Linux path as Wine's drive Z: sees it.
std::string WinPath(const std::string& path) {
  std::string windows = "Z:" + path;
  for (char& c : windows) c = c == '/' ? '\\' : c;
  return windows;
}

// The key as .reg text, through <work>/<name>; "" when it does not exist.
std::string WineExport(const std::string& key, const std::string& work, const std::string& name) {
  const std::string path = work + "/" + name;
  std::remove(path.c_str());
  // The loader of the machine's own kind (scripts/wine.sh): Debian's
  // `wine` would start the 32-bit one, which not every machine runs.
  const char* loader = std::getenv("WINELOADER");
  const std::string command = ShellQuoted(loader ? loader : "wine") + " reg export " + ShellQuoted(key) + " " +
                              ShellQuoted(WinPath(path)) + " /y </dev/null >/dev/null 2>&1";
  if (std::system(command.c_str()) == -1) return "";
  return FromUtf16(ReadBytes(path));
}

// Files, and directories with a trailing backslash, as drive C: names them.
void ListDirectory(const fs::path& directory, const std::string& shown, bool top,
                   std::vector<std::string>& listed) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory, error)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_directory(error)) {
      listed.push_back(shown + name);
    } else if (!top || !kSystemDirectories.count(Upper(name))) {
      listed.push_back(shown + name + "\\");
      if (!entry.is_symlink(error)) ListDirectory(entry.path(), shown + name + "\\", false, listed);
    }
  }
}

std::vector<std::string> FilesOnDrive(const std::string& driveC) {
  std::vector<std::string> listed;
  for (const SystemFile& file : kSystemFiles) {
    std::string path = driveC + "/" + (file.path + 3);
    for (char& c : path) c = c == '\\' ? '/' : c;
    if (fs::exists(path)) listed.push_back(file.path);
  }
  ListDirectory(driveC, "C:\\", true, listed);
  std::sort(listed.begin(), listed.end());
  return listed;
}

std::string Trimmed(const std::string& text) {
  const char* const blanks = " \t\r\n\v\f";
  const std::string::size_type first = text.find_first_not_of(blanks);
  return first == std::string::npos ? ""
                                    : text.substr(first, text.find_last_not_of(blanks) + 1 - first);
}

// On Windows 95 the "NUL=<path>" lines of WININIT.INI's [rename] section,
// on NT the pairs of PendingFileRenameOperations with no new name.
std::vector<std::string> RestartDeletions(const std::string& driveC, const std::string& work) {
  std::vector<std::string> lines;
  std::string section;
  for (std::string line : ReadAnsiLines(driveC + "/windows/WININIT.INI")) {
    line = Trimmed(line);
    if (StartsWith(line, "[")) {
      section = Upper(line);
    } else if (section == "[RENAME]" && StartsWith(Upper(line), "NUL=")) {
      lines.push_back(line.substr(4) + "\tWININIT.INI");
    }
  }
  for (const RegItem& item : RegItems(WineExport(kSessionManager, work, "session-manager.reg"))) {
    if (item[0] != "V" || Upper(item[1]) != Upper(kSessionManager) ||
        item[2] != "PendingFileRenameOperations") {
      continue;
    }
    const std::vector<std::string> names = MultiStrings(item[3]);
    for (std::size_t at = 0; at + 1 < names.size(); at += 2) {
      if (names[at].empty() || !names[at + 1].empty()) continue;
      const std::string& source = names[at];
      lines.push_back((StartsWith(source, "\\??\\") ? source.substr(4) : source) +
                      "\tPendingFileRenameOperations");
    }
  }
  return lines;
}

}  // namespace

std::vector<RegItem> InstalledRegistry(const std::string& work) {
  return RegItems(FromAnsi(ReadBytes(work + "/k-ward.reg")));
}

std::vector<std::string> RegistryScope(const std::string& work) {
  std::set<std::string> holders;
  for (const RegItem& item : InstalledRegistry(work)) {
    if (item[0] == "K") holders.insert(KeyParent(item[1]));
  }
  std::vector<std::string> scope;
  for (const std::string& key : holders) {
    bool below = false;
    for (const std::string& other : holders) below = below || Under(key, other);
    if (!below) scope.push_back(key);
  }
  return scope;
}

void TakePictures(const std::string& phase, const std::string& work) {
  const char* prefix = std::getenv("WINEPREFIX");
  const std::string driveC = std::string(prefix ? prefix : "") + "/drive_c";
  std::set<std::string> registry;
  const std::vector<std::string> scope = RegistryScope(work);
  for (std::size_t number = 0; number < scope.size(); ++number) {
    const std::string text =
        WineExport(scope[number], work, "reg-" + std::to_string(number) + ".reg");
    for (const RegItem& item : RegItems(text)) registry.insert(Join(item, "\t"));
  }
  const std::string picture = work + "/" + phase + "-";
  WriteLines(picture + "files.txt", FilesOnDrive(driveC));
  WriteLines(picture + "registry.txt", {registry.begin(), registry.end()});
  WriteLines(picture + "dosstart.bat", ReadAnsiLines(driveC + "/windows/DOSSTART.BAT"));
  WriteLines(picture + "restart.txt", RestartDeletions(driveC, work));
}

}  // namespace kw::demo
