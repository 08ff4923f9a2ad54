#include "components/cursor_string_list.h"

#include "components/message_catalogue.h"
#include "components/trim_string.h"

namespace kw {

CCursorStringList::CCursorStringList() : m_posCursor(m_list.end()) {
  Clear();
  LoadTitle(kTitleStringList);
}

void CCursorStringList::Clear() {
  m_list.clear();
  Rewind();
}

void CCursorStringList::Rewind() { m_posCursor = m_list.begin(); }

void CCursorStringList::StepBack() {
  if (m_posCursor == m_list.begin()) {
    // From the first text (or an empty list) there is nothing before: the
    // cursor goes past the end, as the framework's position does.
    m_posCursor = m_list.end();
    return;
  }
  --m_posCursor;
}

bool CCursorStringList::GetNextString(std::string& text) {
  if (IsAtEnd()) return false;
  text.assign(*m_posCursor);
  ++m_posCursor;
  return true;
}

bool CCursorStringList::RemoveCurrent() {
  if (IsAtEnd()) return false;
  m_posCursor = m_list.erase(m_posCursor);
  return true;
}

bool CCursorStringList::FindText(const std::string& text, const std::string& delimiter) {
  const std::string wanted = UpperCased(text);
  const std::string stop = UpperCased(delimiter);
  while (!IsAtEnd()) {
    std::string line;
    GetNextString(line);
    line = UpperCased(line);
    if (line.find(wanted) != std::string::npos) {
      StepBack();
      return true;
    }
    if (!stop.empty() && line.find(stop) != std::string::npos) {
      StepBack();
      SetError(kErrDelimiterFound, wanted);
      return false;
    }
  }
  SetError(kErrEndOfList, wanted);
  return false;
}

}  // namespace kw
