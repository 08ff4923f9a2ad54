// The product's footprint (footprint.def) as C++ tables, for the unit and
// property tests on the simulated machine and for the Windows test programs,
// stand-ins and bench alike: plain data and the standard library only.
#ifndef KWUNINST_TESTS_SUPPORT_FOOTPRINT_H_
#define KWUNINST_TESTS_SUPPORT_FOOTPRINT_H_

#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace kw::footprint {

// One struct a kind of entry, its fields in the order of footprint.def's
// arguments (whose comments say what each means).
struct File { const char* name; const char* role; };
struct Program {
  const char *file, *title, *held, *runs;
};
struct Key { const char* root; const char* path; const char* role; };
struct Value {
  const char *root, *key, *name, *data, *role;
};
struct BatchLine { const char* text; const char* role; };
struct NeighbourFile { const char* path; const char* why; };
struct NeighbourValue {
  const char *root, *key, *name, *data, *why;
};

#define KW_PLACE(name, path) {name, path},
inline constexpr const char* kPlaces[][2] = {
#include "tests/support/footprint.def"
};
#define KW_FILE(name, role) {name, role},
inline constexpr File kFiles[] = {
#include "tests/support/footprint.def"
};
#define KW_TASK_FILE(name) name,
inline constexpr const char* kTaskFiles[] = {
#include "tests/support/footprint.def"
};
#define KW_PROGRAM(file, title, held, runs) {file, title, held, runs},
inline constexpr Program kPrograms[] = {
#include "tests/support/footprint.def"
};
#define KW_KEY(root, key, role) {root, key, role},
inline constexpr Key kKeys[] = {
#include "tests/support/footprint.def"
};
#define KW_VALUE(root, key, name, data, role) {root, key, name, data, role},
inline constexpr Value kValues[] = {
#include "tests/support/footprint.def"
};
#define KW_BATCH_LINE(text, role) {text, role},
inline constexpr BatchLine kBatchLines[] = {
#include "tests/support/footprint.def"
};
#define KW_NEIGHBOUR_FILE(path, why) {path, why},
inline constexpr NeighbourFile kNeighbourFiles[] = {
#include "tests/support/footprint.def"
};
#define KW_NEIGHBOUR_VALUE(root, key, name, data, why) {root, key, name, data, why},
inline constexpr NeighbourValue kNeighbourValues[] = {
#include "tests/support/footprint.def"
};

// A place by its name ("install", "tasks", "marker").
inline std::string Place(const std::string& name) {
  for (const auto& place : kPlaces) {
    if (name == place[0]) return place[1];
  }
  return std::string();
}

inline bool Is(const char* role, const char* wanted) { return std::string(role) == wanted; }

// A root as the registry's own dumps and .reg files name it: "HKCU" is
// "HKEY_CURRENT_USER".
inline std::string LongRootName(const std::string& root) {
  return root == "HKCU" ? "HKEY_CURRENT_USER" : root == "HKLM" ? "HKEY_LOCAL_MACHINE" : "HKEY_CLASSES_ROOT";
}

// Whether the setup-log uninstaller removes the value, by its log: it is
// logged itself, or lies in a logged key.
inline bool RemovedByTheLog(const Value& value) {
  if (Is(value.role, "logged")) return true;
  for (const Key& key : kKeys) {
    const std::string path = key.path;
    const std::string below = value.key;
    if (Is(key.role, "logged") && std::string(key.root) == value.root &&
        (below == path || below.rfind(path + "\\", 0) == 0)) {
      return true;
    }
  }
  return false;
}

// A value's data with the installation and task directories put in.
inline std::string Expand(std::string text, const std::string& installDir = Place("install"),
                          const std::string& taskDir = Place("tasks")) {
  for (const auto& [mark, with] : {std::pair{"<dir>", installDir}, {"<tasks>", taskDir}}) {
    for (std::string::size_type at; (at = text.find(mark)) != std::string::npos;) {
      text.replace(at, std::string(mark).size(), with);
    }
  }
  return text;
}

// The registry keys that hold the product's and its neighbours' keys, none
// below another: a picture of them shows what goes beside the product too.
inline std::vector<std::string> RegistryScope() {
  std::set<std::string> holders;
  const auto holder = [&](const std::string& root, const std::string& key) {
    const std::string path = root + "\\" + key;
    holders.insert(path.substr(0, path.rfind('\\')));
  };
  for (const Key& key : kKeys) holder(key.root, key.path);
  for (const Value& value : kValues) holder(value.root, value.key);
  for (const NeighbourValue& value : kNeighbourValues) holder(value.root, value.key);
  std::vector<std::string> scope;
  for (const std::string& key : holders) {
    bool below = false;
    for (const std::string& other : holders) below = below || key.rfind(other + "\\", 0) == 0;
    if (!below) scope.push_back(key);
  }
  return scope;
}

// The files a program holds open.
inline std::vector<std::string> HeldBy(const Program& program) {
  std::vector<std::string> names;
  std::istringstream held(program.held);
  for (std::string name; held >> name;) names.push_back(name);
  return names;
}

}  // namespace kw::footprint

#endif  // KWUNINST_TESTS_SUPPORT_FOOTPRINT_H_
