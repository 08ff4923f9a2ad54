// The simulated machine's own rules that the contract suite cannot check
// against Wine (switches, links, limits), and that later tests rely on.
#include "platform/sim/sim_machine.h"

#include <gtest/gtest.h>

#include "platform/scoped_handles.h"
#include "tests/support/sim_test.h"

namespace kw {
namespace {

using SimMachineTest = testing::SimTest;

TEST_F(SimMachineTest, RegistrySwitchesReachTheFailurePaths) {
  sim::SimRegistry& registry = Registry();
  registry.CreateKey(kHkeyCurrentUser, "Software\\ReadOnly");
  registry.Switches(kHkeyCurrentUser, "Software\\ReadOnly").refuseFullAccess = true;
  registry.CreateKey(kHkeyCurrentUser, "Software\\Undeletable");
  registry.Switches(kHkeyCurrentUser, "Software\\Undeletable").refuseDeletion = true;
  registry.CreateKey(kHkeyCurrentUser, "Software\\Stubborn");
  registry.Switches(kHkeyCurrentUser, "Software\\Stubborn").fakeDeletion = true;
  registry.SetString(kHkeyCurrentUser, "Software\\Values", "Kept", "x");
  registry.Switches(kHkeyCurrentUser, "Software\\Values").refuseValueDeletion = true;

  ScopedRegKey key;
  EXPECT_EQ(key.Open(kHkeyCurrentUser, "Software\\ReadOnly", kKeyRead), kErrorSuccess);
  EXPECT_EQ(key.Open(kHkeyCurrentUser, "Software\\ReadOnly", kKeyAllAccess), kErrorAccessDenied);
  ScopedRegKey software;
  ASSERT_EQ(software.Open(kHkeyCurrentUser, "Software", kKeyAllAccess), kErrorSuccess);
  EXPECT_EQ(Os().DeleteRegistryKey(software.Get(), "Undeletable"), kErrorAccessDenied);
  EXPECT_EQ(Os().DeleteRegistryKey(software.Get(), "Stubborn"), kErrorSuccess);
  EXPECT_TRUE(registry.HasKey(kHkeyCurrentUser, "Software\\Stubborn"));
  ScopedRegKey values;
  ASSERT_EQ(values.Open(kHkeyCurrentUser, "Software\\Values", kKeyAllAccess), kErrorSuccess);
  EXPECT_EQ(Os().DeleteRegistryValue(values.Get(), "Kept"), kErrorAccessDenied);
  // A key opened for reading cannot lose a value either.
  registry.SetString(kHkeyCurrentUser, "Software\\Plain", "v", "x");
  ScopedRegKey readOnly;
  ASSERT_EQ(readOnly.Open(kHkeyCurrentUser, "Software\\Plain", kKeyRead), kErrorSuccess);
  EXPECT_EQ(Os().DeleteRegistryValue(readOnly.Get(), "v"), kErrorAccessDenied);
}

TEST_F(SimMachineTest, Windows95TakesSubkeysAlongUnlessOneRefuses) {
  Machine().BecomeWindows95();
  Registry().CreateKey(kHkeyCurrentUser, "Software\\Tree\\A\\B");
  Registry().CreateKey(kHkeyCurrentUser, "Software\\Guarded\\Locked");
  Registry().Switches(kHkeyCurrentUser, "Software\\Guarded\\Locked").refuseDeletion = true;
  ScopedRegKey software;
  ASSERT_EQ(software.Open(kHkeyCurrentUser, "Software", kKeyAllAccess), kErrorSuccess);
  EXPECT_EQ(Os().DeleteRegistryKey(software.Get(), "Tree"), kErrorSuccess);
  EXPECT_FALSE(Registry().HasKey(kHkeyCurrentUser, "Software\\Tree"));
  EXPECT_NE(Os().DeleteRegistryKey(software.Get(), "Guarded"), kErrorSuccess);
  EXPECT_TRUE(Registry().HasKey(kHkeyCurrentUser, "Software\\Guarded\\Locked"));
}

TEST_F(SimMachineTest, PathsOfMaxPathOrMoreFail) {
  const std::string directory = "C:\\" + std::string(240, 'D');
  Files().AddDirectory(directory);
  const std::string fits = directory + "\\" + std::string(259 - directory.size() - 1, 'F');
  const std::string tooLong = fits + "X";
  ASSERT_EQ(fits.size(), 259u);
  ScopedFile file;
  EXPECT_TRUE(file.Open(fits, FileOpenMode::kReadCreateIfMissing));
  file.Close();
  EXPECT_FALSE(file.Open(tooLong, FileOpenMode::kReadCreateIfMissing));
  FindEntry entry;
  EXPECT_FALSE(Os().FindFirstEntry(tooLong, &entry));
}

TEST_F(SimMachineTest, DirectoryLinksAreReparsePointsShowingTheirTarget) {
  Files().AddFile("C:\\DATA\\PRECIOUS.DOC", "keep me");
  Files().AddDirectoryLink("C:\\K-WARD\\LINK", "C:\\DATA");
  ScopedFind search;
  FindEntry entry;
  ASSERT_TRUE(search.First("C:\\K-WARD\\LINK", &entry));
  EXPECT_TRUE(entry.IsDirectory());
  EXPECT_TRUE(entry.IsReparsePoint());
  search.Close();
  ASSERT_TRUE(search.First("C:\\K-WARD\\LINK\\*.DOC", &entry));
  EXPECT_EQ(entry.name, "PRECIOUS.DOC");
  search.Close();
  // Removing the link takes the link only, whatever its target holds.
  EXPECT_TRUE(Os().RemoveEmptyDirectory("C:\\K-WARD\\LINK"));
  EXPECT_EQ(Files().Content("C:\\DATA\\PRECIOUS.DOC"), "keep me");
}

TEST_F(SimMachineTest, ADirectoryInUseAsCurrentDirectoryCannotBeRemoved) {
  Files().AddDirectory("C:\\K-WARD");
  ASSERT_TRUE(Os().ChangeDirectory("C:\\K-WARD"));
  EXPECT_FALSE(Os().RemoveEmptyDirectory("C:\\K-WARD"));
  ASSERT_TRUE(Os().ChangeDirectory("C:\\"));
  EXPECT_TRUE(Os().RemoveEmptyDirectory("C:\\K-WARD"));
}

TEST_F(SimMachineTest, ABoxThatNobodyAnswersIsReported) {
  std::vector<std::string> failures;
  Machine().SetFailureHandler([&](const std::string& what) { failures.push_back(what); });
  EXPECT_EQ(Os().ShowMessageBox(WindowHandle{}, "text", "caption", kMbOk), kIdCancel);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("caption"), std::string::npos);
}

}  // namespace
}  // namespace kw
