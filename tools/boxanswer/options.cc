#include "options.h"

#include <cstdlib>

namespace boxanswer {

const char kUsage[] =
    "usage: boxanswer [--run \"<command line>\"] [--cwd <dir>]\n"
    "                 [--answer \"<title>=<button>[@<delay ms>]\"]...\n"
    "                 [--answer-text \"<part of the text>=<button>[@<delay ms>]\"]...\n"
    "                 [--watch-status \"<title>\"]... [--screenshots <directory>]\n"
    "                 [--transcript <file>] [--timeout <seconds, default 60>]\n";

namespace {

// "<title>=<button>[@<delay ms>]".  The last '=' separates, so that titles
// may contain '='; a trailing "@digits" is the delay.
bool ParseAnswer(const std::string& text, AnswerRule* rule) {
  const size_t eq = text.rfind('=');
  if (eq == std::string::npos || eq == 0) return false;
  rule->title = text.substr(0, eq);
  rule->button = text.substr(eq + 1);
  const size_t at = rule->button.rfind('@');
  const std::string delay = at == std::string::npos ? "" : rule->button.substr(at + 1);
  if (!delay.empty() && delay.size() < 10 && delay.find_first_not_of("0123456789") == std::string::npos) {
    rule->delayMs = static_cast<unsigned>(std::strtoul(delay.c_str(), nullptr, 10));
    rule->button.erase(at);
  }
  return !rule->button.empty();
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
  for (int i = 1; i < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h" || name == "/?") {
      *error = "";
      return false;
    }
    if (i + 1 >= argc) {
      *error = "missing value after " + name;
      return false;
    }
    const std::string value = argv[i + 1];
    AnswerRule rule;
    if (name == "--run") {
      if (value.empty()) {
        *error = "--run needs a command line";
        return false;
      }
      options->hasRun = true;
      options->run = value;
    } else if (name == "--cwd") {
      options->cwd = value;
    } else if (name == "--answer" || name == "--answer-text") {
      if (!ParseAnswer(value, &rule)) {
        *error = "bad " + name + " \"" + value + "\" (want <title or text part>=<button>[@<ms>])";
        return false;
      }
      if (name == "--answer-text") rule.textPart.swap(rule.title);
      options->answers.push_back(rule);
    } else if (name == "--watch-status") {
      options->statusTitles.push_back(value);
    } else if (name == "--screenshots") {
      options->screenshotDir = value;
    } else if (name == "--transcript") {
      options->transcript = value;
    } else if (name == "--timeout") {
      char* end = nullptr;
      options->timeoutSeconds = std::strtod(value.c_str(), &end);
      if (end == value.c_str() || *end != '\0' || !(options->timeoutSeconds > 0)) {
        *error = "bad --timeout " + value;
        return false;
      }
    } else {
      *error = "unknown option " + name;
      return false;
    }
  }
  return true;
}

}  // namespace boxanswer
