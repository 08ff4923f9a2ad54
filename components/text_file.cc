#include "components/text_file.h"

#include <cstddef>
#include <cstdint>

#include "components/message_catalogue.h"
#include "components/run_record.h"

namespace kw {
namespace {

constexpr char kEndOfText = '\x1A';  // Ctrl-Z
constexpr const char* kLineEnd = "\r\n";

// The extensions of the names beside the file for its new content and for
// the old file while it is set aside: the first one, then those tried when
// it is taken.  The rest of the name is the file's own, so that what an
// interrupted save left is known for whose it is, and DOS can see it too.
constexpr const char* kNewContentExtensions[] = {".~KN", ".~N1", ".~N2", ".~N3", ".~N4",
                                                 ".~N5", ".~N6", ".~N7", ".~N8", ".~N9"};
constexpr const char* kOldContentExtensions[] = {".~KO", ".~O1", ".~O2", ".~O3", ".~O4",
                                                 ".~O5", ".~O6", ".~O7", ".~O8", ".~O9"};

// Attributes a rewritten file takes over from the file it replaces.
constexpr std::uint32_t kKeptAttributes =
    kFileAttributeHidden | kFileAttributeSystem | kFileAttributeArchive;

// Adds the lines of a text at the tail.  A line ends at CR LF, at LF, and
// at a CR alone, where COMMAND.COM ends a batch line too: a file written
// with CR alone is still a file of lines.
void AddLines(const std::string& text, CCursorStringList& lines) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.AddTail(text.substr(start));  // a last line without a line end
      return;
    }
    lines.AddTail(text.substr(start, end - start));
    const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
    start = end + (crLf ? 2 : 1);
  }
}

// Every line followed by CR LF.  Leaves the cursor at the end.
std::string JoinLines(CCursorStringList& lines) {
  std::string bytes;
  std::string line;
  lines.Rewind();
  while (lines.GetNextString(line)) bytes += line + kLineEnd;
  return bytes;
}

// The entry a search finds for the path; false when there is none.
bool FindEntryOf(const std::string& path, FindEntry* entry) {
  ScopedFind search;
  return search.First(path, entry);
}

// The file's name with another extension: DOSSTART.BAT gives DOSSTART.~KN,
// a name DOS can see as well.
std::string SpareName(const std::string& path, const char* extension) {
  const std::string::size_type nameStart = path.rfind('\\') + 1;
  const std::string::size_type dot = path.find('.', nameStart);
  return path.substr(0, dot) + extension;
}

// Whether the look found nothing under the name.
bool IsAbsent(const std::string& path) {
  std::uint32_t attributes = 0;
  return MeansNothingThere(Os().LookUpEntry(path, &attributes));
}

// The first spare name that nothing has; empty when all are taken.  What
// has one was not made by this save: another program's file, or what an
// earlier save left, which is not this one's to delete.
template <std::size_t N>
std::string FreeSpareName(const std::string& path, const char* const (&extensions)[N]) {
  for (const char* extension : extensions) {
    const std::string spare = SpareName(path, extension);
    if (IsAbsent(spare)) return spare;
    CRunRecord::Note("file: kept " + spare + " (not made by this save of " + path + ")");
  }
  return std::string();
}

// Where an interrupted save left the old content: a save sets it aside under
// the first free name, so it is the last of the names taken in a row.
// Empty when the first name is free.
std::string LastSetAside(const std::string& path) {
  std::string last;
  for (const char* extension : kOldContentExtensions) {
    const std::string spare = SpareName(path, extension);
    if (IsAbsent(spare)) break;
    last = spare;
  }
  return last;
}

// Writes a file that did not exist, with the attributes given.  False when
// it cannot be created, not all of it could be written (a full disk) or the
// attributes not set; nothing is left behind then.
bool WriteNewFile(const std::string& path, const std::string& bytes, std::uint32_t attributes) {
  ScopedFile file;
  if (!file.Open(path, FileOpenMode::kReadWriteCreateNew)) return false;
  // On the disk before it takes the old file's place: a power cut between
  // the moves that follow must not leave the name to content never written.
  const bool written = Os().WriteWholeFile(file.Get(), bytes) && Os().FlushFile(file.Get());
  file.Close();
  if (written && Os().SetEntryAttributes(path, attributes == 0 ? kFileAttributeNormal : attributes)) {
    return true;
  }
  Os().RemoveFile(path);
  return false;
}

// Puts the complete file at newPath in the place of the file at path.
// Windows 95 cannot move onto an existing name, so it takes three steps, and
// after each one a whole file stands under path or the step is undone:
//   1. path -> oldPath     fails: path untouched; newPath removed.
//   2. newPath -> path     fails: oldPath moved back to path; newPath removed.
//   3. oldPath removed     fails: path holds the new content all the same.
// Only when step 2 and its undoing both fail does path stay empty; the old
// content is then kept under oldPath and the new under newPath, neither
// deleted.
bool PutInPlace(const std::string& path, const std::string& newPath, const std::string& oldPath) {
  if (!Os().MoveEntry(path, oldPath)) {
    Os().RemoveFile(newPath);
    return false;
  }
  if (!Os().MoveEntry(newPath, path)) {
    if (Os().MoveEntry(oldPath, path)) Os().RemoveFile(newPath);
    return false;
  }
  Os().RemoveFile(oldPath);
  return true;
}

}  // namespace

