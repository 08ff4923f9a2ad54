// The registry of the simulated machine: three roots, keys and values whose
// names compare without regard to case and keep their case, values as typed
// byte strings, and handles that behave as Win32 registry handles do.
#ifndef KWUNINST_PLATFORM_SIM_SIM_REGISTRY_H_
#define KWUNINST_PLATFORM_SIM_SIM_REGISTRY_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kw::sim {

// Per-key behaviour a test can switch on, to reach the failure paths of the
// program's registry code.
struct KeySwitches {
  bool refuseRead = false;            // every open fails with access denied
  bool refuseFullAccess = false;      // opens asking for write access fail
  bool refuseDeletion = false;        // deleting this key fails
  bool fakeDeletion = false;          // deletion reports success, key stays
  bool refuseValueDeletion = false;   // deleting a value of this key fails
  bool dangling = false;              // listed, yet opens and deletes as missing
                                      // (a link whose target is gone)
};

struct RegistryValue {
  std::string name;
  std::uint32_t type = kRegNone;
  std::string data;  // raw bytes
};

// How key deletion treats a key that still has subkeys.
enum class KeyDeletion {
  kRefuseWithSubkeys,  // Windows NT: access denied
  kTakeSubkeysAlong,   // Windows 95: the whole tree goes
};

class SimRegistry {
 public:
  SimRegistry();
  ~SimRegistry();

  void SetKeyDeletion(KeyDeletion semantics) { m_deletion = semantics; }

  // --- Setting up and inspecting the machine (tests, demos) ---------------
  // Paths are backslash-separated below a predefined root.
  void CreateKey(RegKey root, const std::string& path);
  void SetValue(RegKey root, const std::string& path, const std::string& name,
                std::uint32_t type, const std::string& bytes);
  // REG_SZ with its terminating zero, as the system stores text.
  void SetString(RegKey root, const std::string& path, const std::string& name,
                 const std::string& text);
  bool HasKey(RegKey root, const std::string& path) const;
  // The switches of an existing key (created when missing).
  KeySwitches& Switches(RegKey root, const std::string& path);
  // Every key and value below the roots, one line each, in a stable order:
  // for comparing whole registry states.
  std::vector<std::string> Dump() const;
  // Handles opened through the port and not yet closed.
  std::size_t OpenHandleCount() const { return m_handles.size(); }

  // --- The port's registry calls ------------------------------------------
  long Open(RegKey parent, const std::string& subkey, std::uint32_t access, RegKey* opened);
  long Query(RegKey key, const std::string& name, std::uint32_t* type, unsigned char* data,
             std::uint32_t* size);
  long EnumSubkey(RegKey key, std::uint32_t index, char* name, std::uint32_t* size);
  long DeleteKey(RegKey parent, const std::string& subkey);
  long DeleteValue(RegKey key, const std::string& name);
  long Close(RegKey key);

 // A key of the tree; defined in the source file.
  struct Node;

 private:
  struct Handle {
    std::shared_ptr<Node> node;
    std::uint32_t access = 0;
  };

  std::shared_ptr<Node> RootNode(RegKey root) const;
  // The node a handle stands for; sets *error when there is none.
  std::shared_ptr<Node> Resolve(RegKey key, long* error) const;
  static std::shared_ptr<Node> Walk(std::shared_ptr<Node> from, const std::string& path);
  std::shared_ptr<Node> WalkOrCreate(RegKey root, const std::string& path);
  long DeleteNode(const std::shared_ptr<Node>& node);

  std::shared_ptr<Node> m_roots[3];
  std::map<std::uintptr_t, Handle> m_handles;
  std::uintptr_t m_nextHandle = 0x1000;
  KeyDeletion m_deletion = KeyDeletion::kRefuseWithSubkeys;
};

}  // namespace kw::sim

#endif  // KWUNINST_PLATFORM_SIM_SIM_REGISTRY_H_
