#include "platform/sim/sim_files.h"

#include <algorithm>

#include "platform/sim/sim_text.h"

namespace kw::sim {
namespace {

bool IsShortNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         static_cast<unsigned char>(c) >= 0x80 || std::string("!#$%&'()-@^_`{}~").find(c) != std::string::npos;
}

// Whether a name is already a DOS name (its case aside): up to eight
// characters, then perhaps a dot and up to three.
bool IsShortName(const std::string& name) {
  const std::string::size_type dot = name.find('.');
  const std::string base = name.substr(0, dot);
  const std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || extension.size() > 3 ||
      (dot != std::string::npos && extension.empty())) {
    return false;
  }
  return std::all_of(base.begin(), base.end(), IsShortNameCharacter) &&
         std::all_of(extension.begin(), extension.end(), IsShortNameCharacter);
}

// What a long name keeps in its short one: the usable characters of its
// base and of its extension (after the last dot), upper-cased.
std::string Usable(const std::string& text, std::size_t most) {
  std::string kept;
  for (char c : text) {
    if (kept.size() == most) break;
    if (c == ' ' || c == '.') continue;
    kept += IsShortNameCharacter(c) ? c : '_';
  }
  return Upper(kept);
}

}  // namespace

struct SimFileSystem::Node {
  std::string name;
  std::weak_ptr<Node> parent;
  bool isDirectory = false;
  std::uint32_t attributes = 0;  // read-only, hidden and system
  std::string linkTarget;  // non-empty for a directory link
  std::string content;
  std::vector<std::shared_ptr<Node>> children;  // sorted by name, ignoring case
  std::vector<FileHold> holds;

  // By its name or, as the file system also finds it, by its short name.
  std::shared_ptr<Node> Child(const std::string& childName) const {
    for (const auto& child : children) {
      if (SameNoCase(child->name, childName)) return child;
    }
    if (childName.find('~') == std::string::npos) return nullptr;
    for (const auto& child : children) {
      if (SameNoCase(ShortNameOf(*child), childName)) return child;
    }
    return nullptr;
  }
  // The child's DOS name: its own, upper-cased, when it is one; otherwise
  // six characters of its base, ~ and a number that sets it apart from its
  // siblings', and three of its extension ("Program Files" is PROGRA~1).
  std::string ShortNameOf(const Node& child) const {
    if (IsShortName(child.name)) return Upper(child.name);
    const std::string stem = StemOf(child.name);
    int number = 1;
    for (const auto& other : children) {
      if (other.get() == &child) break;
      if (!IsShortName(other->name) && StemOf(other->name) == stem) ++number;
    }
    const std::string tail = "~" + std::to_string(number);
    const std::string::size_type bar = stem.find('|');
    const std::string extension = stem.substr(bar + 1);
    return stem.substr(0, std::min(bar, 8 - tail.size())) + tail +
           (extension.empty() ? "" : "." + extension);
  }
  static std::string StemOf(const std::string& longName) {
    const std::string::size_type dot = longName.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    return Usable(longName.substr(0, hasExtension ? dot : std::string::npos), 6) + "|" +
           (hasExtension ? Usable(longName.substr(dot + 1), 3) : "");
  }
  void Adopt(const std::shared_ptr<Node>& child) {
    auto at = std::find_if(children.begin(), children.end(), [&](const std::shared_ptr<Node>& other) {
      return Upper(other->name) > Upper(child->name);
    });
    children.insert(at, child);
  }
  void Drop(const std::shared_ptr<Node>& child) {
    children.erase(std::remove(children.begin(), children.end(), child), children.end());
  }
};

