// The platform port: everything KWUNINST needs from the operating system, and
// nothing more.  There are two implementations: platform/win32 calls the real
// Windows API, platform/sim is a simulated Windows machine for the native
// build and its tests.  Code outside platform/ reaches the system only through
// Os(), so a test can put a simulated machine in place of the real one.
//
// The operations mirror the Win32 calls they stand for (same result codes,
// same numbers for flags), but their names avoid the <windows.h> macros
// (DeleteFile, FindWindow, LoadString...), so that the Win32 port and the
// Windows test programs can include this header beside <windows.h>.  Two
// component members do carry such names, CFileManagement::DeleteFile and
// CFileManagementPrompt::RemoveDirectory, kept for their documented names:
// <windows.h> would rename them wherever it is included, and it is never
// included where they are declared or called (outside platform/, the
// program never includes it).
#ifndef KWUNINST_PLATFORM_PLATFORM_H_
#define KWUNINST_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <string>

namespace kw {

// ---------------------------------------------------------------------------
// Win32 numbers used across the port.  Same values as the Windows SDK.

// Result codes of the registry calls.
constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorPathNotFound = 3;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorNotEnoughMemory = 8;  // also the exit code of a program out of memory
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorFilenameExcedRange = 206;  // the ANSI file calls, past MAX_PATH
constexpr long kErrorMoreData = 234;
constexpr long kErrorNoMoreItems = 259;
constexpr long kErrorKeyDeleted = 1018;

// Registry access masks.
constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;

// Registry value types.
constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

// Platform ids reported by the version query.
constexpr std::uint32_t kPlatformWin32Windows = 1;  // Windows 95
constexpr std::uint32_t kPlatformWin32Nt = 2;

// Message box styles and answers.
constexpr std::uint32_t kMbOk = 0x0;
constexpr std::uint32_t kMbRetryCancel = 0x5;
constexpr std::uint32_t kMbIconError = 0x10;
constexpr std::uint32_t kMbIconInformation = 0x40;
constexpr std::uint32_t kMbTopmost = 0x40000;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdRetry = 4;

// Answer of the thread suspension calls when they fail.
constexpr std::uint32_t kSuspendFailed = 0xFFFFFFFFu;

// Attribute bits of a directory entry.
constexpr std::uint32_t kFileAttributeReadOnly = 0x01;
constexpr std::uint32_t kFileAttributeHidden = 0x02;
constexpr std::uint32_t kFileAttributeSystem = 0x04;
constexpr std::uint32_t kFileAttributeDirectory = 0x10;
constexpr std::uint32_t kFileAttributeArchive = 0x20;
constexpr std::uint32_t kFileAttributeNormal = 0x80;  // none of the others
constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;

// Kinds of drive that GetDriveTypeA tells apart.  Only a fixed drive is
// there, as it is now, when Windows next starts: a network drive is not
// connected yet, a RAM disk is empty, a floppy or CD may be another one.
constexpr std::uint32_t kDriveUnknown = 0;
constexpr std::uint32_t kDriveNoRootDir = 1;  // no such drive
constexpr std::uint32_t kDriveRemovable = 2;
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::uint32_t kDriveRemote = 4;
constexpr std::uint32_t kDriveCdRom = 5;
constexpr std::uint32_t kDriveRamDisk = 6;

// Whether a failed file call says that nothing is there.  Only these two
// answers do; any other failure (a name too long for the ANSI calls, say)
// says nothing about the entry.
inline bool MeansNothingThere(long error) {
  return error == kErrorFileNotFound || error == kErrorPathNotFound;
}

// Longest path the ANSI file calls accept, terminating zero included.
// Longer ones fail with kErrorFilenameExcedRange, yet a directory listing
// still shows the entries they would name.
constexpr std::size_t kMaxPath = 260;

// ---------------------------------------------------------------------------
// Handles.  Opaque numbers; each implementation decides what they mean.  A
// value of 0 is "no handle" for every kind.

struct RegKey {
  std::uintptr_t value = 0;
  friend bool operator==(RegKey a, RegKey b) { return a.value == b.value; }
  friend bool operator!=(RegKey a, RegKey b) { return a.value != b.value; }
};

// The predefined roots carry the bit patterns that Windows gives them (the
// 32-bit value sign-extended to pointer width), so the Win32 port passes
// them through unchanged.
constexpr RegKey PredefinedKey(std::int32_t value) {
  return RegKey{static_cast<std::uintptr_t>(static_cast<std::intptr_t>(value))};
}
constexpr RegKey kHkeyClassesRoot = PredefinedKey(static_cast<std::int32_t>(0x80000000u));
constexpr RegKey kHkeyCurrentUser = PredefinedKey(static_cast<std::int32_t>(0x80000001u));
constexpr RegKey kHkeyLocalMachine = PredefinedKey(static_cast<std::int32_t>(0x80000002u));

bool IsPredefinedKey(RegKey key);

struct WindowHandle {
  std::uintptr_t value = 0;
  explicit operator bool() const { return value != 0; }
  friend bool operator==(WindowHandle a, WindowHandle b) { return a.value == b.value; }
  friend bool operator!=(WindowHandle a, WindowHandle b) { return a.value != b.value; }
};

struct IconHandle {
  std::uintptr_t value = 0;
  explicit operator bool() const { return value != 0; }
};

struct FindHandle {
  std::uintptr_t value = 0;
  explicit operator bool() const { return value != 0; }
};

struct FileHandle {
  std::uintptr_t value = 0;
  explicit operator bool() const { return value != 0; }
};

// What CreateProcess hands back: the handles stay open for as long as the
// caller keeps them (the port never closes them behind its back).  Nothing
// reads the process handle, yet while it is open the process id cannot pass
// to another process, and the program follows the process by that id.
struct ProcessInfo {
  std::uintptr_t process = 0;
  std::uintptr_t thread = 0;
  std::uint32_t processId = 0;
};

enum class ShowState {
  kNormal,               // SW_SHOWNORMAL
  kMinimizedNoActivate,  // SW_SHOWMINNOACTIVE: minimised, focus left alone
};

enum class IconSize { kSmall = 0, kBig = 1 };  // ICON_SMALL, ICON_BIG

// One entry of a directory search.
struct FindEntry {
  std::string name;
  std::uint32_t attributes = 0;
  bool IsDirectory() const { return (attributes & kFileAttributeDirectory) != 0; }
  bool IsReparsePoint() const { return (attributes & kFileAttributeReparsePoint) != 0; }
};

// How a file is opened.  Every open of this program denies all sharing.
enum class FileOpenMode {
  kReadExisting,         // open an existing file for reading
  kReadCreateIfMissing,  // as above, creating an empty file when missing
  kReadWriteCreateNew,   // a new file for reading and writing; fails when the name exists
};

// The dialog manager calls back into its owner while it builds the status
// window.  The window layer handles painting of the minimised window itself,
// with the icon the owner supplies.
class DialogEvents {
 public:
  virtual ~DialogEvents() = default;
  // WM_INITDIALOG, before the window is first shown.  The window layer then
  // centres the window in the work area and shows it.
  virtual bool OnInitDialog(WindowHandle dialog) = 0;
  // The icon drawn while the window is minimised and dragged.
  virtual IconHandle MinimisedIcon() const = 0;
};

// ---------------------------------------------------------------------------

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Registry (advapi32).  Results are Win32 error codes. ---------------

