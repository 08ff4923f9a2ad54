// What the program relies on from the registry calls and the catalogue, run
// against both the simulated machine and the real system.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <vector>

#include "platform/scoped_handles.h"
#include "tests/contract/contract_machine.h"

namespace kw::contract {
namespace {

class RegistryContractTest : public ContractTest {
 protected:
  void SetUp() override {
    m_machine.RemoveTree(kHkeyCurrentUser, kScratchKey);
    m_machine.CreateKey(kHkeyCurrentUser, kScratchKey);
  }
  void TearDown() override { m_machine.RemoveTree(kHkeyCurrentUser, kScratchKey); }

  static std::string Path(const std::string& below) { return std::string(kScratchKey) + "\\" + below; }

  long OpenScratch(const std::string& below, std::uint32_t access, ScopedRegKey* key) {
    return key->Open(kHkeyCurrentUser, below.empty() ? kScratchKey : Path(below), access);
  }

  // Queries into a guarded buffer: the bytes past the room given must stay
  // untouched, whatever the call answers.
  long Query(RegKey key, const std::string& name, std::uint32_t room, std::uint32_t* type,
             std::string* data, std::uint32_t* size) {
    constexpr unsigned char kGuard = 0xA5;
    std::vector<unsigned char> buffer(room + 16, kGuard);
    *size = room;
    const long result = Os().QueryRegistryValue(key, name, type, buffer.data(), size);
    for (std::size_t i = room; i < buffer.size(); ++i) {
      EXPECT_EQ(buffer[i], kGuard) << "written past the room given, at " << i;
    }
    if (result == kErrorSuccess) data->assign(reinterpret_cast<char*>(buffer.data()), *size);
    return result;
  }
};

TEST_F(RegistryContractTest, OpensExistingKeysOnlyAndIgnoresCase) {
  m_machine.CreateKey(kHkeyCurrentUser, Path("Product\\Settings"));
  ScopedRegKey key;
  EXPECT_EQ(OpenScratch("Product\\Settings", kKeyRead, &key), kErrorSuccess);
  EXPECT_TRUE(key.IsOpen());
  EXPECT_EQ(OpenScratch("PRODUCT\\settings", kKeyAllAccess, &key), kErrorSuccess);
  EXPECT_EQ(OpenScratch("Product\\Missing", kKeyRead, &key), kErrorFileNotFound);
  EXPECT_FALSE(key.IsOpen());

  // An open key is a parent for further opens; an empty path opens the
  // parent itself, also a root.
  ScopedRegKey parent;
  ASSERT_EQ(OpenScratch("Product", kKeyRead, &parent), kErrorSuccess);
  ScopedRegKey child;
  EXPECT_EQ(child.Open(parent.Get(), "Settings", kKeyRead), kErrorSuccess);
  EXPECT_EQ(child.Open(parent.Get(), "", kKeyRead), kErrorSuccess);
  ScopedRegKey root;
  EXPECT_EQ(root.Open(kHkeyCurrentUser, "", kKeyRead), kErrorSuccess);
  EXPECT_EQ(child.Open(root.Get(), kScratchKey, kKeyRead), kErrorSuccess);
}

// Values come back with their type and bytes as stored (an expandable text
// is not expanded), into at most the room given; names ignore case.
TEST_F(RegistryContractTest, ValuesComeBackAsStored) {
  const struct {
    const char* name;
    std::uint32_t type;
    std::string bytes;
  } stored[] = {
      {"Fits", kRegBinary, std::string(500, 'F')},
      {"TooLong", kRegBinary, std::string(501, 'L')},
      {"Multi", kRegMultiSz, std::string("first\0second\0\0", 14)},
      {"Expand", kRegExpandSz, std::string("%SystemRoot%\\K-WARD\0", 20)},
      {"Number", kRegDword, std::string("\x2A\x00\x00\x00", 4)},
      {"", kRegSz, std::string("kwt_auto_file\0", 14)},
  };
  for (const auto& value : stored) {
    m_machine.SetValue(kHkeyCurrentUser, kScratchKey, value.name, value.type, value.bytes);
  }
  ScopedRegKey key;
  ASSERT_EQ(OpenScratch("", kKeyAllAccess, &key), kErrorSuccess);
  for (const auto& value : stored) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::string data;
    std::string name = value.name;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const long result = Query(key.Get(), name, 500, &type, &data, &size);
    EXPECT_EQ(size, value.bytes.size()) << value.name;
    if (value.bytes.size() > 500) {
      EXPECT_EQ(result, kErrorMoreData) << value.name;
      continue;
    }
    EXPECT_EQ(result, kErrorSuccess) << value.name;
    EXPECT_EQ(type, value.type) << value.name;
    EXPECT_EQ(data, value.bytes) << value.name;
  }
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  std::string data;
  EXPECT_EQ(Query(key.Get(), "Missing", 500, &type, &data, &size), kErrorFileNotFound);
  EXPECT_EQ(Os().DeleteRegistryValue(key.Get(), ""), kErrorSuccess);
  EXPECT_EQ(Query(key.Get(), "", 500, &type, &data, &size), kErrorFileNotFound);
  EXPECT_EQ(Os().DeleteRegistryValue(key.Get(), "Missing"), kErrorFileNotFound);
}

TEST_F(RegistryContractTest, SubkeysEnumerateInOrderWithTheirCase) {
  for (const char* name : {"Charlie", "alpha", "Bravo"}) {
    m_machine.CreateKey(kHkeyCurrentUser, Path(std::string("List\\") + name));
  }
  ScopedRegKey key;
  ASSERT_EQ(OpenScratch("List", kKeyAllAccess, &key), kErrorSuccess);
  std::vector<std::string> names;
  for (std::uint32_t index = 0;; ++index) {
    char name[500] = {};
    std::uint32_t size = sizeof name;
    const long result = Os().EnumRegistrySubkey(key.Get(), index, name, &size);
    if (result == kErrorNoMoreItems) break;
    ASSERT_EQ(result, kErrorSuccess);
    EXPECT_EQ(size, std::string(name).size());
    names.push_back(name);
    ASSERT_LT(index, 10u);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"alpha", "Bravo", "Charlie"}));

  char tiny[3] = {};
  std::uint32_t size = sizeof tiny;
  EXPECT_EQ(Os().EnumRegistrySubkey(key.Get(), 0, tiny, &size), kErrorMoreData);
}