namespace {

// The attributes a file keeps for itself; the others describe its kind.
constexpr std::uint32_t kOwnAttributes =
    kFileAttributeReadOnly | kFileAttributeHidden | kFileAttributeSystem;

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

bool GlobMatch(const std::string& pattern, const std::string& name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starAt = std::string::npos;
  std::size_t resumeName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeName = n;
    } else if (starAt != std::string::npos) {
      p = starAt + 1;
      n = ++resumeName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  const std::string upperPattern = Upper(pattern);
  const std::string upperName = Upper(name);
  if (GlobMatch(upperPattern, upperName)) return true;
  // "NAME.*" also matches "NAME": a name without an extension has an empty one.
  if (upperPattern.size() >= 2 && upperPattern.compare(upperPattern.size() - 2, 2, ".*") == 0 &&
      upperName.find('.') == std::string::npos) {
    return GlobMatch(upperPattern.substr(0, upperPattern.size() - 2), upperName);
  }
  return false;
}

SimFileSystem::SimFileSystem() : m_root(std::make_shared<Node>()) {
  m_root->isDirectory = true;
  m_root->name = "C:";
}

SimFileSystem::~SimFileSystem() = default;

std::string SimFileSystem::FullPath(const std::string& path) const {
  std::string absolute;
  if (path.size() >= 2 && path[1] == ':') {
    if (Upper(path.substr(0, 1)) != "C") return std::string();  // the machine has drive C: only
    absolute = (path.size() >= 3 && path[2] == '\\') ? path : m_currentDirectory + "\\" + path.substr(2);
  } else if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    return std::string();  // network paths do not exist here
  } else if (!path.empty() && path[0] == '\\') {
    absolute = "C:" + path;
  } else {
    absolute = m_currentDirectory + "\\" + path;
  }
  std::vector<std::string> names;
  for (const std::string& part : SplitPath(absolute.substr(2))) {
    if (part == ".") continue;
    if (part == "..") {
      if (!names.empty()) names.pop_back();
      continue;
    }
    names.push_back(part);
  }
  std::string full = "C:";
  for (const std::string& name : names) full += "\\" + name;
  if (names.empty()) full += "\\";
  return full;
}

bool SimFileSystem::Components(const std::string& path, std::vector<std::string>* names) const {
  const std::string full = FullPath(path);
  if (full.empty()) return false;
  *names = SplitPath(full.substr(2));
  return true;
}

namespace {

// The name as the ANSI calls read it: without the dots at its end, and for
// the last name of a path also without the blanks.  A name of nothing but
// dots and blanks stays as it is.
std::string AnsiName(std::string name, bool last) {
  const std::string dropped = last ? ". " : ".";
  const std::string::size_type keep = name.find_last_not_of(dropped);
  if (keep != std::string::npos) name.erase(keep + 1);
  return name;
}

}  // namespace

long SimFileSystem::AnsiComponents(const std::string& path, std::vector<std::string>* names) const {
  // Too long as given, or once the current directory is put in front.
  if (path.size() >= kMaxPath) return kErrorFilenameExcedRange;
  if (!Components(path, names)) return kErrorPathNotFound;
  if (FullPath(path).size() >= kMaxPath) return kErrorFilenameExcedRange;
  const bool endsInSeparator = !path.empty() && path.back() == '\\';
  for (std::size_t i = 0; i < names->size(); ++i) {
    (*names)[i] = AnsiName((*names)[i], i + 1 == names->size() && !endsInSeparator);
  }
  return kErrorSuccess;
}

std::shared_ptr<SimFileSystem::Node> SimFileSystem::AnsiLookup(const std::string& path,
                                                               bool followLast) const {
  std::vector<std::string> names;
  if (AnsiComponents(path, &names) != kErrorSuccess) return nullptr;
  return LookupNames(names, followLast);
}

std::shared_ptr<SimFileSystem::Node> SimFileSystem::Resolve(std::shared_ptr<Node> node) const {
  // A link shows its target; links to links are followed a few times only,
  // as the system stops a loop of them.
  for (int hops = 0; node && !node->linkTarget.empty() && hops < 8; ++hops) {
    node = Lookup(node->linkTarget);
  }
  return node;
}

