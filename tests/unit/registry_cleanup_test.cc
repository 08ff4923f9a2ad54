// The registry clean-up stage on whole machines: which keys and values are
// left, what the stage answers, and the task directory it hands on.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/uninstall_app.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using sim::SimRegistry;
using Arrange = std::function<void(SimRegistry&)>;

constexpr const char* kTaskDir = "C:\\K-WARD\\TASKS\\";

// What the product leaves in the registry, one entry per item of the stage:
// a key, or a text value (value name not null) with its key.
struct ProductItem {
  const char* id;
  RegKey root;
  const char* path;
  const char* valueName;
  std::string text;
};

const std::vector<ProductItem>& ProductItems() {
  const RegKey cu = kHkeyCurrentUser, lm = kHkeyLocalMachine, cr = kHkeyClassesRoot;
  static const std::vector<ProductItem> items = {
      {"agent settings", cu, "Software\\Halvern Software\\K-WARD32", "TaskLocation", kTaskDir},
      {"agent options", cu, "Software\\Halvern Software\\K-WARD32\\Settings", nullptr, ""},
      {"tasker", cu, "Software\\Halvern Software\\K-tasker\\Schedule\\Daily", nullptr, ""},
      {"professional", cu,
       "Software\\Halvern Software Systems, Inc.\\K-WARD Professional for Windows 95\\Options",
       nullptr, ""},
      {"known driver", lm, "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs", "ZRP",
       "C:\\K-WARD\\ZRP.VXD"},
      // Longer than the 500 bytes a value is read into.
      {"start-up entry", lm, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "ZRP95",
       "C:\\K-WARD\\ZRP95.EXE" + std::string(520, ' ') + "/quiet"},
      {"document class", cr, "KWARD.DOCUMENT\\shell\\open\\command", nullptr, ""},
      {"task-file class", cr, "kwt_auto_file\\shell\\open\\command", "", "K-TASKER.EXE %1"},
      {"extension class", cr, "CLSID\\{5d1c3a70-4e2f-11d0-8c6a-00a0c9b2e417}\\InprocServer32",
       nullptr, ""},
      {"driver class", cr, "ZRP\\DefaultIcon", nullptr, ""},
      {"file menu", cr, "*\\shellex\\ContextMenuHandlers\\KWardMenu", "", "{5d1c}"},
      {"folder menu", cr, "Folder\\shellex\\ContextMenuHandlers\\KWardMenu", "", "{5d1c}"},
      {"file menu value", cr, "*\\shellex\\ContextMenuHandlers", "", "KWardMenu"},
      {"folder menu value", cr, "Folder\\shellex\\ContextMenuHandlers", "", "KWardMenu"},
      {".KWT", cr, ".KWT", "", "kwt_auto_file"},
  };
  return items;
}

void Add(SimRegistry& r, const ProductItem& item) {
  if (item.valueName == nullptr) {
    r.CreateKey(item.root, item.path);
  } else {
    r.SetString(item.root, item.path, item.valueName, item.text);
  }
}

// What belongs to others, beside and above the product's items: it all stays.
void AddNeighbours(SimRegistry& r) {
  r.CreateKey(kHkeyCurrentUser, "Software\\Other Vendor\\App");
  r.SetString(kHkeyLocalMachine, "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs",
              "VMM32", "C:\\WINDOWS\\SYSTEM\\VMM32.VXD");
  r.SetString(kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "SystemTray",
              "SysTray.Exe");
  r.SetString(kHkeyClassesRoot, ".txt", "", "txtfile");
  r.CreateKey(kHkeyClassesRoot, "CLSID\\{00000000-other}");
  r.SetString(kHkeyClassesRoot, "*\\shellex\\ContextMenuHandlers\\OtherMenu", "", "{other}");
  r.CreateKey(kHkeyClassesRoot, "Folder\\shellex\\ContextMenuHandlers");
}

