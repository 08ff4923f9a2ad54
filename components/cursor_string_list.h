// CCursorStringList: a list of texts with a current position (the cursor)
// that walks forward, can step back, can remove the text under it, and can
// be sent forward by a case-insensitive search.  Used for text-file lines,
// directory listings, registry subkeys and the exclusion list.
//
// The walk of every user: Rewind(), then while !IsAtEnd(): GetNextString().
#ifndef KWUNINST_COMPONENTS_CURSOR_STRING_LIST_H_
#define KWUNINST_COMPONENTS_CURSOR_STRING_LIST_H_

#include <list>
#include <string>

#include "components/error_info.h"

namespace kw {

// The framework's doubly linked list of texts, as far as the program uses it.
class CStringList {
 public:
  virtual ~CStringList() = default;

  void AddHead(const std::string& text) { m_list.push_front(text); }
  void AddTail(const std::string& text) { m_list.push_back(text); }
  int GetCount() const { return static_cast<int>(m_list.size()); }
  bool IsEmpty() const { return m_list.empty(); }

 protected:
  std::list<std::string> m_list;
};

class CCursorStringList : public CStringList, public CErrorInfo {
 public:
  CCursorStringList();
  ~CCursorStringList() override = default;
  // The cursor refers into this list's own nodes: a copy could only point
  // into the wrong list.
  CCursorStringList(const CCursorStringList&) = delete;
  CCursorStringList& operator=(const CCursorStringList&) = delete;

  // Removes every text; the cursor is at the end.  A recorded error stays.
  void Clear();
  // The cursor to the first text (to the end when there is none).
  void Rewind();
  bool IsAtEnd() const { return m_posCursor == m_list.end(); }
  // To the previous text; from the end to the last text; from the first
  // text to the end.
  void StepBack();
  // Copies the text under the cursor, unchanged, and moves on.  False, with
  // nothing touched, when the cursor is at the end.
  bool GetNextString(std::string& text);
  // Removes the text under the cursor; the cursor moves to the text that
  // followed.  False, with nothing touched, when the cursor is at the end.
  bool RemoveCurrent();
  // Puts a text before the one under the cursor (at the tail when the
  // cursor is at the end); the cursor stays where it was.
  void InsertBeforeCurrent(const std::string& text) { m_list.insert(m_posCursor, text); }
  // Searches forward from the cursor for a text that contains `text`,
  // ignoring case, and leaves the cursor on it.  A text holding the
  // delimiter first stops the search there (106); running off the end
  // gives 107.  Both record the upper-cased text.
  bool FindText(const std::string& text, const std::string& delimiter);

 private:
  std::list<std::string>::iterator m_posCursor;  // end() = at the end
};

}  // namespace kw

#endif  // KWUNINST_COMPONENTS_CURSOR_STRING_LIST_H_