  // RegOpenKeyExA.  An empty subkey opens the parent key itself.  On failure
  // *opened is left 0.
  virtual long OpenRegistryKey(RegKey parent, const std::string& subkey,
                               std::uint32_t access, RegKey* opened) = 0;
  // RegQueryValueExA.  *size is the room in data on entry and the size of the
  // value's data on return.  kErrorMoreData when the data does not fit, and
  // then nothing is promised about the buffer.
  virtual long QueryRegistryValue(RegKey key, const std::string& name,
                                  std::uint32_t* type, unsigned char* data,
                                  std::uint32_t* size) = 0;
  // RegEnumKeyExA.  *size is the room in name (characters, terminating zero
  // included) on entry and the name's length on return.
  virtual long EnumRegistrySubkey(RegKey key, std::uint32_t index, char* name,
                                  std::uint32_t* size) = 0;
  // RegDeleteKeyA: NT refuses a key with subkeys, Windows 95 takes them along.
  virtual long DeleteRegistryKey(RegKey parent, const std::string& subkey) = 0;
  virtual long DeleteRegistryValue(RegKey key, const std::string& name) = 0;
  virtual long CloseRegistryKey(RegKey key) = 0;

  // --- System --------------------------------------------------------------

  // GetWindowsDirectoryA; empty when it fails.
  virtual std::string WindowsDirectory() = 0;
  // GetTempPathA: the user's directory for temporary files, ending in a
  // backslash; empty when it fails.
  virtual std::string TemporaryDirectory() = 0;
  // GetVersionExA's platform id: kPlatformWin32Windows or kPlatformWin32Nt.
  virtual std::uint32_t PlatformId() = 0;
  // The catalogue text with that number from the program's string table;
  // empty when there is none.
  virtual std::string CatalogueText(unsigned id) = 0;
  // Sleep / SleepEx.  The simulated machine only moves its clock.
  virtual void Pause(std::uint32_t milliseconds, bool alertable) = 0;
  // MessageBoxA; the answer (kIdOk, kIdRetry, ...), or 0 when no box could
  // be shown.
  virtual int ShowMessageBox(WindowHandle owner, const std::string& text,
                             const std::string& caption, std::uint32_t style) = 0;
  // ExitProcess: the program ends here, with that exit code; nothing of it
  // runs afterwards (no destructor).  Its windows go with it and its handles
  // are closed; the processes it started run on, but a thread of theirs
  // that it suspended stays suspended.
  [[noreturn]] virtual void EndProgram(std::uint32_t exitCode) = 0;

