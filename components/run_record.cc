#include "components/run_record.h"

#include "components/trim_string.h"
#include "platform/scoped_handles.h"

namespace kw {

std::vector<std::string> CRunRecord::s_lstLines;

std::string CRunRecord::Path() {
  const std::string directory = Os().TemporaryDirectory();
  return directory.empty() ? std::string() : CTrimString(directory).JoinPath(kFileName);
}

void CRunRecord::Start() {
  s_lstLines.clear();
  const std::string path = Path();
  if (!path.empty()) Os().RemoveFile(path);
}

void CRunRecord::Note(const std::string& line) { s_lstLines.push_back(line); }

void CRunRecord::Write(const std::vector<std::string>& directoriesToStayOutOf) {
  const std::string path = Path();
  if (path.empty()) return;
  for (const std::string& directory : directoriesToStayOutOf) {
    if (IsInDirectory(path, directory)) return;
  }
  std::string text;
  for (const std::string& line : s_lstLines) text += line + "\r\n";
  // Only a new file: one the start could not delete is somebody else's
  // business, and a record mixed with an older one would mislead.
  ScopedFile file;
  if (!file.Open(path, FileOpenMode::kReadWriteCreateNew)) return;
  if (Os().WriteWholeFile(file.Get(), text)) return;
  file.Close();
  Os().RemoveFile(path);
}

void CRunRecord::NoteBox(const std::string& caption, const std::string& text, int answer) {
  std::string oneLine = text;
  for (char& c : oneLine) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  Note("box \"" + caption + "\": " + oneLine + " -> " + AnswerName(answer));
}

const char* CRunRecord::AnswerName(int answer) {
  switch (answer) {
    case kIdOk:
      return "OK";
    case kIdCancel:
      return "Cancel";
    case kIdRetry:
      return "Retry";
    case 0:
      return "not shown";
    default:
      return "another answer";
  }
}

}  // namespace kw
