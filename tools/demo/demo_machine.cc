// K-WARD installed on the demo's Wine machine as its footprint lists it
// (tests/support/footprint.def, read through footprint.h as the tests, the
// stand-ins and the bench read it), so the demo builds the machine the
// tests build:
//
//   demo_machine place <name>        the footprint's place (install: C:\K-WARD\)
//   demo_machine programs 95|nt      "<file>\t<title>" of each of the product's
//                                    programs that runs on that Windows
//   demo_machine install <drive C: directory> <work directory> <program build directory>
//
// install writes below drive C: what the product's installer and programs
// left: the installation's files, with the product's stand-in under each of
// its programs' names and KWUNINST.EXE itself, the install log DEISL1.ISU,
// the task files, the marker, DOSSTART.BAT; and the neighbours' files.  In
// the work directory: k-ward.reg, every registry item of the product and of
// its neighbours, for "wine reg import", and reasons.txt, why each
// neighbour must stay, for the report.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "tests/support/footprint.h"
#include "tools/demo/text.h"

namespace kw::demo {
namespace {
namespace fs = std::filesystem;
namespace fp = kw::footprint;

// What stays of a key of the system's that held one value of the product.
const char* const kSystemKey = "a key of the system's: only the product's value in it goes";
const char* const kSpared = "KWUNINST leaves it to the setup-log uninstaller";

// A C:\ path as a path below the prefix's drive_c directory.
fs::path OnDrive(const std::string& driveC, const std::string& path) {
  std::string below = TrimTrailing(path.substr(3), '\\');
  for (char& c : below) c = c == '\\' ? '/' : c;
  return fs::path(driveC) / below;
}

// Text files of the Windows machine end their lines in CR LF.
void WriteOnDrive(const std::string& driveC, const std::string& path, const std::string& text) {
  const fs::path target = OnDrive(driveC, path);
  fs::create_directories(target.parent_path());
  WriteText(target.string(), Join(Split(text, '\n'), "\r\n"));
}

void CopyOnDrive(const std::string& driveC, const std::string& source, const std::string& path) {
  fs::copy_file(source, OnDrive(driveC, path), fs::copy_options::overwrite_existing);
}

// DEISL1.ISU, in the order the setup-log uninstaller works through it:
// what setup put there, its uninstall program and the log itself last among
// the files (KWUNINST has ended by then), the directories deepest first,
// the installation directory last.
std::string InstallLog(const std::string& install) {
  std::vector<std::string> files, lines = {"# K-WARD install log"};
  for (const char* role : {"logged", "uninstall"}) {
    for (const fp::File& file : fp::kFiles) {
      if (fp::Is(file.role, role)) files.push_back(file.name);
    }
  }
  for (const std::string& name : files) lines.push_back("FILE " + install + name);
  for (const fp::Value& value : fp::kValues) {
    if (fp::Is(value.role, "logged")) {
      lines.push_back("VALUE " + std::string(value.root) + "\\" + value.key + "|" + value.name);
    }
  }
  for (const fp::Key& key : fp::kKeys) {
    if (fp::Is(key.role, "logged")) {
      lines.push_back("KEY " + std::string(key.root) + "\\" + key.path);
    }
  }
  const auto deepestFirst = [](const std::string& a, const std::string& b) {
    const auto depth = [](const std::string& d) { return std::count(d.begin(), d.end(), '\\'); };
    return depth(a) != depth(b) ? depth(a) > depth(b) : a < b;
  };
  std::set<std::string, decltype(deepestFirst)> directories(deepestFirst);
  for (const std::string& name : files) {
    if (name.find('\\') != std::string::npos) directories.insert(name.substr(0, name.rfind('\\')));
  }
  for (const std::string& directory : directories) lines.push_back("DIR " + install + directory);
  lines.push_back("DIR " + TrimTrailing(install, '\\'));
  return Join(lines, "\n") + "\n";
}

std::string RegString(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) quoted += c == '\\' || c == '"' ? std::string("\\") + c : std::string(1, c);
  return quoted + "\"";
}

std::vector<std::string> RegValue(const std::string& root, const std::string& key,
                                  const std::string& name, const std::string& data) {
  return {"[" + fp::LongRootName(root) + "\\" + key + "]",
          (name.empty() ? "@" : RegString(name)) + "=" + RegString(data)};
}

// Every key and value of the product, then its neighbours' values.
std::string RegFile() {
  std::vector<std::string> lines = {"REGEDIT4", ""};
  for (const fp::Key& key : fp::kKeys) {
    lines.push_back("[" + fp::LongRootName(key.root) + "\\" + key.path + "]");
  }
  for (const fp::Value& value : fp::kValues) {
    for (const std::string& line :
         RegValue(value.root, value.key, value.name, fp::Expand(value.data))) {
      lines.push_back(line);
    }
  }
  for (const fp::NeighbourValue& value : fp::kNeighbourValues) {
    for (const std::string& line : RegValue(value.root, value.key, value.name, value.data)) {
      lines.push_back(line);
    }
  }
  return Join(lines, "\n") + "\n";
}

// For the report: "stay<TAB><item><TAB><why>", why a neighbour must stay,
// and "spare<TAB><file><TAB><why>", the files KWUNINST leaves to the
// setup-log uninstaller.  An item is a path, a key or "<key>|<value name>",
// the unnamed value named "(default)" as the report names it.
std::string Reasons(const std::string& install) {
  std::vector<std::string> lines;
  for (const fp::NeighbourFile& file : fp::kNeighbourFiles) {
    lines.push_back("stay\t" + std::string(file.path) + "\t" + file.why);
  }
  std::set<std::string> systemKeys;
  for (const fp::Value& value : fp::kValues) {
    if (fp::Is(value.role, "alone")) systemKeys.insert(std::string(value.root) + "\\" + value.key);
  }
  for (const std::string& key : systemKeys) lines.push_back("stay\t" + key + "\t" + kSystemKey);
  for (const fp::NeighbourValue& value : fp::kNeighbourValues) {
    const std::string key = std::string(value.root) + "\\" + value.key, name = value.name;
    lines.push_back("stay\t" + key + "|" + (name.empty() ? "(default)" : name) + "\t" + value.why);
    if (!systemKeys.count(key)) lines.push_back("stay\t" + key + "\t" + value.why);
  }
  for (const fp::File& file : fp::kFiles) {
    if (fp::Is(file.role, "uninstall")) {
      lines.push_back("spare\t" + install + file.name + "\t" + kSpared);
    }
  }
  return Join(lines, "\n") + "\n";
}

void Install(const std::string& driveC, const std::string& work, const std::string& build) {
  const std::string install = fp::Place("install"), tasks = fp::Place("tasks");
  for (const fp::File& file : fp::kFiles) {
    const std::string name = file.name;
    WriteOnDrive(driveC, install + name,
                 fp::Is(file.role, "runtime") ? "Written by K-WARD at run time: " + name + "\n"
                                              : "K-WARD file " + name + "\n");
  }
  WriteOnDrive(driveC, install + "DEISL1.ISU", InstallLog(install));
  CopyOnDrive(driveC, build + "/KWUNINST.EXE", install + "KWUNINST.EXE");
  for (const fp::Program& program : fp::kPrograms) {
    // The system's shell is no file of the product.
    if (!fp::Is(program.runs, "shell")) {
      CopyOnDrive(driveC, build + "/tools/standins/standin.exe", install + program.file);
    }
  }
  for (const char* name : fp::kTaskFiles) {
    WriteOnDrive(driveC, tasks + name, "K-WARD task " + std::string(name) + "\n");
  }
  WriteOnDrive(driveC, fp::Place("marker"), "K-WARD\n");
  std::string batch;
  for (const fp::BatchLine& line : fp::kBatchLines) batch += line.text + std::string("\n");
  WriteOnDrive(driveC, "C:\\windows\\DOSSTART.BAT", batch);
  for (const fp::NeighbourFile& file : fp::kNeighbourFiles) {
    WriteOnDrive(driveC, file.path, "Not K-WARD's: " + std::string(file.why) + "\n");
  }
  WriteText(work + "/k-ward.reg", Join(Split(RegFile(), '\n'), "\r\n"));
  WriteText(work + "/reasons.txt", Reasons(install));
}

void PrintPrograms(const std::string& windows) {
  for (const fp::Program& program : fp::kPrograms) {
    if (fp::Is(program.runs, "both") || program.runs == windows) {
      std::cout << program.file << '\t' << program.title << '\n';
    }
  }
}

}  // namespace
}  // namespace kw::demo

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() == 2 && arguments[0] == "place" &&
      !kw::footprint::Place(arguments[1]).empty()) {
    std::cout << kw::footprint::Place(arguments[1]) << '\n';
  } else if (arguments.size() == 2 && arguments[0] == "programs") {
    kw::demo::PrintPrograms(arguments[1]);
  } else if (arguments.size() == 4 && arguments[0] == "install") {
    kw::demo::Install(arguments[1], arguments[2], arguments[3]);
  } else {
    std::cerr << "usage: demo_machine place <name> | programs 95|nt"
                 " | install <drive C: directory> <work directory> <program build directory>\n";
    return 2;
  }
  return 0;
}