std::shared_ptr<SimFileSystem::Node> SimFileSystem::LookupNames(const std::vector<std::string>& names,
                                                                bool followLast) const {
  std::shared_ptr<Node> node = m_root;
  for (std::size_t i = 0; i < names.size(); ++i) {
    node = Resolve(node);
    if (!node || !node->isDirectory) return nullptr;
    node = node->Child(names[i]);
    if (!node) return nullptr;
  }
  return followLast ? Resolve(node) : node;
}

std::shared_ptr<SimFileSystem::Node> SimFileSystem::Lookup(const std::string& path) const {
  std::vector<std::string> names;
  if (!Components(path, &names)) return nullptr;
  return LookupNames(names, true);
}

std::shared_ptr<SimFileSystem::Node> SimFileSystem::MakeDirectories(const std::vector<std::string>& names) {
  std::shared_ptr<Node> node = m_root;
  for (const std::string& name : names) {
    node = Resolve(node);
    std::shared_ptr<Node> child = node->Child(name);
    if (!child) {
      child = std::make_shared<Node>();
      child->name = name;
      child->isDirectory = true;
      child->parent = node;
      node->Adopt(child);
    }
    node = child;
  }
  return Resolve(node);
}

std::string SimFileSystem::PathOf(const std::shared_ptr<Node>& node) const {
  std::vector<std::string> names;
  for (std::shared_ptr<Node> at = node; at && at != m_root; at = at->parent.lock()) {
    names.push_back(at->name);
  }
  std::string path = "C:";
  for (auto it = names.rbegin(); it != names.rend(); ++it) path += "\\" + *it;
  if (names.empty()) path += "\\";
  return path;
}

void SimFileSystem::AddFile(const std::string& path, const std::string& content) {
  std::vector<std::string> names;
  if (!Components(path, &names) || names.empty()) return;
  const std::string leaf = names.back();
  names.pop_back();
  std::shared_ptr<Node> directory = MakeDirectories(names);
  std::shared_ptr<Node> file = directory->Child(leaf);
  if (!file) {
    file = std::make_shared<Node>();
    file->name = leaf;
    file->parent = directory;
    directory->Adopt(file);
  }
  file->content = content;
}

void SimFileSystem::AddDirectory(const std::string& path) {
  std::vector<std::string> names;
  if (Components(path, &names)) MakeDirectories(names);
}

void SimFileSystem::Erase(const std::string& path) {
  std::vector<std::string> names;
  if (!Components(path, &names) || names.empty()) return;
  std::shared_ptr<Node> node = LookupNames(names, false);
  if (!node) return;
  if (std::shared_ptr<Node> parent = node->parent.lock()) parent->Drop(node);
}

void SimFileSystem::AddDirectoryLink(const std::string& path, const std::string& target) {
  std::vector<std::string> names;
  if (!Components(path, &names) || names.empty()) return;
  const std::string leaf = names.back();
  names.pop_back();
  std::shared_ptr<Node> directory = MakeDirectories(names);
  auto link = std::make_shared<Node>();
  link->name = leaf;
  link->isDirectory = true;
  link->linkTarget = FullPath(target);
  link->parent = directory;
  directory->Adopt(link);
}

void SimFileSystem::SetReadOnly(const std::string& path, bool readOnly) {
  if (std::shared_ptr<Node> node = Lookup(path)) {
    node->attributes = readOnly ? node->attributes | kFileAttributeReadOnly
                                : node->attributes & ~kFileAttributeReadOnly;
  }
}

void SimFileSystem::SetAttributes(const std::string& path, std::uint32_t attributes) {
  if (std::shared_ptr<Node> node = Lookup(path)) node->attributes = attributes & kOwnAttributes;
}

std::uint32_t SimFileSystem::Attributes(const std::string& path) const {
  std::shared_ptr<Node> node = Lookup(path);
  return node ? AttributesOf(*node) : 0;
}

std::uint32_t SimFileSystem::Hold(const std::string& path, const std::string& holder, HoldKind kind) {
  std::shared_ptr<Node> node = Lookup(path);
  if (!node || node->isDirectory) return 0;
  const std::uint32_t id = m_nextHold++;
  node->holds.push_back(FileHold{id, holder, kind});
  return id;
}

