// CRegistry on the simulated machine: reading a value, removing keys and
// values where key deletion refuses keys with subkeys (Windows NT) and where
// it takes them along (Windows 95), and what of the registry clean-up stage
// the random machines cannot show; and that the handle owners close through
// the port that opened them.
#include "components/registry.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/uninstall_app.h"
#include "components/run_record.h"
#include "platform/scoped_handles.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using Entries = std::vector<std::string>;
using testing::ErrorOf;

// Writes a machine, one entry each: a key ("CU Software\\T"), a text value
// ("LM Key [name]=text") or a switch of a key ("!read CR Key"); roots are
// CU, LM and CR.
void Build(sim::SimRegistry& r, const Entries& entries) {
  static const std::map<std::string, bool sim::KeySwitches::*> kSwitches = {
      {"read", &sim::KeySwitches::refuseRead}, {"full", &sim::KeySwitches::refuseFullAccess},
      {"delete", &sim::KeySwitches::refuseDeletion}, {"fake", &sim::KeySwitches::fakeDeletion},
      {"values", &sim::KeySwitches::refuseValueDeletion},
      {"dangling", &sim::KeySwitches::dangling}};
  for (std::string entry : entries) {
    std::string flag;
    if (entry[0] == '!') {
      flag = entry.substr(1, entry.find(' ') - 1);
      entry.erase(0, flag.size() + 2);
    }
    const RegKey root = entry[0] == 'L' ? kHkeyLocalMachine
                        : entry[1] == 'U' ? kHkeyCurrentUser : kHkeyClassesRoot;
    const std::string key = entry.substr(3, entry.find(" [") - 3);
    const std::string::size_type name = entry.find(" [") + 2, close = entry.find("]=");
    if (!flag.empty()) {
      r.Switches(root, key).*kSwitches.at(flag) = true;
    } else if (close != std::string::npos) {
      r.SetString(root, key, entry.substr(name, close - name), entry.substr(close + 2));
    } else {
      r.CreateKey(root, key);
    }
  }
}

class RegistryTest : public testing::SimTest {
 protected:
  CRegistry m_registry;
};

// --- Reading ------------------------------------------------------------------

// The text is exactly the bytes returned, up to a zero byte; a failed read
// leaves the caller's text alone.  Reading the error clears it.  (Any type
// is read as text: the fuzz target's.)
TEST_F(RegistryTest, ReadStringValue) {
  constexpr const char* kKey = "Software\\Values";
  Build(Registry(), {"CU Software\\Locked [v]=secret", "!read CU Software\\Locked"});
  const struct {
    const char* path;
    const char* name;
    std::uint32_t type;  // stored under kKey unless kRegNone
    std::string stored;
    bool read;
    std::string text;  // afterwards, from "earlier text"
    std::string error;
  } cases[] = {
      {kKey, "TooLong", kRegSz, std::string(501, 'B'), false, "earlier text", "116 Software\\Values"},
      {kKey, "Full", kRegBinary, std::string(500, 'A'), true, std::string(500, 'A'), "0 "},
      {kKey, "Short", kRegExpandSz, "C:\\X", true, "C:\\X", "0 "},  // stored without its terminator
      {kKey, "NoData", kRegSz, "", true, "", "0 "},
      {kKey, "Blanks", kRegSz, "  C:\\K-WARD\\ ", true, "  C:\\K-WARD\\ ", "0 "},
      {kKey, "Multi", kRegMultiSz, std::string("first\0second\0\0", 14), false, "first",
       "135 Software\\Values"},
      {"\\Software\\Values", "Missing", kRegNone, "", false, "earlier text", "116 \\Software\\Values"},
      {"\\Software\\Missing\\", "v", kRegNone, "", false, "earlier text", "115 Software\\Missing"},
      {"Software\\Locked", "v", kRegNone, "", false, "earlier text", "115 Software\\Locked"},
  };
  for (const auto& c : cases) {
    if (c.type != kRegNone) Registry().SetValue(kHkeyCurrentUser, kKey, c.name, c.type, c.stored);
    std::string text = "earlier text";
    EXPECT_EQ(m_registry.ReadStringValue(kHkeyCurrentUser, c.path, c.name, text), c.read) << c.name;
    EXPECT_EQ(text, c.text) << c.name;
    EXPECT_EQ(ErrorOf(m_registry), c.error) << c.name;
  }
}

