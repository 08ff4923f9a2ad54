#include "cmdline.h"

namespace boxanswer {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitCommandLine(const char* commandLine) {
  std::vector<std::string> args;
  if (commandLine == nullptr) return args;
  const char* p = commandLine;

  // The program name has simpler rules: quotes only group, backslashes are
  // taken literally (paths such as "C:\dir\" must survive).
  std::string program;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') program += *p++;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && !IsBlank(*p)) program += *p++;
  }
  args.push_back(program);

  for (;;) {
    while (IsBlank(*p)) ++p;
    if (*p == '\0') break;
    std::string arg;
    bool inQuotes = false;
    while (*p != '\0' && (inQuotes || !IsBlank(*p))) {
      if (*p == '\\') {
        size_t backslashes = 0;
        while (*p == '\\') {
          ++backslashes;
          ++p;
        }
        if (*p == '"') {
          // 2n backslashes + quote: n backslashes and a delimiter;
          // 2n+1 backslashes + quote: n backslashes and a literal quote.
          arg.append(backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            arg += '"';
            ++p;
          }
        } else {
          arg.append(backslashes, '\\');
        }
        continue;
      }
      if (*p == '"') {
        // Inside quotes, a doubled quote stands for one literal quote (the
        // behaviour of the runtime since Visual C++ 2008).
        if (inQuotes && p[1] == '"') {
          arg += '"';
          p += 2;
          continue;
        }
        inQuotes = !inQuotes;
        ++p;
        continue;
      }
      arg += *p++;
    }
    args.push_back(arg);
  }
  return args;
}

}  // namespace boxanswer
