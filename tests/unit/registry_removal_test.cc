// Removing registry keys and values where key deletion refuses keys with
// subkeys (Windows NT) and where it takes them along (Windows 95), and the
// registry clean-up stage on whole machines: which keys and values are left,
// what the stage answers, and the task directory it hands on.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/uninstall_app.h"
#include "components/registry.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using Entries = std::vector<std::string>;

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

class RegistryRemovalTest : public testing::SimTest,
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
  std::int32_t code = 0;
  std::string argument;
  r.GetError(code, argument);
  EXPECT_EQ(std::to_string(code) + " " + argument, c.error);
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

// What belongs to others, beside and above the product's items: it stays.
const Entries kNeighbours = {
    "CU Software\\Other Vendor\\App",
    "LM System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs [VMM32]=VMM32.VXD",
    "LM Software\\Microsoft\\Windows\\CurrentVersion\\Run [SystemTray]=SysTray.Exe",
    "CR .txt []=txtfile",
    "CR CLSID\\{00000000-other}",
    "CR *\\shellex\\ContextMenuHandlers\\OtherMenu []={other}",
    "CR Folder\\shellex\\ContextMenuHandlers",
};
const char* const kAnotherProduct = "CU Software\\Halvern Software\\K-Other\\X";
const char* const kIncRefusesWriting = "!full CU Software\\Halvern Software Systems, Inc.";

struct CleanupCase {
  const char* name;
  std::set<std::string> absent;   // product items not on the machine ("*": all but .KWT)
  Entries extra;                  // on the machine and expected to stay
  bool result;
  std::string taskDir;
};
void PrintTo(const CleanupCase& c, std::ostream* os) { *os << c.name; }

const std::string kTaskDir = "C:\\K-WARD\\TASKS\\";
const CleanupCase kCleanups[] = {
    {"EverythingThere", {}, {}, true, kTaskDir},
    {"OnlyTheExtension", {"*"}, {}, true, ""},
    {"ExtensionMissing", {".KWT"}, {}, false, kTaskDir},
    {"ExtensionNamesAnotherClass", {".KWT"}, {"CR .KWT []=txtfile"}, true, kTaskDir},
    {"ExtensionNamesOurClassInAnotherCase", {".KWT"}, {"CR .KWT []=KWT_AUTO_FILE"}, true, kTaskDir},
    {"AnotherProductOfTheCompany", {}, {kAnotherProduct}, true, kTaskDir},
    // The second company key cannot be listed: the names of the first
    // listing are still in the list and keep it from being deleted.
    {"SecondListingKeepsTheFirstNames", {"professional"}, {kAnotherProduct, kIncRefusesWriting},
     true, kTaskDir},
    {"SecondListingWithNothingBefore", {"professional"}, {kIncRefusesWriting}, false, kTaskDir},
    {"ClassKeyRefusingReadingIsNotGone", {"driver class"}, {"CR ZRP\\DefaultIcon", "!read CR ZRP"},
     false, kTaskDir},
};

class RegistryCleanupTest : public testing::SimTest,
                            public ::testing::WithParamInterface<CleanupCase> {
 protected:
  static Entries MachineOf(const CleanupCase& c, bool expected) {
    Entries entries = kNeighbours;
    for (const auto& [id, entry] : kItems) {
      const bool absent = c.absent.count(id) != 0 || (c.absent.count("*") != 0 && id != ".KWT");
      if (!absent && !expected) entries.push_back(entry);
    }
    entries.insert(entries.end(), c.extra.begin(), c.extra.end());
    return entries;
  }
};

TEST_P(RegistryCleanupTest, RemovesTheProductsItemsOnly) {
  Build(Registry(), MachineOf(GetParam(), false));
  sim::SimRegistry expected;
  Build(expected, MachineOf(GetParam(), true));
  CUninstallApp app;
  CTrimString taskDir;
  EXPECT_EQ(app.RemoveRegistryItems(taskDir), GetParam().result);
  EXPECT_EQ(taskDir, GetParam().taskDir);
  EXPECT_EQ(Registry().Dump(), expected.Dump());
}

INSTANTIATE_TEST_SUITE_P(Machines, RegistryCleanupTest, ::testing::ValuesIn(kCleanups), Named);

}  // namespace
}  // namespace kw