  // --- Processes -----------------------------------------------------------

  // CreateProcessA with the program found in the command line by the
  // platform's rules, no inherited handles, the caller's environment, the
  // given current directory and show state (STARTF_USESHOWWINDOW).
  virtual bool StartProcess(const std::string& commandLine,
                            const std::string& currentDirectory, ShowState show,
                            ProcessInfo* info) = 0;
  // SuspendThread / ResumeThread on a thread handle of StartProcess: the
  // previous suspend count, or kSuspendFailed.
  virtual std::uint32_t SuspendProcessThread(std::uintptr_t thread) = 0;
  virtual std::uint32_t ResumeProcessThread(std::uintptr_t thread) = 0;
  // GetProcessVersion: non-zero while the process runs.
  virtual std::uint32_t ProcessVersion(std::uint32_t processId) = 0;

  // --- Windows -------------------------------------------------------------

  // FindWindowA(NULL, title): whole title, without regard to case.
  virtual WindowHandle FindTopLevelWindow(const std::string& title) = 0;
  // GetWindowThreadProcessId: the id of the process that made the window;
  // 0 when the handle names no window (any more).
  virtual std::uint32_t WindowProcessId(WindowHandle window) = 0;
  // WM_CLOSE by SendMessageTimeoutA with SMTO_ABORTIFHUNG: true when the
  // window's thread handled the request within the timeout.
  virtual bool SendCloseRequest(WindowHandle window, std::uint32_t timeoutMs) = 0;
  // BringWindowToTop, without waiting for the window's thread to carry it
  // out (a hung program must not hang the caller).
  virtual bool BringToTop(WindowHandle window) = 0;

  // --- The status dialog ---------------------------------------------------

  // LoadIcon from the program's resources; no handle when it cannot.
  virtual IconHandle LoadProgramIcon(unsigned resourceId) = 0;
  // A modeless dialog from a template of the program's resources, without
  // owner.  Calls events->OnInitDialog before the window is shown, then
  // centres it in the work area and shows it.  No handle on failure.
  virtual WindowHandle CreateDialogWindow(unsigned templateId,
                                          DialogEvents* events) = 0;
  // WM_SETICON.
  virtual void SetWindowIcon(WindowHandle window, IconSize size, IconHandle icon) = 0;
  // SetWindowPos(HWND_TOPMOST, SWP_NOSIZE | SWP_NOMOVE).
  virtual void MakeTopmost(WindowHandle window) = 0;
  // SetDlgItemTextA.
  virtual void SetItemText(WindowHandle dialog, int itemId, const std::string& text) = 0;
  // UpdateWindow: paint now, without a message loop.
  virtual void RepaintNow(WindowHandle window) = 0;
  virtual bool IsWindowAlive(WindowHandle window) = 0;
  virtual void DestroyWindowNow(WindowHandle window) = 0;

  // --- Files and directories ----------------------------------------------
  //
  // Paths are read as the ANSI calls read them: a path of kMaxPath
  // characters or more fails, and the dots at the end of every name and the
  // blanks at the end of the last one are dropped, so "DATA." names "DATA"
  // (or nothing).  An entry whose name ends so is still listed by a search
  // of its directory, under its own name.

