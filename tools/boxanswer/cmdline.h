// Splitting of an ANSI Win32 command line into arguments.
#ifndef BOXANSWER_CMDLINE_H
#define BOXANSWER_CMDLINE_H

#include <string>
#include <vector>

namespace boxanswer {

// Splits a command line the way the Microsoft C runtime builds argv, so that
// test scripts can quote arguments exactly as they would for any other
// console program.  The first element is the program name.  We do this
// ourselves on the ANSI command line rather than going through
// CommandLineToArgvW, because titles and button names are ANSI text and a
// round trip through UTF-16 would depend on the code page of the test box.
std::vector<std::string> SplitCommandLine(const char* commandLine);

}  // namespace boxanswer

#endif