namespace {

// Whether any of the holds on a file is of the kind.
bool AnyHold(const std::vector<FileHold>& holds, HoldKind kind) {
  return std::any_of(holds.begin(), holds.end(), [&](const FileHold& hold) { return hold.kind == kind; });
}

template <typename Visit>
void ForEachNode(const std::shared_ptr<SimFileSystem::Node>& node, Visit visit) {
  visit(node);
  if (!node->linkTarget.empty()) return;  // a link's contents belong to its target
  for (const auto& child : node->children) ForEachNode(child, visit);
}

}  // namespace

void SimFileSystem::Release(std::uint32_t holdId) {
  ForEachNode(m_root, [&](const std::shared_ptr<Node>& node) {
    auto& holds = node->holds;
    holds.erase(std::remove_if(holds.begin(), holds.end(),
                               [&](const FileHold& hold) { return hold.id == holdId; }),
                holds.end());
  });
}

void SimFileSystem::ReleaseAllOf(const std::string& holder) {
  ForEachNode(m_root, [&](const std::shared_ptr<Node>& node) {
    auto& holds = node->holds;
    holds.erase(std::remove_if(holds.begin(), holds.end(),
                               [&](const FileHold& hold) { return hold.holder == holder; }),
                holds.end());
  });
}

bool SimFileSystem::IsHeld(const std::string& path) const {
  std::shared_ptr<Node> node = Lookup(path);
  return node && !node->holds.empty();
}

bool SimFileSystem::Exists(const std::string& path) const { return Lookup(path) != nullptr; }

bool SimFileSystem::IsDirectory(const std::string& path) const {
  std::shared_ptr<Node> node = Lookup(path);
  return node && node->isDirectory;
}

std::string SimFileSystem::Content(const std::string& path) const {
  std::shared_ptr<Node> node = Lookup(path);
  return node ? node->content : std::string();
}

std::uint32_t SimFileSystem::AttributesOf(const Node& node) {
  std::uint32_t attributes = node.attributes;
  attributes |= node.isDirectory ? kFileAttributeDirectory : kFileAttributeArchive;
  if (!node.linkTarget.empty()) attributes |= kFileAttributeReparsePoint;
  return attributes;
}

namespace {

// The attribute letters of a file, as DIR /A shows them.
std::string Letters(std::uint32_t attributes) {
  std::string letters;
  if (attributes & kFileAttributeReadOnly) letters += 'R';
  if (attributes & kFileAttributeHidden) letters += 'H';
  if (attributes & kFileAttributeSystem) letters += 'S';
  return letters;
}

}  // namespace

std::vector<std::string> SimFileSystem::Dump() const {
  std::vector<std::string> lines;
  ForEachNode(m_root, [&](const std::shared_ptr<Node>& node) {
    if (node == m_root) return;
    const std::string path = PathOf(node);
    if (!node->linkTarget.empty()) {
      lines.push_back("L " + path + " -> " + node->linkTarget);
    } else if (node->isDirectory) {
      lines.push_back("D " + path);
    } else {
      const std::string letters = Letters(node->attributes);
      lines.push_back("F " + path + " " + std::to_string(node->content.size()) +
                      (letters.empty() ? "" : " " + letters));
    }
  });
  return lines;
}

std::map<std::string, std::string> SimFileSystem::Snapshot() const {
  std::map<std::string, std::string> entries;
  ForEachNode(m_root, [&](const std::shared_ptr<Node>& node) {
    if (node == m_root) return;
    if (!node->linkTarget.empty()) {
      entries[PathOf(node)] = "L " + node->linkTarget;
    } else {
      std::string letters = Letters(node->attributes);
      letters.resize(kSnapshotAttributeWidth, ' ');
      entries[PathOf(node)] = (node->isDirectory ? "D" : "F") + letters + node->content;
    }
  });
  return entries;
}

