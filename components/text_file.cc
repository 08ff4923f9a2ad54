#include "components/text_file.h"

#include <cstdint>
#include <cstdio>

#include "components/message_catalogue.h"

namespace kw {
namespace {

constexpr char kEndOfText = '\x1A';  // Ctrl-Z
constexpr const char* kLineEnd = "\r\n";

// Names tried beside the file for its new content and for the old file while
// it is set aside; leftovers of an interrupted earlier run may take some.
constexpr int kSpareNameTries = 100;
constexpr const char* kNewContentPrefix = "~KWN";
constexpr const char* kOldContentPrefix = "~KWO";

// Adds the lines of a file's bytes, read by the text-mode rules, at the tail.
void AddLines(const std::string& bytes, CCursorStringList& lines) {
  const std::string text = bytes.substr(0, bytes.find(kEndOfText));
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t lineFeed = text.find('\n', start);
    if (lineFeed == std::string::npos) {
      lines.AddTail(text.substr(start));  // a last line without a line end
      return;
    }
    std::size_t end = lineFeed;
    if (end > start && text[end - 1] == '\r') --end;
    lines.AddTail(text.substr(start, end - start));
    start = lineFeed + 1;
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

// A name in the directory (empty, or ending in a backslash) that names no
// entry yet: the prefix, four digits and .TMP, a name DOS can see as well.
// Empty when every try is taken.
std::string FreeNameIn(const std::string& directory, const char* prefix) {
  for (int n = 0; n < kSpareNameTries; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "%s%04d.TMP", prefix, n);
    FindEntry entry;
    if (!FindEntryOf(directory + name, &entry)) return directory + name;
  }
  return std::string();
}

// Writes a file that did not exist.  False when it cannot be created or not
// all of it could be written (a full disk); nothing is left behind then.
bool WriteNewFile(const std::string& path, const std::string& bytes) {
  ScopedFile file;
  if (!file.Open(path, FileOpenMode::kReadWriteCreateNew)) return false;
  if (Os().WriteWholeFile(file.Get(), bytes)) return true;
  file.Close();
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

bool CTextFile::Open(const CTrimString& fileName, bool create) {
  if (m_bOpen) Close();
  m_strFileName = fileName;
  std::string bytes;
  if (!m_File.Open(fileName, create ? FileOpenMode::kReadCreateIfMissing : FileOpenMode::kReadExisting) ||
      !Os().ReadWholeFile(m_File.Get(), &bytes)) {
    m_File.Close();
    m_bOpen = 0;
    SetError(kErrFileNotOpened, fileName);
    return false;
  }
  m_lstLines.Clear();
  AddLines(bytes, m_lstLines);
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
  const std::string newPath = FreeNameIn(directory, kNewContentPrefix);
  const std::string oldPath = FreeNameIn(directory, kOldContentPrefix);
  if (newPath.empty() || oldPath.empty() || !WriteNewFile(newPath, JoinLines(m_lstLines))) {
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

bool CTextFile::DeleteCurrentLine() {
  if (!CheckOpen()) return false;
  if (!m_lstLines.RemoveCurrent()) return false;
  m_bModified = 1;
  return true;
}

}  // namespace kw
