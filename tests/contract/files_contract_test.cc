// What the program relies on from the file calls, on both ports.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/scoped_handles.h"
#include "tests/contract/contract_machine.h"

namespace kw::contract {
namespace {

using Names = std::vector<std::string>;

class FilesContractTest : public ContractTest {
 protected:
  // Every name a search finds, in the order found.
  static Names Search(const std::string& pattern) {
    Names names;
    ScopedFind search;
    FindEntry entry;
    for (bool found = search.First(pattern, &entry); found; found = search.Next(&entry)) {
      names.push_back(entry.name);
    }
    return names;
  }
  static Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
  }
  // What GetFileAttributesA answers: 0 when the entry is there.
  static long LookUp(const std::string& path) {
    std::uint32_t attributes = 0;
    return Os().LookUpEntry(path, &attributes);
  }
  static std::uint32_t AttributesFound(const std::string& path) {
    ScopedFind search;
    FindEntry entry;
    return search.First(path, &entry) ? entry.attributes : 0;
  }
  static std::string Content(const std::string& name) {
    ScopedFile file;
    std::string bytes = "<cannot be opened>";
    if (file.Open(File(name), FileOpenMode::kReadExisting)) Os().ReadWholeFile(file.Get(), &bytes, 1 << 20);
    return bytes;
  }
};

TEST_F(FilesContractTest, ADirectoryIsFoundWithoutATrailingBackslashOnly) {
  m_machine.MakeDirectory(File("Product"));
  EXPECT_EQ(Search(File("PRODUCT")), Names{"Product"});  // keeps its case
  EXPECT_TRUE(Search(File("Product\\")).empty());
  EXPECT_TRUE(Search(File("Missing")).empty());
  EXPECT_TRUE(Search(File("Missing\\*.*")).empty());
  EXPECT_EQ(AttributesFound(File("Product")) & (kFileAttributeDirectory | kFileAttributeReparsePoint),
            kFileAttributeDirectory);
  std::uint32_t attributes = 0;
  EXPECT_EQ(Os().LookUpEntry("C:\\", &attributes), kErrorSuccess);
  EXPECT_NE(attributes & kFileAttributeDirectory, 0u);
  EXPECT_EQ(LookUp(File("PRODUCT")), kErrorSuccess);
  EXPECT_EQ(LookUp(File("Missing")), kErrorFileNotFound);
  EXPECT_EQ(LookUp(File("Missing\\FILE.DAT")), kErrorPathNotFound);
}

// A listing shows every entry, while a path given to the ANSI calls reaches
// only names they can read: not one of MAX_PATH characters or more, and
// not one whose names end in a dot (or the last in a blank), which they
// read without it: "BOTH." names "BOTH".
TEST_F(FilesContractTest, AListingShowsWhatNoAnsiPathReaches) {
  const std::string deep = File(std::string(120, 'D') + "\\" + std::string(100, 'E'));
  const std::string tooLong = deep + "\\" + std::string(54, 'F') + ".DAT";  // 293 characters
  for (const std::string& dir : {deep.substr(0, deep.rfind('\\')), deep, File("DOT.")}) {
    m_machine.MakeDirectory(dir);
  }
  for (const std::string& file : {tooLong, File("NAME."), File("BLANK "), File("BOTH"),
                                  File("BOTH."), File("DOT.\\IN.DAT")}) {
    m_machine.MakeFile(file, "x");
  }
  EXPECT_EQ(Sorted(Search(File("*"))),
            Sorted({".", "..", "BLANK ", "BOTH", "BOTH.", "DOT.", std::string(120, 'D'), "NAME."}));
  EXPECT_EQ(Search(deep + "\\*").size(), 3u);  // ".", ".." and the file
  const std::pair<std::string, long> looks[] = {
      {tooLong, kErrorFilenameExcedRange}, {File("NAME."), kErrorFileNotFound},
      {File("BLANK "), kErrorFileNotFound}, {File("DOT.\\IN.DAT"), kErrorPathNotFound},
      {File("BOTH."), kErrorSuccess}};
  for (const auto& [path, error] : looks) {
    EXPECT_EQ(LookUp(path), error) << path;
    long searched = kErrorSuccess;
    FindEntry entry;
    const FindHandle search = Os().FindFirstEntry(path, &entry, &searched);
    if (search) Os().FindClose(search);
    EXPECT_EQ(searched, error) << path;
  }
  ScopedFile file;
  EXPECT_FALSE(file.Open(tooLong, FileOpenMode::kReadExisting));
  EXPECT_FALSE(file.Open(tooLong + "X", FileOpenMode::kReadWriteCreateNew));
  for (const std::string& path : {tooLong, File("NAME."), File("BLANK ")}) {
    EXPECT_FALSE(Os().RemoveFile(path)) << path;
    EXPECT_TRUE(m_machine.PathExists(path)) << path;
  }
  EXPECT_TRUE(Os().RemoveFile(File("BOTH.")));  // removes the other one
  EXPECT_EQ(Sorted(Search(File("BOTH*"))), Sorted({"BOTH."}));
}

TEST_F(FilesContractTest, WildcardsMatchAsOnWindows) {
  m_machine.MakeDirectory(File("Dir"));
  for (const char* name : {"TASK1.KWT", "task2.kwt", "README", "DATA.BIN"}) {
    m_machine.MakeFile(File(std::string("Dir\\") + name), "x");
  }
  m_machine.MakeDirectory(File("Dir\\Sub"));
  // "." and ".." come first in a directory that is not a drive root.
  const Names all = Search(File("Dir\\*.*"));
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ(Names(all.begin(), all.begin() + 2), (Names{".", ".."}));
  EXPECT_EQ(Sorted(all), Sorted({".", "..", "TASK1.KWT", "task2.kwt", "README", "DATA.BIN", "Sub"}));
  // "*.*" matches names without a dot; "*.KWT" ignores case.
  EXPECT_EQ(Sorted(Search(File("Dir\\*.KWT"))), Sorted({"TASK1.KWT", "task2.kwt"}));
  EXPECT_EQ(Sorted(Search(File("Dir\\TASK?.KWT"))), Sorted({"TASK1.KWT", "task2.kwt"}));
  EXPECT_TRUE(Search(File("Dir\\*.NONE")).empty());
}

TEST_F(FilesContractTest, AFileHeldOpenElsewhereCannotBeOpenedExclusively) {
  m_machine.MakeFile(File("ACTIVITY.dll"), "library");
  {
    ScopedFile file, second;  // our own open denies sharing too
    EXPECT_TRUE(file.Open(File("ACTIVITY.dll"), FileOpenMode::kReadExisting));
    EXPECT_FALSE(second.Open(File("ACTIVITY.dll"), FileOpenMode::kReadExisting));
  }
  const std::uintptr_t hold = m_machine.HoldOpen(File("ACTIVITY.dll"));
  ASSERT_NE(hold, 0u);
  ScopedFile file;
  EXPECT_FALSE(file.Open(File("ACTIVITY.dll"), FileOpenMode::kReadExisting));
  EXPECT_FALSE(Os().RemoveFile(File("ACTIVITY.dll")));
  EXPECT_FALSE(Os().MoveEntry(File("ACTIVITY.dll"), File("ACTIVITY.~KD")));
  m_machine.Release(hold);
  EXPECT_TRUE(file.Open(File("ACTIVITY.dll"), FileOpenMode::kReadExisting));
}

// A library that a program has loaded cannot be deleted, yet it can be
// renamed (and read): its old name is then free for a new file, and the
// renamed one goes once it is let go.  This is what lets the file stage
// queue a library in use under a name of its own on Windows NT.
TEST_F(FilesContractTest, ALoadedLibraryCanBeRenamedThoughNotDeleted) {
  m_machine.MakeLibrary(File("KWSHEXT.DLL"));
  const std::uintptr_t library = m_machine.LoadAsLibrary(File("KWSHEXT.DLL"));
  ASSERT_NE(library, 0u);
  EXPECT_FALSE(Os().RemoveFile(File("KWSHEXT.DLL")));
  EXPECT_TRUE(m_machine.PathExists(File("KWSHEXT.DLL")));
  {
    ScopedFile reader;
    EXPECT_TRUE(reader.Open(File("KWSHEXT.DLL"), FileOpenMode::kReadExisting));
  }
  EXPECT_TRUE(Os().MoveEntry(File("KWSHEXT.DLL"), File("KWSHEXT.~KD")));
  {
    ScopedFile fresh;
    EXPECT_TRUE(fresh.Open(File("KWSHEXT.DLL"), FileOpenMode::kReadWriteCreateNew));
  }
  EXPECT_FALSE(Os().RemoveFile(File("KWSHEXT.~KD")));  // loaded still, under its new name
  m_machine.UnloadLibrary(library);
  EXPECT_TRUE(Os().RemoveFile(File("KWSHEXT.~KD")));
  EXPECT_TRUE(m_machine.PathExists(File("KWSHEXT.DLL")));
}

// A file is read whole, but only up to a limit: a larger one is refused
// without being read into memory.  What is written can be flushed to the
// disk before the file takes another's place.
TEST_F(FilesContractTest, ReadingStopsAtTheLimitAndWritingCanBeFlushed) {
  const std::string bytes(10000, 'x');  // more than one piece of a read
  ScopedFile file;
  ASSERT_TRUE(file.Open(File("BIG.TXT"), FileOpenMode::kReadWriteCreateNew));
  ASSERT_TRUE(Os().WriteWholeFile(file.Get(), bytes));
  EXPECT_TRUE(Os().FlushFile(file.Get()));
  file.Close();
  ASSERT_TRUE(file.Open(File("BIG.TXT"), FileOpenMode::kReadExisting));
  std::string read;
  EXPECT_FALSE(Os().FlushFile(file.Get()));  // not open for writing
  EXPECT_FALSE(Os().ReadWholeFile(file.Get(), &read, bytes.size() - 1));
  EXPECT_TRUE(Os().ReadWholeFile(file.Get(), &read, bytes.size()));
  EXPECT_EQ(read, bytes);
}

// Only a fixed drive is there, as it is, when Windows starts.
TEST_F(FilesContractTest, DriveTypes) {
  EXPECT_EQ(Os().DriveType("C:\\"), kDriveFixed);
  EXPECT_EQ(Os().DriveType("c:\\"), kDriveFixed);
  EXPECT_EQ(Os().DriveType("Q:\\"), kDriveNoRootDir);  // no such drive on either machine
}

// A line another program wrote through the profile functions is in the
// file once the cache is flushed (Windows 95 may hold it until then; Wine
// writes it at once), and the file is free for an exclusive open.  A flush
// of a file that is not there makes none.
TEST_F(FilesContractTest, AFlushOfTheProfileCacheLeavesTheFileToItsReaders) {
  m_machine.MakeFile(File("WININIT.INI"), "[rename]\r\nNUL=C:\\OLD.DLL\r\n");
  m_machine.WriteProfileLine(File("WININIT.INI"), "rename", "C:\\NEW.DLL", "C:\\NEW.TMP");
  Os().FlushProfileCache(File("WININIT.INI"));
  const std::string text = Content("WININIT.INI");
  EXPECT_EQ(text.rfind("[rename]\r\nNUL=C:\\OLD.DLL\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("\nC:\\NEW.DLL=C:\\NEW.TMP\r\n"), std::string::npos) << text;
  Os().FlushProfileCache(File("MISSING.INI"));
  EXPECT_FALSE(m_machine.PathExists(File("MISSING.INI")));
}

TEST_F(FilesContractTest, ReadingOpensAnExistingFileOrCreatesAnEmptyOne) {
  for (const FileOpenMode mode : {FileOpenMode::kReadExisting, FileOpenMode::kReadCreateIfMissing}) {
    for (const bool exists : {true, false}) {
      Os().RemoveFile(File("DOSSTART.BAT"));
      if (exists) m_machine.MakeFile(File("DOSSTART.BAT"), "ECHO OFF\r\nCLS\r\n");
      const bool opens = exists || mode == FileOpenMode::kReadCreateIfMissing;
      ScopedFile file;
      ASSERT_EQ(file.Open(File("DOSSTART.BAT"), mode), opens) << exists;
      EXPECT_EQ(m_machine.PathExists(File("DOSSTART.BAT")), opens) << exists;
      std::string bytes = "sentinel";
      EXPECT_TRUE(!opens || Os().ReadWholeFile(file.Get(), &bytes, 1 << 20)) << exists;
      EXPECT_EQ(bytes, !opens ? "sentinel" : exists ? "ECHO OFF\r\nCLS\r\n" : "") << exists;
    }
  }
}

// Saving replaces a file in steps that each leave a whole file in place:
// the new content under a free name, by an open that only creates, then
// moves that rename but never replace, nor move a file held open.
TEST_F(FilesContractTest, AFileIsReplacedInStepsThatNeverReplace) {
  const std::string bytes = "ECHO OFF\r\nLH \xE9t\xE9\rX\r\n\x1A tail";  // bytes as they are
  m_machine.MakeFile(File("DOSSTART.BAT"), "old");
  {
    ScopedFile file, second;
    ASSERT_TRUE(file.Open(File("NEW.TMP"), FileOpenMode::kReadWriteCreateNew));
    EXPECT_FALSE(second.Open(File("NEW.TMP"), FileOpenMode::kReadExisting));  // sharing denied
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

TEST_F(FilesContractTest, AttributesAreSetAsGivenAndMoveWithTheFile) {
  m_machine.MakeFile(File("NEW.TMP"), "new");
  ASSERT_TRUE(Os().SetEntryAttributes(File("NEW.TMP"), kFileAttributeHidden | kFileAttributeSystem));
  ASSERT_TRUE(Os().MoveEntry(File("NEW.TMP"), File("DOSSTART.BAT")));
  const std::uint32_t kShown = kFileAttributeReadOnly | kFileAttributeHidden | kFileAttributeSystem;
  EXPECT_EQ(AttributesFound(File("DOSSTART.BAT")) & kShown, kFileAttributeHidden | kFileAttributeSystem);
  ASSERT_TRUE(Os().SetEntryAttributes(File("DOSSTART.BAT"), kFileAttributeNormal));
  EXPECT_EQ(AttributesFound(File("DOSSTART.BAT")) & kShown, 0u);
  EXPECT_FALSE(Os().SetEntryAttributes(File("MISSING"), kFileAttributeNormal));
}

// What is in use goes when Windows next starts: on NT by the list that
// MoveFileExA keeps, on 95 by WININIT.INI, which takes DOS names only.
TEST_F(FilesContractTest, DeletionAtRestartAndDosNames) {
  m_machine.MakeFile(File("Long File Name.text"), "x");
  m_machine.MakeFile(File("FILE.DAT"), "x");
  const std::string dosPath = Os().ShortPath(File("long file name.text"));
  // Only the file's own name is longer than 8.3 here.
  EXPECT_EQ(dosPath.find(' '), std::string::npos) << dosPath;
  EXPECT_LE(dosPath.size() - dosPath.rfind('\\') - 1, 12u) << dosPath;
  EXPECT_EQ(Search(dosPath), Names{"Long File Name.text"});
  EXPECT_EQ(Os().ShortPath(File("file.dat")).substr(dosPath.rfind('\\')), "\\FILE.DAT");
  EXPECT_EQ(Os().ShortPath(File("MISSING.DAT")), "");
  const std::string temporary = Os().TemporaryDirectory();
  EXPECT_EQ(temporary.back(), '\\');
  EXPECT_EQ(LookUp(temporary), kErrorSuccess);

  const std::size_t queued = m_machine.PendingDeletions().size();
  EXPECT_TRUE(Os().DeleteAtRestart(File("FILE.DAT")));
  EXPECT_TRUE(Os().DeleteAtRestart(File("Missing")));  // not looked at before the restart
  EXPECT_FALSE(Os().DeleteAtRestart(File(std::string(260, 'L'))));
  const std::vector<std::string> pending = m_machine.PendingDeletions();
  EXPECT_EQ(std::vector<std::string>(pending.begin() + static_cast<long>(std::min(queued, pending.size())),
                                     pending.end()),
            (std::vector<std::string>{File("FILE.DAT"), File("Missing")}));
  EXPECT_TRUE(m_machine.PathExists(File("FILE.DAT")));
}

TEST_F(FilesContractTest, AReadOnlyFileGoesOnlyOnceItsMarkIsCleared) {
  m_machine.MakeFile(File("LOCKED.DAT"), "data");
  m_machine.MakeReadOnly(File("LOCKED.DAT"));
  EXPECT_NE(AttributesFound(File("LOCKED.DAT")) & kFileAttributeReadOnly, 0u);
  EXPECT_FALSE(Os().RemoveFile(File("LOCKED.DAT")));
  EXPECT_TRUE(m_machine.PathExists(File("LOCKED.DAT")));
  EXPECT_TRUE(Os().ClearReadOnly(File("LOCKED.DAT")));
  EXPECT_TRUE(Os().RemoveFile(File("locked.dat")));
  EXPECT_FALSE(Os().RemoveFile(File("LOCKED.DAT")));  // already gone
  EXPECT_FALSE(Os().ClearReadOnly(File("LOCKED.DAT")));
}

// Directories named as the registry writes them (with a trailing
// backslash), and names relative to the current directory.
TEST_F(FilesContractTest, DirectoriesAndRelativeNames) {
  for (const char* dir : {"Full", "Work", "Work\\Sub"}) m_machine.MakeDirectory(File(dir));
  m_machine.MakeFile(File("Full\\FILE.DAT"), "data");
  m_machine.MakeFile(File("Work\\A.TMP"), "x");
  m_machine.MakeFile(File("A.TMP"), "x");
  EXPECT_FALSE(Os().RemoveEmptyDirectory(File("Full")));  // not empty
  ASSERT_TRUE(Os().RemoveFile(File("Full\\FILE.DAT")));
  EXPECT_TRUE(Os().RemoveEmptyDirectory(File("Full\\")));
  EXPECT_FALSE(m_machine.PathExists(File("Full")));
  EXPECT_FALSE(Os().RemoveEmptyDirectory(File("Full")));
  ASSERT_TRUE(Os().ChangeDirectory(File("Work")));
  EXPECT_TRUE(Os().RemoveFile("A.TMP"));
  EXPECT_EQ(LookUp("A.TMP"), kErrorFileNotFound);  // the current directory's, not the other
  EXPECT_TRUE(Os().RemoveEmptyDirectory("Sub"));
  EXPECT_FALSE(m_machine.PathExists(File("Work\\A.TMP")) || m_machine.PathExists(File("Work\\Sub")));
  EXPECT_TRUE(m_machine.PathExists(File("A.TMP")));
  EXPECT_FALSE(Os().ChangeDirectory(File("Missing")));
}

}  // namespace
}  // namespace kw::contract