FindHandle SimFileSystem::FindFirst(const std::string& pattern, FindEntry* entry, long* error) {
  // A path that ends in a backslash names no entry: the search finds nothing,
  // as FindFirstFileA does on Windows.
  if (pattern.empty() || pattern.back() == '\\') {
    *error = kErrorFileNotFound;
    return FindHandle{};
  }
  std::vector<std::string> names;
  *error = AnsiComponents(pattern, &names);
  if (*error != kErrorSuccess) return FindHandle{};
  if (names.empty()) {
    *error = kErrorFileNotFound;  // the root itself
    return FindHandle{};
  }
  const std::string namePattern = names.back();
  names.pop_back();
  std::shared_ptr<Node> directory = LookupNames(names, true);
  if (!directory || !directory->isDirectory) {
    *error = kErrorPathNotFound;
    return FindHandle{};
  }

  std::vector<FindEntry> found;
  if (HasWildcard(namePattern)) {
    if (directory != m_root) {
      for (const char* dots : {".", ".."}) {
        if (WildcardMatch(namePattern, dots)) found.push_back(FindEntry{dots, kFileAttributeDirectory});
      }
    }
    for (const auto& child : directory->children) {
      if (WildcardMatch(namePattern, child->name)) found.push_back(FindEntry{child->name, AttributesOf(*child)});
    }
  } else if (std::shared_ptr<Node> child = directory->Child(namePattern)) {
    found.push_back(FindEntry{child->name, AttributesOf(*child)});
  }
  if (found.empty()) {
    *error = kErrorFileNotFound;
    return FindHandle{};
  }
  *entry = found.front();
  found.erase(found.begin());
  const std::uintptr_t handle = m_nextHandle;
  m_nextHandle += 4;
  m_searches[handle] = std::move(found);
  return FindHandle{handle};
}

bool SimFileSystem::FindNext(FindHandle search, FindEntry* entry) {
  auto it = m_searches.find(search.value);
  if (it == m_searches.end() || it->second.empty()) return false;
  *entry = it->second.front();
  it->second.erase(it->second.begin());
  return true;
}

void SimFileSystem::FindClose(FindHandle search) { m_searches.erase(search.value); }

long SimFileSystem::LookUp(const std::string& path, std::uint32_t* attributes) const {
  std::vector<std::string> names;
  const long error = AnsiComponents(path, &names);
  if (error != kErrorSuccess) return error;
  if (names.empty()) {
    *attributes = kFileAttributeDirectory;  // the root
    return kErrorSuccess;
  }
  const std::string leaf = names.back();
  names.pop_back();
  std::shared_ptr<Node> directory = LookupNames(names, true);
  if (!directory || !directory->isDirectory) return kErrorPathNotFound;
  std::shared_ptr<Node> node = directory->Child(leaf);
  if (!node) return kErrorFileNotFound;
  *attributes = AttributesOf(*node);
  return kErrorSuccess;
}

std::string SimFileSystem::ShortPath(const std::string& path) const {
  std::vector<std::string> names;
  if (AnsiComponents(path, &names) != kErrorSuccess) return std::string();
  std::string shortPath = "C:";
  std::shared_ptr<Node> node = m_root;
  for (const std::string& name : names) {
    std::shared_ptr<Node> directory = Resolve(node);
    if (!directory || !directory->isDirectory) return std::string();
    node = directory->Child(name);
    if (!node) return std::string();
    shortPath += "\\" + directory->ShortNameOf(*node);
  }
  return names.empty() ? shortPath + "\\" : shortPath;
}

bool SimFileSystem::QueueDeletion(const std::string& path) {
  // As the system does, whether or not anything is there yet: the queue is
  // read when Windows starts.
  std::vector<std::string> names;
  if (AnsiComponents(path, &names) != kErrorSuccess || names.empty()) return false;
  std::string full = "C:";
  for (const std::string& name : names) full += "\\" + name;
  m_pendingDeletions.push_back(full);
  return true;
}