TEST_F(RegistryContractTest, DeletingKeys) {
  m_machine.CreateKey(kHkeyCurrentUser, Path("Tree\\Child\\Grandchild"));
  m_machine.CreateKey(kHkeyCurrentUser, Path("Leaf"));
  ScopedRegKey scratch;
  ASSERT_EQ(OpenScratch("", kKeyAllAccess, &scratch), kErrorSuccess);

  if (m_machine.RefusesKeysWithSubkeys()) {
    EXPECT_NE(Os().DeleteRegistryKey(scratch.Get(), "Tree"), kErrorSuccess);
    ScopedRegKey still;
    EXPECT_EQ(OpenScratch("Tree\\Child", kKeyRead, &still), kErrorSuccess);
  }

  ScopedRegKey leaf;
  ASSERT_EQ(OpenScratch("Leaf", kKeyRead, &leaf), kErrorSuccess);
  EXPECT_EQ(Os().DeleteRegistryKey(scratch.Get(), "LEAF"), kErrorSuccess);
  ScopedRegKey reopened;
  EXPECT_EQ(OpenScratch("Leaf", kKeyRead, &reopened), kErrorFileNotFound);
  // A handle opened before the deletion no longer reaches anything.
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  std::string data;
  EXPECT_NE(Query(leaf.Get(), "x", 500, &type, &data, &size), kErrorSuccess);

  EXPECT_EQ(Os().DeleteRegistryKey(scratch.Get(), "Leaf"), kErrorFileNotFound);
}

#ifdef _WIN32
// Every text of the catalogue comes back from the string table that the
// build generates from it, and the numbers in between have none.  (The
// simulated machine's table is compiled from the same file.)
TEST_F(RegistryContractTest, CatalogueTextsComeBackExactly) {
  const std::map<unsigned, std::string> catalogue = {
#define KW_MESSAGE(id, text) {id, text},
#include "resources/catalogue.def"
#undef KW_MESSAGE
  };
  for (unsigned id = 0; id < 150; ++id) {
    auto it = catalogue.find(id);
    EXPECT_EQ(Os().CatalogueText(id), it == catalogue.end() ? std::string() : it->second) << id;
  }
}
#endif

}  // namespace
}  // namespace kw::contract
