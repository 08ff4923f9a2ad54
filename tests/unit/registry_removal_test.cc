// Listing and removing registry keys and values, where key deletion refuses
// keys with subkeys (Windows NT) and where it takes them along (Windows 95).
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "components/registry.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

constexpr const char* kDumpPrefix = "HKEY_CURRENT_USER\\Software\\";

enum class On { kNt, k95, kBoth };

struct RemovalCase {
  const char* name;
  On on;
  std::vector<std::string> keys;                     // created below HKCU\Software
  std::function<void(sim::SimRegistry&)> arrange;    // switches, values
  std::function<bool(CRegistry&)> act;
  bool result;
  std::int32_t code;
  std::string argument;
  std::vector<std::string> left;  // keys and values below HKCU\Software afterwards
};

void PrintTo(const RemovalCase& c, std::ostream* os) { *os << c.name; }

RegKey Hkcu() { return kHkeyCurrentUser; }
std::function<void(sim::SimRegistry&)> Nothing() { return [](sim::SimRegistry&) {}; }
sim::KeySwitches& SwitchesOf(sim::SimRegistry& registry, const std::string& below) {
  return registry.Switches(kHkeyCurrentUser, "Software\\" + below);
}

std::vector<RemovalCase> Cases() {
  const std::string longText(600, 'L');
  auto tree = [](const char* path) {
    return [path](CRegistry& r) { return r.DeleteKeyTree(Hkcu(), path); };
  };
  auto value = [](const char* name) {
    return [name](CRegistry& r) { return r.DeleteValue(Hkcu(), "\\Software\\V\\", name); };
  };
  return {
      {"missing tree", On::kBoth, {"Other"}, Nothing(), tree("Software\\T"), true, 0, "", {"Other"}},
      // NT refuses A while A1 is there: A is cleared first, and the refusal
      // stays recorded although the tree went.
      {"tree depth first on NT", On::kNt, {"T\\A\\A1", "T\\B", "Other"}, Nothing(),
       tree("\\Software\\T"), true, 117, "A", {"Other"}},
      {"tree on 95", On::k95, {"T\\A\\A1", "T\\B", "Other"}, Nothing(), tree("\\Software\\T"), true,
       0, "", {"Other"}},
      {"trailing backslashes", On::kBoth, {"T\\A"}, Nothing(), tree("Software\\T\\\\"), true, 0,
       "", {}},
      // The names are used exactly, also in the paths of the recursion.
      {"names with blanks at either end", On::kNt, {"T\\ Lead\\x", "T\\Trail \\y"}, Nothing(),
       tree("Software\\T"), true, 117, "Trail ", {}},
      {"subkey that never goes", On::kBoth, {"T\\A\\A1", "T\\B"},
       [](sim::SimRegistry& r) { SwitchesOf(r, "T\\A").refuseDeletion = true; },
       tree("Software\\T"), false, 117, "Software\\T\\A", {"T", "T\\A", "T\\B"}},
      {"readable but not writable", On::kBoth, {"T\\A"},
       [](sim::SimRegistry& r) { SwitchesOf(r, "T").refuseFullAccess = true; }, tree("Software\\T"),
       false, 115, "Software\\T", {"T", "T\\A"}},
      {"refuses reading yet is there", On::kBoth, {"T"},
       [](sim::SimRegistry& r) { SwitchesOf(r, "T").refuseRead = true; }, tree("Software\\T"), false,
       115, "Software\\T", {"T"}},
      {"deletion reported but key stays", On::kBoth, {"T"},
       [](sim::SimRegistry& r) { SwitchesOf(r, "T").fakeDeletion = true; }, tree("Software\\T"),
       false, 134, "T", {"T"}},
      {"subkeys only", On::kNt, {"T\\A\\A1", "T\\B"}, Nothing(),
       [](CRegistry& r) { return r.DeleteSubkeys(Hkcu(), "Software\\T"); }, true, 117, "A", {"T"}},
      // The root is never a target, however the path is written.
      {"root refused by the tree", On::kBoth, {"T"}, Nothing(), tree("\\\\"), false, 117, "\\\\",
       {"T"}},
      {"root refused by the key", On::kBoth, {"T"}, Nothing(),
       [](CRegistry& r) { return r.DeleteKey(Hkcu(), ""); }, false, 117, "", {"T"}},
      {"root refused by the subkeys", On::kBoth, {"T"}, Nothing(),
       [](CRegistry& r) { return r.DeleteSubkeys(Hkcu(), "\\"); }, false, 117, "\\", {"T"}},
      {"root refused by the value", On::kBoth, {"T"},
       [](sim::SimRegistry& r) { r.SetString(kHkeyCurrentUser, "", "v", "x"); },
       [](CRegistry& r) { return r.DeleteValue(Hkcu(), "\\", "v"); }, false, 117, "\\", {"T"}},
      // Values.
      {"long value is there and goes", On::kBoth, {},
       [longText](sim::SimRegistry& r) {
         r.SetString(kHkeyCurrentUser, "Software\\V", "ZRP95", longText);
         r.SetString(kHkeyCurrentUser, "Software\\V", "Sibling", "s");
       },
       value("ZRP95"), true, 0, "", {"V", "V [Sibling]"}},
      {"unnamed value holding text goes", On::kBoth, {},
       [](sim::SimRegistry& r) { r.SetString(kHkeyCurrentUser, "Software\\V", "", "{guid}"); },
       value(""), true, 0, "", {"V"}},
      {"empty unnamed value counts as none", On::kBoth, {},
       [](sim::SimRegistry& r) { r.SetString(kHkeyCurrentUser, "Software\\V", "", ""); }, value(""),
       true, 0, "", {"V", "V []"}},
      {"missing value", On::kBoth, {"V"}, Nothing(), value("ZRP95"), true, 0, "", {"V"}},
      {"missing key", On::kBoth, {}, Nothing(), value("ZRP95"), true, 0, "", {}},
      {"value deletion refused", On::kBoth, {},
       [](sim::SimRegistry& r) {
         r.SetString(kHkeyCurrentUser, "Software\\V", "ZRP95", "x");
         SwitchesOf(r, "V").refuseValueDeletion = true;
       },
       value("ZRP95"), false, 117, "Software\\V", {"V", "V [ZRP95]"}},
      {"value in a key that refuses reading", On::kBoth, {},
       [](sim::SimRegistry& r) {
         r.SetString(kHkeyCurrentUser, "Software\\V", "ZRP95", "x");
         SwitchesOf(r, "V").refuseRead = true;
       },
       value("ZRP95"), false, 115, "Software\\V", {"V", "V [ZRP95]"}},
  };
}