CTextFile::CTextFile() {
  m_lstLines.Clear();
  LoadTitle(kTitleTextFile);
}

CTextFile::~CTextFile() { Close(); }

bool CTextFile::Open(const CTrimString& fileName, bool create, SetAside setAside) {
  if (m_bOpen) Close();
  m_strFileName = fileName;
  std::string bytes;
  if (!HandleSetAside(fileName, setAside) ||
      !m_File.Open(fileName, create ? FileOpenMode::kReadCreateIfMissing : FileOpenMode::kReadExisting) ||
      !Os().ReadWholeFile(m_File.Get(), &bytes, kLargestTextFile)) {
    m_File.Close();
    m_bOpen = 0;
    SetError(kErrFileNotOpened, fileName);
    return false;
  }
  const std::string::size_type endOfText = bytes.find(kEndOfText);
  m_strTail = endOfText == std::string::npos ? std::string() : bytes.substr(endOfText);
  m_lstLines.Clear();
  AddLines(bytes.substr(0, endOfText), m_lstLines);
  m_bOpen = 1;
  m_bModified = 0;
  return true;
}

bool CTextFile::CheckOpen() {
  if (!m_bOpen) SetError(kErrNoFileOpen, "");
  return m_bOpen != 0;
}

bool CTextFile::Close() {
  if (!CheckOpen()) return false;
  bool saved = true;
  if (m_bModified && !Save()) {
    SetError(kErrSaveFailed, "");
    saved = false;
  }
  m_File.Close();
  m_bOpen = 0;
  m_bModified = 0;
  return saved;
}

bool CTextFile::HandleSetAside(const CTrimString& fileName, SetAside setAside) {
  if (!IsAbsent(fileName)) return true;
  const std::string setAsidePath = LastSetAside(fileName);
  if (setAsidePath.empty()) return true;
  if (setAside == SetAside::kLeave) {
    CRunRecord::Note("file: kept " + setAsidePath + " (an interrupted save set it aside; " +
                     fileName + " is missing, and it is not put back)");
    return true;
  }
  // A save that was cut short between setting the file aside and putting
  // its new content in place left the file under its spare name only.  Read
  // as missing, it would be made anew, empty, and its lines lost where
  // nobody looks; it goes back first, or nothing is touched at all.
  return Os().MoveEntry(setAsidePath, fileName);
}

bool CTextFile::Save() {
  // A read-only file is not to be rewritten, yet its name could be moved:
  // ask before anything is moved.  The name as found keeps its case.
  FindEntry entry;
  if (!FindEntryOf(m_strFileName, &entry) || (entry.attributes & kFileAttributeReadOnly) != 0) {
    return false;
  }
  CTrimString directory;
  m_strFileName.GetDirectoryPart(directory);
  const std::string path = directory + entry.name;
  const std::string newPath = FreeSpareName(path, kNewContentExtensions);
  const std::string oldPath = FreeSpareName(path, kOldContentExtensions);
  if (newPath.empty() || oldPath.empty() ||
      !WriteNewFile(newPath, JoinLines(m_lstLines) + m_strTail, entry.attributes & kKeptAttributes)) {
    return false;
  }
  // Let go of the file only now that its replacement is complete: it cannot
  // be moved while it is held.
  m_File.Close();
  return PutInPlace(path, newPath, oldPath);
}

bool CTextFile::Rewind() {
  if (!CheckOpen()) return false;
  m_lstLines.Rewind();
  return true;
}

bool CTextFile::FindLine(const std::string& text, const std::string& delimiter) {
  if (!CheckOpen()) return false;
  if (m_lstLines.FindText(text, delimiter)) return true;
  // The list keeps its own error with the upper-cased text.
  SetError(kErrTextNotFound, text);
  return false;
}

bool CTextFile::GetCurrentLine(std::string& line) {
  if (!CheckOpen()) return false;
  if (!m_lstLines.GetNextString(line)) return false;
  m_lstLines.StepBack();
  return true;
}

bool CTextFile::SkipLine() {
  if (!CheckOpen()) return false;
  std::string skipped;
  return m_lstLines.GetNextString(skipped);
}

bool CTextFile::InsertLine(const std::string& line) {
  if (!CheckOpen()) return false;
  m_lstLines.InsertBeforeCurrent(line);
  m_bModified = 1;
  return true;
}

bool CTextFile::DeleteCurrentLine() {
  if (!CheckOpen()) return false;
  if (!m_lstLines.RemoveCurrent()) return false;
  m_bModified = 1;
  return true;
}

}  // namespace kw
