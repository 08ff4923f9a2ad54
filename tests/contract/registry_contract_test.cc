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

using Names = std::vector<std::string>;

class RegistryContractTest : public ContractTest {
 protected:
  static long Open(const std::string& below, ScopedRegKey* key) {
    return key->Open(kHkeyCurrentUser, below.empty() ? kScratchKey : Key(below), kKeyAllAccess);
  }
  // Queries into 500 bytes of a guarded buffer: the bytes past them must
  // stay untouched, whatever the call answers.
  static long Query(RegKey key, const std::string& name, std::uint32_t* type, std::string* data) {
    constexpr unsigned char kGuard = 0xA5;
    std::vector<unsigned char> buffer(500 + 16, kGuard);
    std::uint32_t size = 500;
    const long result = Os().QueryRegistryValue(key, name, type, buffer.data(), &size);
    for (std::size_t i = 500; i < buffer.size(); ++i) {
      EXPECT_EQ(buffer[i], kGuard) << "written past the room given, at " << i;
    }
    data->assign(reinterpret_cast<char*>(buffer.data()), result == kErrorSuccess ? size : 0);
    if (result == kErrorMoreData) *data = std::to_string(size) + " bytes";
    return result;
  }
  static Names Subkeys(RegKey key) {
    Names names;
    for (std::uint32_t index = 0; index < 10; ++index) {
      char name[500] = {};
      std::uint32_t size = sizeof name;
      if (Os().EnumRegistrySubkey(key, index, name, &size) != kErrorSuccess) break;
      EXPECT_EQ(size, std::string(name).size());
      names.emplace_back(name, size);
    }
    return names;
  }
};

// Values come back with their type and bytes as stored (an expandable text
// is not expanded); names ignore case.  A value longer than the room given
// is there all the same (more data), named or not, and is deleted like any
// other.
TEST_F(RegistryContractTest, ValuesComeBackAsStoredAndGoEvenWhenTooLong) {
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
      {"", kRegSz, std::string(600, 'U') + '\0'},
  };
  for (const auto& value : stored) {
    m_machine.SetValue(kHkeyCurrentUser, kScratchKey, value.name, value.type, value.bytes);
  }
  ScopedRegKey key;
  ASSERT_EQ(Open("", &key), kErrorSuccess);
  for (const auto& value : stored) {
    std::uint32_t type = 0;
    std::string data;
    std::string upper = value.name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const bool fits = value.bytes.size() <= 500;
    EXPECT_EQ(Query(key.Get(), upper, &type, &data),
              fits ? kErrorSuccess : kErrorMoreData) << value.name;
    EXPECT_EQ(data, fits ? value.bytes : std::to_string(value.bytes.size()) + " bytes");
    EXPECT_TRUE(!fits || type == value.type) << value.name;
  }
  for (const char* name : {"toolong", ""}) {
    std::uint32_t type = 0;
    std::string data;
    EXPECT_EQ(Os().DeleteRegistryValue(key.Get(), name), kErrorSuccess) << name;
    EXPECT_EQ(Query(key.Get(), name, &type, &data), kErrorFileNotFound) << name;
    EXPECT_EQ(Os().DeleteRegistryValue(key.Get(), name), kErrorFileNotFound) << name;
  }
  std::uint32_t type = 0;
  std::string data;
  EXPECT_EQ(Query(key.Get(), "Fits", &type, &data), kErrorSuccess);
}

TEST_F(RegistryContractTest, SubkeysEnumerateInOrderWithTheirCase) {
  for (const char* name : {"Charlie", "alpha", "Bravo"}) {
    m_machine.CreateKey(kHkeyCurrentUser, Key(std::string("List\\") + name));
  }
  ScopedRegKey key;
  ASSERT_EQ(Open("List", &key), kErrorSuccess);
  EXPECT_EQ(Subkeys(key.Get()), (Names{"alpha", "Bravo", "Charlie"}));
  char tiny[3] = {};
  std::uint32_t size = sizeof tiny;
  EXPECT_EQ(Os().EnumRegistrySubkey(key.Get(), 0, tiny, &size), kErrorMoreData);
  EXPECT_EQ(Os().EnumRegistrySubkey(key.Get(), 3, tiny, &size), kErrorNoMoreItems);
}

// Depth first: a key goes once its subkeys have gone (at once on Windows
// 95), and index 0 then names the next subkey that remains.  Names keep
// blanks at either end and ignore case.  Only "not found" tells that a key
// is absent, also when a key on the way is missing; a key opened before its
// deletion reaches nothing.  An open key is a parent for further opens, and
// an empty path opens a root itself.
TEST_F(RegistryContractTest, ATreeGoesDepthFirstAndSubkeysRenumber) {
  m_machine.CreateKey(kHkeyCurrentUser, Key("Tree\\ Lead\\Deep"));
  m_machine.CreateKey(kHkeyCurrentUser, Key("Tree\\Trail "));
  ScopedRegKey tree, lead;
  ASSERT_EQ(Open("TREE", &tree), kErrorSuccess);
  ASSERT_EQ(lead.Open(tree.Get(), " Lead", kKeyAllAccess), kErrorSuccess);
  EXPECT_EQ(Subkeys(tree.Get()), (Names{" Lead", "Trail "}));
  if (m_machine.RefusesKeysWithSubkeys()) {
    EXPECT_NE(Os().DeleteRegistryKey(tree.Get(), " Lead"), kErrorSuccess);
    EXPECT_EQ(Os().DeleteRegistryKey(lead.Get(), "DEEP"), kErrorSuccess);
  }
  EXPECT_EQ(Os().DeleteRegistryKey(tree.Get(), " Lead"), kErrorSuccess);
  EXPECT_EQ(Open("Tree\\ Lead\\Deep", &tree), kErrorFileNotFound);
  EXPECT_EQ(Subkeys(lead.Get()), Names{});
  ASSERT_EQ(Open("Tree", &tree), kErrorSuccess);
  EXPECT_EQ(Subkeys(tree.Get()), Names{"Trail "});
  EXPECT_EQ(Os().DeleteRegistryKey(tree.Get(), "trail "), kErrorSuccess);
  EXPECT_TRUE(Subkeys(tree.Get()).empty());
  tree.Close();
  ScopedRegKey root, scratch;
  ASSERT_EQ(root.Open(kHkeyCurrentUser, "", kKeyAllAccess), kErrorSuccess);
  ASSERT_EQ(scratch.Open(root.Get(), kScratchKey, kKeyAllAccess), kErrorSuccess);
  EXPECT_EQ(Os().DeleteRegistryKey(scratch.Get(), "Tree"), kErrorSuccess);
  EXPECT_EQ(Open("Tree", &tree), kErrorFileNotFound);
  EXPECT_EQ(Os().DeleteRegistryKey(scratch.Get(), "Tree"), kErrorFileNotFound);
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
