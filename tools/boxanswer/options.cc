#include "options.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace boxanswer {

const char kUsage[] =
    "usage: boxanswer [--run \"<command line>\"] [--cwd <dir>]\n"
    "                 [--answer \"<title>=<button>[@<delay ms>]\"]...\n"
    "                 [--answer-text \"<part of the text>=<button>[@<delay ms>]\"]...\n"
    "                 [--watch-status \"<title>\"]... [--screenshot <png path>]\n"
    "                 [--screenshots <directory>]\n"
    "                 [--transcript <file>] [--timeout <seconds, default 60>]\n"
    "                 [--grace <ms, default 500>]\n";

namespace {

bool ParseUnsigned(const std::string& text, unsigned* value) {
  if (text.empty() || text.size() > 9) return false;
  unsigned v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  *value = v;
  return true;
}

// "<title>=<button>[@<delay ms>]".  The last '=' separates, so that titles
// may contain '='; a trailing "@digits" is the delay.
bool ParseAnswer(const std::string& text, AnswerRule* rule) {
  const size_t eq = text.rfind('=');
  if (eq == std::string::npos || eq == 0) return false;
  rule->title = text.substr(0, eq);
  std::string button = text.substr(eq + 1);
  const size_t at = button.rfind('@');
  if (at != std::string::npos) {
    unsigned delay = 0;
    if (ParseUnsigned(button.substr(at + 1), &delay)) {
      rule->delayMs = delay;
      button.erase(at);
    }
  }
  if (button.empty()) return false;
  rule->button = button;
  return true;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (name == "--help" || name == "-h" || name == "/?") {
      *error = "";
      return false;
    }
    static const char* const kKnown[] = {"--run", "--cwd", "--answer", "--answer-text",
                                         "--watch-status", "--screenshot", "--screenshots",
                                         "--transcript", "--timeout", "--grace"};
    if (std::find(std::begin(kKnown), std::end(kKnown), name) == std::end(kKnown)) {
      *error = "unknown option " + name;
      return false;
    }
    if (i + 1 >= args.size()) {
      *error = "missing value after " + name;
      return false;
    }
    const std::string& value = args[++i];
    if (name == "--run") {
      options->hasRun = true;
      options->run = value;
    } else if (name == "--cwd") {
      options->cwd = value;
    } else if (name == "--answer") {
      AnswerRule rule;
      if (!ParseAnswer(value, &rule)) {
        *error = "bad --answer \"" + value + "\" (want <title>=<button>[@<ms>])";
        return false;
      }
      options->answers.push_back(rule);
    } else if (name == "--answer-text") {
      AnswerRule rule;
      if (!ParseAnswer(value, &rule)) {
        *error = "bad --answer-text \"" + value + "\" (want <text part>=<button>[@<ms>])";
        return false;
      }
      rule.textPart.swap(rule.title);
      options->answers.push_back(rule);
    } else if (name == "--watch-status") {
      options->statusTitles.push_back(value);
    } else if (name == "--screenshot") {
      options->screenshot = value;
    } else if (name == "--screenshots") {
      options->screenshotDir = value;
    } else if (name == "--transcript") {
      options->transcript = value;
    } else if (name == "--timeout") {
      char* end = nullptr;
      const double seconds = strtod(value.c_str(), &end);
      if (end == value.c_str() || *end != '\0' || !(seconds > 0)) {
        *error = "bad --timeout " + value;
        return false;
      }
      options->timeoutSeconds = seconds;
    } else if (name == "--grace") {
      if (!ParseUnsigned(value, &options->graceMs)) {
        *error = "bad --grace " + value;
        return false;
      }
    }
  }
  if (options->hasRun && options->run.empty()) {
    *error = "--run needs a command line";
    return false;
  }
  return true;
}

}  // namespace boxanswer
