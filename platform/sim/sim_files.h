// Drive C: of the simulated machine, held in memory with the Windows rules the
// program depends on: names compare without regard to case and keep their
// case; directory listings give "." and ".." first (except in the root) and
// then the entries in a stable order; * and ? match as FindFirstFile matches
// them; the port's calls read paths as the ANSI calls do (MAX_PATH characters
// or more fail, dots and blanks at the ends of names are dropped) while the
// set-up takes names as they are, so that a listing can show what no path
// reaches; a read-only file cannot be deleted; a file held open elsewhere
// cannot be opened exclusively or moved, and one loaded as a library cannot
// be deleted, yet can be read and (on NT) moved; a move never replaces an
// entry; directory links are reparse points whose contents are those of
// their target.
#ifndef KWUNINST_PLATFORM_SIM_SIM_FILES_H_
#define KWUNINST_PLATFORM_SIM_SIM_FILES_H_

#include <cstdint>
#include <functional>
#include <map>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace kw::sim {

// The port's file calls that a test can make fail.
enum class FileCall { kOpen, kWrite, kFlush, kMove, kRemove, kSetAttributes };

// How another program holds a file.
enum class HoldKind {
  kExclusive,      // open without sharing: nobody opens, moves or deletes it
  kShareDelete,    // open, letting others move and delete it
  // Loaded as a library (its image mapped): nobody deletes it, yet it can
  // be opened for reading and, on Windows NT, moved (Windows 95 moves no
  // file in use).
  kLoadedLibrary,
};

// Who holds a file, and how.
struct FileHold {
  std::uint32_t id = 0;
  std::string holder;  // e.g. "pid 104" or "test"
  HoldKind kind = HoldKind::kExclusive;
};

class SimFileSystem {
 public:
  SimFileSystem();
  ~SimFileSystem();

  // --- Setting up and inspecting the machine ------------------------------
  // Paths here are taken as they are, of any length, as the \\?\ paths of
  // the wide calls are.
  // Creates the file and any missing directories on its way.
  void AddFile(const std::string& path, const std::string& content = std::string());
  void AddDirectory(const std::string& path);
  // Removes the entry with everything below it, whatever holds it.
  void Erase(const std::string& path);
  // A directory link (junction) at path that shows the contents of target.
  void AddDirectoryLink(const std::string& path, const std::string& target);
  void SetReadOnly(const std::string& path, bool readOnly);
  // Read-only, hidden and system; the other bits are ignored.
  void SetAttributes(const std::string& path, std::uint32_t attributes);
  // As a search reports them; 0 when there is no such entry.
  std::uint32_t Attributes(const std::string& path) const;
  // Holds the file as another program would; returns the hold's id.
  std::uint32_t Hold(const std::string& path, const std::string& holder,
                     HoldKind kind = HoldKind::kExclusive);
  void Release(std::uint32_t holdId);
  void ReleaseAllOf(const std::string& holder);
  bool IsHeld(const std::string& path) const;
  bool Exists(const std::string& path) const;
  bool IsDirectory(const std::string& path) const;
  std::string Content(const std::string& path) const;
  // Every entry of the drive, one line each ("D " for directories, "L " for
  // links, "F " for files with their size and R, H, S for their
  // attributes), sorted: for comparing whole drive states.
  std::vector<std::string> Dump() const;
  // Every entry of the drive by its full path: "L " and its target, or "D"
  // or "F", the attribute letters (R, H, S) padded to kSnapshotAttributeWidth,
  // and a file's bytes; for telling exactly what a run changed.
  std::map<std::string, std::string> Snapshot() const;
  static constexpr std::size_t kSnapshotAttributeWidth = 3;
  std::size_t OpenHandleCount() const { return m_files.size() + m_searches.size(); }

  // The full form of a path as the program's current directory resolves it
  // ("C:\DIR\FILE", names with the case given).  Empty when it cannot be one.
  std::string FullPath(const std::string& path) const;

  // Current directories of the simulated processes, so that a directory in
  // use cannot be removed (a DOS box open in it, or a program started there).
  void SetBusyDirectoriesSource(std::function<std::vector<std::string>()> source) {
    m_busyDirectories = std::move(source);
  }

