// boxanswer's command line: what to start, which boxes to answer and how,
// which status windows to follow, and where to write (see README.md).
#ifndef BOXANSWER_OPTIONS_H
#define BOXANSWER_OPTIONS_H

#include <string>
#include <vector>

namespace boxanswer {

// After the started process ends, windows of helper processes it left
// behind may still show up; keep watching a little.
const unsigned kGraceMs = 500;

struct AnswerRule {
  std::string title;     // the whole title; empty in a --answer-text rule
  std::string textPart;  // --answer-text: a part of the box's message text
  std::string button;
  unsigned delayMs = 0;
};

struct Options {
  bool hasRun = false;
  std::string run;
  std::string cwd;
  std::vector<AnswerRule> answers;
  std::vector<std::string> statusTitles;
  std::string screenshotDir;
  std::string transcript;
  double timeoutSeconds = 60;
};

extern const char kUsage[];

// Reads the arguments as the runtime split them (argv[0] is the program).
// False when they are wrong, with *error saying why, or when help was asked
// for (*error empty): either way the caller prints kUsage.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);

}  // namespace boxanswer

#endif
