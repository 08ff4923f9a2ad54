// The registry clean-up stage on whole machines: which keys and values are
// left, what the stage answers, and the task directory it hands on.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/uninstall_app.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using sim::SimRegistry;
constexpr const char* kTaskDir = "C:\\K-WARD\\TASKS\\";
constexpr RegKey kCu = kHkeyCurrentUser, kLm = kHkeyLocalMachine, kCr = kHkeyClassesRoot;

// What the product leaves, one entry per item of the stage: a key, or a
// text value (name not null) with its key.
struct Item {
  const char* id;
  RegKey root;
  const char* path;
  const char* valueName;
  std::string text;
};
const Item kItems[] = {
    {"agent", kCu, "Software\\Halvern Software\\K-WARD32", "TaskLocation", kTaskDir},
    {"agent options", kCu, "Software\\Halvern Software\\K-WARD32\\Settings", nullptr, ""},
    {"tasker", kCu, "Software\\Halvern Software\\K-tasker\\Schedule\\Daily", nullptr, ""},
    {"professional", kCu,
     "Software\\Halvern Software Systems, Inc.\\K-WARD Professional for Windows 95\\Options",
     nullptr, ""},
    {"driver", kLm, "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs", "ZRP", "ZRP.VXD"},
    // Longer than the 500 bytes a value is read into.
    {"start-up", kLm, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "ZRP95",
     "C:\\K-WARD\\ZRP95.EXE" + std::string(520, ' ') + "/quiet"},
    {"document class", kCr, "KWARD.DOCUMENT\\shell\\open\\command", nullptr, ""},
    {"task-file class", kCr, "kwt_auto_file\\shell\\open\\command", "", "K-TASKER.EXE %1"},
    {"extension class", kCr, "CLSID\\{5d1c3a70-4e2f-11d0-8c6a-00a0c9b2e417}\\InprocServer32",
     nullptr, ""},
    {"driver class", kCr, "ZRP\\DefaultIcon", nullptr, ""},
    {"file menu", kCr, "*\\shellex\\ContextMenuHandlers\\KWardMenu", "", "{5d1c}"},
    {"folder menu", kCr, "Folder\\shellex\\ContextMenuHandlers\\KWardMenu", "", "{5d1c}"},
    {"file menu value", kCr, "*\\shellex\\ContextMenuHandlers", "", "KWardMenu"},
    {"folder menu value", kCr, "Folder\\shellex\\ContextMenuHandlers", "", "KWardMenu"},
    {".KWT", kCr, ".KWT", "", "kwt_auto_file"},
};

// What belongs to others, beside and above the product's items: it stays.
void AddNeighbours(SimRegistry& r) {
  r.CreateKey(kCu, "Software\\Other Vendor\\App");
  r.SetString(kLm, "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs", "VMM32", "x");
  r.SetString(kLm, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "SystemTray", "x");
  r.SetString(kCr, ".txt", "", "txtfile");
  r.CreateKey(kCr, "CLSID\\{00000000-other}");
  r.SetString(kCr, "*\\shellex\\ContextMenuHandlers\\OtherMenu", "", "{other}");
  r.CreateKey(kCr, "Folder\\shellex\\ContextMenuHandlers");
}

using Arrange = std::function<void(SimRegistry&)>;
void AnotherProduct(SimRegistry& r) { r.CreateKey(kCu, "Software\\Halvern Software\\K-Other\\X"); }
void IncRefusesWriting(SimRegistry& r) {
  r.Switches(kCu, "Software\\Halvern Software Systems, Inc.").refuseFullAccess = true;
}
Arrange ExtensionNames(const char* documentClass) {
  return [documentClass](SimRegistry& r) { r.SetString(kCr, ".KWT", "", documentClass); };
}

struct Case {
  const char* name;
  std::set<std::string> absent;   // product items not on the machine
  Arrange extra;                  // on the machine and expected to stay
  std::set<std::string> survive;  // product items expected to stay
  bool result;
  std::string taskDir;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::set<std::string> AllBut(const std::string& kept) {
  std::set<std::string> absent;
  for (const Item& item : kItems) {
    if (item.id != kept) absent.insert(item.id);
  }
  return absent;
}

const Case kCases[] = {
    {"EverythingThere", {}, nullptr, {}, true, kTaskDir},
    {"OnlyTheExtension", AllBut(".KWT"), nullptr, {}, true, ""},
    {"ExtensionMissing", {".KWT"}, nullptr, {}, false, kTaskDir},
    {"ExtensionNamesAnotherClass", {".KWT"}, ExtensionNames("txtfile"), {}, true, kTaskDir},
    {"ExtensionNamesOurClassInAnotherCase", {".KWT"}, ExtensionNames("KWT_AUTO_FILE"), {}, true,
     kTaskDir},
    {"AnotherProductOfTheCompany", {}, AnotherProduct, {}, true, kTaskDir},
    // The second company key cannot be listed: the names of the first
    // listing are still in the list and keep it from being deleted.
    {"SecondListingKeepsTheFirstNames", {"professional"},
     [](SimRegistry& r) { AnotherProduct(r); IncRefusesWriting(r); }, {}, true, kTaskDir},
    {"SecondListingWithNothingBefore", {"professional"}, IncRefusesWriting, {}, false, kTaskDir},
    {"ClassKeyRefusingReadingIsNotGone", {},
     [](SimRegistry& r) { r.Switches(kCr, "ZRP").refuseRead = true; }, {"driver class"}, false,
     kTaskDir},
};

class RegistryCleanupTest : public testing::SimTest, public ::testing::WithParamInterface<Case> {
 protected:
  static void Build(SimRegistry& r, const Case& c, bool expected) {
    AddNeighbours(r);
    for (const Item& item : kItems) {
      if (c.absent.count(item.id) != 0 || (expected && c.survive.count(item.id) == 0)) continue;
      if (item.valueName == nullptr) r.CreateKey(item.root, item.path);
      else r.SetString(item.root, item.path, item.valueName, item.text);
    }
    if (c.extra) c.extra(r);
  }
};

TEST_P(RegistryCleanupTest, RemovesTheProductsItemsOnly) {
  Build(Registry(), GetParam(), false);
  SimRegistry expected;
  Build(expected, GetParam(), true);
  CUninstallApp app;
  CTrimString taskDir;
  EXPECT_EQ(app.RemoveRegistryItems(taskDir), GetParam().result);
  EXPECT_EQ(taskDir, GetParam().taskDir);
  EXPECT_EQ(Registry().Dump(), expected.Dump());
}

INSTANTIATE_TEST_SUITE_P(Machines, RegistryCleanupTest, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace kw