class RegistryRemovalTest : public testing::SimTest,
                            public ::testing::WithParamInterface<std::pair<RemovalCase, bool>> {
 protected:
  // What is left below HKCU\Software: key paths, and "key [value]".
  std::vector<std::string> Left() {
    std::vector<std::string> left;
    for (const std::string& line : Registry().Dump()) {
      if (line.rfind(kDumpPrefix, 0) != 0) continue;
      std::string entry = line.substr(std::string(kDumpPrefix).size());
      const std::string::size_type value = entry.find(" [");
      if (value != std::string::npos) entry = entry.substr(0, entry.find(']', value) + 1);
      left.push_back(entry);
    }
    return left;
  }
};

TEST_P(RegistryRemovalTest, RemovesExactlyWhatItShould) {
  const RemovalCase& c = GetParam().first;
  if (GetParam().second) Machine().BecomeWindows95();
  for (const std::string& key : c.keys) Registry().CreateKey(kHkeyCurrentUser, "Software\\" + key);
  c.arrange(Registry());
  CRegistry registry;
  EXPECT_EQ(c.act(registry), c.result);
  std::int32_t code = 0;
  std::string argument;
  registry.GetError(code, argument);
  EXPECT_EQ(code, c.code);
  EXPECT_EQ(argument, c.argument);
  EXPECT_EQ(Left(), c.left);
}

std::vector<std::pair<RemovalCase, bool>> Runs() {
  std::vector<std::pair<RemovalCase, bool>> runs;
  for (const RemovalCase& c : Cases()) {
    if (c.on != On::k95) runs.emplace_back(c, false);
    if (c.on != On::kNt) runs.emplace_back(c, true);
  }
  return runs;
}

INSTANTIATE_TEST_SUITE_P(Cases, RegistryRemovalTest, ::testing::ValuesIn(Runs()),
                         [](const auto& run) {
                           std::string name = run.param.first.name;
                           name += run.param.second ? " 95" : " NT";
                           for (char& ch : name) {
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

class SubkeyListTest : public testing::SimTest {};

TEST_F(SubkeyListTest, NamesComeInReverseOrderAndTheListIsKeptOnFailure) {
  for (const char* name : {"Bravo", "alpha", " Charlie "}) {
    Registry().CreateKey(kHkeyCurrentUser, std::string("Software\\Co\\") + name);
  }
  Registry().CreateKey(kHkeyCurrentUser, "Software\\Empty");
  Registry().CreateKey(kHkeyCurrentUser, "Software\\Locked\\Sub");
  Registry().Switches(kHkeyCurrentUser, "Software\\Locked").refuseFullAccess = true;

  CRegistry registry;
  CCursorStringList list;
  ASSERT_TRUE(registry.EnumSubkeys(kHkeyCurrentUser, "\\Software\\Co\\", list));
  EXPECT_TRUE(list.IsAtEnd());
  std::vector<std::string> names;
  std::string name;
  for (list.Rewind(); list.GetNextString(name);) names.push_back(name);
  // The platform lists " Charlie ", alpha, Bravo; each went to the head.
  EXPECT_EQ(names, (std::vector<std::string>{"Bravo", "alpha", " Charlie "}));

  std::int32_t code = 0;
  std::string argument;
  EXPECT_FALSE(registry.EnumSubkeys(kHkeyCurrentUser, "Software\\Locked", list));
  registry.GetError(code, argument);
  EXPECT_EQ(code, 115);
  EXPECT_EQ(list.GetCount(), 3);

  EXPECT_FALSE(registry.EnumSubkeys(kHkeyCurrentUser, "\\Software\\Empty", list));
  registry.GetError(code, argument);
  EXPECT_EQ(code, 143);
  EXPECT_EQ(argument, "\\Software\\Empty");
  EXPECT_EQ(list.GetCount(), 0);
}

}  // namespace
}  // namespace kw