void SimFileSystem::FailCall(FileCall call, int nth) {
  m_failingCalls.insert({call, m_callCounts[call] + nth});
}

void SimFileSystem::RestoreAfterRemoval(const std::string& path) {
  m_restored.insert(Upper(FullPath(path)));
}

bool SimFileSystem::CallFails(FileCall call) {
  return m_failingCalls.erase({call, ++m_callCounts[call]}) != 0;
}

FileHandle SimFileSystem::OpenExclusive(const std::string& path, FileOpenMode mode) {
  if (CallFails(FileCall::kOpen)) return FileHandle{};
  std::vector<std::string> names;
  if (AnsiComponents(path, &names) != kErrorSuccess || names.empty()) return FileHandle{};
  std::shared_ptr<Node> node = LookupNames(names, true);
  if (node && mode == FileOpenMode::kReadWriteCreateNew) return FileHandle{};
  if (!node) {
    if (mode == FileOpenMode::kReadExisting) return FileHandle{};
    const std::string leaf = names.back();
    names.pop_back();
    std::shared_ptr<Node> directory = LookupNames(names, true);
    if (!directory || !directory->isDirectory) return FileHandle{};
    node = std::make_shared<Node>();
    node->name = leaf;
    node->parent = directory;
    directory->Adopt(node);
  }
  // A library's image lets a reader in, sharing denied or not; it is the
  // programs' open handles that deny.
  if (node->isDirectory || AnyHold(node->holds, HoldKind::kExclusive) ||
      AnyHold(node->holds, HoldKind::kShareDelete)) {
    return FileHandle{};
  }
  const bool writable = mode == FileOpenMode::kReadWriteCreateNew;  // a new file, made above
  const std::uint32_t holdId = m_nextHold++;
  node->holds.push_back(FileHold{holdId, "this program", HoldKind::kExclusive});
  const std::uintptr_t handle = m_nextHandle;
  m_nextHandle += 4;
  m_files[handle] = OpenFile{node, holdId, writable};
  return FileHandle{handle};
}

bool SimFileSystem::ReadAll(FileHandle file, std::string* bytes, std::size_t limit) {
  auto it = m_files.find(file.value);
  if (it == m_files.end() || it->second.node->content.size() > limit) return false;
  *bytes = it->second.node->content;
  return true;
}

bool SimFileSystem::Flush(FileHandle file, std::string* path) {
  auto it = m_files.find(file.value);
  if (CallFails(FileCall::kFlush) || it == m_files.end() || !it->second.writable) return false;
  *path = PathOf(it->second.node);
  return true;
}

bool SimFileSystem::WriteAll(FileHandle file, const std::string& bytes) {
  auto it = m_files.find(file.value);
  if (CallFails(FileCall::kWrite) || it == m_files.end() || !it->second.writable) return false;
  if (bytes.size() > m_bytesUntilFull) {
    it->second.node->content = bytes.substr(0, m_bytesUntilFull);
    m_bytesUntilFull = 0;
    return false;
  }
  if (m_bytesUntilFull != std::numeric_limits<std::size_t>::max()) m_bytesUntilFull -= bytes.size();
  it->second.node->content = bytes;
  return true;
}

void SimFileSystem::CloseFile(FileHandle file) {
  auto it = m_files.find(file.value);
  if (it == m_files.end()) return;
  auto& holds = it->second.node->holds;
  const std::uint32_t holdId = it->second.holdId;
  holds.erase(std::remove_if(holds.begin(), holds.end(),
                             [&](const FileHold& hold) { return hold.id == holdId; }),
              holds.end());
  m_files.erase(it);
}

bool SimFileSystem::RemoveFile(const std::string& path) {
  if (CallFails(FileCall::kRemove)) return false;
  std::shared_ptr<Node> node = AnsiLookup(path, false);
  if (!node || node == m_root || node->isDirectory || (node->attributes & kFileAttributeReadOnly) ||
      AnyHold(node->holds, HoldKind::kExclusive) || AnyHold(node->holds, HoldKind::kLoadedLibrary)) {
    return false;
  }
  if (std::shared_ptr<Node> parent = node->parent.lock()) parent->Drop(node);
  if (m_restored.count(Upper(PathOf(node))) != 0) AddFile(PathOf(node), node->content);
  return true;
}