Arrange AnotherProduct() {
  return [](SimRegistry& r) {
    r.CreateKey(kHkeyCurrentUser, "Software\\Halvern Software\\K-Other\\Settings");
  };
}
Arrange IncRefusesFullAccess() {
  return [](SimRegistry& r) {
    r.Switches(kHkeyCurrentUser, "Software\\Halvern Software Systems, Inc.").refuseFullAccess = true;
  };
}
Arrange ExtensionNames(const char* documentClass) {
  return [documentClass](SimRegistry& r) {
    r.SetString(kHkeyClassesRoot, ".KWT", "", documentClass);
  };
}

std::set<std::string> AllBut(std::set<std::string> kept) {
  std::set<std::string> absent;
  for (const ProductItem& item : ProductItems()) {
    if (kept.count(item.id) == 0) absent.insert(item.id);
  }
  return absent;
}

struct CleanupCase {
  const char* name;
  bool windows95;
  std::set<std::string> absent;   // product items not on the machine
  Arrange extra;                  // on the machine and expected to stay
  std::set<std::string> survive;  // product items expected to stay
  bool result;
  std::string taskDir;
};

void PrintTo(const CleanupCase& c, std::ostream* os) { *os << c.name; }

const Arrange kNothing = [](SimRegistry&) {};

const CleanupCase kCases[] = {
    {"everything there", false, {}, kNothing, {}, true, kTaskDir},
    {"everything there on 95", true, {}, kNothing, {}, true, kTaskDir},
    {"only the extension", false, AllBut({".KWT"}), kNothing, {}, true, ""},
    {"extension missing", false, {".KWT"}, kNothing, {}, false, kTaskDir},
    {"extension names another class", false, {".KWT"}, ExtensionNames("txtfile"), {}, true,
     kTaskDir},
    {"extension names our class in another case", false, {".KWT"}, ExtensionNames("KWT_AUTO_FILE"),
     {}, true, kTaskDir},
    {"another product of the company", false, {}, AnotherProduct(), {}, true, kTaskDir},
    // The second company key cannot be listed: the names of the first
    // listing are still in the list and keep it from being deleted.
    {"second listing keeps the first names", false, {"professional"},
     [](SimRegistry& r) {
       AnotherProduct()(r);
       IncRefusesFullAccess()(r);
     },
     {}, true, kTaskDir},
    {"second listing with nothing left before", false, {"professional"}, IncRefusesFullAccess(), {},
     false, kTaskDir},
    {"a class key that refuses reading is not taken for gone", false, {},
     [](SimRegistry& r) { r.Switches(kHkeyClassesRoot, "ZRP").refuseRead = true; },
     {"driver class"}, false, kTaskDir},
};

class RegistryCleanupTest : public testing::SimTest,
                            public ::testing::WithParamInterface<CleanupCase> {
 protected:
  static void Build(SimRegistry& r, const CleanupCase& c, bool expected) {
    AddNeighbours(r);
    for (const ProductItem& item : ProductItems()) {
      const bool there = c.absent.count(item.id) == 0;
      if (there && (!expected || c.survive.count(item.id) != 0)) Add(r, item);
    }
    c.extra(r);
  }
};

TEST_P(RegistryCleanupTest, RemovesTheProductsItemsOnly) {
  const CleanupCase& c = GetParam();
  if (c.windows95) Machine().BecomeWindows95();
  Build(Registry(), c, false);
  SimRegistry expected;
  Build(expected, c, true);

  CUninstallApp app;
  CTrimString taskDir;
  EXPECT_EQ(app.RemoveRegistryItems(taskDir), c.result);
  EXPECT_EQ(taskDir, c.taskDir);
  EXPECT_EQ(Registry().Dump(), expected.Dump());
}

INSTANTIATE_TEST_SUITE_P(Machines, RegistryCleanupTest, ::testing::ValuesIn(kCases),
                         [](const auto& run) {
                           std::string name = run.param.name;
                           for (char& ch : name) {
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace kw