  // --- Faults ----------------------------------------------------------------
  // The nth call of that kind from now on fails and changes nothing (1: the
  // next one), as a virus guard, a full directory or a failing disk can make
  // any single step fail.  Several failures may be pending at once.
  void FailCall(FileCall call, int nth = 1);
  // The drive fills up once this many more bytes have been written through
  // the port: the write that goes beyond puts what fits and fails.
  void FillUpAfter(std::size_t bytes) { m_bytesUntilFull = bytes; }
  // The file comes back, with its content, every time it is deleted through
  // the port: a resident guard or a synchronising tool restoring it.  The
  // deletion itself reports success.
  void RestoreAfterRemoval(const std::string& path);
  // Windows 95 moves no file that is in use, whatever holds it.
  void RefuseMovesOfFilesInUse() { m_movesFilesInUse = false; }

  // --- The port's file calls ----------------------------------------------
  FindHandle FindFirst(const std::string& pattern, FindEntry* entry, long* error);
  bool FindNext(FindHandle search, FindEntry* entry);
  void FindClose(FindHandle search);
  FileHandle OpenExclusive(const std::string& path, FileOpenMode mode);
  bool ReadAll(FileHandle file, std::string* bytes, std::size_t limit);
  bool WriteAll(FileHandle file, const std::string& bytes);
  // Nothing is lost here; true for a file open for writing, and then path
  // is the file's.
  bool Flush(FileHandle file, std::string* path);
  void CloseFile(FileHandle file);
  bool RemoveFile(const std::string& path);
  bool Move(const std::string& from, const std::string& to);
  bool ClearReadOnly(const std::string& path);
  bool SetEntryAttributes(const std::string& path, std::uint32_t attributes);
  long LookUp(const std::string& path, std::uint32_t* attributes) const;
  bool RemoveEmptyDirectory(const std::string& path);
  bool ChangeDirectory(const std::string& path);
  std::string ShortPath(const std::string& path) const;
  // Puts the path on the list of deletions at the next start of Windows.
  bool QueueDeletion(const std::string& path);
  // That list, full paths in the order queued.
  const std::vector<std::string>& PendingDeletions() const { return m_pendingDeletions; }
  const std::string& CurrentDirectory() const { return m_currentDirectory; }

  // A node of the drive; defined in the source file.
  struct Node;

 private:
  struct OpenFile {
    std::shared_ptr<Node> node;
    std::uint32_t holdId = 0;
    bool writable = false;
  };

  // Splits a full path into its names below the drive root, as they are;
  // false when the path is not on drive C:.
  bool Components(const std::string& path, std::vector<std::string>* names) const;
  // The same as the ANSI calls read the path: kErrorFilenameExcedRange when
  // it is too long, the names without the dots and blanks they drop.
  long AnsiComponents(const std::string& path, std::vector<std::string>* names) const;
  // The node a path names, following directory links on the way.
  std::shared_ptr<Node> Lookup(const std::string& path) const;
  std::shared_ptr<Node> AnsiLookup(const std::string& path, bool followLast) const;
  static std::uint32_t AttributesOf(const Node& node);
  std::shared_ptr<Node> LookupNames(const std::vector<std::string>& names, bool followLast) const;
  std::shared_ptr<Node> MakeDirectories(const std::vector<std::string>& names);
  std::shared_ptr<Node> Resolve(std::shared_ptr<Node> node) const;
  std::string PathOf(const std::shared_ptr<Node>& node) const;
  bool IsBusyDirectory(const std::shared_ptr<Node>& node) const;
  // Counts a port call and tells whether a test asked for it to fail.
  bool CallFails(FileCall call);

  std::shared_ptr<Node> m_root;
  std::string m_currentDirectory = "C:\\";
  std::map<std::uintptr_t, std::vector<FindEntry>> m_searches;
  std::map<std::uintptr_t, OpenFile> m_files;
  std::uintptr_t m_nextHandle = 0x100;
  std::uint32_t m_nextHold = 1;
  std::function<std::vector<std::string>()> m_busyDirectories;
  std::map<FileCall, int> m_callCounts;
  std::set<std::pair<FileCall, int>> m_failingCalls;  // (kind, number of the call)
  std::size_t m_bytesUntilFull = std::numeric_limits<std::size_t>::max();
  std::set<std::string> m_restored;  // upper-cased full paths
  bool m_movesFilesInUse = true;
  std::vector<std::string> m_pendingDeletions;
};

// Whether a name matches a FindFirstFile pattern: '*' any run of characters,
// '?' one character, and a pattern ending in ".*" also matches names without
// a dot (so "*.*" matches every name).
bool WildcardMatch(const std::string& pattern, const std::string& name);

}  // namespace kw::sim

#endif  // KWUNINST_PLATFORM_SIM_SIM_FILES_H_
