// CRunRecord: the record of one run of the program, KWUNINST.LOG in the
// user's directory for temporary files.  Plain text, one line per event:
// where the installation was found, which programs were asked to close, the
// user's answer, each registry item, DOSSTART.BAT line, file and directory
// with what became of it, every box with its answer, each stage's result.
// It is for whoever wants to know afterwards what the uninstall did and why.
//
// The record never changes the run.  Its lines are kept in memory and the
// file is written once, at the end, where nothing of the run can be in its
// way; a record that cannot be written is skipped without a word.  Each run
// replaces the record of the one before.  There is one record a program, as
// there is one waiting budget.
#ifndef KWUNINST_COMPONENTS_RUN_RECORD_H_
#define KWUNINST_COMPONENTS_RUN_RECORD_H_

#include <string>
#include <vector>

namespace kw {

class CRunRecord {
 public:
  static constexpr const char* kFileName = "KWUNINST.LOG";

  // Begins the record of a run: forgets the lines of any earlier one and
  // deletes the last run's file, which this run replaces.
  static void Start();

  // Adds a line.  Kinds of lines begin with their subject and a colon
  // ("file: removed C:\K-WARD\DATA.DAT").
  static void Note(const std::string& line);

  // Writes the record as a new file, unless it would lie inside one of the
  // directories given (those the run removes things from: a file there
  // would be in their way).  Nothing happens when it cannot be written.
  static void Write(const std::vector<std::string>& directoriesToStayOutOf);

  // The lines so far, in order.
  static const std::vector<std::string>& Lines() { return s_lstLines; }

  // A box the user was shown, its text on one line, and the answer.
  static void NoteBox(const std::string& caption, const std::string& text, int answer);

 private:
  static const char* AnswerName(int answer);
  static std::string Path();

  static std::vector<std::string> s_lstLines;
};

}  // namespace kw

#endif  // KWUNINST_COMPONENTS_RUN_RECORD_H_