TEST_F(RegistryTest, KeysAndValuesExistWhenReadable) {
  Build(Registry(), {"CU V []=", "CU V [Named]=", "CU V [TooLong]=" + std::string(500, 'B'),
                     "CU L", "!read CU L"});
  CRegistry& r = m_registry;
  EXPECT_TRUE(r.KeyExists(kHkeyCurrentUser, "\\V\\"));
  EXPECT_TRUE(r.KeyExists(kHkeyCurrentUser, "\\"));  // the root itself
  EXPECT_FALSE(r.KeyExists(kHkeyCurrentUser, "L"));
  EXPECT_FALSE(r.KeyExists(kHkeyCurrentUser, "Missing"));
  EXPECT_TRUE(r.ValueExists(kHkeyCurrentUser, "V", "Named"));  // named, without text: present
  EXPECT_FALSE(r.ValueExists(kHkeyCurrentUser, "V", ""));      // unnamed and empty: absent
  EXPECT_FALSE(r.ValueExists(kHkeyCurrentUser, "V", "TooLong"));
  EXPECT_EQ(ErrorOf(r), "0 ");
}

// Newest index first, the cursor left at the end; an empty key names the
// path as the caller wrote it.
TEST_F(RegistryTest, EnumSubkeysListsInReverse) {
  Build(Registry(), {"CU K\\A", "CU K\\B", "CU K\\C", "CU E"});
  CCursorStringList list;
  EXPECT_TRUE(m_registry.EnumSubkeys(kHkeyCurrentUser, "K", list));
  EXPECT_TRUE(list.IsAtEnd());
  std::string names, name;
  for (list.Rewind(); list.GetNextString(name);) names += name;
  EXPECT_EQ(names, "CBA");
  EXPECT_FALSE(m_registry.EnumSubkeys(kHkeyCurrentUser, "\\E\\", list));
  EXPECT_EQ(ErrorOf(m_registry), "143 \\E\\");
}

// Closed through whatever machine is in place by then, the handles would
// stay open on this one, as the fixture's check would find.
TEST_F(RegistryTest, HandlesCloseThroughThePortThatOpenedThem) {
  Files().AddFile("C:\\A.TXT");
  ScopedRegKey key;
  ScopedFile file;
  ScopedFind search;
  FindEntry entry;
  ASSERT_EQ(key.Open(kHkeyCurrentUser, "", kKeyRead), kErrorSuccess);
  ASSERT_TRUE(file.Open("C:\\A.TXT", FileOpenMode::kReadExisting));
  ASSERT_TRUE(search.First("C:\\*", &entry));
  sim::SimMachine another;
  const ScopedPlatformOverride inPlace(another);
  key.Close();
  file.Close();
  search.Close();
}

// --- The removals ------------------------------------------------------------

// kStage: the registry clean-up stage, for what the random machines cannot
// tell apart.
enum class Op { kTree, kKey, kSubkeys, kValue, kStage };
const std::string kOurs = "CR .KWT []=kwt_auto_file";
const char* const kOther = "CU Software\\Halvern Software\\K-Other\\X";
const char* const kIncRefusesWriting = "!full CU Software\\Halvern Software Systems, Inc.";
const std::string kHalvern = "HKEY_CURRENT_USER\\Software\\Halvern Software";
const std::string kInc = kHalvern + " Systems, Inc.";

// The record's lines of the registry items the stage kept.
std::string KeptByTheStage() {
  std::string kept;
  for (const std::string& line : CRunRecord::Lines()) {
    if (line.rfind("registry: kept ", 0) != 0) continue;
    kept += (kept.empty() ? "" : "\n") + line.substr(15);
  }
  return kept;
}

// On Windows NT, unless the row says 95: no other row depends on the version.
struct RemovalCase {
  const char* name;
  bool windows95;
  Entries machine;
  Op op;
  const char* path;  // below HKCU
  const char* valueName;
  bool result;
  std::string error;  // code and argument; for the stage, the items its record says it kept
  Entries left;
};
void PrintTo(const RemovalCase& c, std::ostream* os) { *os << c.name; }

