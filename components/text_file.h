// CTextFile: a small text file edited line by line in memory.  Open reads
// the whole file into a list of lines and keeps the file open with sharing
// denied, so nobody changes it meanwhile; the caller moves the cursor,
// searches for lines by a piece of their text, deletes them and adds
// others; Close writes the file back, whole, only when a line was deleted or
// added.
//
// The text rules are those of a DOS batch file: a line ends at CR LF, at LF
// or at a CR alone, and Ctrl-Z ends the text.  Every line is written back
// followed by CR LF, the last one included, and then whatever followed the
// Ctrl-Z, byte for byte with the Ctrl-Z itself; bytes above 0x7F pass
// through as they are.
//
// Saving never leaves the file's name without a whole file: the new content
// is written beside the file, with the file's hidden, system and archive
// attributes, flushed to the disk, and only then takes the file's place
// (see Close).  A failed save leaves the file with its earlier content,
// byte for byte.  The spare names are the file's own with the extension
// .~KN for the new content and .~KO for the old one while it is set aside,
// or, where a file that this save did not make has that name, the first
// free of .~N1 to .~N9 and .~O1 to .~O9: such a file is somebody else's, or
// what an interrupted save left, and a save deletes nothing it did not make.
//
// Only a file read whole in memory can be edited so: one larger than
// kLargestTextFile is refused as unreadable.
#ifndef KWUNINST_COMPONENTS_TEXT_FILE_H_
#define KWUNINST_COMPONENTS_TEXT_FILE_H_

#include <cstddef>
#include <string>

#include "components/cursor_string_list.h"
#include "components/error_info.h"
#include "components/trim_string.h"
#include "platform/scoped_handles.h"

namespace kw {

class CTextFile : public CErrorInfo {
 public:
  // Batch files and .ini files are a few kilobytes: Windows 95's own
  // profile functions read and write at most 32 KB at a time, and Windows
  // 3.1 ignored what lies past 64 KB of an .ini file (Microsoft's articles
  // Q230194 and Q74608).  A file of hundreds of megabytes under such a name
  // is not one, and reading it whole would exhaust the memory and end the
  // program while the setup-log uninstaller is still frozen.  1 MB leaves
  // the real ones ample room and costs a few megabytes at most.
  static constexpr std::size_t kLargestTextFile = 1024 * 1024;

  // What Open does with the old content that an interrupted save left set
  // aside, when the file itself is missing.
  enum class SetAside {
    // Leaves it, and records it: the file may be missing for good reasons,
    // and the set-aside content be stale (WININIT.EXE consumes WININIT.INI
    // when Windows starts; its old lines put back would run again).
    kLeave,
    // Puts it back: the file's absence is the interrupted save's doing
    // (DOSSTART.BAT is never taken away otherwise).
    kPutBack,
  };

  CTextFile();
  // Closes the file, saving it when a line was deleted or added.  The
  // outcome of that save is lost with the object: a caller that must know
  // calls Close.
  ~CTextFile();
  CTextFile(const CTextFile&) = delete;
  CTextFile& operator=(const CTextFile&) = delete;

  // Reads the file's lines; the cursor stands past the last one, so callers
  // Rewind before they search.  A file that is open already is closed first
  // (and saved when changed).  A missing file that an interrupted save left
  // set aside is put back when setAside says so; otherwise, with create, a
  // missing file is made empty.  104 with the file name when the file
  // cannot be put back, opened or read, or is larger than kLargestTextFile;
  // the object is closed then.
  bool Open(const CTrimString& fileName, bool create, SetAside setAside = SetAside::kLeave);

  // Saves the file when a line was deleted or added, then closes it.  The
  // object is closed afterwards whatever happened.  105 when no file is
  // open; 140 when the save failed, and then the file keeps its earlier
  // content.
  bool Close();

  // The following record 105 and change nothing when no file is open.

  // The cursor to the first line.
  bool Rewind();
  // Searches forward from the cursor for a line that contains the text,
  // ignoring case, and leaves the cursor on it.  A line that holds the
  // delimiter first ends the search there; an empty delimiter never does.
  // 136 with the text as given when no line is found.
  bool FindLine(const std::string& text, const std::string& delimiter);
  // Copies the line under the cursor; the cursor stays.  False at the end.
  bool GetCurrentLine(std::string& line);
  // The cursor to the next line.  False at the end.
  bool SkipLine();
  // Deletes the line under the cursor; the cursor moves to the line that
  // followed.  False, with nothing deleted, at the end.
  bool DeleteCurrentLine();
  // Puts a line before the one under the cursor (after the last one when
  // the cursor is at the end); the cursor stays on its line.
  bool InsertLine(const std::string& line);

 private:
  // True when a file is open; otherwise records 105.
  bool CheckOpen();
  // Deals, as setAside says, with the old content that an interrupted save
  // left under a spare name while the file is missing.  False when it was
  // to be put back and could not be.
  static bool HandleSetAside(const CTrimString& fileName, SetAside setAside);
  // Puts the lines in the file's place.  Closes m_File on the way, unless it
  // fails before the file was touched.
  bool Save();

  ScopedFile m_File;
  int m_bOpen = 0;
  int m_bModified = 0;  // a line was deleted or inserted since Open
  CCursorStringList m_lstLines;
  CTrimString m_strFileName;
  std::string m_strTail;  // from the Ctrl-Z on, as read: the user's as well
};

}  // namespace kw

#endif  // KWUNINST_COMPONENTS_TEXT_FILE_H_