  // FindFirstFileA: no handle when nothing matches, and then *error says
  // why: kErrorFileNotFound or kErrorPathNotFound when there is nothing to
  // find, anything else when the search could not look.
  virtual FindHandle FindFirstEntry(const std::string& pattern, FindEntry* entry,
                                    long* error) = 0;
  // FindNextFileA: false when no further entry follows.
  virtual bool FindNextEntry(FindHandle search, FindEntry* entry) = 0;
  virtual void FindClose(FindHandle search) = 0;

  // CreateFileA with all sharing denied; no handle on failure.
  virtual FileHandle OpenFileExclusive(const std::string& path, FileOpenMode mode) = 0;
  // The whole content, from the first byte; false, without reading on,
  // when the file holds more than limit bytes (bytes is then unspecified).
  virtual bool ReadWholeFile(FileHandle file, std::string* bytes, std::size_t limit) = 0;
  // Writes bytes at the start of an emptied file.
  virtual bool WriteWholeFile(FileHandle file, const std::string& bytes) = 0;
  // FlushFileBuffers: what was written is on the disk when this returns
  // true.  Only for a file opened for writing.
  virtual bool FlushFile(FileHandle file) = 0;
  virtual void CloseFile(FileHandle file) = 0;

  // DeleteFileA.
  virtual bool RemoveFile(const std::string& path) = 0;
  // MoveFileA: gives a file (or directory) another name on the same drive.
  // Fails, changing nothing, when an entry named `to` exists: Windows 95 has
  // no move that replaces, so replacing a file takes several steps.  A file
  // that another program holds open cannot be moved; a read-only one can,
  // and on Windows NT so can a library that another program has loaded,
  // which cannot be deleted.
  virtual bool MoveEntry(const std::string& from, const std::string& to) = 0;
  // The runtime's _chmod(path, _S_IWRITE): clears the read-only attribute.
  virtual bool ClearReadOnly(const std::string& path) = 0;
  // SetFileAttributesA: read-only, hidden, system and archive as given.
  virtual bool SetEntryAttributes(const std::string& path, std::uint32_t attributes) = 0;
  // GetFileAttributesA: one look at one name (a link counting as itself),
  // where a search costs several calls.  kErrorSuccess with *attributes
  // filled, or the error: only kErrorFileNotFound and kErrorPathNotFound
  // say that nothing is there.
  virtual long LookUpEntry(const std::string& path, std::uint32_t* attributes) = 0;
  // RemoveDirectoryA: empty directories only.
  virtual bool RemoveEmptyDirectory(const std::string& path) = 0;
  // MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT): Windows NT deletes
  // the file (or the directory, once it is empty) when it next starts.
  // Looked up when called, since Windows 95 has only a stub of it: false
  // there, and wherever the caller lacks an administrator's rights.
  virtual bool DeleteAtRestart(const std::string& path) = 0;
  // GetShortPathNameA: the 8.3 form of an existing entry's path, as DOS and
  // WININIT.EXE see it; empty when it fails.
  virtual std::string ShortPath(const std::string& path) = 0;
  // The runtime's _chdir: also sets the drive's current directory.
  virtual bool ChangeDirectory(const std::string& path) = 0;
  // GetDriveTypeA of a drive's root ("C:\\"): one of the kDrive kinds.
  virtual std::uint32_t DriveType(const std::string& root) = 0;
  // WritePrivateProfileStringA(NULL, NULL, NULL, path): Windows 95 keeps the
  // last .ini file used through the profile functions in memory and writes
  // it back when it sees fit, over whatever was written to the file
  // meanwhile; this writes it back now and forgets it.  Its answer means
  // nothing (Wine always says FALSE) and is not given.  A missing file is
  // not made.
  virtual void FlushProfileCache(const std::string& path) = 0;
};

// The platform the program talks to.  In the Windows build this is the real
// system unless a test has put something else in place.
Platform& Os();

// Puts a platform in place of the current one for the life of this object.
class ScopedPlatformOverride {
 public:
  explicit ScopedPlatformOverride(Platform& replacement);
  ~ScopedPlatformOverride();
  ScopedPlatformOverride(const ScopedPlatformOverride&) = delete;
  ScopedPlatformOverride& operator=(const ScopedPlatformOverride&) = delete;

 private:
  Platform* m_previous;
};

// The platform used when nothing was put in place.  Defined by the Win32
// port; the native build has none and stops the program when asked.
Platform& DefaultPlatform();

}  // namespace kw

#endif  // KWUNINST_PLATFORM_PLATFORM_H_