bool SimFileSystem::Move(const std::string& from, const std::string& to) {
  if (CallFails(FileCall::kMove)) return false;
  std::vector<std::string> fromNames;
  std::vector<std::string> toNames;
  if (AnsiComponents(from, &fromNames) != kErrorSuccess || fromNames.empty() ||
      AnsiComponents(to, &toNames) != kErrorSuccess || toNames.empty()) {
    return false;
  }
  std::shared_ptr<Node> node = LookupNames(fromNames, false);
  if (!node || AnyHold(node->holds, HoldKind::kExclusive)) return false;
  if (!m_movesFilesInUse && !node->holds.empty()) return false;
  if (node->isDirectory && node->linkTarget.empty() && IsBusyDirectory(node)) return false;
  const std::string leaf = toNames.back();
  toNames.pop_back();
  std::shared_ptr<Node> directory = LookupNames(toNames, true);
  if (!directory || !directory->isDirectory) return false;
  // Never onto another entry; a change of case of the same name is a move.
  std::shared_ptr<Node> existing = directory->Child(leaf);
  if (existing && existing != node) return false;
  for (std::shared_ptr<Node> at = directory; at; at = at->parent.lock()) {
    if (at == node) return false;  // a directory cannot go below itself
  }
  if (std::shared_ptr<Node> parent = node->parent.lock()) parent->Drop(node);
  node->name = leaf;
  node->parent = directory;
  directory->Adopt(node);
  return true;
}

bool SimFileSystem::ClearReadOnly(const std::string& path) {
  std::shared_ptr<Node> node = AnsiLookup(path, true);
  if (!node) return false;
  node->attributes &= ~kFileAttributeReadOnly;
  return true;
}

bool SimFileSystem::SetEntryAttributes(const std::string& path, std::uint32_t attributes) {
  if (CallFails(FileCall::kSetAttributes)) return false;
  std::shared_ptr<Node> node = AnsiLookup(path, false);
  if (!node || node == m_root) return false;
  node->attributes = attributes & kOwnAttributes;
  return true;
}

bool SimFileSystem::IsBusyDirectory(const std::shared_ptr<Node>& node) const {
  const std::string path = Upper(PathOf(node));
  std::vector<std::string> busy{m_currentDirectory};
  if (m_busyDirectories) {
    for (const std::string& directory : m_busyDirectories()) busy.push_back(directory);
  }
  for (const std::string& directory : busy) {
    const std::string full = Upper(FullPath(directory));
    if (full == path || full.rfind(path + "\\", 0) == 0) return true;
  }
  return false;
}

bool SimFileSystem::RemoveEmptyDirectory(const std::string& path) {
  std::shared_ptr<Node> node = AnsiLookup(path, false);
  if (!node || node == m_root || !node->isDirectory || (node->attributes & kFileAttributeReadOnly)) {
    return false;
  }
  // A link goes by itself, whatever its target holds.
  if (node->linkTarget.empty() && (!node->children.empty() || IsBusyDirectory(node))) return false;
  if (std::shared_ptr<Node> parent = node->parent.lock()) parent->Drop(node);
  return true;
}

bool SimFileSystem::ChangeDirectory(const std::string& path) {
  std::vector<std::string> names;
  if (AnsiComponents(path, &names) != kErrorSuccess) return false;
  std::shared_ptr<Node> node = LookupNames(names, true);
  if (!node || !node->isDirectory) return false;
  // The path as given, not where a link leads.
  m_currentDirectory = "C:";
  for (const std::string& name : names) m_currentDirectory += "\\" + name;
  if (names.empty()) m_currentDirectory += "\\";
  return true;
}

}  // namespace kw::sim
