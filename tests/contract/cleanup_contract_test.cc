// What the clean-up stages and the wait for the uninstaller's windows rely
// on, run against both the simulated machine and the real system: registry
// trees removed depth first, values too long to read, the maker of a window,
// a text file replaced in steps, and directories removed by the names the
// registry and the current directory give.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/scoped_handles.h"
#include "tests/contract/contract_machine.h"

namespace kw::contract {
namespace {

class CleanupContractTest : public ::testing::Test {
 protected:
  CleanupContractTest()
      : m_machine(ContractMachine::Get()),
        m_override(std::make_unique<ScopedPlatformOverride>(m_machine.Port())) {}
  void SetUp() override {
    TearDown();
    m_machine.CreateKey(kHkeyCurrentUser, kScratchKey);
    ASSERT_EQ(m_scratch.Open(kHkeyCurrentUser, kScratchKey, kKeyAllAccess), kErrorSuccess);
    m_machine.MakeDirectory(kScratchDir);
  }
  void TearDown() override {
    m_scratch.Close();
    m_machine.RemoveTree(kHkeyCurrentUser, kScratchKey);
    Os().ChangeDirectory("C:\\");
    m_machine.RemoveDirectoryTree(kScratchDir);
  }

  // Below the scratch key or the scratch directory.
  static std::string Key(const std::string& below) { return kScratchKey + ("\\" + below); }
  static std::string File(const std::string& name) { return kScratchDir + ("\\" + name); }

  static long OpenKey(const std::string& below) {
    ScopedRegKey key;
    return key.Open(kHkeyCurrentUser, Key(below), kKeyRead);
  }
  static std::vector<std::string> Subkeys(RegKey key) {
    std::vector<std::string> names;
    for (std::uint32_t index = 0; index < 10; ++index) {
      char name[500] = {};
      std::uint32_t size = sizeof name;
      if (Os().EnumRegistrySubkey(key, index, name, &size) != kErrorSuccess) break;
      names.emplace_back(name, size);
    }
    return names;
  }
  long Query500(const std::string& name) {
    unsigned char data[500];
    std::uint32_t type = 0, size = sizeof data;
    return Os().QueryRegistryValue(m_scratch.Get(), name, &type, data, &size);
  }
  static std::string Content(const std::string& name) {
    ScopedFile file;
    std::string bytes = "<cannot be opened>";
    if (file.Open(File(name), FileOpenMode::kReadExisting)) Os().ReadWholeFile(file.Get(), &bytes);
    return bytes;
  }

