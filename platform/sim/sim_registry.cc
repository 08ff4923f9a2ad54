#include "platform/sim/sim_registry.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/sim/sim_text.h"

namespace kw::sim {

struct SimRegistry::Node {
  std::string name;
  std::weak_ptr<Node> parent;
  std::vector<RegistryValue> values;
  // Kept in the order Windows NT enumerates subkeys: by name, ignoring case.
  std::vector<std::shared_ptr<Node>> subkeys;
  KeySwitches switches;
  bool deleted = false;
  bool isRoot = false;

  std::shared_ptr<Node> Child(const std::string& childName) const {
    for (const auto& child : subkeys) {
      if (SameNoCase(child->name, childName)) return child;
    }
    return nullptr;
  }
  RegistryValue* Value(const std::string& valueName) {
    for (auto& value : values) {
      if (SameNoCase(value.name, valueName)) return &value;
    }
    return nullptr;
  }
};

namespace {

constexpr std::uint32_t kWriteRights = 0x0006 | 0x0020 | 0x00010000 | 0x00040000 | 0x00080000;

void MarkDeleted(const std::shared_ptr<SimRegistry::Node>& node);

}  // namespace

SimRegistry::SimRegistry() {
  const char* names[3] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"};
  for (int i = 0; i < 3; ++i) {
    m_roots[i] = std::make_shared<Node>();
    m_roots[i]->name = names[i];
    m_roots[i]->isRoot = true;
  }
}

SimRegistry::~SimRegistry() = default;

std::shared_ptr<SimRegistry::Node> SimRegistry::RootNode(RegKey root) const {
  if (root == kHkeyClassesRoot) return m_roots[0];
  if (root == kHkeyCurrentUser) return m_roots[1];
  if (root == kHkeyLocalMachine) return m_roots[2];
  return nullptr;
}

std::shared_ptr<SimRegistry::Node> SimRegistry::Resolve(RegKey key, long* error) const {
  std::shared_ptr<Node> node = RootNode(key);
  if (!node) {
    auto found = m_handles.find(key.value);
    if (found == m_handles.end()) {
      *error = kErrorInvalidHandle;
      return nullptr;
    }
    node = found->second.node;
  }
  if (node->deleted) {
    *error = kErrorKeyDeleted;
    return nullptr;
  }
  *error = kErrorSuccess;
  return node;
}

std::shared_ptr<SimRegistry::Node> SimRegistry::Walk(std::shared_ptr<Node> from,
                                                     const std::string& path) {
  for (const std::string& part : SplitPath(path)) {
    if (!from) return nullptr;
    from = from->Child(part);
  }
  return from;
}

std::shared_ptr<SimRegistry::Node> SimRegistry::WalkOrCreate(RegKey root, const std::string& path) {
  std::shared_ptr<Node> node = RootNode(root);
  for (const std::string& part : SplitPath(path)) {
    std::shared_ptr<Node> child = node->Child(part);
    if (!child) {
      child = std::make_shared<Node>();
      child->name = part;
      child->parent = node;
      auto at = std::find_if(node->subkeys.begin(), node->subkeys.end(),
                             [&](const std::shared_ptr<Node>& other) {
                               return Upper(other->name) > Upper(part);
                             });
      node->subkeys.insert(at, child);
    }
    node = child;
  }
  return node;
}

void SimRegistry::CreateKey(RegKey root, const std::string& path) { WalkOrCreate(root, path); }

void SimRegistry::SetValue(RegKey root, const std::string& path, const std::string& name,
                           std::uint32_t type, const std::string& bytes) {
  std::shared_ptr<Node> node = WalkOrCreate(root, path);
  if (RegistryValue* value = node->Value(name)) {
    value->type = type;
    value->data = bytes;
    return;
  }
  node->values.push_back(RegistryValue{name, type, bytes});
}

void SimRegistry::SetString(RegKey root, const std::string& path, const std::string& name,
                            const std::string& text) {
  SetValue(root, path, name, kRegSz, text + std::string(1, '\0'));
}

bool SimRegistry::HasKey(RegKey root, const std::string& path) const {
  return Walk(RootNode(root), path) != nullptr;
}

KeySwitches& SimRegistry::Switches(RegKey root, const std::string& path) {
  return WalkOrCreate(root, path)->switches;
}

std::vector<std::string> SimRegistry::Dump() const {
  std::vector<std::string> lines;
  std::function<void(const Node&, const std::string&)> visit = [&](const Node& node,
                                                                   const std::string& path) {
    lines.push_back(path);
    std::vector<RegistryValue> values = node.values;
    std::sort(values.begin(), values.end(), [](const RegistryValue& a, const RegistryValue& b) {
      return Upper(a.name) < Upper(b.name);
    });
    for (const RegistryValue& value : values) {
      lines.push_back(path + " [" + value.name + "] type " + std::to_string(value.type) + " = " +
                      value.data);
    }
    for (const auto& child : node.subkeys) visit(*child, path + "\\" + child->name);
  };
  for (const auto& root : m_roots) visit(*root, root->name);
  return lines;
}

long SimRegistry::Open(RegKey parent, const std::string& subkey, std::uint32_t access,
                       RegKey* opened) {
  *opened = RegKey{};
  long error = kErrorSuccess;
  std::shared_ptr<Node> from = Resolve(parent, &error);
  if (!from) return error;
  std::shared_ptr<Node> node = Walk(from, subkey);
  if (!node || node->switches.dangling) return kErrorFileNotFound;
  if (node->switches.refuseRead) return kErrorAccessDenied;
  if ((access & kWriteRights) != 0 && node->switches.refuseFullAccess) return kErrorAccessDenied;
  const std::uintptr_t value = m_nextHandle;
  m_nextHandle += 4;  // handle values step as Windows' do
  m_handles[value] = Handle{node, access};
  *opened = RegKey{value};
  return kErrorSuccess;
}

long SimRegistry::Query(RegKey key, const std::string& name, std::uint32_t* type,
                        unsigned char* data, std::uint32_t* size) {
  long error = kErrorSuccess;
  std::shared_ptr<Node> node = Resolve(key, &error);
  if (!node) return error;
  const RegistryValue* value = node->Value(name);
  if (value == nullptr) return kErrorFileNotFound;
  if (type != nullptr) *type = value->type;
  const auto needed = static_cast<std::uint32_t>(value->data.size());
  if (data == nullptr) {
    if (size != nullptr) *size = needed;
    return kErrorSuccess;
  }
  if (size == nullptr) return kErrorInvalidParameter;
  if (*size < needed) {
    *size = needed;
    return kErrorMoreData;
  }
  std::memcpy(data, value->data.data(), needed);
  *size = needed;
  return kErrorSuccess;
}

long SimRegistry::EnumSubkey(RegKey key, std::uint32_t index, char* name, std::uint32_t* size) {
  long error = kErrorSuccess;
  std::shared_ptr<Node> node = Resolve(key, &error);
  if (!node) return error;
  if (index >= node->subkeys.size()) return kErrorNoMoreItems;
  const std::string& childName = node->subkeys[index]->name;
  if (childName.size() + 1 > *size) return kErrorMoreData;
  std::memcpy(name, childName.c_str(), childName.size() + 1);
  *size = static_cast<std::uint32_t>(childName.size());
  return kErrorSuccess;
}

namespace {

void MarkDeleted(const std::shared_ptr<SimRegistry::Node>& node) {
  node->deleted = true;
  for (const auto& child : node->subkeys) MarkDeleted(child);
}

}  // namespace

long SimRegistry::DeleteNode(const std::shared_ptr<Node>& target) {
  // The caller's reference may live in the parent's list of subkeys, which
  // this deletion edits: hold the node ourselves.
  const std::shared_ptr<Node> node = target;
  if (node->isRoot) return kErrorAccessDenied;
  if (node->switches.dangling) return kErrorFileNotFound;
  if (node->switches.refuseRead || node->switches.refuseDeletion) return kErrorAccessDenied;
  if (node->switches.fakeDeletion) return kErrorSuccess;
  if (!node->subkeys.empty()) {
    if (m_deletion == KeyDeletion::kRefuseWithSubkeys) return kErrorAccessDenied;
    // Windows 95 clears the subkeys first; one that refuses leaves the key
    // with a subkey, which then cannot go either.  So does one whose deletion
    // is only pretended.
    while (!node->subkeys.empty()) {
      const std::shared_ptr<Node> first = node->subkeys.front();
      if (DeleteNode(first) != kErrorSuccess ||
          (!node->subkeys.empty() && node->subkeys.front() == first)) {
        return kErrorAccessDenied;
      }
    }
  }
  std::shared_ptr<Node> parent = node->parent.lock();
  if (parent) {
    auto& siblings = parent->subkeys;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
  }
  MarkDeleted(node);
  return kErrorSuccess;
}

long SimRegistry::DeleteKey(RegKey parent, const std::string& subkey) {
  long error = kErrorSuccess;
  std::shared_ptr<Node> from = Resolve(parent, &error);
  if (!from) return error;
  std::shared_ptr<Node> node = Walk(from, subkey);
  if (!node) return kErrorFileNotFound;
  return DeleteNode(node);
}

long SimRegistry::DeleteValue(RegKey key, const std::string& name) {
  long error = kErrorSuccess;
  std::shared_ptr<Node> node = Resolve(key, &error);
  if (!node) return error;
  if (!IsPredefinedKey(key) && (m_handles[key.value].access & kWriteRights) == 0) {
    return kErrorAccessDenied;
  }
  if (node->switches.refuseValueDeletion) return kErrorAccessDenied;
  auto& values = node->values;
  auto found = std::find_if(values.begin(), values.end(),
                            [&](const RegistryValue& v) { return SameNoCase(v.name, name); });
  if (found == values.end()) return kErrorFileNotFound;
  values.erase(found);
  return kErrorSuccess;
}

long SimRegistry::Close(RegKey key) {
  if (IsPredefinedKey(key)) return kErrorSuccess;
  if (m_handles.erase(key.value) == 0) return kErrorInvalidHandle;
  return kErrorSuccess;
}

}  // namespace kw::sim