const std::vector<RemovalCase> kRemovals = {
    // NT refuses A while A1 is there: A is cleared first, and the refusal
    // stays recorded although the tree went.
    {"DepthFirst", false, {"CU T\\A\\A1", "CU T\\B", "CU Other"}, Op::kTree, "\\T\\\\", "", true,
     "117 A", {"CU Other"}},
    {"Whole", true, {"CU T\\A\\A1", "CU T\\B", "CU Other"}, Op::kTree, "\\T\\\\", "", true, "0 ",
     {"CU Other"}},
    // The names are used exactly, also in the paths of the recursion.
    {"NamesWithBlanksAtEitherEnd", false, {"CU T\\ Lead\\x", "CU T\\Trail \\y"}, Op::kTree, "T",
     "", true, "117 Trail ", {}},
    {"SubkeyThatNeverGoes", false, {"CU T\\A\\A1", "CU T\\B", "!delete CU T\\A"}, Op::kTree, "T",
     "", false, "117 T\\A", {"CU T\\A", "CU T\\B"}},
    // Listed, yet missing when opened: it counts as gone, and comes again.
    {"SubkeyThatOpensAsMissing", false, {"CU T\\A", "!dangling CU T\\A"}, Op::kTree, "T", "",
     false, "117 T\\A", {"CU T\\A"}},
    {"RefusesReadingYetIsThere", false, {"CU T", "!read CU T"}, Op::kTree, "T", "", false,
     "115 T", {"CU T"}},
    {"DeletionReportedButKeyStays", false, {"CU T", "!fake CU T"}, Op::kTree, "T", "", false,
     "134 T", {"CU T"}},
    // The root is never a target, however the path is written.
    {"RootTree", false, {"CU T"}, Op::kTree, "\\\\", "", false, "117 \\\\", {"CU T"}},
    {"RootKey", false, {"CU T"}, Op::kKey, "\\", "", false, "117 \\", {"CU T"}},
    {"RootSubkeys", false, {"CU T"}, Op::kSubkeys, "\\", "", false, "117 \\", {"CU T"}},
    {"RootValue", false, {"CU T"}, Op::kValue, "\\", "v", false, "117 \\", {"CU T"}},
    {"MissingKey", false, {"CU Other"}, Op::kKey, "T", "", true, "0 ", {"CU Other"}},
    {"SubkeysOfMissingKey", false, {"CU Other"}, Op::kSubkeys, "T", "", true, "0 ", {"CU Other"}},
    {"ParentRefusesWriting", false, {"CU P\\T", "!full CU P"}, Op::kTree, "P\\T", "", false,
     "115 P", {"CU P\\T"}},
    {"NamedEmptyValueGoes", false, {"CU V [N]="}, Op::kValue, "V", "N", true, "0 ", {"CU V"}},
    {"EmptyUnnamedValueIsNone", false, {"CU V []="}, Op::kValue, "V", "", true, "0 ", {"CU V []="}},
    {"ValueDeletionRefused", false, {"CU V [ZRP95]=x", "!values CU V"}, Op::kValue, "\\V\\", "ZRP95",
     false, "117 V", {"CU V [ZRP95]=x"}},
    {"ValueInKeyRefusingReading", false, {"CU V [ZRP95]=x", "!read CU V"}, Op::kValue, "V",
     "ZRP95", false, "115 V", {"CU V [ZRP95]=x"}},
    // Longer than the 500 bytes a value is read into: a start-up entry left
    // would run a deleted program at every log-on.
    {"ValueTooLongToRead", false, {"CU V [ZRP95]=" + std::string(520, 'x'), "CU V [VMM32]=y"},
     Op::kValue, "V", "ZRP95", true, "0 ", {"CU V [VMM32]=y"}},
    // The extension's class is compared exactly: in another case it is
    // another program's.
    {"StageKeepsOurClassInAnotherCase", false, {"CR .KWT []=KWT_AUTO_FILE"}, Op::kStage, "", "",
     true, "HKEY_CLASSES_ROOT\\.KWT (it names another class, \"KWT_AUTO_FILE\")", {"CR .KWT []=KWT_AUTO_FILE"}},
    // The second company key cannot be listed: the names of the first
    // listing are still in the list and keep it from being deleted.
    {"StageSecondListingKeepsTheFirstNames", false, {kOurs, kOther, kIncRefusesWriting},
     Op::kStage, "", "", true,
     kHalvern + " (it may hold keys of another product)\n" + kInc +
         " (it may hold keys of another product)",
     {kOther, kIncRefusesWriting}},
    {"StageSecondListingWithNothingBefore", false, {kOurs, kIncRefusesWriting}, Op::kStage, "", "",
     false, kInc + " (The key Software\\Halvern Software Systems, Inc. failed to open)",
     {kIncRefusesWriting}},
};

class RegistryRemovalTest : public RegistryTest,
                            public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(RegistryRemovalTest, RemovesExactlyWhatItShould) {
  const RemovalCase& c = GetParam();
  if (c.windows95) Machine().BecomeWindows95();
  Build(Registry(), c.machine);
  CRegistry& r = m_registry;
  const RegKey cu = kHkeyCurrentUser;
  CTrimString taskDir;
  EXPECT_EQ(c.op == Op::kStage     ? CUninstallApp().RemoveRegistryItems(taskDir)
            : c.op == Op::kTree    ? r.DeleteKeyTree(cu, c.path)
            : c.op == Op::kKey     ? r.DeleteKey(cu, c.path)
            : c.op == Op::kSubkeys ? r.DeleteSubkeys(cu, c.path)
                                   : r.DeleteValue(cu, c.path, c.valueName),
            c.result);
  EXPECT_EQ(c.op == Op::kStage ? KeptByTheStage() : ErrorOf(r), c.error);
  sim::SimRegistry expected;
  Build(expected, c.left);
  EXPECT_EQ(Registry().Dump(), expected.Dump());
}

auto Named = [](const auto& row) { return std::string(row.param.name); };
INSTANTIATE_TEST_SUITE_P(Machines, RegistryRemovalTest, ::testing::ValuesIn(kRemovals), Named);

}  // namespace
}  // namespace kw
