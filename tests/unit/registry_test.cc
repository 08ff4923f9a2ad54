// CRegistry on the simulated machine: reading a value, removing keys and
// values where key deletion refuses keys with subkeys (Windows NT) and where
// it takes them along (Windows 95), and what of the registry clean-up stage
// the random machines cannot show.
#include "components/registry.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/uninstall_app.h"
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
      {"values", &sim::KeySwitches::refuseValueDeletion}};
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
// leaves the caller's text alone.  Reading the error clears it.
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
      {kKey, "Full", kRegSz, std::string(500, 'A'), true, std::string(500, 'A'), "0 "},
      {kKey, "Short", kRegSz, "C:\\X", true, "C:\\X", "0 "},  // stored without its terminator
      {kKey, "NoData", kRegSz, "", true, "", "0 "},
      {kKey, "Number", kRegDword, std::string("ABC\0", 4), true, "ABC", "0 "},
      {kKey, "Expand", kRegExpandSz, std::string("%WINDIR%\\x\0", 11), true, "%WINDIR%\\x", "0 "},
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

// --- The removals ------------------------------------------------------------

enum class Op { kTree, kKey, kSubkeys, kValue };

// On Windows NT, unless the row says 95: no other row depends on the version.
struct RemovalCase {
  const char* name;
  bool windows95;
  Entries machine;
  Op op;
  const char* path;  // below HKCU
  const char* valueName;
  bool result;
  std::string error;  // code and argument
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
    {"RefusesReadingYetIsThere", false, {"CU T", "!read CU T"}, Op::kTree, "T", "", false,
     "115 T", {"CU T"}},
    {"DeletionReportedButKeyStays", false, {"CU T", "!fake CU T"}, Op::kTree, "T", "", false,
     "134 T", {"CU T"}},
    // The root is never a target, however the path is written.
    {"RootTree", false, {"CU T"}, Op::kTree, "\\\\", "", false, "117 \\\\", {"CU T"}},
    {"RootKey", false, {"CU T"}, Op::kKey, "\\", "", false, "117 \\", {"CU T"}},
    {"RootSubkeys", false, {"CU T"}, Op::kSubkeys, "\\", "", false, "117 \\", {"CU T"}},
    {"RootValue", false, {"CU T"}, Op::kValue, "\\", "v", false, "117 \\", {"CU T"}},
    {"EmptyUnnamedValueIsNone", false, {"CU V []="}, Op::kValue, "V", "", true, "0 ", {"CU V []="}},
    {"ValueDeletionRefused", false, {"CU V [ZRP95]=x", "!values CU V"}, Op::kValue, "V", "ZRP95",
     false, "117 V", {"CU V [ZRP95]=x"}},
    {"ValueInKeyRefusingReading", false, {"CU V [ZRP95]=x", "!read CU V"}, Op::kValue, "V",
     "ZRP95", false, "115 V", {"CU V [ZRP95]=x"}},
};

class RegistryRemovalTest : public RegistryTest,
                            public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(RegistryRemovalTest, RemovesExactlyWhatItShould) {
  const RemovalCase& c = GetParam();
  if (c.windows95) Machine().BecomeWindows95();
  Build(Registry(), c.machine);
  CRegistry r;
  const RegKey cu = kHkeyCurrentUser;
  EXPECT_EQ(c.op == Op::kTree      ? r.DeleteKeyTree(cu, c.path)
            : c.op == Op::kKey     ? r.DeleteKey(cu, c.path)
            : c.op == Op::kSubkeys ? r.DeleteSubkeys(cu, c.path)
                                   : r.DeleteValue(cu, c.path, c.valueName),
            c.result);
  EXPECT_EQ(ErrorOf(r), c.error);
  sim::SimRegistry expected;
  Build(expected, c.left);
  EXPECT_EQ(Registry().Dump(), expected.Dump());
}

auto Named = [](const auto& row) { return std::string(row.param.name); };
INSTANTIATE_TEST_SUITE_P(Machines, RegistryRemovalTest, ::testing::ValuesIn(kRemovals), Named);