  ContractMachine& m_machine;
  std::unique_ptr<ScopedPlatformOverride> m_override;
  ScopedRegKey m_scratch;
};

// Depth first: a key goes once its subkeys have gone (at once on Windows
// 95), and index 0 then names the next subkey that remains.  Names keep
// blanks at either end and are opened and deleted by them.  Only "not
// found" tells that a key is absent, also when a key on the way is missing.
TEST_F(CleanupContractTest, ATreeGoesDepthFirstAndSubkeysRenumber) {
  m_machine.CreateKey(kHkeyCurrentUser, Key("Tree\\ Lead\\Deep"));
  m_machine.CreateKey(kHkeyCurrentUser, Key("Tree\\Trail "));
  ScopedRegKey tree;
  ASSERT_EQ(tree.Open(m_scratch.Get(), "Tree", kKeyAllAccess), kErrorSuccess);
  EXPECT_EQ(Subkeys(tree.Get()), (std::vector<std::string>{" Lead", "Trail "}));
  if (m_machine.RefusesKeysWithSubkeys()) {
    EXPECT_NE(Os().DeleteRegistryKey(tree.Get(), " Lead"), kErrorSuccess);
    ScopedRegKey lead;
    ASSERT_EQ(lead.Open(tree.Get(), " Lead", kKeyAllAccess), kErrorSuccess);
    EXPECT_EQ(Os().DeleteRegistryKey(lead.Get(), "Deep"), kErrorSuccess);
  }
  EXPECT_EQ(Os().DeleteRegistryKey(tree.Get(), " Lead"), kErrorSuccess);
  EXPECT_EQ(OpenKey("Tree\\ Lead\\Deep"), kErrorFileNotFound);
  EXPECT_EQ(Subkeys(tree.Get()), std::vector<std::string>{"Trail "});
  EXPECT_EQ(Os().DeleteRegistryKey(tree.Get(), "Trail "), kErrorSuccess);
  EXPECT_TRUE(Subkeys(tree.Get()).empty());
  tree.Close();
  EXPECT_EQ(Os().DeleteRegistryKey(m_scratch.Get(), "Tree"), kErrorSuccess);
  EXPECT_EQ(OpenKey("Tree"), kErrorFileNotFound);
}

// A value longer than the room given is there (more data), named or not,
// and is deleted like any other; its neighbour stays.
TEST_F(CleanupContractTest, ValuesLongerThanTheirBufferAreThereAndGo) {
  m_machine.SetValue(kHkeyCurrentUser, kScratchKey, "Sibling", kRegSz, std::string("s\0", 2));
  for (const char* name : {"ZRP95", ""}) {
    m_machine.SetValue(kHkeyCurrentUser, kScratchKey, name, kRegSz, std::string(600, 'L') + '\0');
    EXPECT_EQ(Query500(name), kErrorMoreData);
    EXPECT_EQ(Os().DeleteRegistryValue(m_scratch.Get(), *name ? "zrp95" : ""), kErrorSuccess);
    EXPECT_EQ(Query500(name), kErrorFileNotFound);
    EXPECT_EQ(Os().DeleteRegistryValue(m_scratch.Get(), name), kErrorFileNotFound);
  }
  EXPECT_EQ(Query500("Sibling"), kErrorSuccess);
}

// The wait for the uninstaller's answer tells its own windows by their maker.
TEST_F(CleanupContractTest, AWindowNamesTheProcessThatMadeIt) {
  ProcessInfo info;
  ASSERT_TRUE(Os().StartProcess(m_machine.InstallWindowProgram(kScratchDir), "C:\\",
                                ShowState::kNormal, &info));
  WindowHandle window;
  for (int i = 0; i < 100 && !window; ++i) {
    window = Os().FindTopLevelWindow(ContractMachine::kWindowTitle);
    if (!window) Os().Pause(100, false);
  }
  ASSERT_TRUE(window);
  EXPECT_EQ(Os().WindowProcessId(window), info.processId);
  EXPECT_TRUE(Os().SendCloseRequest(window, 30000));
  for (int i = 0; i < 100 && Os().ProcessVersion(info.processId) != 0; ++i) Os().Pause(100, false);
  EXPECT_EQ(Os().WindowProcessId(window), 0u);  // gone with its window
  EXPECT_EQ(Os().WindowProcessId(WindowHandle{}), 0u);
}

// Saving replaces a file in steps that each leave a whole file in place:
// the new content under a free name, by an open that only creates, then
// moves that rename but never replace, nor move a file held open.
TEST_F(CleanupContractTest, AFileIsReplacedInStepsThatNeverReplace) {
  const std::string bytes = "ECHO OFF\r\nLH \xE9t\xE9\rX\r\n\x1A tail";  // bytes as they are
  m_machine.MakeFile(File("DOSSTART.BAT"), "old");
  {
    ScopedFile file, second;
    ASSERT_TRUE(file.Open(File("NEW.TMP"), FileOpenMode::kReadWriteCreateNew));
    EXPECT_FALSE(second.Open(File("NEW.TMP"), FileOpenMode::kReadExisting));  // sharing denied
    EXPECT_FALSE(Os().MoveEntry(File("NEW.TMP"), File("NEWER.TMP")));
    ASSERT_TRUE(Os().WriteWholeFile(file.Get(), bytes));
  }
  ScopedFile file;
  EXPECT_FALSE(file.Open(File("dosstart.bat"), FileOpenMode::kReadWriteCreateNew));
  EXPECT_FALSE(file.Open(File("Missing\\NEW.TMP"), FileOpenMode::kReadWriteCreateNew));
  EXPECT_FALSE(Os().MoveEntry(File("NEW.TMP"), File("dosstart.bat")));
  EXPECT_FALSE(Os().MoveEntry(File("MISSING.TMP"), File("OTHER.TMP")));
  EXPECT_EQ(Content("DOSSTART.BAT"), "old");
  ASSERT_TRUE(Os().MoveEntry(File("DOSSTART.BAT"), File("OLD.TMP")));
  ASSERT_TRUE(Os().MoveEntry(File("NEW.TMP"), File("DOSSTART.BAT")));
  EXPECT_TRUE(Os().RemoveFile(File("OLD.TMP")));
  EXPECT_EQ(Content("DOSSTART.BAT"), bytes);
  EXPECT_FALSE(m_machine.PathExists(File("NEW.TMP")));
}

// Directories named as the registry writes them, and relative names.
TEST_F(CleanupContractTest, DirectoriesWithATrailingBackslashAndRelativeNames) {
  m_machine.MakeDirectory(File("Tasks"));
  EXPECT_TRUE(Os().RemoveEmptyDirectory(File("Tasks\\")));
  EXPECT_FALSE(m_machine.PathExists(File("Tasks")));
  m_machine.MakeDirectory(File("Work"));
  m_machine.MakeDirectory(File("Work\\Sub"));
  m_machine.MakeFile(File("Work\\A.TMP"), "x");
  m_machine.MakeFile(File("A.TMP"), "x");
  ASSERT_TRUE(Os().ChangeDirectory(File("Work")));
  EXPECT_TRUE(Os().RemoveFile("A.TMP"));
  EXPECT_TRUE(Os().RemoveEmptyDirectory("Sub"));
  EXPECT_FALSE(m_machine.PathExists(File("Work\\A.TMP")));
  EXPECT_FALSE(m_machine.PathExists(File("Work\\Sub")));
  EXPECT_TRUE(m_machine.PathExists(File("A.TMP")));
}

}  // namespace
}  // namespace kw::contract
