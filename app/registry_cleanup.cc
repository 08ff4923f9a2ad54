// The second clean-up stage: the registry keys and values that the product
// and its agent create while they run.  The install log does not know them,
// so the setup-log uninstaller would leave them behind.
#include "app/uninstall_app.h"

#include <string>

#include "components/cursor_string_list.h"
#include "components/message_catalogue.h"
#include "components/registry.h"
#include "components/run_record.h"

namespace kw {
namespace {

enum class RegistryAction {
  kReadTaskDirectory,     // where the agent keeps its task files, for stage 4
  kDeleteTree,
  kDeleteTreeIfNoSubkeys, // a company key, once nothing of the company is left
  kDeleteValue,
  kReadExtensionClass,    // the document class the task-file extension names
  kDeleteTreeIfOurClass,  // the extension key, only while it names our class
};

struct RegistryStep {
  RegistryAction action;
  RegKey root;
  const char* keyPath;
  const char* valueName;
};

constexpr const char* kUnnamed = "";

// In this order: the task directory is read before the agent's key goes.
const RegistryStep kRegistrySteps[] = {
    {RegistryAction::kReadTaskDirectory, kHkeyCurrentUser, "\\Software\\Halvern Software\\K-WARD32",
     "TaskLocation"},
    {RegistryAction::kDeleteTree, kHkeyCurrentUser, "\\Software\\Halvern Software\\K-tasker", kUnnamed},
    {RegistryAction::kDeleteTree, kHkeyCurrentUser, "\\Software\\Halvern Software\\K-WARD32", kUnnamed},
    {RegistryAction::kDeleteTreeIfNoSubkeys, kHkeyCurrentUser, "\\Software\\Halvern Software",
     kUnnamed},
    {RegistryAction::kDeleteTree, kHkeyCurrentUser,
     "\\Software\\Halvern Software Systems, Inc.\\K-WARD Professional for Windows 95", kUnnamed},
    {RegistryAction::kDeleteTreeIfNoSubkeys, kHkeyCurrentUser,
     "\\Software\\Halvern Software Systems, Inc.", kUnnamed},
    // The resident driver: known to the system, and started at every log-on.
    {RegistryAction::kDeleteValue, kHkeyLocalMachine,
     "\\System\\CurrentControlSet\\Control\\SessionManager\\KnownVxDs", "ZRP"},
    {RegistryAction::kDeleteValue, kHkeyLocalMachine,
     "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "ZRP95"},
    // Document types and shell extensions.
    {RegistryAction::kDeleteTree, kHkeyClassesRoot, "\\KWARD.DOCUMENT", kUnnamed},
    {RegistryAction::kDeleteTree, kHkeyClassesRoot, "\\kwt_auto_file", kUnnamed},
    {RegistryAction::kDeleteTree, kHkeyClassesRoot, "\\CLSID\\{5d1c3a70-4e2f-11d0-8c6a-00a0c9b2e417}",
     kUnnamed},
    {RegistryAction::kDeleteTree, kHkeyClassesRoot, "\\ZRP", kUnnamed},
    {RegistryAction::kDeleteTree, kHkeyClassesRoot, "\\*\\shellex\\ContextMenuHandlers\\KWardMenu",
     kUnnamed},
    {RegistryAction::kDeleteTree, kHkeyClassesRoot,
     "\\Folder\\shellex\\ContextMenuHandlers\\KWardMenu", kUnnamed},
    {RegistryAction::kDeleteValue, kHkeyClassesRoot, "\\*\\shellex\\ContextMenuHandlers", kUnnamed},
    {RegistryAction::kDeleteValue, kHkeyClassesRoot, "\\Folder\\shellex\\ContextMenuHandlers",
     kUnnamed},
    {RegistryAction::kReadExtensionClass, kHkeyClassesRoot, "\\.KWT", kUnnamed},
    {RegistryAction::kDeleteTreeIfOurClass, kHkeyClassesRoot, "\\.KWT", kUnnamed},
};

// The classes the product registers for its task files.  Compared exactly:
// an extension naming anything else now belongs to another program.
bool IsOurTaskFileClass(const std::string& documentClass) {
  return documentClass == "kwt_auto_file" || documentClass == "KWARD.Document";
}

// The item as the record names it: the root's name, the path without its
// leading backslash, and a value's name in brackets.
std::string ItemName(const RegistryStep& step, bool value) {
  return std::string(RootName(step.root)) + step.keyPath + (value ? std::string(" [") + step.valueName + "]" : "");
}

// Deletes a key's tree or a value and records what became of it: removed,
// absent, or kept with the reason the registry component gave.  The look
// beforehand only reads.
bool Remove(CRegistry& registry, const RegistryStep& step) {
  const bool value = step.action == RegistryAction::kDeleteValue;
  const bool existed = value ? registry.ValueExists(step.root, step.keyPath, step.valueName)
                             : registry.KeyExists(step.root, step.keyPath);
  const bool removed = value ? registry.DeleteValue(step.root, step.keyPath, step.valueName)
                             : registry.DeleteKeyTree(step.root, step.keyPath);
  std::string outcome = removed && !existed ? "absent " : removed ? "removed " : "kept ";
  outcome += ItemName(step, value);
  if (!removed) {
    std::int32_t code = 0;
    std::string argument;
    registry.GetError(code, argument);
    outcome += " (" + (code != 0 ? FormatMessageText(LoadMessage(static_cast<unsigned>(code)), argument)
                                 : std::string("its deletion failed")) + ")";
  }
  CRunRecord::Note("registry: " + outcome);
  return removed;
}

}  // namespace

bool CUninstallApp::RemoveRegistryItems(CTrimString& taskDir) {
  CRegistry registry;
  // Shared by both company keys: a listing that cannot open its key leaves
  // the names of the one before in place, and they keep the second key.
  CCursorStringList subkeys;
  std::string extensionClass;
  bool extensionRead = false;
  bool result = true;
  for (const RegistryStep& step : kRegistrySteps) {
    switch (step.action) {
      case RegistryAction::kReadTaskDirectory: {
        // Unreadable: stage 4 simply has no task directory to clean.  Read:
        // a path, whose blanks at either end are no part of it (taken with
        // them, the patterns would be trimmed and the directory not).
        std::string value;
        if (registry.ReadStringValue(step.root, step.keyPath, step.valueName, value)) {
          taskDir = value;
          CRunRecord::Note("registry: task directory \"" + value + "\" (" + ItemName(step, true) + ")");
        }
        break;
      }
      case RegistryAction::kDeleteTree:
      case RegistryAction::kDeleteValue:
        if (!Remove(registry, step)) result = false;
        break;
      case RegistryAction::kDeleteTreeIfNoSubkeys:
        registry.EnumSubkeys(step.root, step.keyPath, subkeys);
        if (subkeys.GetCount() != 0) {
          CRunRecord::Note("registry: kept " + ItemName(step, false) +
                           " (it may hold keys of another product)");
        } else if (!Remove(registry, step)) {
          result = false;
        }
        break;
      case RegistryAction::kReadExtensionClass:
        extensionRead = registry.ReadStringValue(step.root, step.keyPath, step.valueName,
                                                 extensionClass);
        if (!extensionRead) result = false;
        break;
      case RegistryAction::kDeleteTreeIfOurClass:
        if (!extensionRead) {
          CRunRecord::Note(registry.KeyExists(step.root, step.keyPath)
                               ? "registry: kept " + ItemName(step, false) + " (its class could not be read)"
                               : "registry: absent " + ItemName(step, false));
        } else if (!IsOurTaskFileClass(extensionClass)) {
          CRunRecord::Note("registry: kept " + ItemName(step, false) + " (it names another class, \"" +
                           extensionClass + "\")");
        } else if (!Remove(registry, step)) {
          result = false;
        }
        break;
    }
  }
  return result;
}

}  // namespace kw