// --- The clean-up stage ------------------------------------------------------

// What the product leaves, by the names the cases use.
const std::map<std::string, std::string> kItems = {
    {"agent", "CU Software\\Halvern Software\\K-WARD32 [TaskLocation]=C:\\K-WARD\\TASKS\\"},
    {"tasker", "CU Software\\Halvern Software\\K-tasker\\Schedule\\Daily"},
    {"professional", "CU Software\\Halvern Software Systems, Inc.\\"
                     "K-WARD Professional for Windows 95\\Options"},
    {"driver", "LM System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs [ZRP]=ZRP.VXD"},
    // Longer than the 500 bytes a value is read into.
    {"start-up", "LM Software\\Microsoft\\Windows\\CurrentVersion\\Run [ZRP95]=ZRP95.EXE" +
                     std::string(520, ' ') + "/quiet"},
    {"document class", "CR KWARD.DOCUMENT\\shell\\open\\command"},
    {"task-file class", "CR kwt_auto_file\\shell\\open\\command []=K-TASKER.EXE %1"},
    {"extension class", "CR CLSID\\{5d1c3a70-4e2f-11d0-8c6a-00a0c9b2e417}\\InprocServer32"},
    {"driver class", "CR ZRP\\DefaultIcon"},
    {"file menu", "CR *\\shellex\\ContextMenuHandlers\\KWardMenu []={5d1c}"},
    {"folder menu", "CR Folder\\shellex\\ContextMenuHandlers\\KWardMenu []={5d1c}"},
    {"file menu value", "CR *\\shellex\\ContextMenuHandlers []=KWardMenu"},
    {"folder menu value", "CR Folder\\shellex\\ContextMenuHandlers []=KWardMenu"},
    {".KWT", "CR .KWT []=kwt_auto_file"},
};
// The keys above them, which stay.
const Entries kParents = {"CU Software", "CR CLSID", "CR *\\shellex\\ContextMenuHandlers",
                          "CR Folder\\shellex\\ContextMenuHandlers",
                          "LM Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                          "LM System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs"};
const char* const kIncRefusesWriting = "!full CU Software\\Halvern Software Systems, Inc.";

struct CleanupCase {
  const char* name;
  const char* absent;  // a product item not on the machine
  Entries extra;       // on the machine and expected to stay
  bool result;
};
void PrintTo(const CleanupCase& c, std::ostream* os) { *os << c.name; }

const CleanupCase kCleanups[] = {
    {"ExtensionNamesOurClassInAnotherCase", ".KWT", {"CR .KWT []=KWT_AUTO_FILE"}, true},
    // The second company key cannot be listed: the names of the first
    // listing are still in the list and keep it from being deleted.
    {"SecondListingKeepsTheFirstNames", "professional",
     {"CU Software\\Halvern Software\\K-Other\\X", kIncRefusesWriting}, true},
    {"SecondListingWithNothingBefore", "professional", {kIncRefusesWriting}, false},
};

class RegistryCleanupTest : public RegistryTest,
                            public ::testing::WithParamInterface<CleanupCase> {};

TEST_P(RegistryCleanupTest, RemovesTheProductsItemsOnly) {
  Entries stays = kParents;
  stays.insert(stays.end(), GetParam().extra.begin(), GetParam().extra.end());
  Entries machine = stays;
  for (const auto& [id, entry] : kItems) {
    if (id != GetParam().absent) machine.push_back(entry);
  }
  Build(Registry(), machine);
  sim::SimRegistry expected;
  Build(expected, stays);
  CTrimString taskDir;
  EXPECT_EQ(CUninstallApp().RemoveRegistryItems(taskDir), GetParam().result);
  EXPECT_EQ(taskDir, "C:\\K-WARD\\TASKS\\");
  EXPECT_EQ(Registry().Dump(), expected.Dump());
}

INSTANTIATE_TEST_SUITE_P(Machines, RegistryCleanupTest, ::testing::ValuesIn(kCleanups), Named);

}  // namespace
}  // namespace kw
