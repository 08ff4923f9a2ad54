// Removing registry keys and values where key deletion refuses keys with
// subkeys (Windows NT) and where it takes them along (Windows 95).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "components/registry.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

enum class On { kNt, k95, kBoth };
enum class Op { kTree, kKey, kSubkeys, kValue };

// Machines are written below HKCU\Software, one entry each: a key
// ("T\\A"), a text value ("V [name]=text") or a switch of a key ("!read T").
struct Case {
  const char* name;
  On on;
  std::vector<std::string> machine;
  Op op;
  const char* path;
  const char* valueName;
  bool result;
  std::int32_t code;
  std::string argument;
  std::vector<std::string> left;  // keys and "key [value]" afterwards
  bool windows95 = false;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

void Build(sim::SimRegistry& r, const std::string& entry) {
  static const std::map<std::string, bool sim::KeySwitches::*> kSwitches = {
      {"read", &sim::KeySwitches::refuseRead},     {"full", &sim::KeySwitches::refuseFullAccess},
      {"delete", &sim::KeySwitches::refuseDeletion}, {"fake", &sim::KeySwitches::fakeDeletion},
      {"values", &sim::KeySwitches::refuseValueDeletion}};
  const std::string::size_type blank = entry.find(' '), value = entry.find(" [");
  if (entry[0] == '!') {
    r.Switches(kHkeyCurrentUser, "Software\\" + entry.substr(blank + 1)).*
        kSwitches.at(entry.substr(1, blank - 1)) = true;
  } else if (value != std::string::npos) {
    const std::string::size_type close = entry.find("]=");
    r.SetString(kHkeyCurrentUser, "Software\\" + entry.substr(0, value),
                entry.substr(value + 2, close - value - 2), entry.substr(close + 2));
  } else {
    r.CreateKey(kHkeyCurrentUser, "Software\\" + entry);
  }
}

const std::string kLong = "V [ZRP95]=" + std::string(600, 'L');  // beyond the 500 bytes read
const std::vector<Case> kCases = {
    // NT refuses A while A1 is there: A is cleared first, and the refusal
    // stays recorded although the tree went.
    {"DepthFirst", On::kNt, {"T\\A\\A1", "T\\B", "Other"}, Op::kTree, "\\Software\\T\\\\", "",
     true, 117, "A", {"Other"}},
    {"Whole", On::k95, {"T\\A\\A1", "T\\B", "Other"}, Op::kTree, "\\Software\\T\\\\", "", true, 0,
     "", {"Other"}},
    // The names are used exactly, also in the paths of the recursion.
    {"NamesWithBlanksAtEitherEnd", On::kNt, {"T\\ Lead\\x", "T\\Trail \\y"}, Op::kTree,
     "Software\\T", "", true, 117, "Trail ", {}},
    {"SubkeyThatNeverGoes", On::kBoth, {"T\\A\\A1", "T\\B", "!delete T\\A"}, Op::kTree,
     "Software\\T", "", false, 117, "Software\\T\\A", {"T", "T\\A", "T\\B"}},
    {"ReadableButNotWritable", On::kBoth, {"T\\A", "!full T"}, Op::kTree, "Software\\T", "", false,
     115, "Software\\T", {"T", "T\\A"}},
    {"RefusesReadingYetIsThere", On::kBoth, {"T", "!read T"}, Op::kTree, "Software\\T", "", false,
     115, "Software\\T", {"T"}},
    {"DeletionReportedButKeyStays", On::kBoth, {"T", "!fake T"}, Op::kTree, "Software\\T", "",
     false, 134, "T", {"T"}},
    {"SubkeysOnly", On::kNt, {"T\\A\\A1", "T\\B"}, Op::kSubkeys, "Software\\T", "", true, 117, "A",
     {"T"}},
    // The root is never a target, however the path is written.
    {"RootTree", On::kBoth, {"T"}, Op::kTree, "\\\\", "", false, 117, "\\\\", {"T"}},
    {"RootKey", On::kBoth, {"T"}, Op::kKey, "\\", "", false, 117, "\\", {"T"}},
    {"RootSubkeys", On::kBoth, {"T"}, Op::kSubkeys, "\\", "", false, 117, "\\", {"T"}},
    {"RootValue", On::kBoth, {"T"}, Op::kValue, "\\", "v", false, 117, "\\", {"T"}},
    {"LongValue", On::kBoth, {kLong, "V [Sibling]=s"}, Op::kValue, "\\Software\\V\\", "ZRP95",
     true, 0, "", {"V", "V [Sibling]"}},
    {"EmptyUnnamedValueIsNone", On::kBoth, {"V []="}, Op::kValue, "Software\\V", "", true, 0, "",
     {"V", "V []"}},
    {"ValueDeletionRefused", On::kBoth, {"V [ZRP95]=x", "!values V"}, Op::kValue, "Software\\V",
     "ZRP95", false, 117, "Software\\V", {"V", "V [ZRP95]"}},
    {"ValueInKeyRefusingReading", On::kBoth, {"V [ZRP95]=x", "!read V"}, Op::kValue,
     "Software\\V", "ZRP95", false, 115, "Software\\V", {"V", "V [ZRP95]"}},
};

std::vector<Case> CasesOn(bool windows95) {
  std::vector<Case> cases;
  for (Case c : kCases) {
    c.windows95 = windows95;
    if (c.on != (windows95 ? On::kNt : On::k95)) cases.push_back(c);
  }
  return cases;
}

class RegistryRemovalTest : public testing::SimTest, public ::testing::WithParamInterface<Case> {};

TEST_P(RegistryRemovalTest, RemovesExactlyWhatItShould) {
  const Case& c = GetParam();
  if (c.windows95) Machine().BecomeWindows95();
  for (const std::string& entry : c.machine) Build(Registry(), entry);
  CRegistry r;
  const RegKey cu = kHkeyCurrentUser;
  EXPECT_EQ(c.op == Op::kTree      ? r.DeleteKeyTree(cu, c.path)
            : c.op == Op::kKey     ? r.DeleteKey(cu, c.path)
            : c.op == Op::kSubkeys ? r.DeleteSubkeys(cu, c.path)
                                   : r.DeleteValue(cu, c.path, c.valueName),
            c.result);
  std::int32_t code = 0;
  std::string argument;
  r.GetError(code, argument);
  EXPECT_EQ(code, c.code);
  EXPECT_EQ(argument, c.argument);
  const std::string below = "HKEY_CURRENT_USER\\Software\\";
  std::vector<std::string> left;
  for (const std::string& line : Registry().Dump()) {
    if (line.rfind(below, 0) != 0) continue;
    left.push_back(line.substr(below.size(), line.find(" type ") - below.size()));  // no data
  }
  EXPECT_EQ(left, c.left);
}

auto Named = [](const auto& info) { return std::string(info.param.name); };
INSTANTIATE_TEST_SUITE_P(Nt, RegistryRemovalTest, ::testing::ValuesIn(CasesOn(false)), Named);
INSTANTIATE_TEST_SUITE_P(Win95, RegistryRemovalTest, ::testing::ValuesIn(CasesOn(true)), Named);

}  // namespace
}  // namespace kw
